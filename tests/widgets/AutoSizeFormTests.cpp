#include "NoWindowsLeftTest.h"

#include "widgets/TAutoSizeForm.h"
#include "widgets/TSizingPanel.h"
#include "widgets/TStaticText.h"

#include <QLocale>

#include <gtest/gtest.h>

namespace {

using AutoSizeFormTest = NoWindowsLeftTest;

class RecordingPanel : public TSizingPanel
{
public:
    RecordingPanel(const QString& name, QWidget* parent, QStringList& sized)
        : TSizingPanel(parent)
        , m_sized(sized)
    {
        setObjectName(name);
    }

    void SizeToContents() override
    {
        m_sized << objectName();
        TSizingPanel::SizeToContents();
    }

private:
    QStringList& m_sized;
};

} // namespace

TEST_F(AutoSizeFormTest, SizeAllPanelsSizesInnerPanelsBeforeTheirContainers)
{
    TAutoSizeForm form;
    QStringList sized;
    auto* outer = new RecordingPanel("outer", &form, sized);
    auto* plain = new QWidget(outer);
    new RecordingPanel("inner", plain, sized);
    new RecordingPanel("sibling", &form, sized);

    form.SizeAllPanels();

    EXPECT_EQ(sized, QStringList({"inner", "outer", "sibling"}));
}

TEST_F(AutoSizeFormTest, ShowingTheFormSizesPanelsWhoseCaptionsChangedWhileHidden)
{
    TAutoSizeForm form;
    form.resize(300, 100);
    auto* panel = new TSizingPanel(&form);
    panel->setGeometry(0, 0, 100, 100);
    auto* text = new TStaticText("Short", panel);
    text->move(8, 20);
    auto* secondPanel = new TSizingPanel(&form);
    secondPanel->setGeometry(100, 0, 100, 100);
    form.show();
    EXPECT_EQ(form.SizingPanelCount(), 2);
    ASSERT_EQ(panel->width(), 100);
    form.hide();

    text->setText("A caption far longer than the panel it sits in");
    ASSERT_GT(text->x() + text->width(), 100);
    form.show();

    EXPECT_EQ(panel->width(), text->x() + text->width());
    EXPECT_EQ(form.SizingPanelCount(), 2);
}

TEST_F(AutoSizeFormTest, CharsetFollowsTheCodePageOfTheLocale)
{
    struct Row
    {
        const char* locale;
        int charset;
    };
    const Row rows[] = {
        {"ja_JP", 128}, {"zh_CN", 134}, {"zh_SG", 134}, {"ko_KR", 129}, {"zh_TW", 136},
        {"zh_HK", 136}, {"en_US", 1},   {"de_DE", 1},   {"ru_RU", 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.locale);
        EXPECT_EQ(TAutoSizeForm::charsetForLocale(QLocale(row.locale)), row.charset);
    }
}
