#include "xml/ScriptBlocks.h"
#include "xml/XmlText.h"

#include "platform/Failure.h"
#include "platform/ProgramModules.h"

#include <QStringList>

#include <atomic>

namespace {

const xmlChar* const MsxslNamespace = BAD_CAST "urn:schemas-microsoft-com:xslt";

std::atomic<std::chrono::milliseconds::rep> callTimeLimitMs{30'000};
std::atomic<qint64> memoryLimitBytes{qint64(1) << 30};

QString attribute(const xmlNode* element, const char* name)
{
    xmlChar* value = xmlGetNoNsProp(element, BAD_CAST name);
    QString text = fromXml(value);
    xmlFree(value);
    return text;
}

bool isScriptElement(const xmlNode* node)
{
    return node->type == XML_ELEMENT_NODE && node->ns && xmlStrEqual(node->ns->href, MsxslNamespace) &&
           xmlStrEqual(node->name, BAD_CAST "script");
}

// Text and CDATA joined as written: the markup around CDATA holds no line breaks, so line numbers
// counted from the start tag's end stay right.
QString codeOf(const xmlNode* element)
{
    QByteArray code;
    for (const xmlNode* child = element->children; child; child = child->next) {
        if ((child->type == XML_TEXT_NODE || child->type == XML_CDATA_SECTION_NODE) && child->content)
            code += reinterpret_cast<const char*>(child->content);
    }
    return QString::fromUtf8(code);
}

void append(std::vector<ScriptBlock>& blocks, std::vector<ScriptBlock> more)
{
    blocks.insert(blocks.end(), std::make_move_iterator(more.begin()), std::make_move_iterator(more.end()));
}

void collectFrom(const xsltStylesheet* style, std::vector<ScriptBlock>& blocks)
{
    append(blocks, scriptBlocksOf(style->doc));
    for (const xsltDocument* include = style->docList; include; include = include->next)
        append(blocks, scriptBlocksOf(include->doc));
    for (const xsltStylesheet* imported = style->imports; imported; imported = imported->next)
        collectFrom(imported, blocks);
}

} // namespace

std::vector<ScriptBlock> scriptBlocksOf(const xmlDoc* sheet)
{
    std::vector<ScriptBlock> blocks;
    const xmlNode* root = sheet ? xmlDocGetRootElement(sheet) : nullptr;
    if (!root)
        return blocks;
    for (xmlNode* node = root->children; node; node = node->next) {
        if (!isScriptElement(node))
            continue;
        ScriptBlock block;
        block.prefix = attribute(node, "implements-prefix");
        const QByteArray prefix = block.prefix.toUtf8();
        if (const xmlNs* ns = xmlSearchNs(node->doc, node, prefix.isEmpty() ? nullptr : BAD_CAST prefix.constData()))
            block.namespaceUri = reinterpret_cast<const char*>(ns->href);
        block.language = attribute(node, "language");
        block.code = codeOf(node);
        block.file = fromXml(sheet->URL);
        block.line = int(xmlGetLineNo(node));
        blocks.push_back(std::move(block));
    }
    return blocks;
}

std::vector<ScriptBlock> scriptBlocksOf(const xsltStylesheet* style)
{
    std::vector<ScriptBlock> blocks;
    if (style)
        collectFrom(style, blocks);
    return blocks;
}

std::optional<QString> scriptBlockProblem(const std::vector<ScriptBlock>& blocks)
{
    for (const ScriptBlock& block : blocks) {
        const QString language = block.language.trimmed().toLower();
        if (!language.isEmpty() && language != u"jscript" && language != u"javascript" && !isVbScriptBlock(block))
            return QStringLiteral(
                       "Script language \"%1\" is not supported; only JScript and VBScript are (%2, line %3)")
                .arg(block.language, block.file)
                .arg(block.line);
        if (block.namespaceUri.isEmpty())
            return QStringLiteral("The script's implements-prefix \"%1\" names no declared namespace (%2, line %3)")
                .arg(block.prefix, block.file)
                .arg(block.line);
        // One global scope per prefix cannot hold two languages.
        for (const ScriptBlock& other : blocks) {
            if (other.namespaceUri == block.namespaceUri && isVbScriptBlock(other) != isVbScriptBlock(block))
                return QStringLiteral("The scripts of implements-prefix \"%1\" mix JScript and VBScript (%2, line %3)")
                    .arg(block.prefix, other.file)
                    .arg(other.line);
        }
    }
    // VBScript is checked when the sheet is loaded, as the original service compiled it then.
    for (const ScriptBlock& block : blocks) {
        if (!isVbScriptBlock(block))
            continue;
        const ModuleExport module = ResolveModuleExport(QStringLiteral("tabulon_scripts"), CheckScriptSymbol);
        const auto check = reinterpret_cast<CheckScriptFunction>(module.function);
        if (!check)
            return QStringLiteral("The script engine could not be loaded:") + module.errors;
        if (const QString problem = check(block); !problem.isEmpty())
            return problem;
    }
    return std::nullopt;
}

void setScriptCallTimeLimit(std::chrono::milliseconds limit)
{
    callTimeLimitMs = limit.count();
}

std::chrono::milliseconds scriptCallTimeLimit()
{
    return std::chrono::milliseconds(callTimeLimitMs.load());
}

void setScriptMemoryLimit(qint64 bytes)
{
    memoryLimitBytes = bytes;
}

qint64 scriptMemoryLimit()
{
    return memoryLimitBytes.load();
}

std::unique_ptr<ScriptRunner> ScriptRunner::start(const std::vector<ScriptBlock>& blocks, xsltTransformContext* context)
{
    if (blocks.empty())
        return nullptr;
    if (const auto problem = scriptBlockProblem(blocks))
        throw UnexpectedFailure(*problem);
    const ModuleExport module = ResolveModuleExport(QStringLiteral("tabulon_scripts"), StartScriptsSymbol);
    if (auto startScripts = reinterpret_cast<StartScriptsFunction>(module.function))
        return std::unique_ptr<ScriptRunner>(startScripts(blocks, context, {scriptCallTimeLimit(), scriptMemoryLimit()}));
    throw UnexpectedFailure(QStringLiteral("The script engine could not be loaded:") + module.errors);
}
