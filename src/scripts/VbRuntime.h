#pragma once

#include <QString>

class QJSEngine;

/**
 * Readies an engine for translated VBScript: evaluates the runtime library and gives it what only
 * the host has, the translator (for Eval and Execute) and the locales' number and date formats.
 * The locale is the program's default one until a script calls SetLocale.
 * Returns what went wrong, or an empty text.
 */
QString installVbRuntime(QJSEngine& engine);

struct VbTranslation;

// The message of a block that does not translate; firstLine is the line of the block in file.
QString vbSyntaxError(const VbTranslation& translation, const QString& file, int firstLine);
