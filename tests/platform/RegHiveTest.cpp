#include "platform/RegHive.h"

#include <QByteArrayList>
#include <QStringEncoder>

#include <gtest/gtest.h>

#include <vector>

namespace {

using Data = RegHive::Data;

const QByteArray Header = "Windows Registry Editor Version 5.00\n\n";

std::optional<RegHive> parseText(const QByteArray& text, RegHive::ParseError* error = nullptr)
{
    RegHiveParse parsed = RegHive::parse(text);
    if (error)
        *error = parsed.error;
    return std::move(parsed.hive);
}

struct ValueCase
{
    QByteArray line;
    QString name;
    Data data;
};

TEST(RegHiveTest, ReadsEveryValueNotation)
{
    const std::vector<ValueCase> cases = {
        {R"("a"="plain")", "a", Data::fromText("plain")},
        {R"("a"="back\\slash \"quoted\"")", "a", Data::fromText(R"(back\slash "quoted")")},
        {R"("a"="")", "a", Data::fromText("")},
        {R"("a"="x;y=z [w] @")", "a", Data::fromText("x;y=z [w] @")},
        {"\"a\"=\"S\xc3\xbc\x64 \xe6\xb8\xac\"", "a", Data::fromText(QStringLiteral("Süd 測"))},
        {R"(@="default")", "", Data::fromText("default")},
        {R"("na\"me\\"="v")", R"(na"me\)", Data::fromText("v")},
        {R"(  "a" = "spaced"  )", "a", Data::fromText("spaced")},
        {R"("a"=dword:0000002a)", "a", Data::fromDWord(42)},
        {R"("a"=DWORD:FFFFFFFF)", "a", Data::fromDWord(0xffffffffu)},
        {R"("a"=dword:1)", "a", Data::fromDWord(1)},
        {R"("a"=hex(4):2a,00,00,00)", "a", Data::fromDWord(42)},
        {R"("a"=hex(2):24,00,48,00,4f,00,4d,00,45,00,00,00)", "a", Data::fromText("$HOME", RegHive::TypeExpandString)},
        {"\"a\"=hex:de,ad,\\\n  be,ef", "a", Data{RegHive::TypeBinary, QByteArray::fromHex("deadbeef")}},
        {"\"a\"=hex:de,ad,\\\n  be,\\\n  ef", "a", Data{RegHive::TypeBinary, QByteArray::fromHex("deadbeef")}},
        {R"("a"=hex:)", "a", Data{RegHive::TypeBinary, {}}},
        {R"("a"=hex: 1 , 2 ,)", "a", Data{RegHive::TypeBinary, QByteArray::fromHex("0102")}},
        {R"("a"=hex(7):61,00,00,00,00,00)", "a", Data{7, QByteArray::fromHex("610000000000")}},
        {R"("a"=hex(b):01,00,00,00,00,00,00,00)", "a", Data{11, QByteArray::fromHex("0100000000000000")}},
    };
    for (const ValueCase& c : cases) {
        SCOPED_TRACE(c.line.toStdString());
        RegHive::ParseError error;
        const auto hive = parseText(Header + "[HKEY_CURRENT_USER\\K]\n" + c.line + "\n", &error);
        ASSERT_TRUE(hive) << error.line << ": " << error.message.toStdString();
        const auto values = hive->values(QStringLiteral("HKEY_CURRENT_USER\\K"));
        ASSERT_EQ(values.size(), 1u);
        EXPECT_EQ(values[0].name, c.name);
        EXPECT_EQ(values[0].data.type, c.data.type);
        EXPECT_EQ(values[0].data.bytes.toHex(), c.data.bytes.toHex());
    }
}

struct ErrorCase
{
    QByteArray content;
    int line;
};

TEST(RegHiveTest, SyntaxErrorsNameTheirLine)
{
    const QByteArray key = "[HKEY_CURRENT_USER\\K]\n";
    const std::vector<ErrorCase> cases = {
        {"", 1},
        {"REGEDIT4\n\n[HKEY_CURRENT_USER\\K]\n", 1},
        {"\n\nWindows Registry Editor Version 5.01\n", 3},
        {Header + "\"a\"=\"b\"\n", 3},
        {Header + "[HKEY_CURRENT_USER\\K\n", 3},
        {Header + "[HKEY_NOWHERE\\K]\n", 3},
        {Header + "[HKEY_CURRENT_USER\\\\K]\n", 3},
        {Header + "[HKEY_CURRENT_USER\\K\\]\n", 3},
        {Header + key + "\"a\"=\"unterminated\n", 4},
        {Header + key + "\"a\"=\"bad \\n escape\"\n", 4},
        {Header + key + "\"a\"=\"C:\\Program Files\"\n", 4},
        {Header + key + "\"a\"=text\n", 4},
        {Header + key + "\"a\"=\"x\" trailing\n", 4},
        {Header + key + "\"a\"=dword:123456789\n", 4},
        {Header + key + "\"a\"=dword:\n", 4},
        {Header + key + "\"a\"=dword:-1\n", 4},
        {Header + key + "\"a\"=hex:1g\n", 4},
        {Header + key + "\"a\"=hex:100\n", 4},
        {Header + key + "\"a\"=hex:01,,02\n", 4},
        {Header + key + "\"a\"=hex(zz):00\n", 4},
        {Header + key + "\"a\"=hex(2:00\n", 4},
        {Header + key + "\"a\"=hex:00,\\\n", 4},
        {Header + key + "\"a\"=hex:00,\\\n  zz\n", 5},
        {Header + key + "\"a\"\n", 4},
        {Header + key + "\"a\"==\"b\"\n", 4},
        {Header + key + "a=\"b\"\n", 4},
        {Header + key + "\n\n\"ok\"=\"1\"\n\"bad\n", 7},
    };
    for (const ErrorCase& c : cases) {
        SCOPED_TRACE(c.content.toStdString());
        RegHive::ParseError error;
        EXPECT_FALSE(parseText(c.content, &error));
        EXPECT_EQ(error.line, c.line);
        EXPECT_FALSE(error.message.isEmpty());
    }

    RegHive::ParseError error;
    EXPECT_FALSE(parseText(Header + key + "\"a\"=\"\xff\xfe\xfd\"\n", &error)) << "invalid UTF-8";
    EXPECT_FALSE(error.message.isEmpty());
    error = {};
    const QString loneSurrogate = QString::fromUtf8(Header + key + "\"a") + QChar(0xd800) + u'"' + u'=' + u'-';
    EXPECT_FALSE(
        parseText(QStringEncoder(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom)(loneSurrogate), &error))
        << "lone surrogate in UTF-16";
    EXPECT_FALSE(error.message.isEmpty());
}

TEST(RegHiveTest, LookupsAsImportingTheFileWould)
{
    const auto hive = parseText(Header + R"(; a comment line
[HKEY_LOCAL_MACHINE\SOFTWARE\Corvane\Share]
"CurrentGeoDataDirectory"="/srv/geodata"
"Dup"="first"
"Other"="x"

[HKEY_CURRENT_USER\Software\Corvane\Tabulon]
"Folder"="/home/user/styles"

[hkey_local_machine\software\corvane\SHARE]
"dup"="last"
"Added"=dword:00000001
"Other"=-

[-HKEY_LOCAL_MACHINE\SOFTWARE\Gone]
"Hidden"="x"
)");
    ASSERT_TRUE(hive);
    const QString share = QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\CORVANE\\share");
    EXPECT_TRUE(hive->hasKey(share));
    EXPECT_TRUE(hive->hasKey(QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane")));
    EXPECT_TRUE(hive->hasKey(QStringLiteral("HKEY_LOCAL_MACHINE")));
    EXPECT_FALSE(hive->hasKey(QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\Shar")));
    EXPECT_FALSE(hive->hasKey(QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\Share\\Sub")));
    EXPECT_FALSE(hive->hasKey(QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Gone")));
    EXPECT_FALSE(hive->hasKey(QStringLiteral("HKEY_CURRENT_USER\\SOFTWARE\\Corvane\\Share")));

    // Sections of one key merge; a repeated name keeps its first place and its last data;
    // deletions are not applied.
    const auto values = hive->values(share);
    ASSERT_EQ(values.size(), 4u);
    EXPECT_EQ(values[0].name, QStringLiteral("CurrentGeoDataDirectory"));
    EXPECT_EQ(values[1].name, QStringLiteral("Dup"));
    EXPECT_EQ(values[1].data.text(), QStringLiteral("last"));
    EXPECT_EQ(values[2].name, QStringLiteral("Other"));
    EXPECT_EQ(values[2].data.text(), QStringLiteral("x"));
    EXPECT_EQ(values[3].name, QStringLiteral("Added"));
    EXPECT_EQ(values[3].data.dword(), 1u);
    EXPECT_TRUE(hive->values(QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Gone")).empty());
}

TEST(RegHiveTest, ReadsUtf16WithCrLfAsRegeditWritesIt)
{
    const QString text = QStringLiteral("Windows Registry Editor Version 5.00\r\n\r\n"
                                        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\Share]\r\n"
                                        "\"CurrentGeoDataDirectory\"=\"C:\\\\GeoData\\\\\"\r\n"
                                        "\"Path\"=hex(2):43,00,3a,00,5c,00,\\\r\n"
                                        "  00,00\r\n");
    for (const auto encoding : {QStringConverter::Utf16LE, QStringConverter::Utf16BE, QStringConverter::Utf8}) {
        QStringEncoder encoder(encoding, QStringConverter::Flag::WriteBom);
        RegHive::ParseError error;
        const auto hive = parseText(encoder(text), &error);
        ASSERT_TRUE(hive) << error.message.toStdString();
        const auto values = hive->values(QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\Share"));
        ASSERT_EQ(values.size(), 2u);
        EXPECT_EQ(values[0].data.text(), QStringLiteral("C:\\GeoData\\"));
        EXPECT_EQ(values[1].data.type, RegHive::TypeExpandString);
        EXPECT_EQ(values[1].data.text(), QStringLiteral("C:\\"));
    }
}

TEST(RegHiveTest, WritesWhatItReadsBack)
{
    const QByteArray handWritten = Header + R"([HKEY_CURRENT_USER\Software\Corvane\Tabulon]
@="default"
"Folder"="C:\\Styles\\\"new\""
"Count"=dword:00000010
"Path"=hex(2):24,00,48,00,4f,00,4d,00,45,00,00,00
"Blob"=hex:00,01,02
"Multi"=hex(7):61,00,00,00,00,00
"Empty"=hex:
"Removed"=-

[-HKEY_CURRENT_USER\Software\Old]
)";
    const auto hive = RegHive::parse(handWritten).hive;
    ASSERT_TRUE(hive);
    const QByteArray written = hive->serialize();
    EXPECT_EQ(written, handWritten);
    const auto again = RegHive::parse(written).hive;
    ASSERT_TRUE(again);
    EXPECT_EQ(again->sections(), hive->sections());
}

TEST(RegHiveTest, WritesDataThatQuotesCannotHoldAsHex)
{
    RegHive hive;
    const QString key = QStringLiteral("HKEY_CURRENT_USER\\K");
    const std::vector<Data> data = {
        Data::fromText(QStringLiteral("two\nlines")),
        Data{RegHive::TypeString, QByteArray("a\0b\0", 4)},         // no terminating NUL
        Data{RegHive::TypeString, QByteArray("a\0\0\0b\0\0\0", 8)}, // NUL inside
        Data{RegHive::TypeDWord, QByteArray("\x01\x02", 2)},        // not four bytes
        Data{RegHive::TypeBinary, QByteArray(100, '\x7f')},
        Data{RegHive::TypeString, QByteArray("\0\xd8\0\0", 4)}, // a lone surrogate: no UTF-8 for it
    };
    for (std::size_t i = 0; i < data.size(); ++i)
        hive.setValue(key, QStringLiteral("v%1").arg(i), data[i]);
    const QByteArray written = hive.serialize();
    for (const QByteArray& line : written.split('\n'))
        EXPECT_LE(line.size(), 80) << line.toStdString();

    const auto back = RegHive::parse(written).hive;
    ASSERT_TRUE(back);
    const auto values = back->values(key);
    ASSERT_EQ(values.size(), data.size());
    for (std::size_t i = 0; i < data.size(); ++i)
        EXPECT_EQ(values[i].data, data[i]) << i;
}

TEST(RegHiveTest, SetValueKeepsEverythingElseInPlace)
{
    auto hive = RegHive::parse(Header + R"([HKEY_CURRENT_USER\Software\Corvane\Tabulon]
"A"="1"
"B"="2"

[HKEY_CURRENT_USER\Software\Other]
"X"=dword:00000001

[HKEY_CURRENT_USER\Software\Corvane\Tabulon]
"C"="3"
"Gone"=-
)")
                    .hive;
    ASSERT_TRUE(hive);
    hive->setValue(QStringLiteral("HKEY_CURRENT_USER\\software\\corvane\\tabulon"), QStringLiteral("b"),
                   Data::fromText("changed"));
    hive->setValue(QStringLiteral("HKEY_CURRENT_USER\\Software\\Corvane\\Tabulon"), QStringLiteral("D"),
                   Data::fromDWord(4));
    hive->setValue(QStringLiteral("HKEY_CURRENT_USER\\Software\\Corvane\\Tabulon\\Help"), QStringLiteral("Pos"),
                   Data::fromText("1,2"));
    hive->createKey(QStringLiteral("HKEY_CURRENT_USER\\Software\\Other"));
    hive->createKey(QStringLiteral("HKEY_CURRENT_USER\\Software\\New"));
    EXPECT_EQ(hive->serialize(), Header + R"([HKEY_CURRENT_USER\Software\Corvane\Tabulon]
"A"="1"
"B"="changed"

[HKEY_CURRENT_USER\Software\Other]
"X"=dword:00000001

[HKEY_CURRENT_USER\Software\Corvane\Tabulon]
"C"="3"
"Gone"=-
"D"=dword:00000004

[HKEY_CURRENT_USER\Software\Corvane\Tabulon\Help]
"Pos"="1,2"

[HKEY_CURRENT_USER\Software\New]
)");
}

} // namespace
