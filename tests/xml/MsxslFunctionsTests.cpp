#include "XmlTestFiles.h"

#include <gtest/gtest.h>

// Expected values worked out from the service's documentation of each function.
TEST(MsxslFunctionsTest, FollowTheServicesArgumentRulesAndResults)
{
    const struct
    {
        const char* select;
        const char* expected;
    } cases[] = {
        {"ms:string-compare('1', '2')", "-1"},
        {"ms:string-compare(2, '2')", "0"},
        {"ms:string-compare('3', '2')", "1"},
        {"ms:string-compare('apple', 'Banana', 'en-US')", "-1"},
        {"ms:string-compare('a', 'A', 'en-US')", "-1"},
        {"ms:string-compare('a', 'A', 'en-US', 'u')", "1"},
        {"ms:string-compare('a', 'A', '', 'i')", "0"},
        {"ms:utc('2000-02-16T15:56:00+02:00')", "2000-02-16T13:56:00"},
        {"ms:utc('2000-02-16T23:30:00.25-01:00')", "2000-02-17T00:30:00.250"},
        {"ms:utc('2001-04-05')", "2001-04-05T--:--:--"},
        {"ms:utc('2001-04')", "2001-04---T--:--:--"},
        {"ms:utc('--04-05')", "-----04-05T--:--:--"},
        {"ms:utc('12:30:00-01:00')", "----------T13:30:00"},
        {"ms:utc('2001-02-30')", ""},
        {"ms:utc('-0044-03-15')", ""},
        {"ms:utc('soon')", ""},
        {"ms:namespace-uri('g:h')", "urn:geo"},
        {"ms:namespace-uri('x:h')", ""},
        {"ms:namespace-uri('1x')", ""},
        {"ms:local-name('q:mine')", "mine"},
        {"ms:local-name('beans')", "beans"},
        {"ms:local-name('a:b:c')", ""},
        {"ms:number('1.2e-3') * 1000", "1.2"},
        {"ms:number(' 7 ')", "7"},
        {"ms:number('-INF')", "-Infinity"},
        {"ms:number('INF') > 1e308", "true"},
        {"ms:number('12abc')", "NaN"},
        {"ms:format-date('2000-02-16T15:56:00', 'MMM dd, yyyy', 'en-US')", "Feb 16, 2000"},
        {"ms:format-date('2000-02-06', 'dddd d MMMM yy', 'en-US')", "Sunday 6 February 00"},
        {"ms:format-date('2000-02-16', 'ddd M/d/y', 'en-US')", "Wed 2/16/0"},
        {"ms:format-date('yesterday', 'd', 'en-US')", ""},
        {"ms:format-time('2000-02-16T15:56:07', 'hh:mm:ss tt', 'en-US')", "03:56:07 PM"},
        {"ms:format-time('08:05:09', 'H:m:s t', 'en-US')", "8:5:9 A"},
        {"ms:format-time('15:56:07', &quot;HH'h'mm&quot;, 'en-US')", "15h56"},
    };
    XmlTestFiles files;
    const XmlDocument source = files.source(R"(<job xmlns:g="urn:geo"/>)");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.select);
        const QByteArray sheet = R"(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform"
    xmlns:ms="urn:schemas-microsoft-com:xslt"><xsl:output method="text"/>
<xsl:template match="/"><xsl:for-each select="job"><xsl:value-of select=")" +
                                 QByteArray(c.select) + R"("/></xsl:for-each></xsl:template></xsl:stylesheet>)";
        EXPECT_EQ(files.transform(source, files.sheet(sheet)), QString::fromUtf8(c.expected));
    }
}
