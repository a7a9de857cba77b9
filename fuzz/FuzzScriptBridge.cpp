#include "FuzzSupport.h"

#include "platform/Failure.h"
#include "xml/ScriptBlocks.h"
#include "xml/XmlService.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryFile>

#include <array>
#include <cstdio>

// Scripts made from the input by a small grammar of document-model calls, conversions and
// results, run over one fixed source. Property: the run writes a report or ends with a failure
// that names the script; it never crashes, leaks or trips a sanitizer, and a report never
// holds a NUL.

namespace {

const QByteArray Source = R"(<job xmlns:g="urn:geo" xml:lang="en"><p id="P1" code="CP"><n>10.5</n><e>20</e></p>)"
                          R"(<p id="P2"><n>11</n><g:h>5</g:h><!-- c --><?pi x?></p></job>)";

// Values a step works on: the argument list, the document, and what earlier steps made.
constexpr std::array Values{"n",
                            "d",
                            "v0",
                            "v1",
                            "v2",
                            "n[0]",
                            "n(1)",
                            "d.documentElement",
                            "v0.firstChild",
                            "n[0].attributes",
                            "v1.childNodes",
                            "v2[0]",
                            "n.item(9)",
                            "null",
                            "s"};

constexpr std::array Texts{"'p'",
                           "'*'",
                           "'//n'",
                           "'../p'",
                           "'g:h'",
                           "'@id'",
                           "'e'",
                           "''",
                           "'<a xml:lang=\"en\"><b/>t</a>'",
                           "'<!DOCTYPE a [<!ENTITY e SYSTEM \"/etc/hostname\">]><a>&e;</a>'",
                           "'<!DOCTYPE a [<!ENTITY x \"xx\">]><a x=\"&x;\">&x;</a>'",
                           "'<a><b/>'",
                           "\"xmlns:q='urn:geo'\"",
                           "'a\\u0000b'",
                           "s",
                           "String(v0)"};

// Each takes a value (%1) and a text (%2).
constexpr std::array Steps{
    "%1.selectNodes(%2)",
    "%1.selectSingleNode(%2)",
    "%1.getElementsByTagName(%2)",
    "%1.childNodes",
    "%1.attributes",
    "%1.cloneNode(true)",
    "%1.cloneNode(false)",
    "%1.appendChild(v1)",
    "%1.insertBefore(v2, %1.firstChild)",
    "%1.removeChild(%1.lastChild)",
    "%1.replaceChild(v2, %1.firstChild)",
    "%1.setAttribute(%2, %2)",
    "%1.removeAttribute(%2)",
    "%1.getAttribute(%2)",
    "%1.text",
    "%1.xml",
    "%1.nodeName + %1.nodeType + %1.baseName + %1.prefix + %1.namespaceURI",
    "%1.text = %2",
    "%1.nodeValue = %2",
    "%1.loadXML(%2)",
    "%1.parseError.reason",
    "%1.setProperty('SelectionNamespaces', %2)",
    "%1.createElement(%2)",
    "%1.createTextNode(%2)",
    "%1.createNode(2, %2, '')",
    "%1.documentElement = v1",
    "%1.ownerDocument",
    "%1.parentNode",
    "%1.nextSibling",
    "typeof %1",
    "%1.length",
    "new Enumerator(%1).item()",
    "String(%1)",
    "Number(%1)",
    "[%1, %1]",
    "%2.match(/(a)|(b)/)",
    "%2.replace(/(x)?/g, function (m, a) { return a + '.'; })",
    "%2.split(/(,)|(;)/)",
    "Date.parse(%2)",
    "new Date(%2).getYear()",
    "new ActiveXObject('Msxml2.DOMDocument')",
    "s + s",
};

class Reader
{
public:
    explicit Reader(const QByteArray& bytes)
        : m_bytes(bytes)
    {}
    bool atEnd() const { return m_at >= m_bytes.size(); }
    template <typename Table>
    const char* pick(const Table& table)
    {
        return table[std::size_t(atEnd() ? 0 : quint8(m_bytes[m_at++])) % table.size()];
    }

private:
    const QByteArray& m_bytes;
    qsizetype m_at = 0;
};

QByteArray scriptOf(const QByteArray& bytes)
{
    Reader reader(bytes);
    QByteArray body = "var d = new ActiveXObject('Msxml2.DOMDocument'); d.loadXML('<r><a/><b/></r>');"
                      " var v0 = d.documentElement, v1 = d.createElement('c'), v2 = n, s = 'ab', r;\n";
    int variable = 0;
    while (!reader.atEnd()) {
        // Not QString::arg: a step may use only its text, which arg would fill with the value.
        QString step = QString::fromLatin1(reader.pick(Steps));
        step.replace(QLatin1String("%1"), QLatin1String(reader.pick(Values)));
        step.replace(QLatin1String("%2"), QLatin1String(reader.pick(Texts)));
        body += "try { v" + QByteArray::number(variable) + " = " + step.toUtf8() + "; } catch (e) { r = e; }\n";
        variable = (variable + 1) % 3;
    }
    return "function f(n) {\n" + body + "return " + reader.pick(Values) + ";\n}";
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    // The script engine is found beside the program, which only an application knows.
    static QCoreApplication application(*argc, *argv);
    // Short limits keep each input fast; they are what the runs check, not their size.
    setScriptCallTimeLimit(std::chrono::milliseconds(2000));
    setScriptMemoryLimit(64 << 20);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray script = scriptOf(fuzzBytes(data, size));
    const QByteArray sheet = R"(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform"
    xmlns:msxsl="urn:schemas-microsoft-com:xslt" xmlns:u="urn:fuzz"><xsl:output method="text"/>
<msxsl:script language="JScript" implements-prefix="u"><![CDATA[)" +
                             script + R"~(]]></msxsl:script>
<xsl:template match="/"><xsl:value-of select="u:f(//p)"/>|<xsl:value-of select="count(u:f(//n))"/></xsl:template>
</xsl:stylesheet>)~";
    static const QString sourcePath = writeScratchFile(Source, QStringLiteral("source.xml"));
    XmlDocument source;
    XmlDocument styleSheet;
    if (!source.load(sourcePath) || !styleSheet.loadStyleSheet(writeScratchFile(sheet, QStringLiteral("sheet.xsl"))))
        fuzzFinding("the fixed source and a sheet of generated scripts load", QString::fromUtf8(sheet));
    QTemporaryFile output;
    if (!output.open())
        fuzzFinding("a report file can be made");
    try {
        transformNodeToObject(source, styleSheet, output.handle());
    } catch (const UnexpectedFailure& failure) {
        const QString& text = failure.description();
        if (text.contains(QStringLiteral("could not be loaded")) ||
            (!text.contains(QStringLiteral("function f")) && !text.contains(QStringLiteral("cript"))))
            fuzzFinding("a failed run names the script", text);
        return 0;
    }
    output.seek(0);
    if (output.readAll().contains('\0'))
        fuzzFinding("a report holds no NUL", QString::fromUtf8(script));
    return 0;
}
