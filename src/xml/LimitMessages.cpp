#include "xml/LimitMessages.h"

#include <QRegularExpression>

#include <array>

namespace {

struct Rewording
{
    QRegularExpression pattern;
    QString replacement;
};

const std::array<Rewording, 6>& rewordings()
{
    static const std::array<Rewording, 6> table{{
        {QRegularExpression(QStringLiteral(R"(Excessive depth in document: (\d+) use XML_PARSE_HUGE option)")),
         QStringLiteral("The document nests elements more than \\1 deep, the most this program reads")},
        {QRegularExpression(
             QStringLiteral(R"(xmlParseElementChildrenContentDecl : depth (\d+) too deep, use XML_PARSE_HUGE)")),
         QStringLiteral(
             "An element declaration of the document nests more than \\1 deep, the most this program reads")},
        // libxslt follows its recursion report with a dump of the template and variable stacks.
        {QRegularExpression(QStringLiteral(
             R"(A potential infinite template recursion was detected\.\s*You can adjust xsltMaxDepth \(--maxdepth\)[^(]*\(currently set to (\d+)\)\.(\s*Templates:\n[\s\S]*)?)")),
         QStringLiteral("Templates call each other more than \\1 deep, the most this program allows: the style sheet "
                        "probably calls itself without end.")},
        {QRegularExpression(QStringLiteral(
             R"(A potential infinite template recursion was detected\.\s*You can adjust maxTemplateVars \(--maxvars\)[^(]*\(currently set to (\d+)\)\.(\s*Templates:\n[\s\S]*)?)")),
         QStringLiteral("More than \\1 variables and parameters are in use at once, the most this program allows: the "
                        "style sheet probably calls itself without end.")},
        {QRegularExpression(QStringLiteral(R"(^Recursion limit exceeded$)"), QRegularExpression::MultilineOption),
         QStringLiteral(
             "An XPath expression nests more deeply than this program evaluates (its XPath recursion limit)")},
        {QRegularExpression(QStringLiteral(R"(xmlSAX2Characters: huge text node)")),
         QStringLiteral(
             "A text of the document is longer than the 10000000 characters this program reads in one piece")},
    }};
    return table;
}

} // namespace

QString ExplainLimits(const QString& report)
{
    // Compiling the patterns is a noticeable part of a small run that reported nothing.
    if (report.isEmpty())
        return report;
    QString text = report;
    for (const Rewording& rewording : rewordings())
        text.replace(rewording.pattern, rewording.replacement);
    return text;
}
