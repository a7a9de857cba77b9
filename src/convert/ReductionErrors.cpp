#include "convert/ReductionErrors.h"

#include "platform/Failure.h"
#include "platform/UserInteraction.h"
#include "text/StringTable.h"
#include "text/TextFormat.h"
#include "text/TextIds.h"

#include <QFile>
#include <QTextStream>

namespace {

const QString ReductionErrorMarker = QStringLiteral("<Reductions error=");

QString gridFileWarning(const QString& geoDataFolder)
{
    return FormatText(LoadLocalizedString(TextId::GridFileMissing), {geoDataFolder}) + QStringLiteral("\r\n") +
           LoadLocalizedString(TextId::GridFileNeeded) + QStringLiteral("\r\n") +
           LoadLocalizedString(TextId::NoGridCoordinates);
}

} // namespace

void CheckReductionErrors(const QString& convertedPath, const QString& geoDataFolder, UserInteraction& ui)
{
    QFile file(convertedPath);
    if (!file.open(QIODevice::ReadOnly))
        throw UnexpectedFailure(
            FormatText(LoadLocalizedString(TextId::CannotReadConverted), {convertedPath, file.errorString()}));

    QTextStream stream(&file);
    stream.setEncoding(QStringConverter::System);
    stream.setAutoDetectUnicode(true);
    QString line;
    while (stream.readLineInto(&line)) {
        // A line ends at CR as well as at LF and CR LF.
        for (const QStringView part : QStringView(line).split(u'\r')) {
            if (part.contains(ReductionErrorMarker, Qt::CaseInsensitive))
                ui.showMessage(MessageKind::Warning, gridFileWarning(geoDataFolder));
        }
    }
    if (stream.status() != QTextStream::Ok || file.error() != QFileDevice::NoError)
        throw UnexpectedFailure(
            FormatText(LoadLocalizedString(TextId::CannotReadConverted), {convertedPath, file.errorString()}));
}
