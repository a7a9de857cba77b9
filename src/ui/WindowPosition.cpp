#include "ui/WindowPosition.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

namespace {

// Blanks and control characters, as the stored values may have been typed by hand.
QStringView trimmedField(QStringView field)
{
    while (!field.isEmpty() && field.front().unicode() <= u' ')
        field = field.sliced(1);
    while (!field.isEmpty() && field.back().unicode() <= u' ')
        field.chop(1);
    return field;
}

} // namespace

std::optional<QList<int>> ParseStoredFields(const QString& text, int fieldCount)
{
    QList<int> fields;
    QStringView rest(text);
    for (int i = 0; i < fieldCount; ++i) {
        QStringView field = rest;
        if (i + 1 < fieldCount) {
            const auto comma = rest.indexOf(u',');
            if (comma < 0)
                return std::nullopt;
            field = rest.first(comma);
            rest = rest.sliced(comma + 1);
        }
        bool ok = false;
        const int value = trimmedField(field).toInt(&ok, 10);
        if (!ok)
            return std::nullopt;
        fields << value;
    }
    return fields;
}

QString FormatStoredFields(const QList<int>& fields)
{
    QStringList texts;
    for (const int field : fields)
        texts << QString::number(field);
    return texts.join(u',');
}

QPoint ClampToDesktop(int top, int left, const QRect& virtualDesktop)
{
    // Compared in 64 bits: a desktop at the far end of the range must not overflow.
    const auto clamp = [](int value, qint64 farEdge) { return value < 0 || value > farEdge ? 0 : value; };
    const int y = clamp(top, qint64(virtualDesktop.top()) + virtualDesktop.height());
    const int x = clamp(left, qint64(virtualDesktop.left()) + virtualDesktop.width());
    return {x, y};
}

QRect VirtualDesktop()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->virtualGeometry() : QRect();
}

QList<QRect> ScreenGeometries()
{
    QList<QRect> geometries;
    for (const QScreen* screen : QGuiApplication::screens())
        geometries << screen->geometry();
    return geometries;
}

bool IsOnSomeScreen(const QRect& window, const QList<QRect>& screens)
{
    return std::any_of(screens.cbegin(), screens.cend(),
                       [&window](const QRect& screen) { return screen.intersects(window); });
}
