#include "NoWindowsLeftTest.h"

#include "widgets/TCustomSizingPanel.h"
#include "widgets/TLabel.h"
#include "widgets/TSizingPanel.h"
#include "widgets/TStaticText.h"

#include <QApplication>
#include <QCheckBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <gtest/gtest.h>

#include <functional>

namespace {

using SizingPanelTest = NoWindowsLeftTest;

int captionWidth(const QWidget& control, const QString& caption)
{
    return TCustomSizingPanel::CaptionWidth(caption, control.font());
}

template <typename Control>
Control* place(QWidget& parent, const QString& caption, QRect geometry)
{
    auto* control = new Control(caption, &parent);
    control->setGeometry(geometry);
    return control;
}

} // namespace

TEST_F(SizingPanelTest, CaptionWidthMeasuresTheTextWithoutAcceleratorMarkers)
{
    struct Row
    {
        const char* name;
        QString caption;
        QString measured;
    };
    const Row rows[] = {
        {"accelerator removed", "&Browse...", "Browse..."},
        {"doubled ampersand kept as two", "Fish && Chips", "Fish && Chips"},
        {"pair found before a single one", "&&&x", "&&x"},
        {"trailing marker", "Save&", "Save"},
        {"no marker", "Close", "Close"},
        {"empty", "", ""},
    };
    const QFont font = QApplication::font();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(TCustomSizingPanel::CaptionWidth(row.caption, font),
                  QFontMetrics(font).horizontalAdvance(row.measured));
    }
}

TEST_F(SizingPanelTest, RequiredWidthFollowsTheRuleOfTheChildsKind)
{
    const QString longCaption = "A caption much longer than twenty pixels";
    struct Row
    {
        const char* name;
        std::function<QWidget*(QWidget&)> make;
        std::function<int(const QWidget&)> expected;
    };
    const Row rows[] = {
        {"wrapping label keeps its width",
         [&](QWidget& p) {
             auto* label = place<TLabel>(p, longCaption, {8, 0, 40, 40});
             label->setWordWrap(true);
             return label;
         },
         [](const QWidget&) { return 40; }},
        {"auto-size label inside the panel",
         [](QWidget& p) {
             return place<TLabel>(p, "Hi", {8, 0, 50, 17});
         },
         [](const QWidget&) { return 50; }},
        {"auto-size label past the right edge",
         [](QWidget& p) {
             return place<TLabel>(p, "Hi", {80, 0, 50, 17});
         },
         [](const QWidget&) { return 50 + 30; }},
        {"fixed label takes its caption, even when narrower",
         [](QWidget& p) {
             auto* label = place<TLabel>(p, "&Output format:", {8, 0, 300, 17});
             label->setAutoSize(false);
             return label;
         },
         [](const QWidget& c) { return captionWidth(c, "&Output format:"); }},
        {"plain QLabel is a fixed label",
         [](QWidget& p) {
             return place<QLabel>(p, "&Source", {8, 0, 10, 17});
         },
         [](const QWidget& c) { return captionWidth(c, "&Source"); }},
        {"auto-size static text past the right edge",
         [](QWidget& p) {
             return place<TStaticText>(p, "Hi", {90, 0, 30, 17});
         },
         [](const QWidget&) { return 30 + 20; }},
        {"fixed static text ignores word wrap",
         [&](QWidget& p) {
             auto* text = place<TStaticText>(p, longCaption, {8, 0, 20, 40});
             text->setAutoSize(false);
             text->setWordWrap(true);
             return text;
         },
         [&](const QWidget& c) { return captionWidth(c, longCaption); }},
        {"push button too narrow for its caption",
         [&](QWidget& p) {
             return place<QPushButton>(p, longCaption, {0, 0, 20, 25});
         },
         [&](const QWidget& c) { return captionWidth(c, longCaption) + 16; }},
        {"push button wide enough",
         [](QWidget& p) {
             return place<QPushButton>(p, "OK", {0, 0, 400, 25});
         },
         [](const QWidget&) { return 400; }},
        {"check box",
         [&](QWidget& p) {
             return place<QCheckBox>(p, longCaption, {0, 0, 20, 17});
         },
         [&](const QWidget& c) { return captionWidth(c, longCaption) + 19; }},
        {"radio button",
         [&](QWidget& p) {
             return place<QRadioButton>(p, longCaption, {0, 0, 20, 17});
         },
         [&](const QWidget& c) { return captionWidth(c, longCaption) + 18; }},
        {"radio group takes its widest item",
         [&](QWidget& p) {
             auto* group = place<QGroupBox>(p, "&Units", {0, 0, 20, 60});
             new QRadioButton("Feet", group);
             new QRadioButton(longCaption, group);
             return group;
         },
         [&](const QWidget& c) { return captionWidth(c, longCaption) + 33; }},
        {"radio group without items takes its caption",
         [&](QWidget& p) {
             return place<QGroupBox>(p, longCaption, {0, 0, 20, 60});
         },
         [&](const QWidget& c) { return captionWidth(c, longCaption) + 15; }},
        {"other controls keep their width",
         [&](QWidget& p) {
             return place<QLineEdit>(p, longCaption, {0, 0, 60, 21});
         },
         [](const QWidget&) { return 60; }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TSizingPanel panel;
        panel.resize(100, 100);
        const QWidget* child = row.make(panel);
        EXPECT_EQ(panel.RequiredWidth(*child), row.expected(*child));
    }
}

TEST_F(SizingPanelTest, AutoSizeCaptionFitsWithoutItsAcceleratorMarker)
{
    const TStaticText marked("&Source file:");
    const TStaticText plain("Source file:");
    EXPECT_EQ(marked.width(), plain.width());
    EXPECT_GT(plain.width(), 0);
}

// The panel is laid out for short captions; a longer one makes its child stick out.
TEST_F(SizingPanelTest, PanelWidensItselfAndItsFormWhenResized)
{
    struct Row
    {
        const char* name;
        bool canSizeForm;
        bool fixedForm;
        std::function<void(QWidget&)> fill;
        int panelWidth;
        int formWidth;
    };
    const auto stickingOut = [](QWidget& panel) {
        place<TStaticText>(panel, "&Source Surmex or Job file:", {8, 19, 170, 17});
    };
    const Row rows[] = {
        {"static text sticking out widens panel and form", true, false, stickingOut, 178, 487 + 25},
        {"without CanSizeForm the form keeps its width", false, false, stickingOut, 178, 487},
        {"a fixed-size form widens too", true, true, stickingOut, 178, 487 + 25},
        {"a fixed label with a shorter caption does not shrink it", true, false,
         [](QWidget& panel) {
             place<TLabel>(panel, "x", {8, 19, 131, 17})->setAutoSize(false);
         },
         153, 487},
        {"children that fit change nothing", true, false,
         [](QWidget& panel) {
             place<TStaticText>(panel, "x", {8, 19, 131, 17});
         },
         153, 487},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QWidget form;
        form.resize(487, 153);
        if (row.fixedForm)
            form.setFixedSize(487, 153);
        auto* panel = new TSizingPanel(&form);
        panel->setGeometry(0, 0, 153, 153);
        panel->setCanSizeForm(row.canSizeForm);
        row.fill(*panel);
        form.show();
        EXPECT_EQ(panel->width(), row.panelWidth);
        EXPECT_EQ(form.width(), row.formWidth);

        panel->resize(panel->width(), 150);
        EXPECT_EQ(panel->width(), row.panelWidth) << "second resize";
        EXPECT_EQ(form.width(), row.formWidth) << "second resize";
    }
}

TEST_F(SizingPanelTest, PanelWithoutFormStillWidens)
{
    TSizingPanel panel;
    panel.setCanSizeForm(true);
    panel.resize(153, 153);
    place<TStaticText>(panel, "Caption", {8, 19, 170, 17});
    panel.show();
    EXPECT_EQ(panel.width(), 178);
}
