#include "ui/WindowPosition.h"

#include <gtest/gtest.h>

namespace {

TEST(WindowPosition, StoredFields)
{
    struct Row
    {
        const char* name;
        QString text;
        int count;
        std::optional<QList<int>> expected;
    };
    const std::vector<Row> rows = {
        {"plain", "210,292", 2, QList<int>{210, 292}},
        {"blanks around each field", " 100 ,  200 ", 2, QList<int>{100, 200}},
        {"control characters trimmed", "\t150,\x01 290 ,485 , 696\r\n", 4, QList<int>{150, 290, 485, 696}},
        {"negative kept for the clamp", "-20,5000", 2, QList<int>{-20, 5000}},
        {"no comma", "100;200", 2, std::nullopt},
        {"empty", "", 2, std::nullopt},
        {"empty field", "100,", 2, std::nullopt},
        {"three of four", "150,290,485", 4, std::nullopt},
        {"five of four", "150,290,485,696,1", 4, std::nullopt},
        {"a third field for the main window", "100,200,5", 2, std::nullopt},
        {"not decimal", "0x10,5", 2, std::nullopt},
        {"beyond 32 bits", "4294967296,0", 2, std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ParseStoredFields(row.text, row.count), row.expected);
    }
}

TEST(WindowPosition, FormattedAsStoredAndReadBack)
{
    const QList<int> bounds{-3, 290, 485, 696};
    EXPECT_EQ(FormatStoredFields(bounds), QStringLiteral("-3,290,485,696"));
    EXPECT_EQ(ParseStoredFields(FormatStoredFields(bounds), 4), bounds);
}

TEST(WindowPosition, ClampedToTheVirtualDesktop)
{
    struct Row
    {
        const char* name;
        int top;
        int left;
        QRect desktop;
        QPoint expected; // x = left, y = top
    };
    const QRect wide(0, 0, 1920, 1080);
    const std::vector<Row> rows = {
        {"inside", 210, 292, wide, {292, 210}},
        {"negative and beyond the right edge", -20, 5000, wide, {0, 0}},
        {"exactly on the far edges", 1080, 1920, wide, {1920, 1080}},
        {"one past the bottom keeps the left", 1081, 100, wide, {100, 0}},
        {"a screen left of the primary one", 10, -500, QRect(-1280, 0, 3200, 1080), {0, 10}},
        {"a screen removed since", 300, 2500, wide, {0, 300}},
        {"no screen at all", 5, 5, QRect(), {0, 0}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ClampToDesktop(row.top, row.left, row.desktop), row.expected);
    }
}

} // namespace

TEST(WindowPosition, ShownOnlyWhereAScreenIs)
{
    struct Row
    {
        const char* name;
        QRect window;
        bool shown;
    };
    // A tall screen beside a wide one: their bounding rectangle has a gap below the wide one.
    const QList<QRect> screens{QRect(0, 0, 1920, 1080), QRect(1920, 0, 1080, 1920)};
    const std::vector<Row> rows = {
        {"on the first screen", QRect(292, 210, 487, 153), true},
        {"across both screens", QRect(1800, 100, 487, 153), true},
        {"one pixel on a screen", QRect(1919, 1079, 487, 153), true},
        {"in the gap below the wide screen", QRect(300, 1200, 487, 153), false},
        {"on the far edges", QRect(3000, 1920, 487, 153), false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(IsOnSomeScreen(row.window, screens), row.shown);
    }
    EXPECT_FALSE(IsOnSomeScreen(QRect(0, 0, 10, 10), {}));
}
