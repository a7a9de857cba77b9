#include "session/WindowlessConvertForm.h"

#include "pipeline/Viewing.h"
#include "platform/RegistryKey.h"

#include "TestEnvironment.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

const QString Key = QStringLiteral("Software\\Corvane\\Tabulon");
const QString BuiltIn = QStringLiteral("Corvane Surmex");

QByteArray hiveText(const char* root, const QByteArray& values)
{
    return QByteArray("Windows Registry Editor Version 5.00\n\n[") + root + "\\Software\\Corvane\\Tabulon]\n" + values;
}

class ConvertFormStateTest : public ::testing::Test
{
protected:
    QString folder(const QString& name, const QStringList& files) const
    {
        const QString path = env.root() + u'/' + name;
        QDir().mkpath(path);
        for (const QString& file : files) {
            if (file.endsWith(u'/'))
                QDir().mkpath(path + u'/' + file);
            else if (file.endsWith(u'|'))
                EXPECT_EQ(::mkfifo(QFile::encodeName(path + u'/' + file.chopped(1)).constData(), 0600), 0);
            else
                env.writeFile(name + u'/' + file, "<x/>");
        }
        return path + u'/';
    }

    QString userHive() const { return env.configHome() + QStringLiteral("/corvane/registry.reg"); }
    void writeUserHive(const QByteArray& values) const
    {
        env.writeFile(QStringLiteral("config/corvane/registry.reg"), hiveText("HKEY_CURRENT_USER", values));
    }

    TestEnvironment env;
};

} // namespace

TEST_F(ConvertFormStateTest, StyleSheetListOfAFolder)
{
    struct Row
    {
        const char* name;
        QStringList files; // a trailing "/" makes a folder, a trailing "|" a named pipe
        QString styleSheet;
        QStringList entries;
        int selected;
        QString resolved;
    };
    const std::vector<Row> rows = {
        {"sorted ignoring case", {"b.xsl", "A.xsl", "c.xslt"}, "c.xslt", {"A", "b", "c", BuiltIn}, 2, "c.xslt"},
        {"an .xsl and an .xslt of one name; the last equal entry is selected",
         {"report.xsl", "report.xslt"},
         "report.xslt",
         {BuiltIn, "report", "report"},
         2,
         "report.xsl"},
        {"a file stands in for the built-in entry",
         {"corvane surmex.xsl", "other.xsl"},
         "",
         {"corvane surmex", "other"},
         0,
         "corvane surmex.xsl"},
        {"selected by name ignoring case",
         {"report.xsl", "zeta.xsl"},
         "Report.XSL",
         {BuiltIn, "report", "zeta"},
         1,
         "report.xsl"},
        {"extensions in any case, hidden files, no folders or other files",
         {".A.xsl", "Upper.XSLT", "sub.xsl/", "notes.txt", "sheet.xsl.bak"},
         "",
         {".A", BuiltIn, "Upper"},
         0,
         ".A.xsl"},
        {"pipes named like style sheets are left out", {"pipe.xsl|", "a.xsl"}, "", {"a", BuiltIn}, 0, "a.xsl"},
        {"a style sheet gone from its folder: the first entry", {"a.xsl"}, "gone.xsl", {"a", BuiltIn}, 0, "a.xsl"},
        {"no style sheets: the built-in entry alone", {}, "", {BuiltIn}, 0, "Corvane Surmex.xslt"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        WindowlessConvertForm form;
        form.StyleSheetFolder = folder(QString::fromLatin1(row.name), row.files);
        form.StyleSheetPath = form.StyleSheetFolder + row.styleSheet;
        form.BuildStyleSheetList();
        EXPECT_EQ(form.formats(), row.entries);
        EXPECT_EQ(form.selectedIndex(), row.selected);
        EXPECT_EQ(form.StyleSheetPath, form.StyleSheetFolder + row.resolved);
    }
}

TEST_F(ConvertFormStateTest, ChoosingAnEntryOrAnotherFolder)
{
    WindowlessConvertForm form;
    form.StyleSheetFolder = folder(QStringLiteral("one"), {"report.xsl", "points.xslt"});
    form.BuildStyleSheetList();
    form.showFormats(form.formats(), static_cast<int>(form.formats().indexOf(QStringLiteral("points"))));
    form.StyleSheetComboChange();
    EXPECT_EQ(form.StyleSheetPath, form.StyleSheetFolder + QStringLiteral("points.xslt"));

    struct Row
    {
        const char* name;
        QStringList files;
        QString selected;
        QString resolved;
    };
    const std::vector<Row> rows = {
        {"a sheet of the same name stays selected, from the new folder",
         {"a.xsl", "points.xsl"},
         "points",
         "points.xsl"},
        {"a folder without style sheets", {}, BuiltIn, "Corvane Surmex.xslt"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        form.StyleSheetFolder = folder(QString::fromLatin1(row.name), row.files);
        form.BuildStyleSheetList();
        EXPECT_EQ(form.selectedFormat(), row.selected);
        EXPECT_EQ(form.StyleSheetPath, form.StyleSheetFolder + row.resolved);
    }
}

TEST_F(ConvertFormStateTest, SettingsAreReadInOrderUntilTheFirstFailure)
{
    const QString sheets = folder(QStringLiteral("sheets"), {"report.xsl", "points.xsl"});
    const QString source = env.writeFile(QStringLiteral("job.smx"), "<Job/>");
    const QByteArray sheet = (sheets + QStringLiteral("report.xsl")).toUtf8();
    const QByteArray all = "\"JobOrSurmexFile\"=\"" + source.toUtf8() + "\"\n\"StyleSheetFile\"=\"" + sheet +
                           "\"\n\"TextFileViewer\"=\"sh\"\n";

    struct Row
    {
        const char* name;
        std::optional<QByteArray> user; // values of the per-user key; no hive at all when absent
        QByteArray machine;             // values of the machine-wide key
        bool sourceKept;
        QString styleSheet;
        QString viewer;
        bool view;
        int filterIndex;
    };
    const QString fallback = QString::fromUtf16(DefaultTextViewer);
    const std::vector<Row> rows = {
        {"first run", std::nullopt, {}, false, "/Corvane Surmex.xslt", fallback, false, 1},
        {"every value",
         all + "\"ViewGeneratedFile\"=dword:00000007\n\"DefaultFileExtensionIndex\"=dword:00000002\n",
         {},
         true,
         sheet,
         "sh",
         true,
         2},
        {"a missing view setting stops before the file type",
         all + "\"DefaultFileExtensionIndex\"=dword:00000002\n",
         {},
         true,
         sheet,
         "sh",
         false,
         1},
        {"a view setting stored as text stops the reading",
         all + "\"ViewGeneratedFile\"=\"1\"\n\"DefaultFileExtensionIndex\"=dword:00000003\n",
         {},
         true,
         sheet,
         "sh",
         false,
         1},
        {"a source stored as a number stops everything",
         "\"JobOrSurmexFile\"=dword:00000001\n\"StyleSheetFile\"=\"" + sheet + "\"\n",
         {},
         false,
         "/Corvane Surmex.xslt",
         fallback,
         false,
         1},
        {"expandable strings are read unexpanded",
         "\"JobOrSurmexFile\"=hex(2):24,00,48,00,00,00\n\"StyleSheetFile\"=\"" + sheet + "\"\n",
         {},
         false,
         sheet,
         fallback,
         false,
         1},
        {"a viewer that cannot be found",
         "\"TextFileViewer\"=\"no-such-viewer-here\"\n",
         {},
         false,
         "/Corvane Surmex.xslt",
         fallback,
         false,
         1},
        {"the machine-wide style sheet when the user has none", QByteArray(), "\"StyleSheetFile\"=\"" + sheet + "\"\n",
         false, sheet, fallback, false, 1},
        {"the user's style sheet before the machine-wide one", "\"StyleSheetFile\"=\"" + sheet + "\"\n",
         "\"StyleSheetFile\"=\"/elsewhere/other.xsl\"\n", false, sheet, fallback, false, 1},
        {"a style sheet gone from a folder that is still there",
         "\"StyleSheetFile\"=\"" + sheets.toUtf8() + "gone.xsl\"\n",
         {},
         false,
         sheets + "Corvane Surmex.xslt",
         fallback,
         false,
         1},
        {"a style sheet whose folder is gone",
         "\"StyleSheetFile\"=\"/no/such/folder/report.xsl\"\n",
         {},
         false,
         "/Corvane Surmex.xslt",
         fallback,
         false,
         1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QFile::remove(userHive());
        if (row.user)
            writeUserHive(*row.user);
        env.writeFile(QStringLiteral("etc-xdg/corvane/registry.reg"), hiveText("HKEY_LOCAL_MACHINE", row.machine));

        WindowlessConvertForm form(ConvertFormState::RunMode::Dialog);
        form.LoadSettings();
        EXPECT_EQ(form.sourcePath(), row.sourceKept ? source : QString());
        EXPECT_EQ(form.StyleSheetPath, row.styleSheet);
        EXPECT_EQ(form.StyleSheetFolder, form.StyleSheetPath.left(form.StyleSheetPath.lastIndexOf(u'/') + 1));
        EXPECT_EQ(form.TextFileViewer, row.viewer);
        EXPECT_EQ(form.viewFile(), row.view);
        EXPECT_EQ(form.SourceFilterIndex, row.filterIndex);
        // The window's first run leaves the empty key behind.
        EXPECT_NE(RegistryKey::open(RegistryRoot::CurrentUser, Key, RegistryAccess::Read), nullptr);
    }
}

TEST_F(ConvertFormStateTest, SavedSettingsAreReadBackAndKeepOtherValues)
{
    const QString sheets = folder(QStringLiteral("sheets"), {"report.xsl"});
    const QString source = env.writeFile(QStringLiteral("job.smx"), "<Job/>");
    env.writeFile(QStringLiteral("config/corvane/registry.reg"),
                  hiveText("HKEY_CURRENT_USER", "\"TextFileViewer\"=\"sh\"\n\"HelpDialogPosition\"=\"1,2,3,4\"\n") +
                      "\n[HKEY_CURRENT_USER\\Software\\Other]\n\"Kept\"=dword:00000005\n");
    {
        WindowlessConvertForm form(ConvertFormState::RunMode::Dialog);
        form.LoadSettings();
        form.setSourcePath(source);
        form.setViewFile(true);
        form.SourceFilterIndex = 4;
        form.StyleSheetFolder = sheets;
        form.BuildStyleSheetList();
        form.showFormats(form.formats(), static_cast<int>(form.formats().indexOf(BuiltIn)));
        form.StyleSheetComboChange();
        form.SaveSettings();
    }
    const auto key = RegistryKey::open(RegistryRoot::CurrentUser, Key, RegistryAccess::Read);
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->value(QStringLiteral("StyleSheetFile"))->text, sheets + QStringLiteral("Corvane Surmex.xslt"));
    EXPECT_EQ(key->value(QStringLiteral("HelpDialogPosition"))->text, QStringLiteral("1,2,3,4"));
    EXPECT_EQ(RegistryKey::open(RegistryRoot::CurrentUser, QStringLiteral("Software\\Other"), RegistryAccess::Read)
                  ->value(QStringLiteral("Kept"))
                  ->number,
              5u);

    WindowlessConvertForm next(ConvertFormState::RunMode::Dialog);
    next.LoadSettings();
    EXPECT_EQ(next.sourcePath(), source);
    EXPECT_EQ(next.selectedFormat(), BuiltIn);
    EXPECT_EQ(next.StyleSheetFolder, sheets);
    EXPECT_TRUE(next.viewFile());
    EXPECT_EQ(next.SourceFilterIndex, 4);
    EXPECT_EQ(next.TextFileViewer, QStringLiteral("sh"));
}

TEST_F(ConvertFormStateTest, HivesThatMustNotBeWritten)
{
    const QByteArray broken = "not a registry file\n";
    const QByteArray repaired = hiveText("HKEY_CURRENT_USER", "\"JobOrSurmexFile\"=\"/mine.smx\"\n");
    struct Row
    {
        const char* name;
        ConvertFormState::RunMode mode;
        std::optional<QByteArray> atStart;
        std::optional<QByteArray> beforeClose; // the user edits the hive while the window is open
    };
    const std::vector<Row> rows = {
        {"a command-line run writes nothing, not even a first run's key", ConvertFormState::RunMode::CommandLine,
         std::nullopt, std::nullopt},
        {"an unparsable hive", ConvertFormState::RunMode::Dialog, broken, std::nullopt},
        {"an unparsable hive repaired before close keeps the user's values", ConvertFormState::RunMode::Dialog, broken,
         repaired},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QFile::remove(userHive());
        if (row.atStart)
            env.writeFile(QStringLiteral("config/corvane/registry.reg"), *row.atStart);
        WindowlessConvertForm form(row.mode);
        form.LoadSettings();
        if (row.beforeClose)
            env.writeFile(QStringLiteral("config/corvane/registry.reg"), *row.beforeClose);
        form.SaveSettings();

        const std::optional<QByteArray> expected = row.beforeClose ? row.beforeClose : row.atStart;
        QFile hive(userHive());
        EXPECT_EQ(hive.exists(), expected.has_value());
        if (expected && hive.open(QIODevice::ReadOnly)) {
            EXPECT_EQ(hive.readAll(), *expected);
        }
    }
}
