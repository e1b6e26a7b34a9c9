// Skin pictures from a skin table are decoded when a skin is first drawn or measured, once, and
// never for skins nobody uses (the pages that are not shown at start).
#include "ui/Skin.h"

#include "UiTestSupport.h"

#include <QPainter>
#include <gtest/gtest.h>

using namespace velorin::ui;

namespace {

TEST(SkinDecodeOnUse, PicturesAreDecodedOnFirstUseAndOnlyOnce) {
    QStringList decoded;
    SkinPool pool;
    const int added = pool.loadTable(R"xml(<skin>
        <imgframe name="page" src="IMG:page"/>
        <imglist name="button" src="IMG:button" states="2"/>
        <imgframe name="unused" src="IMG:unused"/>
        <imgframe name="broken" src="IMG:broken"/>
    </skin>)xml",
                                     [&decoded](const QString& ref) {
                                         decoded << ref;
                                         if (ref == u"IMG:broken")
                                             return QImage();
                                         return test::solidImage({6, 3}, Qt::red);
                                     });
    ASSERT_EQ(added, 4);
    EXPECT_TRUE(decoded.isEmpty()) << "nothing is decoded while the table is read";

    // Measuring decodes; the size is the picture's (per state for a list).
    EXPECT_EQ(pool.find(u"button")->naturalSize(), QSize(3, 3));
    EXPECT_EQ(pool.find(u"button")->naturalSize(), QSize(3, 3));
    EXPECT_EQ(decoded, QStringList{QStringLiteral("IMG:button")});

    // Drawing decodes and paints the picture.
    QImage target(4, 4, QImage::Format_ARGB32_Premultiplied);
    target.fill(Qt::transparent);
    {
        QPainter p(&target);
        pool.find(u"page")->draw(p, target.rect(), 0);
        pool.find(u"page")->draw(p, target.rect(), 0);
    }
    EXPECT_EQ(target.pixelColor(2, 2), QColor(Qt::red));
    EXPECT_EQ(decoded, (QStringList{QStringLiteral("IMG:button"), QStringLiteral("IMG:page")}));

    // A picture that cannot be decoded is asked for once and stays empty.
    EXPECT_TRUE(pool.find(u"broken")->naturalSize().isEmpty());
    EXPECT_TRUE(pool.find(u"broken")->naturalSize().isEmpty());
    EXPECT_EQ(decoded.count(QStringLiteral("IMG:broken")), 1);
    EXPECT_FALSE(decoded.contains(QStringLiteral("IMG:unused")));
}

} // namespace
