#include "NoWindowsLeftTest.h"

#include "widgets/TButtonRow.h"
#include "widgets/TSizingPanel.h"
#include "widgets/TStaticText.h"

#include <QEvent>
#include <QPushButton>

#include <gtest/gtest.h>

#include <vector>

namespace {

using ButtonRowTest = NoWindowsLeftTest;

struct Button
{
    int left;
    bool hidden = false;
    int width = 75;
};

// Buttons in child order; captions short enough that a 75-pixel button fits them.
std::vector<QPushButton*> addButtons(TButtonRow& row, const std::vector<Button>& buttons)
{
    const char* captions[] = {"OK", "Close", "&Help", "Add"};
    std::vector<QPushButton*> created;
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        auto* button = new QPushButton(captions[i % 4], &row);
        button->setGeometry(buttons[i].left, 9, buttons[i].width, 25);
        button->setHidden(buttons[i].hidden);
        EXPECT_LE(row.MeasureButton(*button), buttons[i].width);
        created.push_back(button);
    }
    return created;
}

std::vector<int> lefts(const std::vector<QPushButton*>& buttons)
{
    std::vector<int> result;
    for (const QPushButton* button : buttons)
        result.push_back(button->x());
    return result;
}

} // namespace

TEST_F(ButtonRowTest, ResizedRowPlacesItsShownButtons)
{
    struct Row
    {
        const char* name;
        int rowWidth;
        TButtonRow::TAlignment alignment;
        std::vector<Button> buttons;
        std::vector<int> expectedLefts;
    };
    const Row rows[] = {
        {"main window row, centred", 489, TButtonRow::taCenter, {{112}, {208}, {304}}, {112, 207, 302}},
        {"left aligned starts one spacing in", 489, TButtonRow::taLeftJustify, {{112}, {208}, {304}}, {20, 115, 210}},
        {"right aligned ends one spacing short of the edge",
         489,
         TButtonRow::taRightJustify,
         {{112}, {208}, {304}},
         {204, 299, 394}},
        {"hidden button keeps its place and takes no space",
         489,
         TButtonRow::taCenter,
         {{112}, {208, true}, {304}},
         {159, 208, 254}},
        {"no shown buttons moves nothing", 489, TButtonRow::taCenter, {{3, true}, {400, true}}, {3, 400}},
        {"row narrower than its group starts left of zero",
         200,
         TButtonRow::taCenter,
         {{112}, {208}, {304}},
         {-32, 63, 158}},
        {"ordered by left edge, not by child order", 489, TButtonRow::taLeftJustify, {{300}, {10}}, {115, 20}},
        {"equal left edges keep child order", 489, TButtonRow::taLeftJustify, {{50}, {50}}, {20, 115}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QWidget window;
        window.resize(600, 100);
        auto* buttonRow = new TButtonRow(&window);
        buttonRow->setButtonSpacing(20);
        buttonRow->setGroupAlignment(row.alignment);
        buttonRow->setGeometry(0, 40, row.rowWidth, 41);
        const std::vector<QPushButton*> buttons = addButtons(*buttonRow, row.buttons);
        window.show();
        EXPECT_EQ(lefts(buttons), row.expectedLefts);
        for (const QPushButton* button : buttons) {
            EXPECT_EQ(button->width(), 75);
            EXPECT_EQ(button->y(), 9);
        }
        EXPECT_EQ(buttonRow->geometry(), QRect(0, 40, row.rowWidth, 41));
    }
}

TEST_F(ButtonRowTest, NarrowButtonsWidenToTheirCaptionsWithoutBeingMadeEqual)
{
    TButtonRow row;
    row.resize(600, 41);
    const QString longCaption = "&Generate the report and open it";
    const std::vector<QPushButton*> buttons = addButtons(row, {{10}, {100}});
    buttons[0]->setText(longCaption);
    const int widened = TCustomSizingPanel::CaptionWidth(longCaption, buttons[0]->font()) + 16;
    ASSERT_GT(widened, 75);

    QList<QPushButton*> listed;
    row.CollectButtons(listed);
    EXPECT_EQ(row.WidenButtons(listed), widened + 75);
    EXPECT_EQ(buttons[0]->width(), widened);
    EXPECT_EQ(buttons[1]->width(), 75);

    row.SizeToContents();
    EXPECT_EQ(buttons[0]->x(), (600 - (widened + 8 + 75)) / 2);
    EXPECT_EQ(buttons[1]->x(), buttons[0]->x() + widened + 8);
}

namespace {

// Stands in for a row anchored to the window's right edge.
class FollowWindowWidth : public QObject
{
public:
    explicit FollowWindowWidth(QWidget& follower)
        : m_follower(follower)
    {}

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Resize)
            m_follower.resize(static_cast<QWidget*>(watched)->width(), m_follower.height());
        return false;
    }

private:
    QWidget& m_follower;
};

} // namespace

TEST_F(ButtonRowTest, RowResizedWhileAPanelWidensTheWindowIsNotLaidOut)
{
    QWidget window;
    window.resize(487, 153);
    auto* panel = new TSizingPanel(&window);
    panel->setGeometry(0, 0, 153, 112);
    panel->setCanSizeForm(true);
    auto* text = new TStaticText("&Output format:", panel);
    text->move(8, 50);
    auto* buttonRow = new TButtonRow(&window);
    buttonRow->setGeometry(0, 112, 487, 41);
    const std::vector<QPushButton*> buttons = addButtons(*buttonRow, {{0}, {0}, {0}});
    FollowWindowWidth anchor(*buttonRow);
    window.installEventFilter(&anchor);
    window.show();
    const std::vector<int> before = lefts(buttons);
    ASSERT_EQ(panel->width(), 153);

    text->resize(170, text->height());
    panel->resize(153, 113);

    ASSERT_EQ(window.width(), 487 + 25);
    EXPECT_EQ(buttonRow->width(), 487 + 25);
    EXPECT_EQ(lefts(buttons), before);
    EXPECT_FALSE(TCustomSizingPanel::SizingInProgress());

    buttonRow->resize(buttonRow->width(), 42);
    EXPECT_NE(lefts(buttons), before);
}
