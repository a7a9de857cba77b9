#include "scripts/EngineAccess.h"

#include <QJSEngine>
#include <QUrl>

#include <private/qjsvalue_p.h>
#include <private/qv4engine_p.h>
#include <private/qv4script_p.h>
#include <private/qv4stackframe_p.h>

QJSValue evaluateGlobalCode(QJSEngine& engine, const QString& program, const QString& fileName, int lineNumber,
                            QStringList* stack)
{
    QV4::ExecutionEngine* v4 = engine.handle();
    QV4::Scope scope(v4);
    QV4::ScopedValue result(scope);

    QV4::Script script(v4->rootContext(), QV4::Compiler::ContextType::Global, program,
                       QUrl::fromLocalFile(fileName).toString(), lineNumber);
    // Left off, unlike QJSEngine::evaluate: inheriting the caller's scope is what disables the caches.
    script.inheritContext = false;
    script.strictMode = v4->currentStackFrame ? v4->currentStackFrame->v4Function->isStrict()
                                              : v4->globalCode && v4->globalCode->isStrict();
    script.parse();
    if (!scope.hasException())
        result = script.run();
    if (stack)
        stack->clear();
    if (scope.hasException()) {
        QV4::StackTrace trace;
        result = v4->catchException(&trace);
        if (stack) {
            for (const QV4::StackFrame& frame : trace)
                stack->push_back(QStringLiteral("%1:%2:%3:%4")
                                     .arg(frame.function, QString::number(qAbs(frame.line)),
                                          QString::number(frame.column), frame.source));
        }
    }
    if (v4->isInterrupted.loadRelaxed())
        result = v4->newErrorObject(QStringLiteral("Interrupted"));
    return QJSValuePrivate::fromReturnedValue(result->asReturnedValue());
}
