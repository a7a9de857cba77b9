#include "QtPrinters.h"

#include "text/StringTable.h"
#include "text/TextIds.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>

#include <gtest/gtest.h>

#include <map>

namespace {

// The catalogue the build makes from translations/TabulonR_de.ts.
class GermanCatalogueTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        FreeResourceLibrary();
        for (int id = TextId::First; id <= TextId::Last; ++id)
            m_english[id] = LoadLocalizedString(id);
        ASSERT_TRUE(LoadResourceLibraryFrom(QStringLiteral(TABULON_GERMAN_QM)));
    }
    void TearDown() override { FreeResourceLibrary(); }

    static QStringList placeholders(const QString& text)
    {
        static const QRegularExpression conversion(QStringLiteral("%[-+ #0]*(\\*|\\d+)?(\\.(\\*|\\d+))?[sdf]"));
        QStringList found;
        for (const auto& match : conversion.globalMatch(text))
            found << match.captured();
        return found;
    }

    std::map<int, QString> m_english;
};

TEST_F(GermanCatalogueTest, EveryTextTranslatedWithItsPlaceholders)
{
    // Names and a button caption that German keeps as they are.
    const QSet<int> same{TextId::MainCaption, TextId::OK};
    for (int id = TextId::First; id <= TextId::Last; ++id) {
        SCOPED_TRACE(id);
        const QString german = LoadLocalizedString(id);
        EXPECT_FALSE(german.isEmpty());
        EXPECT_EQ(german == m_english[id], same.contains(id)) << german.toStdString();
        EXPECT_EQ(placeholders(german), placeholders(m_english[id]));
        EXPECT_EQ(german.count(u'&'), m_english[id].count(u'&'));
    }
}

TEST_F(GermanCatalogueTest, BringsQtsOwnTextsInTheSameLanguage)
{
    // Qt's file dialogs and questions would otherwise stay English around German texts of ours.
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Find Directory"), QStringLiteral("Verzeichnis suchen"));
    FreeResourceLibrary();
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Find Directory"), QStringLiteral("Find Directory"));
}

TEST_F(GermanCatalogueTest, FileFilterKeepsItsPatterns)
{
    const QStringList german = LoadLocalizedString(TextId::SourceFileFilter).split(u'|');
    const QStringList english = m_english[TextId::SourceFileFilter].split(u'|');
    ASSERT_EQ(german.size(), english.size());
    for (qsizetype i = 1; i < english.size(); i += 2)
        EXPECT_EQ(german[i], english[i]);
}

TEST_F(GermanCatalogueTest, MainWindowMnemonicsUnique)
{
    QSet<QChar> letters;
    for (int id = TextId::SourceLabel; id <= TextId::Help; ++id) {
        const QString caption = LoadLocalizedString(id);
        const qsizetype amp = caption.indexOf(u'&');
        if (amp < 0)
            continue;
        SCOPED_TRACE(caption.toStdString());
        ASSERT_LT(amp + 1, caption.size());
        const QChar letter = caption.at(amp + 1).toUpper();
        EXPECT_FALSE(letters.contains(letter));
        letters << letter;
    }
}

} // namespace
