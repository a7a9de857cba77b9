#include "xml/ScriptBlocks.h"

#include "platform/Failure.h"

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
        const char* attributes;
        const char* expected;
    } cases[] = {
        {R"(language="VBScript" implements-prefix="u")", "\"VBScript\" is not supported"},
        {R"(language="C#" implements-prefix="u")", "\"C#\" is not supported"},
        {R"(implements-prefix="nowhere")", "\"nowhere\" names no declared namespace"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.attributes);
        const QByteArray sheet = sheetWith(block("Function f()\nEnd Function", c.attributes), valueOf("u:f()"));
        XmlDocument document;
        EXPECT_FALSE(document.loadStyleSheet(files.write(QStringLiteral("other.xsl"), sheet)));
        const QString reason = document.parseError().reason;
        EXPECT_TRUE(reason.contains(QString::fromUtf8(c.expected)) && reason.contains(QStringLiteral("line 5")))
            << reason.toStdString();
    }
}

TEST_F(ScriptBlockTest, ScriptFailuresEndTheRunWithTheScriptsMessageAndLine)
{
    files.write(QStringLiteral("vb.xsl"),
                R"(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform"
    xmlns:msxsl="urn:schemas-microsoft-com:xslt" xmlns:w="urn:w">
<msxsl:script language="VBScript" implements-prefix="w">Function f()
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
        {"includes another language", "<xsl:include href=\"vb.xsl\"/>", {QStringLiteral("VBScript")}},
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
