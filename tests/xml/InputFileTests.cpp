#include "xml/XmlService.h"

#include "platform/Failure.h"

#include "TestEnvironment.h"

#include <QFile>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

const QByteArray Sheet = R"(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:output method="text"/><xsl:template match="/">x</xsl:template></xsl:stylesheet>)";

} // namespace

// A pipe nobody writes to would block the run for ever, a device like /dev/zero never end.
TEST(InputFileTest, OnlyRegularFilesAreRead)
{
    TestEnvironment env;
    const QString pipe = env.root() + QStringLiteral("/pipe.xml");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const QString source = env.writeFile(QStringLiteral("source.xml"), "<a/>");
    const auto sheetReading = [&](const QString& name, const QByteArray& instruction) {
        return env.writeFile(name,
                             R"(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">)" +
                                 instruction + "</xsl:stylesheet>");
    };
    const struct
    {
        const char* name;
        QString source;
        QString sheet;
        const char* expected; // in the message; libxslt reports what it could not include or read
    } cases[] = {
        {"a pipe as the source", pipe, env.writeFile(QStringLiteral("sheet.xsl"), Sheet), "not a regular file"},
        {"a device as the source", QStringLiteral("/dev/zero"), env.writeFile(QStringLiteral("sheet.xsl"), Sheet),
         "not a regular file"},
        {"a pipe as the style sheet", source, pipe, "not a regular file"},
        {"a pipe as an included sheet", source,
         sheetReading(QStringLiteral("includes.xsl"), "<xsl:include href=\"pipe.xml\"/>"), "pipe.xml"},
        {"a pipe as a document() target", source,
         sheetReading(QStringLiteral("opens.xsl"),
                      R"~(<xsl:template match="/"><xsl:copy-of select="document('pipe.xml')"/></xsl:template>)~"),
         ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        XmlDocument document;
        XmlDocument sheet;
        QString reason;
        if (!document.load(c.source)) {
            reason = document.parseError().reason;
        } else if (!sheet.loadStyleSheet(c.sheet)) {
            reason = sheet.parseError().reason;
        } else {
            QFile out(env.root() + QStringLiteral("/out.txt"));
            ASSERT_TRUE(out.open(QIODevice::WriteOnly));
            try {
                transformNodeToObject(document, sheet, out.handle());
            } catch (const UnexpectedFailure& failure) {
                reason = failure.description();
            }
        }
        EXPECT_TRUE(reason.contains(QString::fromUtf8(c.expected))) << reason.toStdString();
    }
}
