#include "ScriptedInteraction.h"
#include "TestEnvironment.h"

#include "convert/ReductionErrors.h"
#include "platform/Failure.h"

#include <QStringEncoder>

#include <gtest/gtest.h>

namespace {

QByteArray utf16(const QString& text, QStringConverter::Encoding encoding)
{
    QStringEncoder encoder(encoding, QStringConverter::Flag::WriteBom);
    return encoder(text);
}

const QString GridWarning =
    QStringLiteral("A required grid file could not be located in the GeoData folder (/srv/geo%sdata).\r\n"
                   "The grid file is needed when converting the selected job file to a Surmex file for use in the "
                   "processing.\r\n"
                   "No computed grid coordinates will be available for output.");

struct ReductionCase
{
    const char* what;
    QByteArray content;
    int warnings;
};

TEST(ReductionErrorsTest, OneWarningPerLineWithTheMarker)
{
    const QString threeLines = QStringLiteral("<SurmexJob>\n<Reductions error=\"a\"/>\n"
                                              "<REDUCTIONS ERROR=\"b\"/>\n<reductions Error=\"c\"/>\n</SurmexJob>\n");
    const std::vector<ReductionCase> cases = {
        {"none", "<SurmexJob>\n<Reductions ok=\"1\"/>\n</SurmexJob>\n", 0},
        {"empty", "", 0},
        {"any case, LF", threeLines.toUtf8(), 3},
        {"CR LF", QString(threeLines).replace(QStringLiteral("\n"), QStringLiteral("\r\n")).toUtf8(), 3},
        {"CR alone", QString(threeLines).replace(u'\n', u'\r').toUtf8(), 3},
        {"UTF-8 mark", "\xef\xbb\xbf" + threeLines.toUtf8(), 3},
        {"UTF-16LE mark", utf16(threeLines, QStringConverter::Utf16LE), 3},
        {"UTF-16BE mark", utf16(threeLines, QStringConverter::Utf16BE), 3},
        {"two markers on one line", "<Reductions error=\"a\"/><Reductions error=\"b\"/>", 1},
        {"marker split over lines", "<Reductions\n error=\"a\"/>\n", 0},
        {"no line end at the end", "x\n<Reductions error=\"a\"/>", 1},
    };
    for (const ReductionCase& c : cases) {
        SCOPED_TRACE(c.what);
        TestEnvironment env;
        ScriptedInteraction ui;
        const QString path = env.writeFile(QStringLiteral("tmp/job.smx"), c.content);
        CheckReductionErrors(path, QStringLiteral("/srv/geo%sdata"), ui);
        ASSERT_EQ(ui.messages.size(), std::size_t(c.warnings));
        for (const auto& message : ui.messages) {
            EXPECT_EQ(message.kind, MessageKind::Warning);
            EXPECT_EQ(message.text, GridWarning);
        }
    }
}

TEST(ReductionErrorsTest, UnreadableFileIsAnUnexpectedFailure)
{
    TestEnvironment env;
    ScriptedInteraction ui;
    EXPECT_THROW(CheckReductionErrors(env.tempDir() + QStringLiteral("/missing.smx"), QString(), ui),
                 UnexpectedFailure);
    EXPECT_THROW(CheckReductionErrors(env.tempDir(), QString(), ui), UnexpectedFailure);
    EXPECT_TRUE(ui.messages.empty());
}

} // namespace
