#include "xml/TextSort.h"

#include "xml/XmlText.h"

#include <QLocale>
#include <QRegularExpression>

#include <libxml/xpath.h>
#include <libxslt/templates.h>
#include <libxslt/transform.h>
#include <libxslt/xsltInternals.h>
#include <libxslt/xsltutils.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <optional>
#include <vector>

namespace {

// The value of an xsl:sort attribute, attribute value templates evaluated.
std::optional<QString> sortAttribute(xsltTransformContextPtr ctxt, xmlNodePtr sort, const char* name)
{
    xmlChar* value = xsltEvalAttrValueTemplate(ctxt, sort, BAD_CAST name, nullptr);
    if (!value)
        return std::nullopt;
    QString text = fromXml(value);
    xmlFree(value);
    return text;
}

struct SortKey
{
    std::vector<xmlXPathObjectPtr> values;
    bool number = false;
    bool descending = false;
    std::optional<TextOrder> order;
    std::vector<QString> texts;

    ~SortKey()
    {
        for (xmlXPathObjectPtr value : values)
            xmlXPathFreeObject(value);
    }
};

int compareNumbers(const xmlXPathObject* a, const xmlXPathObject* b)
{
    const double x = a ? a->floatval : NAN;
    const double y = b ? b->floatval : NAN;
    // NaN sorts before every number.
    if (std::isnan(x) || std::isnan(y))
        return std::isnan(x) ? (std::isnan(y) ? 0 : -1) : 1;
    return x < y ? -1 : (x > y ? 1 : 0);
}

void sortNodes(xsltTransformContextPtr ctxt, xmlNodePtr* sorts, int nbsorts)
{
    xmlNodeSetPtr list = ctxt->nodeList;
    if (!list || list->nodeNr <= 1 || nbsorts <= 0)
        return;
    const auto count = std::size_t(list->nodeNr);
    std::vector<SortKey> keys{std::size_t(nbsorts)};
    for (int j = 0; j < nbsorts; ++j) {
        auto* comp = static_cast<xsltStylePreCompPtr>(sorts[j]->psvi);
        if (!comp)
            return;
        SortKey& key = keys[std::size_t(j)];
        key.number = sortAttribute(ctxt, sorts[j], "data-type") == QStringLiteral("number");
        key.descending = sortAttribute(ctxt, sorts[j], "order") == QStringLiteral("descending");
        // xsltComputeSortResult converts the values to numbers as the compiled sort says.
        const int compiledNumber = comp->number;
        comp->number = key.number;
        xmlXPathObjectPtr* results = xsltComputeSortResult(ctxt, sorts[j]);
        comp->number = compiledNumber;
        if (!results)
            return;
        key.values.assign(results, results + count);
        xmlFree(results);
        if (!key.number) {
            const QString language = sortAttribute(ctxt, sorts[j], "lang").value_or(QString());
            key.order.emplace(language, sortAttribute(ctxt, sorts[j], "case-order") == QStringLiteral("upper-first"));
            key.texts.reserve(count);
            for (const xmlXPathObject* value : key.values)
                key.texts.push_back(value && value->type == XPATH_STRING ? fromXml(value->stringval) : QString());
        }
    }
    std::vector<std::size_t> order(count);
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&keys](std::size_t a, std::size_t b) {
        for (const SortKey& key : keys) {
            int result = key.number ? compareNumbers(key.values[a], key.values[b])
                                    : key.order->compare(key.texts[a], key.texts[b]);
            if (key.descending)
                result = -result;
            if (result != 0)
                return result < 0;
        }
        return false;
    });
    std::vector<xmlNodePtr> sorted(count);
    for (std::size_t i = 0; i < count; ++i)
        sorted[i] = list->nodeTab[order[i]];
    std::copy(sorted.begin(), sorted.end(), list->nodeTab);
}

} // namespace

TextOrder::TextOrder(const QString& language, bool upperFirst)
    : m_ignoringCase(QLocale(language.isEmpty() ? QStringLiteral("en") : language))
    , m_upperFirst(upperFirst)
    , m_accentsFromTheEnd(m_ignoringCase.locale().language() == QLocale::French)
    , m_traditionalSpanish(m_ignoringCase.locale().language() == QLocale::Spanish)
{
    m_ignoringCase.setCaseSensitivity(Qt::CaseInsensitive);
}

QString TextOrder::collationKey(QString text) const
{
    text.replace(QChar(0x00E6), QLatin1String("ae"));
    text.replace(QChar(0x00C6), QLatin1String("AE"));
    text.replace(QChar(0x0153), QLatin1String("oe"));
    text.replace(QChar(0x0152), QLatin1String("OE"));
    if (m_traditionalSpanish) {
        // A letter after every "c…" and "l…" but before "d" and "m": omega follows the Latin script.
        static const QRegularExpression digraph(QStringLiteral("([cC])([hH])|([lL])([lL])"));
        QString result;
        qsizetype last = 0;
        for (auto it = digraph.globalMatch(text); it.hasNext();) {
            const auto match = it.next();
            result += QStringView(text).mid(last, match.capturedStart() - last);
            const bool upper = match.captured(0).back().isUpper();
            result += match.captured(0).front();
            result += QChar(upper ? 0x03A9 : 0x03C9);
            last = match.capturedEnd();
        }
        result += QStringView(text).mid(last);
        text = result;
    }
    return text;
}

int TextOrder::compareWords(const QString& x, const QString& y) const
{
    if (const int result = m_ignoringCase.compare(x, y); result != 0) {
        if (!m_accentsFromTheEnd)
            return result;
        // Words equal but for accents compare their accents from the end.
        auto base = [](const QString& text) {
            QString decomposed = text.normalized(QString::NormalizationForm_D);
            decomposed.removeIf([](QChar c) { return c.category() == QChar::Mark_NonSpacing; });
            return decomposed;
        };
        if (m_ignoringCase.compare(base(x), base(y)) != 0)
            return result;
        QString rx = x.normalized(QString::NormalizationForm_C);
        QString ry = y.normalized(QString::NormalizationForm_C);
        std::reverse(rx.begin(), rx.end());
        std::reverse(ry.begin(), ry.end());
        return m_ignoringCase.compare(rx, ry);
    }
    // Equal but for case: the first letter whose case differs decides.
    for (qsizetype i = 0; i < std::min(x.size(), y.size()); ++i) {
        if (x[i] == y[i])
            continue;
        const bool xUpper = x[i].isUpper();
        if (xUpper != y[i].isUpper())
            return xUpper == m_upperFirst ? -1 : 1;
    }
    return 0;
}

int TextOrder::compare(const QString& a, const QString& b) const
{
    const QString x = collationKey(a);
    const QString y = collationKey(b);
    auto withoutHyphens = [](QString text) {
        text.removeIf([](QChar c) { return c == u'-' || c == u'\''; });
        return text;
    };
    if (const int result = compareWords(withoutHyphens(x), withoutHyphens(y)); result != 0)
        return result;
    // Then the word with fewer hyphens and apostrophes goes first.
    if (x.size() != y.size())
        return x.size() < y.size() ? -1 : 1;
    return compareWords(x, y);
}

void installTextSort(_xsltTransformContext* context)
{
    xsltSetCtxtSortFunc(context, sortNodes);
}
