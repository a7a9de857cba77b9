#include "xml/ScriptBlocks.h"

#include "platform/Failure.h"

#include "LocaleGuard.h"
#include "TestPaths.h"
#include "XmlTestFiles.h"

#include <gtest/gtest.h>

namespace {

const QByteArray Source = R"(<job xmlns:g="urn:geo"><p id="P1" code="CP"><n>10.5</n><e>20</e></p>)"
                          R"(<p id="P2"><n>11</n><g:h>5</g:h></p></job>)";

QByteArray sheetWith(const QByteArray& scripts, const QByteArray& body)
{
    return R"(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform"
    xmlns:msxsl="urn:schemas-microsoft-com:xslt" xmlns:u="urn:tabulon-test" xmlns:v="urn:tabulon-other"
    xmlns:g="urn:geo">
<xsl:output method="text"/>
)" + scripts +
           R"(
<xsl:template match="/"><xsl:variable name="rtf"><r><s>7</s></r></xsl:variable>)" +
           body + "</xsl:template>\n</xsl:stylesheet>\n";
}

QByteArray block(const QByteArray& code, const QByteArray& attributes = R"(language="JScript" implements-prefix="u")")
{
    return "<msxsl:script " + attributes + "><![CDATA[\n" + code + "\n]]></msxsl:script>";
}

QByteArray valueOf(const QByteArray& select)
{
    return R"(<xsl:value-of select=")" + select + R"("/>)";
}

class ScriptBlockTest : public ::testing::Test
{
protected:
    QString run(const QByteArray& sheet) { return files.transform(files.source(Source), files.sheet(sheet)); }

    // The description of the unexpected failure the run ends with.
    QString failureOf(const QByteArray& sheet)
    {
        try {
            run(sheet);
        } catch (const UnexpectedFailure& failure) {
            return failure.description();
        }
        return QStringLiteral("<no failure>");
    }

    XmlTestFiles files;
};

struct Case
{
    const char* name;
    const char* script;
    const char* select;
    const char* expected;
};

} // namespace

TEST_F(ScriptBlockTest, PassesArgumentsAndResultsAndShowsTheDocumentModel)
{
    const Case cases[] = {
        {"number argument", "function kind(x) { return typeof x + ' ' + x; }", "u:kind(1.5)", "number 1.5"},
        {"string argument", "function kind(x) { return typeof x + ' ' + x; }", "u:kind('a')", "string a"},
        {"boolean argument", "function kind(x) { return typeof x + ' ' + x; }", "u:kind(1 = 1)", "boolean true"},
        {"node-set argument", "function f(n) { return n.length + ' ' + n.item(1).text + ' ' + n.item(2); }", "u:f(//n)",
         "2 11 null"},
        {"result tree fragment as a list holding its root",
         "function f(n) { return n.length + ' ' + n.item(0).firstChild.nodeName + ' ' + n.item(0).text; }", "u:f($rtf)",
         "1 r 7"},
        {"number result", "function f() { return 2.5; }", "u:f() * 2", "5"},
        {"boolean result", "function f() { return false; }", "not(u:f())", "true"},
        {"undefined result", "function f() {}", "concat('[', u:f(), ']')", "[]"},
        {"null result", "function f() { return null; }", "concat('[', u:f(), ']')", "[]"},
        {"node result", "function f(n) { return n.item(1); }", "u:f(//p)/@id", "P2"},
        {"node list result", "function f(n) { return n; }", "count(u:f(//n))", "2"},
        {"nextNode to the end, then reset",
         "function f(n) { var s = ''; for (var x = n.nextNode(); x; x = n.nextNode()) s += x.text + ';';"
         " n.reset(); return s + n.nextNode().text; }",
         "u:f(//n)", "10.5;11;10.5"},
        {"item backwards",
         "function f(n) { var s = ''; for (var i = n.length - 1; i >= 0; --i) s += n.item(i).text + ';'; return s; }",
         "u:f(//n)", "11;10.5;"},
        {"navigation",
         "function f(n) { var p = n.item(0); return [p.nodeName, p.nodeType, p.parentNode.nodeName,"
         " p.firstChild.nodeName, p.lastChild.text, p.firstChild.nextSibling.previousSibling.nodeName,"
         " p.childNodes.length, p.parentNode.parentNode.nodeName, p.nextSibling.getAttribute('id'),"
         " p.getAttribute('none'), p.firstChild.firstChild.nodeType].join(); }",
         "u:f(//p)", "p,1,job,n,20,n,2,#document,P2,,3"},
        {"attributes",
         "function f(n) { var a = n.item(0).attributes; return [a.length, a.getNamedItem('code').nodeValue,"
         " a.item(0).nodeName, a.item(0).nodeType, a.getNamedItem('x'), a.item(0).parentNode].join(); }",
         "u:f(//p)", "2,CP,id,2,,"},
        {"names and values",
         "function f(n) { var h = n.item(0); return [h.nodeName, h.baseName, h.prefix, h.namespaceURI,"
         " h.firstChild.nodeValue, h.nodeValue, h.parentNode.firstChild.xml].join('|'); }",
         "u:f(//g:h)", "g:h|h|g|urn:geo|5||<n>11</n>"},
        {"selection",
         "function f(n) { var p = n.item(0); return [p.selectNodes('../p').length, p.selectSingleNode('e').text,"
         " p.selectSingleNode('nothing'), p.selectNodes('/job/p[2]/n').item(0).text].join(); }",
         "u:f(//p)", "2,20,,11"},
        {"document built and returned",
         "function f() { var d = new ActiveXObject('Msxml2.DOMDocument.4.0'); var r = d.createElement('list');"
         " d.appendChild(r); for (var i = 1; i <= 3; ++i) { var e = d.createElement('item');"
         " e.setAttribute('k', 'v' + i); e.appendChild(d.createTextNode('t' + i)); r.appendChild(e); }"
         " return r.selectNodes('item'); }",
         "concat(count(u:f()), u:f()[3]/@k, u:f()[2])", "3v3t2"},
        {"loaded document returned",
         "function f() { var d = new ActiveXObject('Microsoft.XMLDOM'); d.async = false;"
         " d.loadXML('<a>\\n  <b>1</b>\\n  <b>2</b>\\n</a>'); return d.documentElement.childNodes; }",
         "concat(count(u:f()), ':', sum(u:f()))", "2:3"},
        {"nodes with namespaces and attribute nodes",
         "function f() { var d = new ActiveXObject('Msxml2.FreeThreadedDOMDocument');"
         " var e = d.createNode(1, 'x:e', 'urn:x'); d.appendChild(e); var a = d.createAttribute('n');"
         " a.value = '4'; e.setAttributeNode(a); return d.xml + '|' + e.namespaceURI + '|' + e.baseName; }",
         "u:f()", "<x:e xmlns:x=\"urn:x\" n=\"4\"/>\r\n|urn:x|e"},
        {"failed load",
         "function f() { var d = new ActiveXObject('MSXML2.DOMDocument'); return d.loadXML('<a>')"
         " + ' ' + (d.parseError.errorCode != 0) + ' ' + d.documentElement; }",
         "u:f()", "false true null"},
        {"source nodes are copied into a script document",
         "function f(n) { var d = new ActiveXObject('Msxml2.DOMDocument'); var r = d.createElement('copy');"
         " d.appendChild(r); r.appendChild(n.item(0)); return d.documentElement.xml + n.item(0).parentNode.nodeName; }",
         "u:f(//p)", "<copy><p id=\"P1\" code=\"CP\"><n>10.5</n><e>20</e></p></copy>job"},
        {"changes to script documents",
         "function f() { var d = new ActiveXObject('Msxml2.DOMDocument'); d.loadXML('<a x=\"1\"><b/>t</a>');"
         " var a = d.documentElement; var old = a.firstChild; a.setAttribute('x', '2'); a.text = 'new';"
         " d.createElement('unused'); d.loadXML('<c/>'); return a.xml + '|' + old.nodeName + '|' + d.xml; }",
         "u:f()", "<a x=\"2\">new</a>|b|<c/>\r\n"},
        {"result tree fragments last for one call",
         "var kept; function f(n) { if (!kept) { kept = n; return 'kept'; }"
         " try { return kept.item(0).text; } catch (e) { return /no longer available/.test(e.message); } }",
         "concat(u:f($rtf), ' ', u:f($rtf))", "kept true"},
        {"nothing that reaches files, processes, timers or the network",
         "function f() { return [typeof XMLHttpRequest, typeof setTimeout, typeof print, typeof console,"
         " typeof require, typeof Qt, typeof WScript, typeof GetObject].join(); }",
         "u:f()", "undefined,undefined,undefined,undefined,undefined,undefined,undefined,undefined"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(run(sheetWith(block(c.script), valueOf(c.select))), QString::fromUtf8(c.expected));
    }
}

TEST_F(ScriptBlockTest, ShowsTheDocumentModelToVBScript)
{
    const LocaleGuard locale(englishLocale());
    const Case cases[] = {
        {"default member and Item in any case",
         "Function f(nodes)\nf = nodes.Length & \" \" & nodes(1).Text & \" \" & nodes.ITEM(0).text & \" \" & "
         "TypeName(nodes.item(2))\nEnd Function",
         "u:f(//n)", "2 11 10.5 Nothing"},
        {"For Each over a node list",
         "Function f(ps)\nFor Each p In ps\nf = f & p.GetAttribute(\"id\") & p.ChildNodes.Length & \";\"\nNext\nEnd "
         "Function",
         "u:f(//p)", "P12;P22;"},
        {"navigation, selection and Is",
         "Function f(ps)\nSet p = ps(0)\nf = p.FirstChild.NodeName & p.parentNode.nodeName & "
         "(p.NextSibling.PreviousSibling Is p) & p.SelectSingleNode(\"e\").Text & p.selectNodes(\"../p\").Length & "
         "(p.selectSingleNode(\"none\") Is Nothing)\nEnd Function",
         "u:f(//p)", "njobTrue202True"},
        {"XPath numbers are Doubles, strings Strings",
         "Function f(x, s)\nf = TypeName(x) & TypeName(s) & TypeName(x + 1) & (x + s)\nEnd Function", "u:f(2, '3')",
         "DoubleStringDouble5"},
        {"number result", "Function f()\nf = 2.5\nEnd Function", "u:f() * 2", "5"},
        {"Boolean result", "Function f()\nf = 1 > 2\nEnd Function", "not(u:f())", "true"},
        {"Empty and Null results", "Function e()\nEnd Function\nFunction z()\nz = Null\nEnd Function",
         "concat('[', u:e(), u:z(), ']')", "[]"},
        {"Date result", "Function f()\nf = DateSerial(2004, 2, 29)\nEnd Function", "u:f()", "2/29/2004"},
        {"a node list result", "Function f(ps)\nSet f = ps\nEnd Function", "count(u:f(//p))", "2"},
        {"a result tree fragment", "Function f(rtf)\nf = rtf(0).FirstChild.nodeName & rtf.Item(0).Text\nEnd Function",
         "u:f($rtf)", "r7"},
        {"a document built with CreateObject",
         "Function f()\nSet d = CreateObject(\"Msxml2.DOMDocument\")\nd.async = False\n"
         "d.loadXML \"<a><b>1</b><b>2</b></a>\"\nSet root = d.documentElement\nSet e = d.createElement(\"b\")\n"
         "e.Text = \"4\"\nroot.appendChild e\nSet f = root.childNodes\nEnd Function",
         "sum(u:f())", "7"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(run(sheetWith(block(c.script, R"(language="VBScript" implements-prefix="u")"), valueOf(c.select))),
                  QString::fromUtf8(c.expected));
    }
}

TEST_F(ScriptBlockTest, RunsJScriptAndVBScriptSideBySide)
{
    const LocaleGuard locale(englishLocale());
    const QByteArray scripts =
        block("function twice(s) { return s + s; }") +
        block("Function FormatAmount(value, places)\n  FormatAmount = FormatNumber(value, places, True, False, False)\n"
              "End Function",
              R"(language="VBS" implements-prefix="v")") +
        block("Dim calls\nFunction Counted()\n  calls = calls + 1 : Counted = calls & \":\" & FormatAmount(calls, 1)\n"
              "End Function",
              R"(language="vbscript" implements-prefix="v")");
    const QByteArray body = valueOf("concat(u:twice('a'), ' ', v:FormatAmount(1234.5, 2))") + "," +
                            valueOf("v:Counted()") + "," + valueOf("v:Counted()");
    EXPECT_EQ(run(sheetWith(scripts, body)), QStringLiteral("aa 1234.50,1:1.0,2:2.0"));
}

TEST_F(ScriptBlockTest, JoinsBlocksPerPrefixAcrossLanguagesNamesAndModules)
{
    files.write(QStringLiteral("lib.xsl"),
                R"(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform"
    xmlns:msxsl="urn:schemas-microsoft-com:xslt" xmlns:w="urn:tabulon-lib">
<msxsl:script implements-prefix="w">function twice(s) { return s + s; }</msxsl:script>
</xsl:stylesheet>)");
    const QByteArray scripts =
        block("var calls = 0;\nfunction count() { return ++calls; }") +
        block("this['to-upper'] = function (s) { return s.toUpperCase(); };", R"(implements-prefix="u")") +
        block("function count() { return 'other ' + (typeof calls); }",
              R"(language="javascript" implements-prefix="v")") +
        R"(<msxsl:script language="JavaScript" implements-prefix="u">function last() { return calls &lt; 3; }</msxsl:script>)"
        "<xsl:include href=\"lib.xsl\"/>";
    const QByteArray body = valueOf("u:count()") + "," + valueOf("u:count()") + "," + valueOf("u:to-upper('ab')") +
                            "," + valueOf("v:count()") + "," + valueOf("u:last()") + "," + valueOf("u:count()") + "," +
                            valueOf("u:last()") +
                            R"~(,<xsl:value-of xmlns:w="urn:tabulon-lib" select="w:twice('x')"/>)~";
    EXPECT_EQ(run(sheetWith(scripts, body)), QStringLiteral("1,2,AB,other undefined,true,3,false,xx"));
    // Globals start again with each transformation.
    EXPECT_EQ(run(sheetWith(scripts, valueOf("u:count()"))), QStringLiteral("1"));

    EXPECT_EQ(run(R"~(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform"
    xmlns:w="urn:tabulon-lib"><xsl:import href="lib.xsl"/><xsl:output method="text"/>
<xsl:template match="/"><xsl:value-of select="w:twice('y')"/></xsl:template></xsl:stylesheet>)~"),
              QStringLiteral("yy"));
}

TEST_F(ScriptBlockTest, RefusesBlocksThatCannotRunWhenTheSheetIsLoaded)
{
    const struct
    {
        const char* name;
        QByteArray scripts;
        const char* expected;
    } cases[] = {
        {"another language", block("Function f()\nEnd Function", R"(language="C#" implements-prefix="u")"),
         "\"C#\" is not supported; only JScript and VBScript are"},
        {"an undeclared prefix", block("function f() {}", R"(implements-prefix="nowhere")"),
         "\"nowhere\" names no declared namespace"},
        {"VBScript that does not parse",
         block("Function f()\n  If x Then\nEnd Function", R"(language="VBScript" implements-prefix="u")"),
         "VBScript syntax error: Expected 'End If' (other.xsl, line 8)"},
        {"VBScript that does not parse, after a good block",
         block("Sub ok()\nEnd Sub", R"(language="vbs" implements-prefix="u")") +
             block("x = (1 +", R"(language="vbscript" implements-prefix="u")"),
         "VBScript syntax error: Expected expression (other.xsl, line 9)"},
        {"two languages under one prefix",
         block("function f() {}") + block("Sub g()\nEnd Sub", R"(language="VBScript" implements-prefix="u")"),
         "implements-prefix \"u\" mix JScript and VBScript"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray sheet = sheetWith(c.scripts, valueOf("u:f()"));
        XmlDocument document;
        EXPECT_FALSE(document.loadStyleSheet(files.write(QStringLiteral("other.xsl"), sheet)));
        const QString reason = document.parseError().reason;
        EXPECT_TRUE(reason.contains(QString::fromUtf8(c.expected))) << reason.toStdString();
    }
}

TEST_F(ScriptBlockTest, ScriptFailuresEndTheRunWithTheScriptsMessageAndLine)
{
    files.write(QStringLiteral("vb.xsl"),
                R"(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform"
    xmlns:msxsl="urn:schemas-microsoft-com:xslt" xmlns:w="urn:tabulon-test">
<msxsl:script language="VBScript" implements-prefix="w">Function f(nodes)
  f = nodes(0).text * "x"
End Function</msxsl:script></xsl:stylesheet>)");
    const struct
    {
        const char* name;
        QByteArray scripts;
        QStringList expected;
    } cases[] = {
        {"does not compile", block("function f( {"), {QStringLiteral("SyntaxError"), QStringLiteral("line 7")}},
        {"throws an error",
         block("function f() {\n  throw new Error('bad angle');\n}"),
         {QStringLiteral("bad angle"), QStringLiteral("line 7"), QStringLiteral("function f")}},
        {"throws a text", block("function f() { throw 'bad value'; }"), {QStringLiteral("bad value")}},
        {"calls an unknown function",
         block("function f() { return nope(); }"),
         {QStringLiteral("ReferenceError"), QStringLiteral("nope"), QStringLiteral("line 6")}},
        {"asks for another class",
         block("function f() { return new ActiveXObject('Scripting.FileSystemObject'); }"),
         {QStringLiteral("Scripting.FileSystemObject")}},
        {"changes the source",
         block("function f(n) { n.item(0).setAttribute('x', '1'); }"),
         {QStringLiteral("read-only")}},
        {"fails at the top level",
         block("var x = 1;\nthrow new Error('not ready');"),
         {QStringLiteral("not ready"), QStringLiteral("line 7")}},
        {"fails in VBScript",
         block("Function f(nodes)\n  f = nodes(0).text * \"x\"\nEnd Function",
               R"(language="VBScript" implements-prefix="u")"),
         {QStringLiteral("VBScript runtime error 13: Type mismatch"), QStringLiteral("line 7"),
          QStringLiteral("function f")}},
        {"fails in VBScript with On Error handled elsewhere",
         block("On Error Resume Next\nx = 1 / 0\nFunction f(n)\n  Err.Raise 5\nEnd Function",
               R"(language="VBScript" implements-prefix="u")"),
         {QStringLiteral("VBScript runtime error 5: Invalid procedure call or argument"), QStringLiteral("line 9")}},
        {"fails in VBScript at the top level",
         block("Dim a(1)\na(2) = 0\nFunction f(n)\nEnd Function", R"(language="VBScript" implements-prefix="u")"),
         {QStringLiteral("Subscript out of range"), QStringLiteral("line 7")}},
        {"fails in an included VBScript block",
         "<xsl:include href=\"vb.xsl\"/>",
         {QStringLiteral("Type mismatch"), QStringLiteral("vb.xsl, line 4")}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString failure = failureOf(sheetWith(c.scripts, valueOf("u:f(//p)")));
        for (const QString& part : c.expected)
            EXPECT_TRUE(failure.contains(part)) << failure.toStdString();
    }
}

TEST_F(ScriptBlockTest, InterruptsCallsThatRunPastTheTimeLimit)
{
    struct LimitGuard
    {
        LimitGuard() { setScriptCallTimeLimit(std::chrono::milliseconds(200)); }
        ~LimitGuard() { setScriptCallTimeLimit(std::chrono::seconds(30)); }
    } guard;
    const QString inCall = failureOf(sheetWith(block("function spin() { for (;;) {} }"), valueOf("u:spin()")));
    EXPECT_TRUE(inCall.contains(QStringLiteral("spin did not finish within 0.2 seconds"))) << inCall.toStdString();
    const QString atTop = failureOf(sheetWith(block("for (;;) {}"), valueOf("1")));
    EXPECT_TRUE(atTop.contains(QStringLiteral("did not finish"))) << atTop.toStdString();
    // Resuming after errors must not resume after the interruption.
    const QString resuming =
        failureOf(sheetWith(block("Function spin()\nOn Error Resume Next\nDo\nx = x + 1\nLoop\nEnd Function",
                                  R"(language="VBScript" implements-prefix="u")"),
                            valueOf("u:spin()")));
    EXPECT_TRUE(resuming.contains(QStringLiteral("spin did not finish"))) << resuming.toStdString();
}

TEST_F(ScriptBlockTest, SuppliesAttributeDefaultsOfTheInternalSubset)
{
    // libxslt's own regression case; its expected output assumes the defaults are supplied.
    const QString dir = QStringLiteral(TABULON_SOURCE_DIR "/tests/scripts/data/libxslt/");
    QFile expected(dir + QStringLiteral("bug-53.out"));
    ASSERT_TRUE(expected.open(QIODevice::ReadOnly));
    XmlDocument source;
    XmlDocument sheet;
    ASSERT_TRUE(source.load(dir + QStringLiteral("bug-53.xml")));
    ASSERT_TRUE(sheet.loadStyleSheet(dir + QStringLiteral("bug-53.xsl")));
    EXPECT_EQ(files.transform(source, sheet), QString::fromUtf8(expected.readAll()));

    // Defaults of an external subset stay unknown: it is never loaded.
    files.write(QStringLiteral("outside.dtd"), R"(<!ATTLIST doc outside CDATA "LOADED">)");
    const XmlDocument withBoth =
        files.source(R"(<!DOCTYPE doc SYSTEM "outside.dtd" [<!ATTLIST doc inside CDATA "SUPPLIED">]><doc/>)");
    EXPECT_EQ(
        files.transform(
            withBoth,
            files.sheet(styleSheetWith(
                R"~(<xsl:template match="doc"><xsl:value-of select="concat(@inside, '-', @outside)"/></xsl:template>)~"))),
        QStringLiteral("SUPPLIED-"));
}
