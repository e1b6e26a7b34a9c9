// The attribute parsers on hostile text, and an element refusing a value without changing.
#include "ui/AttributeParsers.h"
#include "ui/SWindow.h"

#include "UiTestSupport.h"

#include <gtest/gtest.h>

using namespace velorin::ui;

namespace {

TEST(AttributeParsers, IntegersListsExtentsAndMargins) {
    // `kind` picks the parser; `want` is the expected outcome written out by hand, "" for a refusal.
    enum Kind { Integer, List2To3, Extent, Margins };
    struct Case {
        Kind kind;
        const char16_t* text;
        const char* want;
    };
    const Case cases[] = {
        {Integer, u"42", "42"},
        {Integer, u" -1 ", "-1"},
        {Integer, u"+7", "7"},
        {Integer, u"007", "7"},
        {Integer, u"0x25", "37"},
        {Integer, u"0XfF", "255"},
        {Integer, u"2147483647", "2147483647"},
        {Integer, u"-2147483648", "-2147483648"},
        {Integer, u"0x7fffffff", "2147483647"},
        {Integer, u"2147483648", ""},
        {Integer, u"-2147483649", ""},
        {Integer, u"0x80000000", ""}, // refused, not wrapped to a negative number
        {Integer, u"0xffffffff", ""},
        {Integer, u"99999999999999999999", ""},
        {Integer, u"", ""},
        {Integer, u"   ", ""},
        {Integer, u"-", ""},
        {Integer, u"0x", ""},
        {Integer, u"0x-5", ""},
        {Integer, u"-0x5", ""},
        {Integer, u"1 2", ""},
        {Integer, u"12abc", ""},
        {Integer, u"1.5", ""},
        {Integer, u"٣", ""}, // a digit of another script
        {List2To3, u"1,2", "1 2"},
        {List2To3, u" 1 , -2 ,0x3", "1 -2 3"},
        {List2To3, u"1", ""},
        {List2To3, u"1,2,3,4", ""},
        {List2To3, u"1,,2", ""},
        {List2To3, u"1,2,", ""},
        {List2To3, u"", ""},
        {Extent, u"-1", "-1"},
        {Extent, u"100000", "100000"},
        {Extent, u"-2", ""},
        {Extent, u"100001", ""},
        {Margins, u"3", "3 3 3 3"},
        {Margins, u"1,2", "1 2 1 2"},
        {Margins, u"1,2,3,4", "1 2 3 4"},
        {Margins, u"1,2,3", ""},
        {Margins, u"1,2,3,4,5", ""},
        {Margins, u"1,x", ""},
    };
    const auto join = [](const std::vector<int>& v) {
        QStringList parts;
        for (int i : v)
            parts << QString::number(i);
        return parts.join(u' ');
    };
    for (const Case& c : cases) {
        const QStringView text(c.text);
        std::optional<QString> got;
        if (c.kind == Integer) {
            if (const auto v = parseInteger(text))
                got = QString::number(*v);
        } else if (c.kind == List2To3) {
            if (const auto v = parseIntegerList(text, 2, 3))
                got = join(*v);
        } else if (c.kind == Extent) {
            if (const auto v = parseExtent(text))
                got = QString::number(*v);
        } else if (const auto m = parseMargins(text)) {
            got = join({m->left(), m->top(), m->right(), m->bottom()});
        }
        EXPECT_EQ(got.value_or(QString()), QString::fromLatin1(c.want)) << text.toString().toStdString();
    }
}

TEST(AttributeParsers, AlignmentsFlagsAndFonts) {
    EXPECT_EQ(parseHorizontalAlignment(u"right"), Qt::AlignRight);
    EXPECT_EQ(parseVerticalAlignment(u"center"), Qt::AlignVCenter);
    EXPECT_FALSE(parseHorizontalAlignment(u"Right"));
    EXPECT_FALSE(parseVerticalAlignment(u""));
    EXPECT_EQ(alignmentFromTextMode(0x25), Qt::AlignHCenter | Qt::AlignVCenter);
    EXPECT_TRUE(parseFlag(u"") && parseFlag(u"yes") && !parseFlag(u" FALSE ") && !parseFlag(u"0"));
    EXPECT_TRUE(parseSwitch(u"1") && !parseSwitch(u" ") && !parseSwitch(u"0"));

    velorin::ui::test::app();
    QFont base;
    base.setPixelSize(15);
    const auto f = parseFont(base, u"face:X, size: 0x10 ,bold:1", 100);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->family(), QStringLiteral("X"));
    EXPECT_EQ(f->pixelSize(), 16);
    EXPECT_TRUE(f->bold());
    EXPECT_FALSE(parseFont(base, u"face:X,size:abc", 100));
    EXPECT_FALSE(parseFont(base, u"size:501", 100));
    EXPECT_FALSE(parseFont(base, u"size:99999999999", 100));
}

TEST(AttributeParsers, ARefusedFontChangesNothing) {
    velorin::ui::test::app();
    SWindow w;
    ASSERT_TRUE(w.setAttribute(QStringLiteral("font"), QStringLiteral("face:Liberation Sans,size:14")));
    const QFont before = w.font();
    EXPECT_FALSE(w.setAttribute(QStringLiteral("font"), QStringLiteral("face:X,size:abc")));
    EXPECT_EQ(w.font(), before);
    EXPECT_EQ(w.font().family(), QStringLiteral("Liberation Sans"));
    EXPECT_EQ(w.attribute(QStringLiteral("font")), QStringLiteral("face:Liberation Sans,size:14"));
}

} // namespace
