#include "ui/Color.h"
#include "ui/Font.h"
#include "ui/LayoutSize.h"

#include "UiTestSupport.h"

#include <QFontMetrics>
#include <gtest/gtest.h>

using namespace velorin::ui;

namespace {

struct ColorCase {
    const char* text;
    ColorRef expected;
};

class ColorForms : public ::testing::TestWithParam<ColorCase> {};

TEST_P(ColorForms, ParsesWithRedInTheLowestByte) {
    const auto c = parseColor(QString::fromUtf8(GetParam().text));
    ASSERT_TRUE(c.has_value()) << GetParam().text;
    EXPECT_EQ(*c, GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Notation, ColorForms,
    ::testing::Values(ColorCase{"#adadadff", 0xffadadadu}, ColorCase{"#808080", 0xff808080u},
                      ColorCase{"#e66219ff", 0xff1962e6u}, ColorCase{"#11223344", 0x44332211u},
                      ColorCase{"#AbCdEf", 0xffefcdabu}, ColorCase{"rgb(255,0,0)", 0xff0000ffu},
                      ColorCase{"RGB(113,110,110)", 0xff6e6e71u},
                      ColorCase{"Rgb( 48 , 48 ,48 )", 0xff303030u}, ColorCase{"rgba(1,2,3,4)", 0x04030201u},
                      ColorCase{"RGBA(0,0,255,128)", 0x80ff0000u}, ColorCase{"rgb(0,0,0)", 0xff000000u}));

TEST(ColorNotation, AnythingElseIsNotAColour) {
    for (const char* bad : {"",
                            "#",
                            "#fff",
                            "#ffff",
                            "#1234567",
                            "#123456789",
                            "#gg0000",
                            "red",
                            "rgb()",
                            "rgb(1,2)",
                            "rgb(1,2,3,4)",
                            "rgba(1,2,3)",
                            "rgb(256,0,0)",
                            "rgb(-1,0,0)",
                            "rgb(1,2,3",
                            "rgb 1,2,3",
                            "rgb(1,,3)",
                            "rgb(1.5,2,3)",
                            "hsl(1,2,3)",
                            "rgbx(1,2,3)",
                            "rgb(0x10,0,0)",
                            "rgb(1000,0,0)"}) {
        EXPECT_FALSE(parseColor(QString::fromUtf8(bad)).has_value()) << bad;
    }
}

TEST(ColorNotation, ConvertsToQtColoursAndBack) {
    const QColor c = toQColor(*parseColor(u"#e66219ff"));
    EXPECT_EQ(c, QColor(0xe6, 0x62, 0x19, 0xff));
    EXPECT_EQ(fromQColor(QColor(1, 2, 3, 4)), makeColor(1, 2, 3, 4));
    EXPECT_FALSE(parseQColor(u"nonsense").isValid());
}

TEST(FontDescription, AppliesOverABaseFont) {
    velorin::ui::test::app();
    QFont base(QStringLiteral("Liberation Sans"));
    base.setPixelSize(15);
    bool ok = false;
    QFont f = applyFontDescription(base, u"face:微软雅黑,size:14", 100, &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(f.family(), QStringLiteral("微软雅黑"));
    EXPECT_EQ(f.pixelSize(), 14);
    EXPECT_FALSE(f.italic());

    f = applyFontDescription(base, u"italic:1", 100, &ok);
    EXPECT_TRUE(ok);
    EXPECT_TRUE(f.italic());
    EXPECT_EQ(f.pixelSize(), 15); // untouched parts stay
    EXPECT_EQ(f.family(), base.family());

    f = applyFontDescription(base, u"underline:1,italic:1", 100, &ok);
    EXPECT_TRUE(f.underline() && f.italic());

    f = applyFontDescription(base, u"size:12", 150, &ok);
    EXPECT_EQ(f.pixelSize(), 18);

    for (const char16_t* bad : {u"size", u"size:x", u"size:0", u"face:", u"italic:yes"}) {
        applyFontDescription(base, bad, 100, &ok);
        EXPECT_FALSE(ok) << QString::fromUtf16(bad).toStdString();
    }
}

TEST(FontDescription, LayoutFacesMapToAnInstalledCjkFace) {
    velorin::ui::test::app();
    const QString face = installCjkFontSubstitutions();
    ASSERT_FALSE(face.isEmpty()) << "no CJK font installed";
    EXPECT_TRUE(QFont::substitutes(QStringLiteral("微软雅黑")).contains(face, Qt::CaseInsensitive));
    EXPECT_TRUE(QFont::substitutes(QStringLiteral("宋体")).contains(face, Qt::CaseInsensitive));
    // The substituted face has the glyphs of the layouts' Chinese texts.
    const QFontMetrics fm(applyFontDescription(QFont(), u"face:微软雅黑,size:12"));
    for (QChar ch : QStringLiteral("选择文件保存恢复默认应用"))
        EXPECT_TRUE(fm.inFont(ch)) << int(ch.unicode());
}

TEST(LayoutSizes, NumbersWithOptionalUnits) {
    struct Case {
        const char16_t* text;
        int scale;
        int pixels;
    } cases[] = {{u"26", 100, 26},    {u"26", 150, 39},   {u"10dp", 200, 20},
                 {u"10dip", 200, 20}, {u"10sp", 150, 15}, {u"10px", 200, 10},
                 {u"-20", 100, -20},  {u" 24 ", 100, 24}, {u"1.5", 200, 3}};
    for (const Case& c : cases) {
        const auto s = LayoutSize::parse(c.text);
        ASSERT_TRUE(s.has_value()) << QString::fromUtf16(c.text).toStdString();
        EXPECT_EQ(s->toPixels(c.scale), c.pixels) << QString::fromUtf16(c.text).toStdString();
    }
    for (const char16_t* bad : {u"", u"px", u"abc", u"10em", u"1e9", u"nan"})
        EXPECT_FALSE(LayoutSize::parse(bad).has_value()) << QString::fromUtf16(bad).toStdString();
    EXPECT_EQ(layoutPixels(u"bad", 7), 7);
}

} // namespace
