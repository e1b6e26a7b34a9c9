#include "ui/Skin.h"

#include "UiTestSupport.h"

#include <QPainter>
#include <gtest/gtest.h>

using namespace velorin::ui;

namespace {

const QColor kStateColors[] = {QColor(255, 0, 0), QColor(0, 255, 0), QColor(0, 0, 255)};

// Three 4x2 states side by side: red, green, blue.
QImage threeStates() {
    QImage image(12, 2, QImage::Format_ARGB32_Premultiplied);
    for (int s = 0; s < 3; ++s)
        for (int x = 0; x < 4; ++x)
            for (int y = 0; y < 2; ++y)
                image.setPixelColor(s * 4 + x, y, kStateColors[s]);
    return image;
}

QColor drawnColor(const Skin& skin, int state, QSize size = {8, 8}) {
    QImage target(size, QImage::Format_ARGB32_Premultiplied);
    target.fill(Qt::transparent);
    QPainter p(&target);
    skin.draw(p, target.rect(), state);
    p.end();
    return target.pixelColor(size.width() / 2, size.height() / 2);
}

TEST(Skins, ImageListDrawsEachStateAndFallsBackToStateZero) {
    const ImageListSkin skin(threeStates(), 3);
    EXPECT_EQ(skin.states(), 3);
    EXPECT_EQ(skin.naturalSize(), QSize(4, 2));
    for (int s = 0; s < 3; ++s)
        EXPECT_EQ(drawnColor(skin, s), kStateColors[s]) << "state " << s;
    for (int missing : {3, 4, 100, -1})
        EXPECT_EQ(drawnColor(skin, missing), kStateColors[0]) << "state " << missing;
}

TEST(Skins, HighDensityImageKeepsItsLogicalSize) {
    QImage image = threeStates().scaled(24, 4);
    image.setDevicePixelRatio(2.0);
    const ImageListSkin skin(image, 3);
    EXPECT_EQ(skin.naturalSize(), QSize(4, 2));
    EXPECT_EQ(drawnColor(skin, 2), kStateColors[2]);
}

TEST(Skins, ColourRectangleHasOneStatePerColour) {
    const ColorRectSkin skin({QColor(48, 48, 48), QColor(113, 110, 110)});
    EXPECT_EQ(skin.states(), 2);
    EXPECT_EQ(drawnColor(skin, 0), QColor(48, 48, 48));
    EXPECT_EQ(drawnColor(skin, 1), QColor(113, 110, 110));
    EXPECT_EQ(drawnColor(skin, 2), QColor(48, 48, 48)); // pushed is missing: normal
    EXPECT_EQ(drawnColor(skin, 3), QColor(48, 48, 48));
}

TEST(Skins, FrameStretchesItsPicture) {
    const ImageFrameSkin skin(test::solidImage({2, 2}, Qt::magenta));
    EXPECT_EQ(skin.states(), 1);
    EXPECT_EQ(drawnColor(skin, 0, {30, 20}), QColor(Qt::magenta));
    EXPECT_EQ(drawnColor(skin, 2, {30, 20}), QColor(Qt::magenta));
    const ImageFrameSkin empty{QImage()};
    EXPECT_TRUE(empty.naturalSize().isEmpty());
    EXPECT_EQ(drawnColor(empty, 0).alpha(), 0);
}

TEST(Skins, TableOfTheProgramHasEveryKindAndStateCount) {
    Toolkit& tk = test::toolkit();
    struct Case {
        const char16_t* name;
        int states;
    } cases[] = {{u"skin_background_png", 1},  {u"skin_ps3_png", 1},
                 {u"skin_ps4_png", 1},         {u"skin_switch_png", 1},
                 {u"skin_xbox_png", 1},        {u"skin_status_png", 1},
                 {u"skin_x_png", 3},           {u"skin_mini_png", 3},
                 {u"skin_tablebutton_png", 3}, {u"skin_tablebutton2_png", 3},
                 {u"skin_loadbutton_png", 3},  {u"skin_savebutton_png", 3},
                 {u"skin_custombox_png", 3},   {u"Menu_fun_bkgnd", 2}};
    for (const Case& c : cases) {
        const Skin* skin = tk.skin(c.name);
        ASSERT_NE(skin, nullptr) << QString::fromUtf16(c.name).toStdString();
        EXPECT_EQ(skin->states(), c.states) << QString::fromUtf16(c.name).toStdString();
    }
    const auto* menu = dynamic_cast<const ColorRectSkin*>(tk.skin(u"Menu_fun_bkgnd"));
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->color(0), QColor(48, 48, 48));
    EXPECT_EQ(menu->color(1), QColor(113, 110, 110));
    if (tk.package().contains(u"IMG:custombox_png")) {
        EXPECT_EQ(tk.skin(u"skin_custombox_png")->naturalSize(), QSize(110, 32));
        EXPECT_EQ(tk.skin(u"skin_savebutton_png")->naturalSize(), QSize(110, 38));
    }
}

TEST(Skins, BuiltInMenuSkinsExist) {
    Toolkit& tk = test::toolkit();
    for (const char16_t* name :
         {u"_skin.sys.menu.skin", u"_skin.sys.menu.check", u"_skin.sys.menu.sep", u"_skin.sys.menu.arrow"})
        EXPECT_NE(tk.skin(name), nullptr) << QString::fromUtf16(name).toStdString();
    EXPECT_GE(tk.skin(u"_skin.sys.menu.skin")->states(), 2);  // normal and a selected look
    EXPECT_EQ(tk.skin(u"_skin.sys.menu.check")->states(), 3); // check, radio on, radio off
    EXPECT_GE(tk.skin(u"_skin.sys.menu.sep")->naturalSize().height(), 1);
    EXPECT_EQ(tk.skin(u"_skin.sys.menu.arrow")->states(), 2); // normal, hover
}

TEST(Skins, BrokenTableEntriesAreSkipped) {
    SkinPool pool;
    const int added = pool.loadTable(R"xml(<skin>
        <imglist name="noimage" src="IMG:missing" states="3"/>
        <imglist name="badstates" src="IMG:missing" states="0"/>
        <colorrect name="badcolour" normal="blue"/>
        <colorrect name="good" normal="#010203" hover="rgb(4,5,6)"/>
        <unknown name="what"/>
        <colorrect normal="#010203"/>
    </skin>)xml",
                                     [](const QString&) { return QImage(); });
    EXPECT_EQ(added, 2);
    EXPECT_NE(pool.find(u"noimage"), nullptr);
    EXPECT_EQ(pool.find(u"noimage")->states(), 3);
    EXPECT_EQ(pool.find(u"badstates"), nullptr);
    EXPECT_EQ(pool.find(u"badcolour"), nullptr);
    EXPECT_NE(pool.find(u"GOOD"), nullptr); // case-insensitive fallback
    EXPECT_EQ(pool.loadTable("<skin", {}), -1);
}

} // namespace
