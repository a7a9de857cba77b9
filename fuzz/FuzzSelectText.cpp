#include "FuzzSupport.h"

#include "fields/ValueValidation.h"
#include "xml/XmlText.h"

#include <libxml/xmlerror.h>
#include <libxml/xpath.h>

#include <memory>

namespace {

struct XPathContextDeleter
{
    void operator()(xmlXPathContext* context) const { xmlXPathFreeContext(context); }
};

struct XPathObjectDeleter
{
    void operator()(xmlXPathObject* object) const { xmlXPathFreeObject(object); }
};

void ignoreError(void*, xmlErrorPtr) {}

} // namespace

// Any select text decodes and any type part parses without a fault; a text that XML can hold comes
// back unchanged from the expression user fields write for it, read by our own decoder and
// evaluated by libxml2's XPath.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString text = QString::fromUtf8(fuzzBytes(data, size));
    (void)ParseFieldType(DecodeSelectText(text));
    (void)FormatFieldDefault(text, UserFieldKind::DOUBLE);

    if (FirstNonXmlCharacter(text))
        return 0;
    const QString expression = QuoteXPathString(text);
    if (DecodeSelectText(expression) != text)
        fuzzFinding("the decoder reads back what was quoted", expression);

    xmlSetStructuredErrorFunc(nullptr, ignoreError);
    const std::unique_ptr<xmlXPathContext, XPathContextDeleter> context(xmlXPathNewContext(nullptr));
    const std::unique_ptr<xmlXPathObject, XPathObjectDeleter> value(
        xmlXPathEvalExpression(BAD_CAST expression.toUtf8().constData(), context.get()));
    if (!value || value->type != XPATH_STRING)
        fuzzFinding("XPath evaluates the quoted text to a string", expression);
    if (fromXml(value->stringval) != text)
        fuzzFinding("XPath gives back the quoted text", expression);
    return 0;
}
