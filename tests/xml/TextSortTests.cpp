#include "xml/TextSort.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <algorithm>

TEST(TextSortTest, OrdersTextAsTheOriginalServiceSorts)
{
    struct Case
    {
        const char* name;
        const char* language;
        bool upperFirst;
        const char* input; // comma separated, in document order
        const char* expected;
    };
    const Case cases[] = {
        {"letters before case", "", false, "b,C,a,B", "a,b,B,C"},
        {"lower case first by default", "en", false, "Ab,AB,ab,aB", "ab,aB,Ab,AB"},
        {"upper case first", "en", true, "ab,Ab,aB,AB", "AB,Ab,aB,ab"},
        {"accents after plain letters", "en", false, "\u00e4ba,ab\u00e4,aba", "aba,ab\u00e4,\u00e4ba"},
        {"ligatures equal their letters, in document order", "en", false, "c\u00e6sar,caesar,C\u00e6sar,caes",
         "caes,c\u00e6sar,caesar,C\u00e6sar"},
        {"hyphens only break ties", "en", false, "-10,8,co-op,-1,1,coop,cop", "1,-1,-10,8,coop,co-op,cop"},
        {"French accents from the end", "fr", false, "ab\u00e4,\u00e4ba", "\u00e4ba,ab\u00e4"},
        {"Swedish letters after z", "sv", false, "\u00e4ba,zeta,aba", "aba,zeta,\u00e4ba"},
        {"Spanish ch and ll", "es", false, "char,czar,dama,llama,luz", "czar,char,dama,luz,llama"},
        {"Turkish dotless i", "tr", true, "i,\u0131,\u0130,I", "I,\u0131,\u0130,i"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TextOrder order(QString::fromUtf8(c.language), c.upperFirst);
        QStringList items = QString::fromUtf8(c.input).split(u',');
        std::stable_sort(items.begin(), items.end(),
                         [&order](const QString& a, const QString& b) { return order.compare(a, b) < 0; });
        EXPECT_EQ(items.join(u','), QString::fromUtf8(c.expected));
    }
}
