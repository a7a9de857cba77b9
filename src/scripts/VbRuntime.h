#pragma once

#include <QJSValue>
#include <QString>

#include <functional>

class QJSEngine;

// Compiles and runs a program in an engine's global scope: program, file name.
using ScriptEvaluator = std::function<QJSValue(const QString&, const QString&)>;

/**
 * Readies an engine for translated VBScript: evaluates the runtime library and gives it what only
 * the host has, the translator (for Eval and Execute) and the locales' number and date formats.
 * The locale is the program's default one until a script calls SetLocale. The runtime is run by
 * `evaluate` when given (an evaluation that keeps the engine's property caches makes every call of
 * the runtime cheaper), else by QJSEngine::evaluate.
 * Returns what went wrong, or an empty text.
 */
QString installVbRuntime(QJSEngine& engine, const ScriptEvaluator& evaluate = {});

struct VbTranslation;

// The message of a block that does not translate; firstLine is the line of the block in file.
QString vbSyntaxError(const VbTranslation& translation, const QString& file, int firstLine);
