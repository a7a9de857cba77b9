#include "LocaleGuard.h"
#include "QtPrinters.h"
#include "XmlTestFiles.h"

#include "pipeline/UserFields.h"
#include "text/StringTable.h"
#include "text/TextIds.h"

#include "ScriptedInteraction.h"

#include <gtest/gtest.h>

namespace {

class UserFieldsTest : public ::testing::Test
{
protected:
    QStringList selects(const QString& name) const { return selectsOf(sheet, QStringLiteral("xsl:variable"), name); }

    void load(const QByteArray& body) { sheet = files.sheet(styleSheetWith(body)); }

    QStringList prompts() const
    {
        QStringList list;
        for (const ValueQuestion& q : ui.valueQuestions)
            list << q.prompt + u'=' + q.defaultText;
        return list;
    }

    static QString definitionError(const QString& prompt)
    {
        return LoadLocalizedString(TextId::DefinitionError).replace(QLatin1String("%s"), prompt);
    }

    const LocaleGuard locale{englishLocale()};
    XmlTestFiles files;
    XmlDocument sheet;
    ScriptedInteraction ui;
};

} // namespace

TEST_F(UserFieldsTest, NoDefinitionsNoPrompt)
{
    load(R"~(<xsl:variable name="fileExt" select="'csv'"/><xsl:variable name="myUserField" select="'a|b|STRING'"/>)~");
    EXPECT_TRUE(ApplyUserFields(sheet, ui));
    EXPECT_TRUE(ui.events.isEmpty());
}

TEST_F(UserFieldsTest, EveryTargetInDocumentOrderWithItsOwnDefault)
{
    // The target stands before its definition and also appears as local variables of templates.
    load(R"~(<xsl:variable name="decimals" select="3"/>
<xsl:variable name="USERFIELD1" select="'decimals|Number of decimals|INTEGER|0|6'"/>
<xsl:template match="a"><xsl:variable name="decimals" select="2"/></xsl:template>
<xsl:template match="b"><xsl:variable name="decimals"/></xsl:template>
<xsl:template match="c"><xsl:param name="decimals" select="9"/></xsl:template>)~");
    ui.valueAnswers = {"4", "+5", "006"};
    EXPECT_TRUE(ApplyUserFields(sheet, ui));
    EXPECT_EQ(prompts(), QStringList({"Number of decimals=3", "Number of decimals=2", "Number of decimals="}));
    EXPECT_EQ(selects("decimals"), QStringList({"4", "5", "6"}));
    EXPECT_EQ(selectsOf(sheet, "xsl:param", "decimals"), QStringList({"9"}));
    EXPECT_EQ(ui.valueQuestions[0].kind, UserFieldKind::INTEGER);
    EXPECT_EQ(ui.valueQuestions[0].lowerText, "0");
    EXPECT_EQ(ui.valueQuestions[0].upperText, "6");
}

TEST_F(UserFieldsTest, SecondDefinitionOfATargetShowsTheFirstAnswerAsTyped)
{
    load(R"~(<xsl:variable name="userFieldA" select="'owner|Owner|STRING'"/>
<xsl:variable name="userFieldB" select="'owner| Owner again |STRING'"/>
<xsl:variable name="userFieldC" select="'tol|Tolerance|DOUBLE'"/>
<xsl:variable name="userFieldD" select="'tol|Tolerance again|DOUBLE|0|1'"/>
<xsl:variable name="owner" select="'nobody'"/>
<xsl:variable name="tol" select="0.050"/>)~");
    ui.valueAnswers = {"O'Brien's 5\" pipe", "O'Brien", "0.25", "0.5"};
    EXPECT_TRUE(ApplyUserFields(sheet, ui));
    EXPECT_EQ(prompts(), QStringList({"Owner=nobody", "Owner again=O'Brien's 5\" pipe", "Tolerance=0.050",
                                      "Tolerance again=0.25"}));
    EXPECT_EQ(selects("owner"), QStringList({"\"O'Brien\""}));
    EXPECT_EQ(selects("tol"), QStringList({"0.5"}));
}

TEST_F(UserFieldsTest, CancelStopsAtOnce)
{
    load(R"~(<xsl:variable name="userField1" select="'a|First|STRING'"/>
<xsl:variable name="userField2" select="'b|Second|STRING'"/>
<xsl:variable name="userField3" select="'c|Third|STRING'"/>
<xsl:variable name="a" select="'1'"/><xsl:variable name="b" select="'2'"/><xsl:variable name="c" select="'3'"/>)~");
    ui.valueAnswers = {"one", std::nullopt, "three"};
    EXPECT_FALSE(ApplyUserFields(sheet, ui));
    EXPECT_EQ(prompts(), QStringList({"First=1", "Second=2"}));
    EXPECT_EQ(selects("a"), QStringList({"'one'"}));
    EXPECT_EQ(selects("b"), QStringList({"'2'"}));
    EXPECT_EQ(selects("c"), QStringList({"'3'"}));
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(UserFieldsTest, DecimalsInACommaLocale)
{
    const LocaleGuard comma(commaLocale());
    load(R"~(<xsl:variable name="userFieldTol" select="'tol|Tolerance|DOUBLE|0|10'"/>
<xsl:variable name="tol" select="2.5"/>
<xsl:variable name="tol" select="$other * 2"/>
<xsl:variable name="tol" select="25"/>)~");
    // A point answer is no number here: the message is shown and the question asked again.
    ui.valueAnswers = {"3,75", "2.5", "1e-7", " 10 "};
    EXPECT_TRUE(ApplyUserFields(sheet, ui));
    EXPECT_EQ(prompts(),
              QStringList({"Tolerance=2,5", "Tolerance=$other * 2", "Tolerance=$other * 2", "Tolerance=25,00"}));
    EXPECT_EQ(ui.messageTexts(), QStringList({LoadLocalizedString(TextId::NumericRequired)}));
    EXPECT_EQ(selects("tol"), QStringList({"3.75", "0.0000001", "10"}));
}

TEST_F(UserFieldsTest, Menus)
{
    load(R"~(<xsl:variable name="userFieldSide" select="'side|Side|STRINGMENU|3|Left| right |Both'"/>
<xsl:variable name="side" select="'RIGHT'"/>
<xsl:variable name="side" select="'Centre'"/>)~");
    ui.valueAnswers = {"right", "Both"};
    EXPECT_TRUE(ApplyUserFields(sheet, ui));
    ASSERT_EQ(ui.valueQuestions.size(), 2u);
    EXPECT_EQ(ui.valueQuestions[0].kind, UserFieldKind::STRINGMENU);
    EXPECT_EQ(ui.valueQuestions[0].menuItems, QStringList({"Left", "right", "Both"}));
    EXPECT_EQ(ui.valueQuestions[0].defaultText, "RIGHT");
    EXPECT_EQ(ui.valueQuestions[1].defaultText, "Centre");
    EXPECT_EQ(selects("side"), QStringList({"'right'", "'Both'"}));
}

TEST_F(UserFieldsTest, FileNamesComeFromTheFileOpenDialog)
{
    load(R"~(<xsl:variable name="userFieldCtl" select="'ctl|Control points|FILENAME|.csv'"/>
<xsl:variable name="ctl" select="'default.csv'"/>
<xsl:variable name="userFieldAny" select="'any|Any file|FILENAME|'"/>
<xsl:variable name="any" select="''"/>)~");
    // A name the style sheet cannot hold is asked for again.
    ui.openAnswers = {"/data/bad\x01.csv", "/data/it's/points.csv", std::nullopt};
    EXPECT_FALSE(ApplyUserFields(sheet, ui));
    EXPECT_TRUE(ui.valueQuestions.empty());
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_TRUE(ui.messages[0].text.contains("U+0001 at position 10")) << ui.messages[0].text.toStdString();
    ui.openRequests.erase(ui.openRequests.begin());
    ASSERT_EQ(ui.openRequests.size(), 2u);
    const OpenFileRequest& csv = ui.openRequests[0];
    EXPECT_EQ(csv.title, "Control points");
    EXPECT_EQ(csv.defaultExtension, ".csv");
    EXPECT_EQ(csv.filterDescription, "Control points");
    EXPECT_EQ(csv.filterPattern, "*.csv");
    EXPECT_EQ(csv.fileName, "*.csv");
    EXPECT_EQ(ui.openRequests[1].filterPattern, "*.");
    EXPECT_EQ(selects("ctl"), QStringList({"\"/data/it's/points.csv\""}));
}

TEST_F(UserFieldsTest, MalformedDefinitionsAreReportedAndSkipped)
{
    struct Case
    {
        QByteArray select;
        QString named;
    };
    const std::vector<Case> cases = {
        {"'t|Count not a number|STRINGMENU|x|a|b'", "Count not a number"},
        {"'t|Count mismatch|STRINGMENU|3|a|b'", "Count mismatch"},
        {"'t|Count with empty rest|STRINGMENU|2|'", "Count with empty rest"},
        {"'t|Unknown word|TEXT|x'", "Unknown word"},
        {"'t|String with a bar|STRING|'", "String with a bar"},
        {"'t|Bare menu|STRINGMENU'", "Bare menu"},
        {"'t|Bare file|FILENAME'", "Bare file"},
        {"'t|No type'", "No type"},
        {"'just text'", "userFieldX"},
        {"''", "userFieldX"},
        {"concat(", "userFieldX"},
    };
    for (const Case& c : cases) {
        ScriptedInteraction fresh;
        load("<xsl:variable name=\"userFieldX\" select=\"" + c.select +
             "\"/><xsl:variable name=\"t\" select=\"'keep'\"/>");
        EXPECT_TRUE(ApplyUserFields(sheet, fresh)) << c.select.constData();
        EXPECT_TRUE(fresh.valueQuestions.empty()) << c.select.constData();
        ASSERT_EQ(fresh.messages.size(), 1u) << c.select.constData();
        EXPECT_EQ(fresh.messages[0].kind, MessageKind::Error);
        EXPECT_EQ(fresh.messages[0].text, definitionError(c.named)) << c.select.constData();
        EXPECT_EQ(selects("t"), QStringList({"'keep'"})) << c.select.constData();
    }

    // A user field without select is an empty definition; one without a name is no user field.
    load(R"~(<xsl:variable name="userFieldX">text</xsl:variable><xsl:variable select="'t|P|STRING'"/>
<xsl:variable name="t" select="'keep'"/>)~");
    EXPECT_TRUE(ApplyUserFields(sheet, ui));
    EXPECT_EQ(ui.messageTexts(), QStringList({definitionError("userFieldX")}));
    EXPECT_TRUE(ui.valueQuestions.empty());
}

TEST_F(UserFieldsTest, ErrorsDoNotStopLaterDefinitions)
{
    load(R"~(<xsl:variable name="userField1" select="'a|Broken|STRINGMENU|2|x'"/>
<xsl:variable name="userField2" select="'nowhere|Unmatched|STRING'"/>
<xsl:variable name="userField3" select="'b|Fine|DOUBLE'"/>
<xsl:variable name="a" select="'1'"/><xsl:variable name="b"/>)~");
    ui.valueAnswers = {"12.5"};
    EXPECT_TRUE(ApplyUserFields(sheet, ui));
    EXPECT_EQ(ui.messageTexts(), QStringList({definitionError("Broken")}));
    EXPECT_EQ(prompts(), QStringList({"Fine="}));
    EXPECT_EQ(selects("b"), QStringList({"12.5"}));
}

TEST_F(UserFieldsTest, TenThousandFields)
{
    QByteArray body;
    for (int i = 0; i < 10000; ++i) {
        const QByteArray n = QByteArray::number(i);
        body += "<xsl:variable name=\"userField" + n + "\" select=\"'v" + n + "|Value " + n +
                (i % 2 ? "|INTEGER|0|'" : "|STRINGMENU|2|a'") + "\"/><xsl:variable name=\"v" + n + "\" select=\"1\"/>";
        if (i % 2)
            ui.valueAnswers.push_back(n);
    }
    load(body);
    EXPECT_TRUE(ApplyUserFields(sheet, ui));
    EXPECT_EQ(ui.messages.size(), 5000u);
    ASSERT_EQ(ui.valueQuestions.size(), 5000u);
    EXPECT_EQ(selects("v9999"), QStringList({"9999"}));
    EXPECT_EQ(selects("v9998"), QStringList({"1"}));
}

TEST_F(UserFieldsTest, TheStyleSheetSeesTheAnswersAsTyped)
{
    load(R"~(<xsl:variable name="userField1" select="'who|Surveyor|STRING'"/>
<xsl:variable name="userField2" select="'n|Count|INTEGER'"/>
<xsl:variable name="userField3" select="'x|Scale|DOUBLE'"/>
<xsl:variable name="who" select="'?'"/><xsl:variable name="n" select="0"/><xsl:variable name="x" select="1"/>
<xsl:template match="/"><xsl:value-of select="concat($who, '|', $n + 1, '|', $x = 100000000000000000000)"/></xsl:template>)~");
    // Thousands of changes of quote kind must not reach libxslt's recursion limit.
    QString who = QStringLiteral("O'Brien's 5\" pipe ");
    for (int i = 0; i < 6000; ++i)
        who += i % 2 ? u'"' : u'\'';
    ui.valueAnswers = {who, "+41", "1e20"};
    EXPECT_TRUE(ApplyUserFields(sheet, ui));
    const XmlDocument source = files.source("<job/>");
    EXPECT_EQ(files.transform(source, sheet), who + "|42|true");
}

TEST(SetSelectByName, EveryMatchingElementOfTheTag)
{
    XmlTestFiles files;
    XmlDocument sheet = files.sheet(styleSheetWith(R"~(<xsl:param name="p" select="1"/><xsl:param name="P"/>
<xsl:variable name="p" select="2"/><xsl:template match="/"><xsl:param name="p"/></xsl:template>)~"));
    SetSelectByName(sheet, "xsl:param", "p", "'x'");
    EXPECT_EQ(selectsOf(sheet, "xsl:param", "p"), QStringList({"'x'", "'x'"}));
    EXPECT_EQ(selectsOf(sheet, "xsl:param", "P"), QStringList({"<none>"}));
    EXPECT_EQ(selectsOf(sheet, "xsl:variable", "p"), QStringList({"2"}));
}
