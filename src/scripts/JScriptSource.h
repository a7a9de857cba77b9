#pragma once

#include <QString>

// A JScript block's source made ready for the ECMAScript engine, or why it cannot be.
struct JScriptSource
{
    QString code;      // same lines as the original, so that messages point at the sheet's lines
    QString error;     // empty when the source could be prepared
    int errorLine = 0; // counted from 1 within the block
};

/**
 * Rewrites what JScript and ECMAScript read differently: `typeof x` becomes a helper call, as
 * JScript calls collections objects although they can be called. `catch` and `finally` blocks
 * begin with a call that ends them once the call's time is up. Strings, comments and regular
 * expression literals are left alone. Sources whose brackets or patterns nest deeper than the
 * engine's compiler can follow are refused.
 */
JScriptSource prepareJScript(const QString& source);
