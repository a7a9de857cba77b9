#pragma once

// Script text evaluated in each engine before the style sheet's blocks.

// The document model over ScriptDom's numbered nodes: a function of (bridge, limits) that returns
// { failed, invoke } and leaves only ActiveXObject and the helpers of JScriptPrelude global.
extern const char* const DomPrelude;

// JScript 5.x as the original service hosts it, over the engine's ECMAScript: Enumerator, the
// ScriptEngine functions, the RegExp, Date and String variants, and the helpers that rewritten
// sources call.
extern const char* const JScriptPrelude;
