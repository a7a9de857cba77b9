#include "pipeline/GenerateOperation.h"
#include "pipeline/OutputSaving.h"

#include "platform/Failure.h"
#include "platform/TempFiles.h"

#include "RecordingShell.h"
#include "ScriptedInteraction.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A run in the dialog with a style sheet entry selected.
GenerateFields dialogForm()
{
    GenerateFields form;
    form.format = QStringLiteral("points");
    form.viewer = QStringLiteral("viewer");
    form.commandLine = false;
    return form;
}

const QByteArray Source =
    "<Job>\n  <Point name=\"P1\"><N>1.5</N></Point>\n  <Point name=\"P2\"><N>2.5</N></Point>\n</Job>\n";

QByteArray sheetWithExtension(const QByteArray& fileExt)
{
    return R"~(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:output method="text"/>
)~" + fileExt +
           R"~(
<xsl:template match="/"><xsl:for-each select="Job/Point"><xsl:value-of select="@name"/>;<xsl:value-of select="N"/><xsl:text>&#10;</xsl:text></xsl:for-each></xsl:template>
</xsl:stylesheet>)~";
}

const QByteArray ExpectedOutput = "P1;1.5\nP2;2.5\n";

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

class GenerateOperationTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        form.source = env.writeFile(QStringLiteral("jobs/site.smx"), Source);
        form.sheet = env.writeFile(QStringLiteral("sheets/points.xsl"),
                                   sheetWithExtension("<xsl:variable name=\"fileExt\" select=\"'csv'\"/>"));
        outDir = env.root() + QStringLiteral("/out");
        QDir().mkpath(outDir);
    }

    GenerateOutcome run() { return RunGenerateOperation(form, ui, shell); }

    // Every run, whatever its end, leaves the temporary folder as it found it and the cursor normal.
    void TearDown() override
    {
        EXPECT_TRUE(env.tempFiles().isEmpty()) << env.tempFiles().join(u' ').toStdString();
        EXPECT_EQ(ui.busyDepth, 0);
    }

    TestEnvironment env;
    GenerateFields form = dialogForm();
    ScriptedInteraction ui;
    RecordingShell shell;
    QString outDir;
};

} // namespace

TEST_F(GenerateOperationTest, SavesThroughTheDialogAndReportsSuccess)
{
    const QString target = outDir + QStringLiteral("/chosen.csv");
    ui.saveAnswers = {target};
    EXPECT_EQ(run(), GenerateOutcome::Written);
    EXPECT_EQ(readFile(target), ExpectedOutput);

    ASSERT_EQ(ui.saveRequests.size(), 1u);
    EXPECT_EQ(ui.saveRequests[0].fileName, QStringLiteral("site.csv"));
    EXPECT_EQ(ui.saveRequests[0].defaultExtension, QStringLiteral("csv"));
    EXPECT_EQ(ui.saveRequests[0].filterDescription, QStringLiteral("points files (*.csv)"));
    EXPECT_EQ(ui.saveRequests[0].filterPattern, QStringLiteral("*.csv"));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].kind, MessageKind::Information);
    EXPECT_EQ(ui.messages[0].text, QStringLiteral("File %1 successfully created").arg(target));
    EXPECT_GE(ui.busyShown, 2); // loading and transforming
}

TEST_F(GenerateOperationTest, ViewsTheSavedFileInsteadOfReporting)
{
    struct Case
    {
        const char* name;
        bool document;
        bool starts = true;
    };
    for (const Case& c : {Case{"r.html", true}, Case{"r.HTM", true}, Case{"d.Svg", true}, Case{"r.xhtml", false},
                          Case{"d.svgz", false}, Case{"with blanks.txt", false}, Case{"noext", false},
                          Case{"no viewer.txt", false, false}, Case{"no opener.html", true, false}}) {
        SCOPED_TRACE(c.name);
        ScriptedInteraction scripted;
        RecordingShell recorder;
        recorder.starts = c.starts;
        const QString target = outDir + u'/' + QString::fromLatin1(c.name);
        scripted.saveAnswers = {target};
        form.view = true;
        EXPECT_EQ(RunGenerateOperation(form, scripted, recorder), GenerateOutcome::Written);
        EXPECT_EQ(readFile(target), ExpectedOutput);
        if (c.document)
            EXPECT_EQ(recorder.opened, QStringList{target});
        else
            EXPECT_EQ(recorder.run, QStringList{QStringLiteral("viewer|") + target});
        if (c.starts) {
            EXPECT_TRUE(scripted.messages.empty());
            continue;
        }
        // Saved, but the user hears which program failed and, for the viewer, where to choose another.
        ASSERT_EQ(scripted.messages.size(), 1u);
        EXPECT_EQ(scripted.messages[0].kind, MessageKind::Warning);
        const QString& text = scripted.messages[0].text;
        EXPECT_TRUE(text.contains(target));
        const QStringList named = c.document ? QStringList{QStringLiteral("xdg-open")}
                                             : QStringList{QStringLiteral("viewer"), QStringLiteral("TextFileViewer"),
                                                           env.configHome() + QStringLiteral("/corvane/registry.reg")};
        for (const QString& part : named)
            EXPECT_TRUE(text.contains(part)) << text.toStdString() << " lacks " << part.toStdString();
    }
}

TEST_F(GenerateOperationTest, CommandLineOutputNameGetsTheExtensionWhenItHasNone)
{
    struct Case
    {
        QString output;
        QString written;
    };
    const QString dotted = outDir + QStringLiteral("/dir.d");
    QDir().mkpath(dotted);
    const Case cases[] = {
        {outDir + QStringLiteral("/result"), outDir + QStringLiteral("/result.csv")},
        {outDir + QStringLiteral("/result.dat"), outDir + QStringLiteral("/result.dat")},
        {dotted + QStringLiteral("/result"), dotted + QStringLiteral("/result.csv")},
    };
    form.commandLine = true;
    for (const Case& c : cases) {
        form.output = c.output;
        EXPECT_EQ(run(), GenerateOutcome::Written);
        EXPECT_EQ(form.output, c.written);
        EXPECT_EQ(readFile(c.written), ExpectedOutput) << c.written.toStdString();
    }
    EXPECT_TRUE(ui.saveRequests.empty());
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_TRUE(shell.opened.isEmpty() && shell.run.isEmpty());
}

TEST_F(GenerateOperationTest, ExtensionComesFromTheFirstFileExtVariable)
{
    struct Case
    {
        QByteArray declaration;
        QString proposed;
        QString pattern;
    };
    const Case cases[] = {
        {"", QStringLiteral("site.txt"), QStringLiteral("*.txt")},
        {"<xsl:variable name=\"fileExt\" select=\"''\"/>", QStringLiteral("site."), QStringLiteral("*.")},
        {"<xsl:variable name=\"fileExt\" select=\"xml\"/>", QStringLiteral("site.xml"), QStringLiteral("*.xml")},
        {"<xsl:variable name=\"FileExt\" select=\"'no'\"/>", QStringLiteral("site.txt"), QStringLiteral("*.txt")},
        {"<xsl:variable name=\"fileExt\" select='\"csv\"'/>", QStringLiteral("site.csv"), QStringLiteral("*.csv")},
        {"<xsl:variable name=\"fileExt\" select=\"concat('c', &quot;'&quot;, 's')\"/>", QStringLiteral("site.c's"),
         QStringLiteral("*.c's")},
        {"<xsl:variable name=\"fileExt\" select=\"'dat'\"/><xsl:template name=\"t\"><xsl:variable name=\"fileExt\" "
         "select=\"'local'\"/></xsl:template>",
         QStringLiteral("site.dat"), QStringLiteral("*.dat")},
    };
    for (const Case& c : cases) {
        ScriptedInteraction scripted;
        env.writeFile(QStringLiteral("sheets/points.xsl"), sheetWithExtension(c.declaration));
        EXPECT_EQ(RunGenerateOperation(form, scripted, shell), GenerateOutcome::NotWritten);
        ASSERT_EQ(scripted.saveRequests.size(), 1u) << c.declaration.toStdString();
        EXPECT_EQ(scripted.saveRequests[0].fileName, c.proposed);
        EXPECT_EQ(scripted.saveRequests[0].filterPattern, c.pattern);
        EXPECT_TRUE(scripted.messages.empty()); // a cancelled save dialog says nothing
    }
}

TEST_F(GenerateOperationTest, UnsafeOrMissingExtensionIsAnUnexpectedFailure)
{
    form.commandLine = true;
    form.output = outDir + QStringLiteral("/result");
    for (const QByteArray& declaration : {QByteArray("<xsl:variable name=\"fileExt\" select=\"'/../../escape'\"/>"),
                                          QByteArray("<xsl:variable name=\"fileExt\" select=\"'c&#10;sv'\"/>"),
                                          QByteArray("<xsl:variable name=\"fileExt\" select=\"'txt&#x202E;fdp'\"/>"),
                                          QByteArray("<xsl:variable name=\"fileExt\" select=\"'csv&#xA0;'\"/>"),
                                          QByteArray("<xsl:variable name=\"fileExt\" select=\"'c&#x2028;sv'\"/>"),
                                          QByteArray("<xsl:variable name=\"fileExt\">csv</xsl:variable>")}) {
        env.writeFile(QStringLiteral("sheets/points.xsl"), sheetWithExtension(declaration));
        EXPECT_THROW(run(), UnexpectedFailure) << declaration.toStdString();
        EXPECT_EQ(QDir(outDir).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
        EXPECT_FALSE(QFileInfo::exists(env.root() + QStringLiteral("/escape")));
    }
}

TEST_F(GenerateOperationTest, ReportsLoadFailuresWithNumberAndReason)
{
    struct Case
    {
        QString source;
        QByteArray sheet;
        QString firstLine;
    };
    const QString good = form.source;
    const QString sheetPath = form.sheet;
    const Case cases[] = {
        {QStringLiteral("   "), sheetWithExtension(""), QStringLiteral("Error loading Surmex file (   )")},
        {env.root() + QStringLiteral("/missing.smx"), sheetWithExtension(""),
         QStringLiteral("Error loading Surmex file (%1/missing.smx)").arg(env.root())},
        {env.writeFile(QStringLiteral("bad.smx"), "<Job><a></Job>"), "<not-well-formed",
         QStringLiteral("Error loading Surmex file (%1/bad.smx)").arg(env.root())},
        {good, "<xsl:stylesheet", QStringLiteral("Error loading style sheet file (%1)").arg(sheetPath)},
    };
    for (const Case& c : cases) {
        ScriptedInteraction scripted;
        form.source = c.source;
        env.writeFile(QStringLiteral("sheets/points.xsl"), c.sheet);
        EXPECT_EQ(RunGenerateOperation(form, scripted, shell), GenerateOutcome::NotWritten);
        ASSERT_EQ(scripted.messages.size(), 1u);
        EXPECT_EQ(scripted.messages[0].kind, MessageKind::Plain);
        const QStringList lines = scripted.messages[0].text.split(QStringLiteral("\r\n"));
        ASSERT_EQ(lines.size(), 3) << scripted.messages[0].text.toStdString();
        EXPECT_EQ(lines[0], c.firstLine);
        EXPECT_TRUE(lines[1].startsWith(QStringLiteral("Error number: "))) << lines[1].toStdString();
        EXPECT_NE(lines[1], QStringLiteral("Error number: 0"));
        EXPECT_TRUE(lines[2].startsWith(QStringLiteral("Reason: ")) && lines[2].size() > 8);
        EXPECT_TRUE(scripted.saveRequests.empty());
    }
}

TEST_F(GenerateOperationTest, EmptySourceAndUnconvertibleJobStopEarly)
{
    form.source.clear();
    EXPECT_EQ(run(), GenerateOutcome::NotWritten);
    EXPECT_EQ(ui.messageTexts(), QStringList{QStringLiteral("A Surmex or Job file must be specified")});
    EXPECT_EQ(ui.messages[0].kind, MessageKind::Error);

    for (const char* name : {"field.job", "FIELD.JOB", "Field.Job"}) {
        ScriptedInteraction scripted;
        form.source = env.writeFile(QString::fromLatin1(name), "not a job anyone knows");
        EXPECT_EQ(RunGenerateOperation(form, scripted, shell), GenerateOutcome::NotWritten);
        // With no converter registered at all, the second line says where one would be.
        const QStringList lines = scripted.messageTexts().constLast().split(QStringLiteral("\r\n"));
        ASSERT_EQ(lines.size(), 2);
        EXPECT_EQ(lines[0], QStringLiteral("The selected job file could not be converted to a Surmex file"));
        EXPECT_TRUE(lines[1].contains(env.configDir() + QStringLiteral("/corvane/registry.reg")));
    }
    // Near misses are plain XML sources.
    for (const char* name : {"field.jobx", "field.jo", "field"}) {
        ScriptedInteraction scripted;
        form.source = env.writeFile(QString::fromLatin1(name), Source);
        EXPECT_EQ(RunGenerateOperation(form, scripted, shell), GenerateOutcome::NotWritten);
        EXPECT_TRUE(scripted.messages.empty()) << name;
        EXPECT_EQ(scripted.saveRequests.size(), 1u);
    }
}

TEST_F(GenerateOperationTest, TransformationErrorsAreUnexpectedFailuresThatLeaveNothing)
{
    env.writeFile(QStringLiteral("sheets/points.xsl"),
                  R"~(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:template match="/"><xsl:value-of select="no-such-function()"/></xsl:template></xsl:stylesheet>)~");
    form.commandLine = true;
    form.output = outDir + QStringLiteral("/result");
    try {
        run();
        ADD_FAILURE() << "no failure";
    } catch (const UnexpectedFailure& failure) {
        EXPECT_TRUE(failure.description().contains(QStringLiteral("no-such-function"))) << failure.what();
    }
    EXPECT_FALSE(QFileInfo::exists(outDir + QStringLiteral("/result.txt")));
}

TEST_F(GenerateOperationTest, ScriptFailuresLeaveNothingAndOtherLanguagesAreReportedOnLoading)
{
    const auto sheet = [](const char* language) {
        return QByteArray(R"~(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform"
    xmlns:msxsl="urn:schemas-microsoft-com:xslt" xmlns:u="urn:u">
<msxsl:script implements-prefix="u" language=")~") +
               language + R"~(">function f() { throw new Error('no angle'); }</msxsl:script>
<xsl:template match="/"><xsl:value-of select="u:f()"/></xsl:template></xsl:stylesheet>)~";
    };
    form.commandLine = true;
    form.output = outDir + QStringLiteral("/result");
    env.writeFile(QStringLiteral("sheets/points.xsl"), sheet("JScript"));
    try {
        run();
        ADD_FAILURE() << "no failure";
    } catch (const UnexpectedFailure& failure) {
        EXPECT_TRUE(failure.description().contains(QStringLiteral("no angle"))) << failure.what();
    }
    EXPECT_FALSE(QFileInfo::exists(outDir + QStringLiteral("/result.txt")));

    env.writeFile(QStringLiteral("sheets/points.xsl"), sheet("PerlScript"));
    EXPECT_EQ(run(), GenerateOutcome::NotWritten);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_TRUE(ui.messages[0].text.contains(QStringLiteral("\"PerlScript\" is not supported")))
        << ui.messages[0].text.toStdString();
    EXPECT_FALSE(QFileInfo::exists(outDir + QStringLiteral("/result.txt")));
}

TEST_F(GenerateOperationTest, FailedCopyIsReportedAndKeepsTheOldDestination)
{
    const QString existing = outDir + QStringLiteral("/existing.csv");
    QFile old(existing);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old content");
    old.close();
    const QString folderTarget = env.root() + QStringLiteral("/sheets");
    QStringList targets{env.root() + QStringLiteral("/no/such/folder/r.csv")};
    // Permissions do not stop root, who runs CI.
    const bool canLockFolder = ::geteuid() != 0;
    if (canLockFolder) {
        QFile::setPermissions(outDir, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        targets << existing;
    }

    for (const QString& target : targets) {
        ScriptedInteraction scripted;
        RecordingShell recorder;
        scripted.saveAnswers = {target};
        EXPECT_THROW(RunGenerateOperation(form, scripted, recorder), UnexpectedFailure) << target.toStdString();
        EXPECT_TRUE(scripted.messages.empty());
        EXPECT_TRUE(recorder.opened.isEmpty() && recorder.run.isEmpty());
    }
    if (canLockFolder)
        QFile::setPermissions(outDir, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_EQ(readFile(existing), QByteArray("old content"));

    // A folder is no file to write: refused with a message, and nothing is opened.
    ScriptedInteraction scripted;
    RecordingShell recorder;
    scripted.saveAnswers = {folderTarget};
    form.view = true;
    EXPECT_EQ(RunGenerateOperation(form, scripted, recorder), GenerateOutcome::NotWritten);
    EXPECT_EQ(scripted.messages.size(), 1u);
    EXPECT_TRUE(recorder.opened.isEmpty() && recorder.run.isEmpty());
}

TEST_F(GenerateOperationTest, FullDiskKeepsTheOldDestination)
{
    // A file size limit fails writes as a full disk does; the copy is smaller than Qt's write
    // buffer, so the failure only shows when that buffer is flushed.
    const QString from = env.writeFile(QStringLiteral("result.csv"), QByteArray(12000, 'x'));
    const QString existing = env.writeFile(QStringLiteral("out/kept.csv"), "old content");
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    EXPECT_THROW(CopyFileReplacing(from, existing), UnexpectedFailure);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_EQ(readFile(existing), QByteArray("old content"));
}

TEST_F(GenerateOperationTest, PlacedOutputTakesTheDestinationsPlaceAndLeavesNothingElse)
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    const QString target = env.writeFile(QStringLiteral("out/target.csv"), "old");
    const QString link = outDir + QStringLiteral("/link.csv");
    ASSERT_TRUE(QFile::link(target, link));
    const QString kept = env.writeFile(QStringLiteral("out/kept.csv"), "old");
    ASSERT_EQ(::chmod(QFile::encodeName(kept).constData(), 0640), 0);

    struct Row
    {
        const char* name;
        QString to;
        QString written;
        mode_t mode;
    };
    for (const Row& row : {Row{"a new name gets a new file's bits", outDir + QStringLiteral("/new.csv"),
                               outDir + QStringLiteral("/new.csv"), 0666 & ~mask},
                           Row{"an old file keeps its bits", kept, kept, 0640},
                           Row{"a link has its target replaced", link, target, 0666 & ~mask}}) {
        SCOPED_TRACE(row.name);
        std::optional<RunFolder> folder;
        TempOutputFile output(folder);
        ASSERT_EQ(::write(output.descriptor(), "new", 3), 3);
        PlaceOutputFile(output, row.to);
        output.discard();
        EXPECT_EQ(readFile(row.written), QByteArray("new"));
        struct stat info;
        ASSERT_EQ(::stat(QFile::encodeName(row.written).constData(), &info), 0);
        EXPECT_EQ(info.st_mode, S_IFREG | row.mode);
    }
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(QDir(outDir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
              (QStringList{QStringLiteral("kept.csv"), QStringLiteral("link.csv"), QStringLiteral("new.csv"),
                           QStringLiteral("target.csv")}));
}

TEST_F(GenerateOperationTest, BuiltInFormatCopiesTheSourceInTheDialogOnly)
{
    form.format = QStringLiteral("Corvane Surmex");
    form.sheet = env.root() + QStringLiteral("/sheets/Corvane Surmex.xslt");
    struct Row
    {
        const char* name;
        QString source;
        QString proposed; // never the source itself, which accepting would overwrite
    };
    const QString jobs = env.root() + QStringLiteral("/jobs/");
    const Row rows[] = {
        {"a Surmex source", form.source, jobs + QStringLiteral("site-copy.smx")},
        {"another XML source", env.writeFile(QStringLiteral("jobs/road.xml"), Source),
         jobs + QStringLiteral("road.smx")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ScriptedInteraction scripted;
        form.source = row.source;
        scripted.saveAnswers = {row.proposed};
        EXPECT_EQ(RunGenerateOperation(form, scripted, shell), GenerateOutcome::Written);
        ASSERT_EQ(scripted.saveRequests.size(), 1u);
        EXPECT_EQ(scripted.saveRequests[0].fileName, row.proposed);
        EXPECT_EQ(scripted.saveRequests[0].filterDescription, QStringLiteral("Corvane Surmex files (*.smx)"));
        EXPECT_EQ(readFile(row.proposed), Source);
        EXPECT_EQ(readFile(row.source), Source);
        EXPECT_EQ(scripted.busyShown, 0);
    }

    // The command line always applies the style sheet it names.
    form.commandLine = true;
    form.sheet = env.root() + QStringLiteral("/sheets/points.xsl");
    form.output = outDir + QStringLiteral("/cli");
    EXPECT_EQ(run(), GenerateOutcome::Written);
    EXPECT_EQ(readFile(outDir + QStringLiteral("/cli.csv")), ExpectedOutput);
}

TEST_F(GenerateOperationTest, BuiltInFormatWithAnUnreadableSourceSavesNothing)
{
    form.format = QStringLiteral("corvane surmex.xslt");
    form.source = env.root() + QStringLiteral("/gone.smx");
    ui.saveAnswers = {outDir + QStringLiteral("/copy.smx")};
    EXPECT_THROW(run(), UnexpectedFailure);
    EXPECT_TRUE(ui.saveRequests.empty());
    EXPECT_FALSE(QFileInfo::exists(outDir + QStringLiteral("/copy.smx")));
}

TEST(BuiltInFormat, IsRecognisedByNameWithoutFolderOrExtension)
{
    EXPECT_TRUE(IsBuiltInFormat(QStringLiteral("Corvane Surmex")));
    EXPECT_TRUE(IsBuiltInFormat(QStringLiteral("corvane surmex.xslt")));
    EXPECT_TRUE(IsBuiltInFormat(QStringLiteral("/sheets/CORVANE SURMEX")));
    EXPECT_FALSE(IsBuiltInFormat(QStringLiteral("Corvane Surmex 2")));
    EXPECT_FALSE(IsBuiltInFormat(QStringLiteral("Corvane Surmex.d/report.xsl")));
}
