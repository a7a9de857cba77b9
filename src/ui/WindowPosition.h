#pragma once

#include <QList>
#include <QPoint>
#include <QRect>
#include <QString>

#include <optional>

/**
 * The stored window positions: "top,left" for the main window, "top,left,height,width" for the
 * help window. The first fields end at the first comma each, the last field is the rest, and each
 * is trimmed of blanks and control characters before it is read as a decimal integer.
 *
 * Returns the fields in stored order, or nothing when any of them is not an integer.
 */
std::optional<QList<int>> ParseStoredFields(const QString& text, int fieldCount);

// The form written back: the fields joined by "," with no blanks.
QString FormatStoredFields(const QList<int>& fields);

// Where a stored top-left corner is placed: negative values become 0, and so does a value beyond
// the far edge of the virtual desktop (a value exactly on that edge stays).
QPoint ClampToDesktop(int top, int left, const QRect& virtualDesktop);

// The rectangle spanning every screen of this session.
QRect VirtualDesktop();

// The screens of this session. Their bounding rectangle may hold gaps where no screen is.
QList<QRect> ScreenGeometries();

// Whether any part of a window placed at `window` would be on one of the screens: a stored position
// that passes the desktop clamp may still lie in a gap, or on a screen removed since.
bool IsOnSomeScreen(const QRect& window, const QList<QRect>& screens);
