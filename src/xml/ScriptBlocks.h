#pragma once

#include <QByteArray>
#include <QString>

#include <libxml/tree.h>
#include <libxslt/xsltInternals.h>

#include <chrono>
#include <memory>
#include <optional>
#include <vector>

// One msxsl:script element of a style sheet: its code as written and where that code begins.
struct ScriptBlock
{
    QString prefix;
    QByteArray namespaceUri; // of the implements-prefix; empty when the prefix is not declared
    QString language;        // as written; empty when the attribute is missing
    QString code;
    QString file;
    int line = 0;
};

// The script blocks at the top level of one style sheet document, in document order.
std::vector<ScriptBlock> scriptBlocksOf(const xmlDoc* sheet);

// The blocks of a compiled style sheet: its own, then those of its includes and imports.
std::vector<ScriptBlock> scriptBlocksOf(const xsltStylesheet* style);

// Whether the block is written in VBScript ("VBScript" or "VBS", in any case). Inline: the script
// module sees this library through its headers only.
inline bool isVbScriptBlock(const ScriptBlock& block)
{
    const QString language = block.language.trimmed().toLower();
    return language == u"vbscript" || language == u"vbs";
}

// Why the blocks cannot run (a language other than JScript and VBScript, an undeclared prefix, a
// VBScript block that does not parse), or nothing.
std::optional<QString> scriptBlockProblem(const std::vector<ScriptBlock>& blocks);

/**
 * The scripts of one transformation: compiles the blocks once, makes every function they define
 * callable from XPath in the namespace of its block's prefix, and owns what scripts create until
 * it is destroyed, which must happen after the transformation context is freed.
 * A script that fails, or a call that runs longer than scriptCallTimeLimit(), stops the
 * transformation with the script's message.
 */
class ScriptRunner
{
public:
    virtual ~ScriptRunner() = default;

    // Nothing when there are no blocks. The script engine is a module of its own, loaded only
    // here, so that sheets without scripts do not pay for it. Throws UnexpectedFailure when the
    // blocks cannot run, do not compile or their top-level code fails.
    static std::unique_ptr<ScriptRunner> start(const std::vector<ScriptBlock>& blocks, xsltTransformContext* context);
};

// How long one call into a script may run before it is interrupted, converting its result
// included: 30 seconds unless changed.
void setScriptCallTimeLimit(std::chrono::milliseconds limit);
std::chrono::milliseconds scriptCallTimeLimit();

// How many bytes the documents and texts scripts build may take in all: 1 GB unless changed.
void setScriptMemoryLimit(qint64 bytes);
qint64 scriptMemoryLimit();

struct ScriptLimits
{
    std::chrono::milliseconds callTime;
    qint64 memoryBytes;
};

// The entry point of the script engine module.
using StartScriptsFunction = ScriptRunner* (*)(const std::vector<ScriptBlock>& blocks, xsltTransformContext* context,
                                               const ScriptLimits& limits);
inline constexpr char StartScriptsSymbol[] = "tabulonStartScripts";

// The module's check of a VBScript block: why it does not parse, with the line, or an empty text.
using CheckScriptFunction = QString (*)(const ScriptBlock& block);
inline constexpr char CheckScriptSymbol[] = "tabulonCheckScript";
