#pragma once

#include <QString>

// The one place that knows what separates folders, names and extensions, so that every
// "extension", "file name" and "folder part" rule of the program agrees.
namespace Paths {

bool isSeparator(QChar c);

bool endsWithSeparator(const QString& path);

// Index just past the last separator (0 when there is none).
qsizetype nameStart(const QString& path);

// The extension with its dot, from the last dot after the last separator; empty when there is none.
QString extensionWithDot(const QString& path);

// The extension without its dot; empty when there is none.
QString extension(const QString& path);

bool hasExtension(const QString& path);

// The path without its extension (folder kept).
QString withoutExtension(const QString& path);

// The name after the last separator.
QString fileName(const QString& path);

// The name without folder and without extension.
QString baseName(const QString& path);

// Everything up to and including the last separator (empty when there is none).
QString folderPart(const QString& path);

// The folder with one trailing separator.
QString withTrailingSeparator(const QString& folder);

// True when the text could escape the folder it is appended to, or holds control, format or
// separator characters other than a plain space.
bool isUnsafeNamePart(const QString& text);

} // namespace Paths
