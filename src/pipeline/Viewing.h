#pragma once

#include <QString>

class Shell;

// The text viewer used when none is set or the one set cannot be found: the desktop's own.
inline constexpr char16_t DefaultTextViewer[] = u"xdg-open";

// Opens a generated file: web documents (HTML, HTM, SVG) with the desktop's associated
// application, anything else with the text viewer. False when that could not be started.
bool OpenGeneratedFile(const QString& path, const QString& textFileViewer, Shell& shell);

// The warning for a file OpenGeneratedFile could not open: which program failed and, for the
// text viewer, the setting and the file that choose another.
QString NotOpenedMessage(const QString& path, const QString& textFileViewer);

// Whether the text viewer program can be found (own folder, current folder, PATH).
bool ViewerExists(const QString& textFileViewer);
