#include "xml/LimitMessages.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

// Reports of libxml2 2.9 and libxslt 1.1 as they arrive: each must keep its limit and lose the
// advice about options of their own tools.
TEST(LimitMessages, SayWhichLimitWithoutOptionsTheProgramLacks)
{
    struct Case
    {
        const char* name;
        QString report;
        QString limit;
    };
    const Case cases[] = {
        {"element depth", "Excessive depth in document: 256 use XML_PARSE_HUGE option", "256"},
        {"declaration depth", "xmlParseElementChildrenContentDecl : depth 128 too deep, use XML_PARSE_HUGE", "128"},
        {"template depth",
         "xsltApplyXSLTTemplate: A potential infinite template recursion was detected.\nYou can adjust xsltMaxDepth "
         "(--maxdepth) in order to raise the maximum number of nested template calls and variables/params "
         "(currently set to 3000).\nTemplates:\n#0 name loop \nVariables:\n#0\nvar b ",
         "3000"},
        {"variables",
         "xsltApplyXSLTTemplate: A potential infinite template recursion was detected.\nYou can adjust "
         "maxTemplateVars (--maxvars) in order to raise the maximum number of variables/params (currently set to "
         "15000).",
         "15000"},
        {"XPath recursion", "Recursion limit exceeded", "XPath recursion limit"},
        {"text length", "xmlSAX2Characters: huge text node", "10000000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString said = ExplainLimits(c.report);
        EXPECT_TRUE(said.contains(c.limit)) << said.toStdString();
        for (const char* advice : {"XML_PARSE_HUGE", "--max", "xsltMaxDepth", "maxTemplateVars", "Templates:"})
            EXPECT_FALSE(said.contains(QLatin1String(advice))) << said.toStdString();
    }
    EXPECT_EQ(ExplainLimits(QStringLiteral("Opening and ending tag mismatch: a and b")),
              QStringLiteral("Opening and ending tag mismatch: a and b"));
}
