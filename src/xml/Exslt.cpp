#include "xml/Exslt.h"

#include <QLibrary>

#include <libxml/tree.h>

#include <mutex>

namespace {

// Every EXSLT module's namespace starts so; a prefix bound to one is declared in the module.
constexpr char ExsltNamespaceStart[] = "http://exslt.org/";

bool declaresExsltNamespace(const xmlNode* element)
{
    for (const xmlNs* ns = element->nsDef; ns; ns = ns->next) {
        if (ns->href && xmlStrncmp(ns->href, BAD_CAST ExsltNamespaceStart, sizeof ExsltNamespaceStart - 1) == 0)
            return true;
    }
    return false;
}

bool usesExslt(const xmlDoc* doc)
{
    // Element by element in document order, without recursion: style sheets may nest deeply.
    xmlNode* element = xmlDocGetRootElement(doc);
    while (element && !declaresExsltNamespace(element)) {
        if (xmlNode* child = xmlFirstElementChild(element)) {
            element = child;
            continue;
        }
        xmlNode* next = nullptr;
        for (; element && element->type == XML_ELEMENT_NODE && !next; element = element->parent)
            next = xmlNextElementSibling(element);
        element = next;
    }
    return element != nullptr;
}

} // namespace

std::optional<QString> RegisterExsltFor(const _xmlDoc* styleSheetModule)
{
    static std::once_flag once;
    static QString loadError;
    if (!styleSheetModule || !usesExslt(styleSheetModule))
        return std::nullopt;
    std::call_once(once, [] {
        // Never unloaded: libxslt keeps pointers to its functions.
        QLibrary library(QStringLiteral(TABULON_EXSLT_LIBRARY));
        const auto registerAll = reinterpret_cast<void (*)()>(library.resolve("exsltRegisterAll"));
        if (registerAll)
            registerAll();
        else
            loadError = library.errorString();
    });
    if (loadError.isEmpty())
        return std::nullopt;
    return QStringLiteral("The EXSLT extensions the style sheet uses could not be loaded: ") + loadError;
}
