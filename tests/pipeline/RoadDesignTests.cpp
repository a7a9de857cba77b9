#include "LocaleGuard.h"
#include "QtPrinters.h"
#include "XmlTestFiles.h"

#include "pipeline/RoadDesign.h"
#include "pipeline/UserFields.h"
#include "platform/Failure.h"
#include "text/StringTable.h"
#include "text/TextIds.h"

#include "ScriptedInteraction.h"
#include "TestPaths.h"

#include <QFileInfo>
#include <QStringEncoder>

#include <gtest/gtest.h>

namespace {

const QByteArray RoadSheet = styleSheetWith(R"~(<xsl:param name="selectedAlignment" select="''"/>
<xsl:param name="xSectSurfToExport"/>
<xsl:param name="selectedProfile" select="'none'"/>
<xsl:template match="/"><xsl:param name="xSectSurfToExport"/></xsl:template>
<xsl:variable name="userFieldSlope" select="'slope|Side slope|STRINGMENU|2|1:2|lastTemplateElementAsSideSlope'"/>
<xsl:variable name="userFieldSlope2" select="'slope|Side slope|LASTTEMPLATEELEMENTASSIDESLOPE|STRING'"/>
<xsl:variable name="userFieldWidth" select="'width|Width|DOUBLE'"/>
<xsl:variable name="slope" select="'1:2'"/><xsl:variable name="width" select="3.5"/>)~");

QByteArray landXml(const QByteArray& alignments)
{
    return "<LandXML xmlns=\"http://www.landxml.org/schema/LandXML-1.2\" version=\"1.2\">\n<Alignments "
           "name=\"Site\">\n" +
           alignments + "\n</Alignments>\n</LandXML>\n";
}

class RoadDesignTest : public ::testing::Test
{
protected:
    // Runs the selection on a source and returns its outcome.
    bool select(const QByteArray& sourceText)
    {
        source = files.source(sourceText);
        return SelectRoadDesignElements(source, sheet, ui);
    }

    QStringList param(const QString& name) const { return selectsOf(sheet, QStringLiteral("xsl:param"), name); }

    QStringList menu(std::size_t question) const
    {
        return question < ui.valueQuestions.size() ? ui.valueQuestions[question].menuItems : QStringList();
    }

    const LocaleGuard locale{englishLocale()};
    XmlTestFiles files;
    XmlDocument source;
    XmlDocument sheet = files.sheet(RoadSheet);
    ScriptedInteraction ui;
};

} // namespace

TEST_F(RoadDesignTest, RecognisesLandXmlSourcesByTheNameAsWritten)
{
    const std::vector<std::pair<QByteArray, bool>> cases = {
        {"<LandXML/>", true},
        {"<LandXML xmlns=\"http://www.landxml.org/schema/LandXML-1.2\"/>", true},
        {"<Project><Data><LandXML/></Data></Project>", true},
        {"<Project><!-- LandXML --><Data>LandXML</Data><landxml/><LandXml/></Project>", false},
        {"<lx:LandXML xmlns:lx=\"http://www.landxml.org/schema/LandXML-1.2\"/>", false},
        {"<Project xmlns:lx=\"urn:x\"><lx:LandXML/></Project>", false},
        {"<SurmexJob><Points><Point><Name>LandXML</Name></Point></Points></SurmexJob>", false},
        {"<Project><?LandXML version=\"1\"?></Project>", true},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(IsLandXmlSource(files.source(text)), expected) << text.constData();
    EXPECT_FALSE(IsLandXmlSource(XmlDocument()));
}

TEST_F(RoadDesignTest, SheetsMentioningAlignmentsInAnyByteOrderMark)
{
    const QString text = QStringLiteral("<xsl:stylesheet>\n<xsl:for-each select=\"//Alignments/Alignment\"/>\n");
    const auto encoded = [&text](QStringConverter::Encoding encoding) {
        QStringEncoder encoder(encoding, QStringConverter::Flag::WriteBom);
        return QByteArray(encoder(text));
    };
    const std::vector<std::pair<QByteArray, bool>> cases = {
        {text.toUtf8(), true},
        {encoded(QStringConverter::Utf8), true},
        {encoded(QStringConverter::Utf16LE), true},
        {encoded(QStringConverter::Utf16BE), true},
        {text.toLatin1().replace("Alignments", "alignments"), false},
        {"<a>\xe9\xe8 Latin-1 text, then Alignments</a>", true},
        {"", false},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const QString path = files.write(QStringLiteral("sheet%1.xsl").arg(i), cases[i].first);
        EXPECT_EQ(SheetMentionsAlignments(path), cases[i].second) << i;
    }
    EXPECT_THROW(SheetMentionsAlignments(files.write("x", "") + "-missing"), UnexpectedFailure);
}

TEST_F(RoadDesignTest, OneAlignmentIsChosenWithoutAPrompt)
{
    EXPECT_TRUE(select(landXml(R"~(<Alignment name="Main Road"><CrossSects><CrossSect>
<DesignCrossSectSurf name="Top"/></CrossSect></CrossSects></Alignment>)~")));
    EXPECT_TRUE(ui.valueQuestions.empty());
    EXPECT_EQ(param("selectedAlignment"), QStringList({"'Main Road'"}));
    EXPECT_EQ(param("xSectSurfToExport"), QStringList({"'Top'", "'Top'"}));
    EXPECT_EQ(param("selectedProfile"), QStringList({"'none'"}));
}

TEST_F(RoadDesignTest, AlignmentsAreOfferedInDocumentOrderWithDuplicates)
{
    ui.valueAnswers = {"Ramp", "b"};
    EXPECT_TRUE(select(landXml(R"~(<Alignment name="Ramp"><CrossSects><CrossSect>
  <DesignCrossSectSurf name="a"/></CrossSect></CrossSects></Alignment>
<!-- a comment among the alignments -->
<Alignment name=""/><Alignment/><Feature name="Ramp"/>
<Alignment name="Main Road"/>
<Alignment name="Ramp"><CrossSects><CrossSect><DesignCrossSectSurf name="b"/></CrossSect></CrossSects></Alignment>)~")));
    ASSERT_EQ(ui.valueQuestions.size(), 2u);
    const ValueQuestion& alignment = ui.valueQuestions[0];
    EXPECT_EQ(alignment.prompt, LoadLocalizedString(TextId::SelectAlignment));
    EXPECT_EQ(alignment.kind, UserFieldKind::STRINGMENU);
    EXPECT_EQ(alignment.defaultText, "Ramp");
    EXPECT_EQ(alignment.lowerText, "0");
    EXPECT_EQ(alignment.upperText, "0");
    EXPECT_EQ(alignment.menuItems, QStringList({"Ramp", "Main Road", "Ramp"}));
    // Both elements of that name contribute their surfaces.
    EXPECT_EQ(ui.valueQuestions[1].prompt, LoadLocalizedString(TextId::SelectCrossSectSurface));
    EXPECT_EQ(menu(1), QStringList({"a", "b"}));
    EXPECT_EQ(param("selectedAlignment"), QStringList({"'Ramp'"}));
    EXPECT_EQ(param("xSectSurfToExport"), QStringList({"'b'", "'b'"}));
}

TEST_F(RoadDesignTest, SurfaceLabelsSortedWithoutCaseVariants)
{
    ui.valueAnswers = {"Ditch-Left's"};
    EXPECT_TRUE(select(landXml(R"~(<Alignment name="A"><CrossSects name="Sections 1">
<CrossSect>
  <CrossSectSurf name="Proposed ignored beside a design surface"/>
  <DesignCrossSectSurf name="top" desc="TOP"/>
  <DesignCrossSectSurf name="L1" desc="Left"/>
  <DesignCrossSectSurf/>
  <DesignCrossSectSurf name="" desc="Ditch-Left's"/>
</CrossSect>
<CrossSect>
  <DesignCrossSectSurf name="Top"/>
  <DesignCrossSectSurf name="l1" desc="left"/>
  <DesignCrossSectSurf name="  "/>
</CrossSect>
<CrossSect>
  <CrossSectSurf name="Ground" state="existing"/>
  <CrossSectSurf name="Formation"/>
  <CrossSectSurf name="Subgrade" state="proposed" desc="Layer 2"/>
  <CrossSectSurf name="Other" state="Proposed"/>
</CrossSect>
</CrossSects></Alignment>)~")));
    EXPECT_EQ(menu(0), QStringList({"Ditch-Left's", "Formation", "L1-Left", "Sections 1", "Subgrade-Layer 2", "top"}));
    EXPECT_EQ(ui.valueQuestions[0].defaultText, "Ditch-Left's");
    EXPECT_EQ(param("xSectSurfToExport"), QStringList({"\"Ditch-Left's\"", "\"Ditch-Left's\""}));
}

TEST_F(RoadDesignTest, CancelStopsTheRun)
{
    const QByteArray two = landXml(R"~(<Alignment name="A"><CrossSects><CrossSect><DesignCrossSectSurf name="x"/>
<DesignCrossSectSurf name="y"/></CrossSect></CrossSects></Alignment><Alignment name="B"/>)~");
    EXPECT_FALSE(select(two));
    EXPECT_EQ(ui.valueQuestions.size(), 1u);
    EXPECT_EQ(param("selectedAlignment"), QStringList({"''"}));

    ui.valueAnswers = {"A", std::nullopt};
    EXPECT_FALSE(select(two));
    EXPECT_EQ(ui.valueQuestions.size(), 3u);
    EXPECT_EQ(param("xSectSurfToExport"), QStringList({"<none>", "<none>"}));
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(RoadDesignTest, NoAlignmentsStopsWithAMessage)
{
    const std::vector<QByteArray> sources = {
        landXml("<!-- none --><Alignment name=\"\"/>"),
        "<Project><LandXML><Alignments><Alignment name=\"Nested\"/></Alignments></LandXML></Project>",
        "<LandXML><lx:Alignments xmlns:lx=\"urn:x\"><Alignment name=\"Prefixed\"/></lx:Alignments></LandXML>",
    };
    for (const QByteArray& text : sources) {
        ScriptedInteraction fresh;
        source = files.source(text);
        EXPECT_FALSE(SelectRoadDesignElements(source, sheet, fresh)) << text.constData();
        ASSERT_EQ(fresh.messages.size(), 1u) << text.constData();
        EXPECT_EQ(fresh.messages[0].kind, MessageKind::Error);
        EXPECT_EQ(fresh.messages[0].text, LoadLocalizedString(TextId::NoAlignments));
        EXPECT_TRUE(fresh.valueQuestions.empty());
    }
}

TEST_F(RoadDesignTest, WithoutSurfacesTheSideSlopeFieldsAreNotAsked)
{
    EXPECT_TRUE(select(landXml(R"~(<Alignment name="A"><CrossSects><CrossSect>
<CrossSectSurf name="Ground" state="existing"/></CrossSect></CrossSects></Alignment>)~")));
    EXPECT_EQ(param("xSectSurfToExport"), QStringList({"<none>", "<none>"}));
    EXPECT_EQ(selectsOf(sheet, "xsl:variable", "xuserFieldSlope").size(), 1);
    EXPECT_EQ(selectsOf(sheet, "xsl:variable", "xuserFieldSlope2").size(), 1);

    ui.valueAnswers = {"4"};
    EXPECT_TRUE(ApplyUserFields(sheet, ui));
    ASSERT_EQ(ui.valueQuestions.size(), 1u);
    EXPECT_EQ(ui.valueQuestions[0].prompt, "Width");
    EXPECT_EQ(selectsOf(sheet, "xsl:variable", "slope"), QStringList({"'1:2'"}));
}

TEST_F(RoadDesignTest, TunnelProfiles)
{
    const QByteArray tunnels = landXml(R"~(<Alignment name="Bore"><TunnelProfiles>
  <Feature code="KZ Tunnel Layers">
    <Feature code="KZ Tunnel Layer"><Property label="LayerName" value="Lining"/><Property label="Other" value="x"/></Feature>
    <Feature code="KZ Tunnel Layer"><Property label="LayerName" value="lining"/><Property label="LayerName"/></Feature>
    <Feature code="Something else"><Property label="LayerName" value="Ignored"/></Feature>
    <Feature code="KZ Tunnel Layer"><Property label="LayerName" value="Excavation"/></Feature>
  </Feature>
  <TunnelProfile><TunnelProfSurf name="Not read beside layers"/></TunnelProfile>
</TunnelProfiles></Alignment>
<Alignment name="Shaft"><TunnelProfiles><TunnelProfile>
  <TunnelProfSurf name="Inner"/><TunnelProfSurf/><TunnelProfSurf name="Outer"/>
</TunnelProfile></TunnelProfiles></Alignment>
<Alignment name="Open cut"><CrossSects><CrossSect><DesignCrossSectSurf name="Top"/></CrossSect></CrossSects></Alignment>)~");

    ui.valueAnswers = {"Bore", "Lining"};
    EXPECT_TRUE(select(tunnels));
    EXPECT_EQ(menu(1), QStringList({"Excavation", "Lining"}));
    EXPECT_EQ(ui.valueQuestions[1].prompt, LoadLocalizedString(TextId::SelectTunnelProfile));
    EXPECT_EQ(param("selectedProfile"), QStringList({"'Lining'"}));

    ui.valueAnswers = {"Shaft", "Outer"};
    EXPECT_TRUE(select(tunnels));
    EXPECT_EQ(menu(3), QStringList({"Inner", "Outer"}));
    EXPECT_EQ(param("selectedProfile"), QStringList({"'Outer'"}));

    // Tunnels elsewhere in the source, none under this alignment: no choice, and the run goes on.
    sheet = files.sheet(RoadSheet);
    ui.valueAnswers = {"Open cut"};
    EXPECT_TRUE(select(tunnels));
    EXPECT_EQ(ui.valueQuestions.size(), 5u);
    EXPECT_EQ(param("selectedProfile"), QStringList({"'none'"}));
    EXPECT_EQ(param("xSectSurfToExport"), QStringList({"<none>", "<none>"}));
}

TEST_F(RoadDesignTest, ThirdPartyCorridorExport)
{
    const QString path = QStringLiteral(TABULON_SHARED_DIR "/data/landxml/GSG_corridors.xml");
    if (!QFileInfo::exists(path))
        GTEST_SKIP() << "shared LandXML samples not found";
    source = XmlDocument();
    ASSERT_TRUE(source.load(path));
    ASSERT_TRUE(IsLandXmlSource(source));
    ui.valueAnswers = {"Pave1"};
    EXPECT_TRUE(SelectRoadDesignElements(source, sheet, ui));
    ASSERT_EQ(ui.valueQuestions.size(), 1u);
    QStringList surfaces = menu(0);
    EXPECT_GT(surfaces.size(), 3);
    EXPECT_TRUE(surfaces.contains("Top") && surfaces.contains("Pave1") && surfaces.contains("Curb"));
    EXPECT_EQ(surfaces.removeDuplicates(), 0);
    EXPECT_EQ(param("selectedAlignment"), QStringList({"'Basic_Road'"}));
    EXPECT_EQ(param("xSectSurfToExport"), QStringList({"'Pave1'", "'Pave1'"}));
}

TEST_F(RoadDesignTest, ThirdPartySampleWithProposedSurfacesBesideDesignOnes)
{
    const QString path = QStringLiteral(TABULON_SHARED_DIR "/data/landxml/j_landxml_sample.xml");
    if (!QFileInfo::exists(path))
        GTEST_SKIP() << "shared LandXML samples not found";
    source = XmlDocument();
    ASSERT_TRUE(source.load(path));
    ui.valueAnswers = {"ExistingGround"};
    EXPECT_TRUE(SelectRoadDesignElements(source, sheet, ui));
    // The first cross-section offers its design surface, the second its proposed ones.
    EXPECT_EQ(menu(0),
              QStringList({QString::fromUtf8("Carriageway-道路面"), "ExistingGround", "SoilLine-1", "SoilLine-2"}));
    EXPECT_EQ(param("selectedAlignment"), QStringList({QString::fromUtf8("'○○路線'")}));
}
