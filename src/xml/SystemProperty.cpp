#include "xml/SystemProperty.h"

#include <libxml/xpathInternals.h>
#include <libxslt/functions.h>
#include <libxslt/transform.h>
#include <libxslt/xsltInternals.h>

namespace {

void systemProperty(xmlXPathParserContextPtr ctxt, int nargs)
{
    const xmlXPathObject* name = nargs == 1 && ctxt->valueNr > 0 ? ctxt->value : nullptr;
    const xmlChar* colon = name && name->type == XPATH_STRING ? xmlStrchr(name->stringval, ':') : nullptr;
    if (colon && xmlStrEqual(colon + 1, BAD_CAST "version")) {
        xmlChar* prefix = xmlStrsub(name->stringval, 0, int(colon - name->stringval));
        const bool xsltVersion = xmlStrEqual(xmlXPathNsLookup(ctxt->context, prefix), XSLT_NAMESPACE);
        xmlFree(prefix);
        if (xsltVersion) {
            xmlXPathFreeObject(valuePop(ctxt));
            valuePush(ctxt, xmlXPathNewFloat(1.0));
            return;
        }
    }
    xsltSystemPropertyFunction(ctxt, nargs);
}

} // namespace

void installSystemProperty(_xsltTransformContext* context)
{
    // Registering adds nothing where a function of that name exists: the built-in one goes first.
    xmlXPathRegisterFunc(context->xpathCtxt, BAD_CAST "system-property", nullptr);
    xmlXPathRegisterFunc(context->xpathCtxt, BAD_CAST "system-property", systemProperty);
}
