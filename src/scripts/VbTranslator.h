#pragma once

#include <QString>
#include <QStringList>

/**
 * VBScript source turned into JavaScript for the script engine, to run over the runtime of
 * VbRuntime.h. Statements keep their line, so that the engine's line numbers are the source's.
 */
struct VbTranslation
{
    QString code;           // empty when the source does not parse
    QString error;          // what was expected, when it does not
    int errorLine = 0;      // counted from 1 at the first line of the source
    int errorNumber = 0;    // VBScript's number of the syntax error
    QStringList procedures; // Functions and Subs as declared, callable from outside
};

enum class VbSource
{
    Program,    // a script block, or the text of ExecuteGlobal
    Expression, // the text of Eval
    Statements, // the text of Execute in a procedure: its names are the procedure's where it has them
};

// knownProcedures: procedures defined outside the source (those of the block, for Eval and Execute).
VbTranslation translateVbScript(const QString& source, VbSource kind = VbSource::Program,
                                const QStringList& knownProcedures = {});
