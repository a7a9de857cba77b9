#include "ProgramTest.h"
#include "TestPaths.h"

#include <QThread>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Waits at its one prompt, "Title [x] ", until answered.
const QByteArray PromptSheet = R"~(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:output method="text"/><xsl:variable name="userFieldT" select="'t|Title|STRING'"/><xsl:variable name="t" select="'x'"/>
<xsl:template match="/"><xsl:value-of select="$t"/></xsl:template></xsl:stylesheet>)~";
const QString Prompt = QStringLiteral("Title [x] ");

QByteArray sheetWith(const QByteArray& body)
{
    return R"~(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:output method="text"/>)~" +
           body + "</xsl:stylesheet>";
}

// A small file system mounted for the lifetime of the object, if the system lets us.
class SmallFileSystem
{
public:
    explicit SmallFileSystem(const QString& folder)
        : m_folder(QFile::encodeName(folder))
        , m_mounted(::mount("tmpfs", m_folder.constData(), "tmpfs", 0, "size=64k") == 0)
    {}
    ~SmallFileSystem()
    {
        if (m_mounted)
            ::umount(m_folder.constData());
    }
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;

    bool mounted() const { return m_mounted; }

private:
    QByteArray m_folder;
    bool m_mounted;
};

mode_t modeOf(const QString& path)
{
    struct stat info;
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode : 0;
}

} // namespace

TEST_F(ProgramTest, InterruptsRemoveTheRunsFilesAndEndWith128PlusTheSignal)
{
    const QString promptSheet = env.writeFile(QStringLiteral("work dir/prompt.xsl"), PromptSheet);
    // A script that runs until its time is up keeps the run inside the transformation.
    const QString spinningSheet =
        env.writeFile(QStringLiteral("work dir/spinning.xsl"),
                      R"~(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform"
    xmlns:msxsl="urn:schemas-microsoft-com:xslt" xmlns:u="urn:u"><xsl:output method="text"/>
<msxsl:script language="JScript" implements-prefix="u">function spin() { for (;;) {} }</msxsl:script>
<xsl:template match="/"><xsl:value-of select="u:spin()"/></xsl:template></xsl:stylesheet>)~");

    struct Case
    {
        const char* name;
        int signal;
        bool atPrompt; // else inside the transformation
    };
    for (const Case c : {Case{"SIGINT while transforming", SIGINT, false}, Case{"SIGTERM at a prompt", SIGTERM, true},
                         Case{"SIGHUP at a prompt", SIGHUP, true}}) {
        SCOPED_TRACE(c.name);
        RunningTabulon program({source, c.atPrompt ? promptSheet : spinningSheet, QStringLiteral("out")}, work);
        if (c.atPrompt) {
            ASSERT_TRUE(program.waitForError(Prompt));
        } else {
            QThread::msleep(500); // the script engine loads and the script starts
        }
        ASSERT_EQ(::kill(pid_t(program.pid()), 0), 0);
        // Meanwhile the output being built has no name that could be left behind.
        EXPECT_EQ(env.tempFiles(), QStringList());

        ::kill(pid_t(program.pid()), c.signal);
        const ProgramResult result = program.finish();
        EXPECT_EQ(result.exitCode, 128 + c.signal) << result.err.toStdString();
        EXPECT_EQ(env.tempFiles(), QStringList());
        EXPECT_EQ(outputs(), QStringList());
    }
}

TEST_F(ProgramTest, ARunKilledOutrightLeavesNothing)
{
    RunningTabulon killed(
        {source, env.writeFile(QStringLiteral("work dir/prompt.xsl"), PromptSheet), QStringLiteral("out")}, work);
    ASSERT_TRUE(killed.waitForError(Prompt));
    ::kill(pid_t(killed.pid()), SIGKILL);
    killed.finish();
    EXPECT_EQ(env.tempFiles(), QStringList());
    EXPECT_EQ(outputs(), QStringList());
}

TEST_F(ProgramTest, AnOutputThatIsAFileTheRunReadsOrNoFileIsRefused)
{
    const QString module = env.writeFile(
        QStringLiteral("work dir/module.xsl"),
        sheetWith("<xsl:template name='head'><xsl:value-of select=\"document('lookup.xml')/l\"/></xsl:template>"));
    const QString lookup = env.writeFile(QStringLiteral("work dir/lookup.xml"), "<l>Points</l>");
    const QString reader =
        env.writeFile(QStringLiteral("work dir/reader.xsl"),
                      sheetWith("<xsl:include href='module.xsl'/><xsl:template match='/'><xsl:call-template "
                                "name='head'/></xsl:template>"));
    ASSERT_TRUE(QFile::link(source, work + QStringLiteral("/alias.smx")));
    ASSERT_TRUE(QDir(work).mkpath(QStringLiteral("sub")));
    ASSERT_TRUE(QDir(work).mkpath(QStringLiteral("folder.csv")));
    ASSERT_EQ(::mkfifo(QFile::encodeName(work + QStringLiteral("/pipe.csv")).constData(), 0600), 0);

    struct Case
    {
        const char* name;
        QString output;
        QString unchanged; // a file that must keep its content; empty where the output is no file
    };
    const std::vector<Case> cases = {
        {"the source", source, source},
        {"the source through a link", work + QStringLiteral("/alias.smx"), source},
        {"the source through ..", work + QStringLiteral("/sub/../site survey.smx"), source},
        {"the style sheet", reader, reader},
        {"an included module", module, module},
        {"a document() target", lookup, lookup},
        {"a name ending in a separator", work + QStringLiteral("/sub/"), {}},
        {"a pipe", work + QStringLiteral("/pipe.csv"), {}},
        {"a folder", work + QStringLiteral("/folder.csv"), {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile file(c.unchanged);
        const QByteArray before = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        file.close();
        const mode_t kind = modeOf(c.output) & S_IFMT;

        const ProgramResult result = run({source, reader, c.output});
        EXPECT_EQ(result.exitCode, 2) << result.err.toStdString();
        EXPECT_TRUE(result.err.startsWith(QStringLiteral("Error: The output name ") + c.output))
            << result.err.toStdString();
        if (!c.unchanged.isEmpty()) {
            EXPECT_TRUE(file.open(QIODevice::ReadOnly) && file.readAll() == before);
        }
        EXPECT_EQ(modeOf(c.output) & S_IFMT, kind);
    }
    EXPECT_EQ(QDir(work + QStringLiteral("/sub")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList());

    // A name that is final already is refused before the user answers questions in vain.
    const ProgramResult early =
        run({source, env.writeFile(QStringLiteral("work dir/prompt.xsl"), PromptSheet), source}, "answer\n");
    EXPECT_EQ(early.exitCode, 2);
    EXPECT_FALSE(early.err.contains(Prompt)) << early.err.toStdString();
}

TEST_F(ProgramTest, ReplacingAFileKeepsItsPermissionBits)
{
    const QString output = work + QStringLiteral("/old.csv");
    for (const mode_t mode : {mode_t(0444), mode_t(0751), mode_t(04710)}) {
        SCOPED_TRACE(mode);
        env.writeFile(QStringLiteral("work dir/old.csv"), "old");
        ASSERT_EQ(::chmod(QFile::encodeName(output).constData(), mode), 0);
        const ProgramResult result = run({source, sheet, output});
        EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
        EXPECT_EQ(read(QStringLiteral("old.csv")), Expected);
        EXPECT_EQ(modeOf(output), S_IFREG | mode);
        QFile::remove(output);
    }
}

TEST_F(ProgramTest, PathsOpenAndWriteTheFileTheirBytesName)
{
    // An argument that is no valid text would be decoded to another name and written there.
    QProcess shell;
    shell.setWorkingDirectory(work);
    shell.start(QStringLiteral("/bin/sh"),
                {QStringLiteral("-c"), QStringLiteral(R"~(exec "$0" "$1" "$2" "$(printf 'out\377.csv')")~"),
                 QStringLiteral(TABULON_EXECUTABLE), source, sheet});
    ASSERT_TRUE(shell.waitForFinished(120000));
    EXPECT_EQ(shell.exitCode(), 2);
    EXPECT_TRUE(shell.readAllStandardError().contains("Argument 3 is not valid text"));
    EXPECT_EQ(outputs(), QStringList());
    // The same for a name typed at the save question, and a folder's name is no file name there either.
    ASSERT_TRUE(QDir(work).mkpath(QStringLiteral("sub")));
    for (const QByteArray& answer : {QByteArray("out\xff\n"), QByteArray("sub/\n")}) {
        const ProgramResult typed = run({source, sheet}, answer);
        EXPECT_EQ(typed.exitCode, 2) << typed.err.toStdString();
    }
    EXPECT_EQ(outputs(), QStringList());
    EXPECT_TRUE(QDir(work + QStringLiteral("/sub")).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));

    // File-name answers are plain paths: '#', '?' and '%' belong to the name.
    const QString compare = env.writeFile(
        QStringLiteral("work dir/compare.xsl"),
        sheetWith("<xsl:variable name='userFieldF' select=\"'f|Compare with|FILENAME|xml'\"/><xsl:variable name='f' "
                  "select=\"''\"/><xsl:template match='/'><xsl:value-of select='document($f)/o'/></xsl:template>"));
    // In a folder without blanks, so that the paths are valid URIs, but not of these files.
    env.writeFile(QStringLiteral("odd/100A.xml"), "<o>decoded</o>");
    for (const char* name : {"a#b.xml", "q?x.xml", "100%41.xml"}) {
        SCOPED_TRACE(name);
        const QString file =
            env.writeFile(QStringLiteral("odd/") + QString::fromUtf8(name), "<o>" + QByteArray(name) + "</o>");
        const ProgramResult result = run({source, compare, QStringLiteral("out")}, QFile::encodeName(file) + '\n');
        EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
        EXPECT_EQ(read(QStringLiteral("out.txt")), QByteArray(name));
        QFile::remove(work + QStringLiteral("/out.txt"));
    }

    // So are paths the style sheet names beside itself, where such a file exists.
    const QString beside = env.writeFile(
        QStringLiteral("odd/beside.xsl"),
        sheetWith("<xsl:template match='/'><xsl:value-of select=\"document('a#b.xml')/o\"/>,<xsl:value-of "
                  "select=\"document('100%41.xml')/o\"/></xsl:template>"));
    const ProgramResult result = run({source, beside, QStringLiteral("out")});
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(read(QStringLiteral("out.txt")), QByteArray("a#b.xml,100%41.xml"));
}

TEST_F(ProgramTest, MessagesSayWhatHappenedInTheUsersTerms)
{
    const QString deep = env.writeFile(QStringLiteral("work dir/deep.smx"),
                                       QByteArray("<a>").repeated(300) + QByteArray("</a>").repeated(300));
    const QString endless =
        env.writeFile(QStringLiteral("work dir/endless.xsl"),
                      sheetWith("<xsl:template match='/'><xsl:call-template name='loop'/></xsl:template><xsl:template "
                                "name='loop'><xsl:call-template name='loop'/></xsl:template>"));
    const QString talking =
        env.writeFile(QStringLiteral("work dir/talking.xsl"),
                      sheetWith("<xsl:template match='/'><xsl:message>Checked <xsl:value-of select='count(//Point)'/> "
                                "points</xsl:message></xsl:template>"));
    const QString missing = work + QStringLiteral("/missing.smx");

    struct Case
    {
        const char* name;
        QStringList arguments;
        QByteArray input;
        int exitCode;
        QStringList said;
        QStringList notSaid;
    };
    const QStringList noRawIoText{QStringLiteral("failed to load external entity")};
    const std::vector<Case> cases = {
        {"missing source", {missing, sheet, "out"}, {}, 2, {missing, "No such file or directory"}, noRawIoText},
        {"missing style sheet", {source, missing, "out"}, {}, 2, {missing, "No such file or directory"}, noRawIoText},
        {"deep nesting", {deep, sheet, "out"}, {}, 2, {"more than 256 deep"}, {"XML_PARSE_HUGE"}},
        {"endless recursion", {source, endless, "out"}, {}, 1, {"more than 3000 deep"}, {"--maxdepth", "xsltMaxDepth"}},
        {"no answer at a prompt",
         {source, env.writeFile(QStringLiteral("work dir/prompt.xsl"), PromptSheet), "out"},
         {},
         2,
         {"the input ended before an answer came"},
         {}},
        {"xsl:message", {source, talking, "out"}, {}, 0, {"Checked 2 points"}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ProgramResult result = run(c.arguments, c.input);
        EXPECT_EQ(result.exitCode, c.exitCode) << result.err.toStdString();
        for (const QString& text : c.said)
            EXPECT_TRUE(result.err.contains(text)) << text.toStdString() << " in " << result.err.toStdString();
        for (const QString& text : c.notSaid)
            EXPECT_FALSE(result.err.contains(text)) << result.err.toStdString();
        QFile::remove(work + QStringLiteral("/out.txt"));
    }
}

TEST_F(ProgramTest, AFullDiskSaysSo)
{
    // Twenty thousand points make an output larger than the small file systems below.
    QByteArray many = "<Job>";
    for (int i = 0; i < 20000; ++i)
        many += "<Point name=\"P" + QByteArray::number(i) + "\"><N>1.5</N></Point>";
    const QString large = env.writeFile(QStringLiteral("work dir/large.smx"), many + "</Job>");
    const QString full = work + QStringLiteral("/full");
    QDir().mkpath(full);

    for (const QString& folder : {env.tempDir(), full}) {
        SCOPED_TRACE(folder.toStdString());
        const SmallFileSystem small(folder);
        if (!small.mounted())
            GTEST_SKIP() << "cannot mount a small file system here: " << std::strerror(errno);
        const ProgramResult result = run({large, sheet, full + QStringLiteral("/out")});
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_TRUE(result.err.contains(QStringLiteral("No space left on device"))) << result.err.toStdString();
    }
}

TEST_F(ProgramTest, RunningOutOfMemoryEndsTheRunWithoutACrash)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer reserves more address space than any limit below";
#else
    // Enough points that the tree outgrows the smaller address-space limits and fits in the larger.
    QByteArray many = "<Job>";
    for (int i = 0; i < 200000; ++i)
        many += "<Point><N>1.5</N></Point>";
    const QString large = env.writeFile(QStringLiteral("work dir/large.smx"), many + "</Job>");
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    // Below about 60 MB the libraries cannot even be loaded; the tree runs out of room up to about 130.
    for (const int megabytes : {80, 90, 100, 110, 120, 140, 160}) {
        SCOPED_TRACE(megabytes);
        QProcess shell;
        shell.setProcessEnvironment(environment);
        shell.setWorkingDirectory(work);
        shell.start(QStringLiteral("/bin/sh"),
                    {QStringLiteral("-c"), QStringLiteral(R"~(ulimit -v "$1" && exec "$0" "$2" "$3" out.csv)~"),
                     QStringLiteral(TABULON_EXECUTABLE), QString::number(megabytes * 1024), large, sheet});
        ASSERT_TRUE(shell.waitForFinished(120000));
        const QByteArray err = shell.readAllStandardError();
        ASSERT_EQ(shell.exitStatus(), QProcess::NormalExit) << err.toStdString();
        EXPECT_LE(shell.exitCode(), 2) << err.toStdString();
        if (shell.exitCode() != 0) {
            EXPECT_EQ(outputs(), QStringList()) << err.toStdString();
        }
        QFile::remove(work + QStringLiteral("/out.csv"));
    }
#endif
}
