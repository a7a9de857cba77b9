#include "xml/ResultChecks.h"

std::optional<QString> resultProblem(const xmlDoc* result, bool standalone)
{
    if (!standalone || result->type != XML_DOCUMENT_NODE)
        return std::nullopt;
    int roots = 0;
    for (const xmlNode* node = result->children; node; node = node->next)
        roots += node->type == XML_ELEMENT_NODE;
    if (roots > 1)
        return QStringLiteral("The result has %1 root elements, but xsl:output declares a standalone document, "
                              "which has one.")
            .arg(roots);
    return std::nullopt;
}
