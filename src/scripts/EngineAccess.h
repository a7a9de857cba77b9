#pragma once

#include <QJSValue>
#include <QString>
#include <QStringList>

class QJSEngine;

// QJSEngine::evaluate compiles code as if it ran inside an unknown scope, which turns off the
// engine's property caches: every property access of such code is a full search. Code here runs
// in the global scope, so it is compiled with the caches, and otherwise evaluated as QJSEngine
// does: the result or the thrown value, the stack of a throw in `stack`.
QJSValue evaluateGlobalCode(QJSEngine& engine, const QString& program, const QString& fileName = QString(),
                            int lineNumber = 1, QStringList* stack = nullptr);
