#include "xml/Comments.h"

#include "xml/XmlText.h"

#include <libxslt/extensions.h>
#include <libxslt/templates.h>
#include <libxslt/transform.h>
#include <libxslt/xsltInternals.h>

#include <mutex>
#include <vector>

namespace {

const xmlChar* const CommentNamespace = BAD_CAST "urn:corvane-tabulon:comment";
const xmlChar* const CommentPrefix = BAD_CAST "tabulon-comment";

void writeComment(xsltTransformContextPtr ctxt, xmlNodePtr node, xmlNodePtr inst, xsltElemPreCompPtr)
{
    if (!ctxt->insert)
        return;
    xmlChar* value = xsltEvalTemplateString(ctxt, node, inst);
    const QString text = commentText(fromXml(value));
    xmlFree(value);
    xmlAddChild(ctxt->insert, xmlNewDocComment(ctxt->output, BAD_CAST text.toUtf8().constData()));
}

void findComments(xmlNode* element, std::vector<xmlNode*>& found)
{
    for (xmlNode* child = element->children; child; child = child->next) {
        if (child->type != XML_ELEMENT_NODE)
            continue;
        if (child->ns && xmlStrEqual(child->ns->href, XSLT_NAMESPACE) && xmlStrEqual(child->name, BAD_CAST "comment"))
            found.push_back(child);
        findComments(child, found);
    }
}

// A sheet that is its own template becomes the equivalent sheet with one template for the root:
// libxslt would write the declarations of the literal root's extension namespaces out.
xmlNode* asFullStyleSheet(xmlDoc* sheet, xmlNode* root)
{
    xmlChar* version = xmlGetNsProp(root, BAD_CAST "version", XSLT_NAMESPACE);
    xmlNode* full = xmlNewDocNode(sheet, nullptr, BAD_CAST "stylesheet", nullptr);
    xmlSetNs(full, xmlNewNs(full, XSLT_NAMESPACE, BAD_CAST "xsl"));
    xmlSetProp(full, BAD_CAST "version", version ? version : BAD_CAST "1.0");
    xmlFree(version);
    xmlNode* rootTemplate = xmlNewChild(full, full->ns, BAD_CAST "template", nullptr);
    xmlSetProp(rootTemplate, BAD_CAST "match", BAD_CAST "/");
    full->line = root->line;
    rootTemplate->line = root->line;
    xmlUnlinkNode(root);
    xmlDocSetRootElement(sheet, full);
    xmlAddChild(rootTemplate, root);
    return full;
}

} // namespace

QString commentText(const QString& text)
{
    QString result;
    result.reserve(text.size() + 2);
    for (qsizetype i = 0; i < text.size(); ++i) {
        result += text[i];
        if (text[i] == u'-' && (i + 1 == text.size() || text[i + 1] == u'-'))
            result += u' ';
    }
    return result;
}

void replaceCommentInstructions(xmlDoc* sheet)
{
    static std::once_flag registered;
    std::call_once(registered,
                   [] { xsltRegisterExtModuleElement(BAD_CAST "comment", CommentNamespace, nullptr, writeComment); });
    xmlNode* root = xmlDocGetRootElement(sheet);
    if (!root)
        return;
    std::vector<xmlNode*> comments;
    findComments(root, comments);
    if (comments.empty())
        return;
    if (!root->ns || !xmlStrEqual(root->ns->href, XSLT_NAMESPACE))
        root = asFullStyleSheet(sheet, root);
    xmlNs* ours = xmlNewNs(root, CommentNamespace, CommentPrefix);
    if (!ours)
        return;
    for (xmlNode* comment : comments)
        comment->ns = ours;
    // Only namespaces the sheet names as extension namespaces hold extension instructions.
    xmlChar* prefixes = xmlGetNoNsProp(root, BAD_CAST "extension-element-prefixes");
    QString list = fromXml(prefixes);
    xmlFree(prefixes);
    list += u' ' + fromXml(CommentPrefix);
    xmlSetProp(root, BAD_CAST "extension-element-prefixes", BAD_CAST list.toUtf8().constData());
}
