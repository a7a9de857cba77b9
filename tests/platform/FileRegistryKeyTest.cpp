#include "TestEnvironment.h"

#include "platform/FileRegistryKey.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

const QString TabulonKey = QStringLiteral("Software\\Corvane\\Tabulon");

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class FileRegistryKeyTest : public ::testing::Test
{
protected:
    QString userHive() const { return env.configHome() + QStringLiteral("/corvane/registry.reg"); }

    TestEnvironment env;
};

TEST_F(FileRegistryKeyTest, WritesCreateTheUserHiveAndReadBackIgnoringCase)
{
    EXPECT_EQ(FileRegistryKey::hivePath(RegistryRoot::CurrentUser), userHive());
    EXPECT_EQ(RegistryKey::open(RegistryRoot::CurrentUser, TabulonKey, RegistryAccess::Read), nullptr);
    {
        const auto key = RegistryKey::open(RegistryRoot::CurrentUser, TabulonKey, RegistryAccess::Write);
        ASSERT_NE(key, nullptr);
        EXPECT_TRUE(QFile::exists(userHive()));
        EXPECT_TRUE(key->setString(QStringLiteral("StyleSheetFolder"), QStringLiteral("/home/u/styles")));
        EXPECT_TRUE(key->setDWord(QStringLiteral("Left"), 120));
        EXPECT_TRUE(key->setString(QStringLiteral("stylesheetfolder"), QStringLiteral("/srv/styles")));
        EXPECT_EQ(key->value(QStringLiteral("STYLESHEETFOLDER"))->text, QStringLiteral("/srv/styles"));
        const auto help = key->openSubKey(QStringLiteral("Help"), RegistryAccess::Write);
        ASSERT_NE(help, nullptr);
        EXPECT_TRUE(help->setString(QString(), QStringLiteral("default")));
    }

    const auto key = RegistryKey::open(RegistryRoot::CurrentUser, QStringLiteral("SOFTWARE\\corvane\\TABULON"),
                                       RegistryAccess::Read);
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->valueNames(), QStringList({QStringLiteral("StyleSheetFolder"), QStringLiteral("Left")}));
    EXPECT_EQ(key->value(QStringLiteral("stylesheetfolder"))->type, RegistryValueType::String);
    EXPECT_EQ(key->value(QStringLiteral("left"))->type, RegistryValueType::DWord);
    EXPECT_EQ(key->value(QStringLiteral("left"))->number, 120u);
    EXPECT_FALSE(key->value(QStringLiteral("Missing")));
    EXPECT_FALSE(key->setString(QStringLiteral("Left"), QStringLiteral("read only")));
    const auto help = key->openSubKey(QStringLiteral("help"), RegistryAccess::Read);
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(help->value(QString())->text, QStringLiteral("default"));
}

TEST_F(FileRegistryKeyTest, WriteKeepsAHandWrittenHiveAndReplacesItAtomically)
{
    const QByteArray handWritten = R"(Windows Registry Editor Version 5.00

; written by hand
[HKEY_CURRENT_USER\Software\Other]
"Keep"=hex(2):24,00,48,00,00,00
"Order"=dword:00000002

[HKEY_CURRENT_USER\Software\Corvane\Tabulon]
"First"="1"
"Second"="2"
)";
    env.writeFile(QStringLiteral("config/corvane/registry.reg"), handWritten);
    // A second name for the old file shows whether it was rewritten in place or replaced.
    const QString oldName = env.root() + QStringLiteral("/old.reg");
    ASSERT_EQ(::link(QFile::encodeName(userHive()).constData(), QFile::encodeName(oldName).constData()), 0);

    const auto key = RegistryKey::open(RegistryRoot::CurrentUser, TabulonKey, RegistryAccess::Write);
    ASSERT_NE(key, nullptr);
    ASSERT_TRUE(key->setString(QStringLiteral("first"), QStringLiteral("one")));
    ASSERT_TRUE(key->setDWord(QStringLiteral("Third"), 3));

    EXPECT_EQ(readAll(oldName), handWritten);
    EXPECT_EQ(readAll(userHive()), R"(Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\Other]
"Keep"=hex(2):24,00,48,00,00,00
"Order"=dword:00000002

[HKEY_CURRENT_USER\Software\Corvane\Tabulon]
"First"="one"
"Second"="2"
"Third"=dword:00000003
)");
    EXPECT_EQ(QDir(env.configHome() + QStringLiteral("/corvane")).entryList(QDir::Files | QDir::Hidden),
              QStringList({QStringLiteral("registry.reg")}));

    // A change made by someone else since the key was opened survives the next write.
    QFile::remove(oldName);
    const auto other =
        RegistryKey::open(RegistryRoot::CurrentUser, QStringLiteral("Software\\Other"), RegistryAccess::Write);
    ASSERT_TRUE(other->setString(QStringLiteral("Added"), QStringLiteral("x")));
    ASSERT_TRUE(key->setString(QStringLiteral("Second"), QStringLiteral("two")));
    const auto check =
        RegistryKey::open(RegistryRoot::CurrentUser, QStringLiteral("Software\\Other"), RegistryAccess::Read);
    EXPECT_EQ(check->value(QStringLiteral("Added"))->text, QStringLiteral("x"));
    EXPECT_EQ(check->value(QStringLiteral("Keep"))->type, RegistryValueType::ExpandString);
    EXPECT_EQ(check->value(QStringLiteral("Keep"))->text, QStringLiteral("$H"));
}

TEST_F(FileRegistryKeyTest, UnparsableHiveIsReportedOnceReadAsEmptyAndNeverOverwritten)
{
    const QByteArray broken =
        "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Corvane\\Tabulon]\n"
        "\"Folder\"=\"C:\\Styles\"\n";
    env.writeFile(QStringLiteral("config/corvane/registry.reg"), broken);

    testing::internal::CaptureStderr();
    EXPECT_EQ(RegistryKey::open(RegistryRoot::CurrentUser, TabulonKey, RegistryAccess::Read), nullptr);
    EXPECT_EQ(RegistryKey::open(RegistryRoot::CurrentUser, TabulonKey, RegistryAccess::Write), nullptr);
    EXPECT_EQ(RegistryKey::open(RegistryRoot::CurrentUser, QStringLiteral("Software"), RegistryAccess::Write), nullptr);
    const std::string reported = testing::internal::GetCapturedStderr();

    EXPECT_EQ(readAll(userHive()), broken);
    const QString text = QString::fromStdString(reported);
    EXPECT_EQ(text.count(QStringLiteral("registry.reg:4:")), 1) << reported;
    EXPECT_EQ(text.count(u'\n'), 1) << reported;
}

TEST_F(FileRegistryKeyTest, MachineHiveComesFromTheFirstConfigFolderThatHasOneAndIsReadOnly)
{
    const auto hive = [](const char* folder) {
        return QByteArray("Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\Share]\n"
                          "\"CurrentGeoDataDirectory\"=\"") +
               folder + "\"\n[HKEY_CURRENT_USER\\Software\\Corvane\\Tabulon]\n\"Folder\"=\"machine\"\n";
    };
    env.writeFile(QStringLiteral("second/corvane/registry.reg"), hive("second"));
    env.writeFile(QStringLiteral("third/corvane/registry.reg"), hive("third"));
    QDir().mkpath(env.root() + QStringLiteral("/first/corvane"));
    qputenv("XDG_CONFIG_DIRS",
            QFile::encodeName(QStringLiteral("relative/dir:%1/first:%1/second:%1/third").arg(env.root())));

    EXPECT_EQ(FileRegistryKey::hivePath(RegistryRoot::LocalMachine),
              env.root() + QStringLiteral("/second/corvane/registry.reg"));
    const auto share =
        RegistryKey::open(RegistryRoot::LocalMachine, QStringLiteral("SOFTWARE\\Corvane\\Share"), RegistryAccess::Read);
    ASSERT_NE(share, nullptr);
    EXPECT_EQ(share->value(QStringLiteral("CurrentGeoDataDirectory"))->text, QStringLiteral("second"));

    // Each hive holds its own root only, and the machine-wide one is never written.
    EXPECT_EQ(RegistryKey::open(RegistryRoot::CurrentUser, TabulonKey, RegistryAccess::Read), nullptr);
    EXPECT_EQ(RegistryKey::open(RegistryRoot::LocalMachine, QStringLiteral("SOFTWARE\\Corvane\\Share"),
                                RegistryAccess::Write),
              nullptr);
    EXPECT_EQ(RegistryKey::open(RegistryRoot::LocalMachine, QStringLiteral("SOFTWARE\\New"), RegistryAccess::Write),
              nullptr);

    qputenv("XDG_CONFIG_DIRS", QFile::encodeName(env.root() + QStringLiteral("/first")));
    EXPECT_EQ(FileRegistryKey::hivePath(RegistryRoot::LocalMachine), QString());
    EXPECT_EQ(RegistryKey::open(RegistryRoot::LocalMachine, QStringLiteral("SOFTWARE"), RegistryAccess::Read), nullptr);
}

TEST_F(FileRegistryKeyTest, UserHiveDefaultsToDotConfig)
{
    qunsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(FileRegistryKey::hivePath(RegistryRoot::CurrentUser),
              env.home() + QStringLiteral("/.config/corvane/registry.reg"));
    qputenv("XDG_CONFIG_HOME", "relative/config");
    EXPECT_EQ(FileRegistryKey::hivePath(RegistryRoot::CurrentUser),
              env.home() + QStringLiteral("/.config/corvane/registry.reg"));
}

} // namespace
