#pragma once

#include "ProgramRunner.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

inline const QByteArray Source =
    "<Job>\n  <Point name=\"P1\"><N>1.5</N></Point>\n  <Point name=\"P2\"><N>2.5</N></Point>\n</Job>\n";
inline const QByteArray Sheet = R"~(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:output method="text"/><xsl:variable name="fileExt" select="'csv'"/>
<xsl:template match="/"><xsl:for-each select="Job/Point"><xsl:value-of select="@name"/>;<xsl:value-of select="N"/><xsl:text>&#10;</xsl:text></xsl:for-each></xsl:template>
</xsl:stylesheet>)~";
inline const QByteArray Expected = "P1;1.5\nP2;2.5\n";

// Runs the real program as a script would, without a display, answering from `input`.
class ProgramTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        work = env.root() + QStringLiteral("/work dir");
        QDir().mkpath(work);
        source = env.writeFile(QStringLiteral("work dir/site survey.smx"), Source);
        sheet = env.writeFile(QStringLiteral("work dir/points.xsl"), Sheet);
    }

    void TearDown() override { EXPECT_TRUE(env.tempFiles().isEmpty()) << env.tempFiles().join(u' ').toStdString(); }

    ProgramResult run(const QStringList& arguments, const QByteArray& input = {})
    {
        return runTabulon(arguments, work, input);
    }

    QByteArray read(const QString& name) const
    {
        QFile file(QDir(work).filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    QStringList outputs() const { return QDir(work).entryList({QStringLiteral("*.csv"), QStringLiteral("out*")}); }

    TestEnvironment env;
    QString work;
    QString source;
    QString sheet;
};
