// The layouts against the contract: every element name, kind, position, skin, text, colour and font, and
// the named-id table derived from them.
#include "ui/Elements.h"
#include "ui/Resources.h"
#include "ui/SHostWnd.h"

#include "UiTestSupport.h"

#include <QStringList>
#include <gtest/gtest.h>
#include <memory>
#include <pugixml.hpp>

using namespace velorin::ui;

namespace {

struct PageTable {
    const char* console;
    const char* rows;      // button box.x,box.y lamp.x,lamp.y, one row per line, in box order
    const char* lampOrder; // order of the lamps when it differs from the boxes ("" = same)
};

const PageTable kPages[] = {
    {"ps3",
     "L2 55,20 282,33\nL1 55,49 282,61\nSELECT 55,94 330,203\nARROW_UP 55,123 281,188\nARROW_DOWN 55,152 "
     "281,217\n"
     "ARROW_L 55,180 267,202\nARROW_R 55,209 296,202\nlyhih_UP 55,238 317,220\nlyhih_DOWN 55,266 317,252\n"
     "lxhih_L 55,295 300,236\nlxhih_R 55,324 336,236\nLSTICK_KEY 55,353 317,236\nR2 541,20 424,30\n"
     "R1 541,49 424,58\nSTART 541,93 374,203\nA 541,122 425,220\nB 541,151 444,202\nX 541,179 404,202\n"
     "Y 541,208 424,183\nRSTICK_KEY 541,312 390,236\nHOME 304,331 352,216",
     ""},
    {"ps4",
     "L2 50,20 277,31\nL1 50,49 277,59\nSELECT 537,93 399,176\nARROW_UP 50,123 274,187\nARROW_DOWN 50,152 "
     "274,212\n"
     "ARROW_L 50,180 262,200\nARROW_R 50,209 288,199\nlyhih_UP 50,238 309,216\nlyhih_DOWN 50,266 310,246\n"
     "lxhih_L 50,295 294,232\nlxhih_R 50,324 326,232\nLSTICK_KEY 50,353 309,231\nR2 537,20 424,30\n"
     "R1 537,49 424,58\nSTART 289,318 337,185\nA 537,122 423,216\nB 537,151 441,199\nX 537,179 405,199\n"
     "Y 537,208 423,181\nRSTICK_KEY 537,263 387,231\nHOME 537,293 348,232\nSHARE 50,94 300,176",
     ""},
    {"switch",
     "L2 53,30 282,42\nL1 53,60 283,72\nSELECT 53,91 326,183\nlyhih_UP 53,120 282,185\nlyhih_DOWN 53,149 "
     "283,212\n"
     "lxhih_L 53,177 268,200\nlxhih_R 53,205 298,199\nLSTICK_KEY 53,235 283,199\nARROW_UP 53,263 318,226\n"
     "ARROW_DOWN 53,292 318,250\nARROW_L 53,321 305,238\nARROW_R 53,350 329,238\nR2 541,30 429,42\n"
     "R1 541,60 430,72\nSTART 541,91 387,182\nA 541,120 444,202\nB 541,149 426,219\nX 541,177 426,184\n"
     "Y 541,205 408,202\nRSTICK_KEY 541,279 393,237\nHOME 541,311 374,201\nCAPTURE 541,339 339,200",
     "L2 L1 SELECT lyhih_UP lyhih_DOWN lxhih_L lxhih_R LSTICK_KEY ARROW_UP ARROW_DOWN ARROW_L ARROW_R R2 R1 "
     "START A B "
     "X Y RSTICK_KEY CAPTURE HOME"},
    {"xbox",
     "L2 55,20 282,33\nL1 55,49 282,61\nSELECT 55,94 337,196\nlyhih_UP 55,123 289,183\nlyhih_DOWN 55,152 "
     "289,207\n"
     "lxhih_L 55,180 276,195\nlxhih_R 55,209 302,195\nLSTICK_KEY 55,238 289,195\nARROW_UP 55,266 319,225\n"
     "ARROW_DOWN 55,295 320,246\nARROW_L 55,324 306,236\nARROW_R 55,353 333,236\nR2 541,20 435,30\n"
     "R1 541,49 436,60\nSTART 541,93 370,197\nA 541,122 417,211\nB 541,151 433,195\nX 541,179 402,194\n"
     "Y 541,208 418,178\nRSTICK_KEY 541,306 385,233\nHOME 304,324 352,171",
     ""},
};

struct Row {
    QString button;
    QPoint box;
    QPoint lamp;
};

QPoint point(const QString& s) {
    const QStringList p = s.split(u',');
    return QPoint(p[0].toInt(), p[1].toInt());
}

std::vector<Row> rows(const PageTable& t) {
    std::vector<Row> out;
    for (const QString& line : QString::fromUtf8(t.rows).split(u'\n')) {
        const QStringList f = line.split(u' ');
        out.push_back({f[0], point(f[1]), point(f[2])});
    }
    return out;
}

QStringList lampOrder(const PageTable& t) {
    if (*t.lampOrder)
        return QString::fromUtf8(t.lampOrder).split(u' ');
    QStringList order;
    for (const Row& r : rows(t))
        order << r.button;
    return order;
}

struct MainElement {
    const char* name;
    const char* kind;
    QPoint pos;
    const char* skin;
    const char* text;
    const char* color;
    int fontSize;
};

const MainElement kMain[] = {
    {"img_background", "img", {0, 0}, "skin_background_png", "", "", 0},
    {"btn_min", "imgbtn", {723, 4}, "skin_mini_png", "", "", 0},
    {"btn_close", "imgbtn", {756, 4}, "skin_x_png", "", "", 0},
    {"text_title", "text", {119, 22}, "", "Orlesta引导盒映射软件", "#e2e2e2ff", 20},
    {"tabctrl_mode", "tabctrl", {51, 129}, "", "", "", 0},
    {"btn_ps3", "imgbtn", {89, 80}, "skin_tablebutton_png", "PS3", "#adadadff", 14},
    {"btn_ps4", "imgbtn", {206, 80}, "skin_tablebutton2_png", "PS4", "#adadadff", 14},
    {"btn_switch", "imgbtn", {331, 80}, "skin_tablebutton2_png", "SWITCH", "#adadadff", 14},
    {"btn_xbox", "imgbtn", {455, 80}, "skin_tablebutton2_png", "XBOX", "#adadadff", 14},
    {"btn_loadcfg", "imgbtn", {275, 532}, "skin_loadbutton_png", "选择文件", "#adadadff", 12},
    {"btn_savecfg", "imgbtn", {363, 531}, "skin_savebutton_png", "保存文件", "#adadadff", 12},
    {"btn_default", "imgbtn", {458, 531}, "skin_savebutton_png", "恢复默认", "#adadadff", 12},
    {"btn_Applay", "imgbtn", {553, 531}, "skin_savebutton_png", "应用", "#adadadff", 12},
};

const QPoint kPageOrigin(51, 129);

class Layouts : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        test::toolkit();
        host = std::make_unique<SHostWnd>(QStringLiteral("LAYOUT:XML_MAINWND"));
        ASSERT_TRUE(host->create());
    }
    static void TearDownTestSuite() { host.reset(); }
    static std::unique_ptr<SHostWnd> host;
};
std::unique_ptr<SHostWnd> Layouts::host;

TEST_F(Layouts, EveryLayoutParsesAndBuilds) {
    const ResourcePackage& pkg = test::toolkit().package();
    for (const QString& name : pkg.names(u"LAYOUT")) {
        const auto bytes = pkg.bytes(u"LAYOUT", name);
        ASSERT_TRUE(bytes.has_value()) << name.toStdString();
        pugi::xml_document doc;
        EXPECT_TRUE(doc.load_buffer(bytes->constData(), size_t(bytes->size()))) << name.toStdString();
        if (QString::fromUtf8(doc.document_element().name()) == u"hostwnd") {
            SHostWnd window;
            EXPECT_TRUE(window.createFromXml(doc.document_element())) << name.toStdString();
            EXPECT_GT(window.findChildren<SWindow*>().size(), 100) << name.toStdString();
            continue;
        }
        SWindow container;
        container.resize(701, 400);
        container.createChildren(doc.document_element());
        EXPECT_GE(container.findChildren<SWindow*>().size(), 43) << name.toStdString();
    }
    EXPECT_EQ(pkg.names(u"LAYOUT").size(), 5);
}

TEST_F(Layouts, MainWindowElementsSitWhereTheTableSays) {
    EXPECT_EQ(host->name(), QStringLiteral("mainWindow"));
    for (const MainElement& e : kMain) {
        SCOPED_TRACE(e.name);
        SWindow* w = host->findChildByName(QString::fromUtf8(e.name), QString::fromUtf8(e.kind));
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->windowRectInHost().topLeft(), e.pos);
        Toolkit& tk = test::toolkit();
        EXPECT_EQ(w->skin(), *e.skin ? tk.skin(QString::fromUtf8(e.skin)) : nullptr);
        EXPECT_EQ(w->text(), QString::fromUtf8(e.text));
        if (*e.color) {
            EXPECT_EQ(w->textColor(), parseQColor(QString::fromUtf8(e.color)));
        }
        if (e.fontSize) {
            EXPECT_EQ(w->font().pixelSize(), e.fontSize);
            EXPECT_EQ(w->font().family(), QStringLiteral("微软雅黑"));
        }
        if (QString::fromUtf8(e.kind) == u"imgbtn") {
            EXPECT_TRUE(static_cast<SImageButton*>(w)->animated());
            EXPECT_TRUE(w->toolTip().isEmpty());
        }
    }
    EXPECT_EQ(host->findChildByName(u"img_background")->windowRectInHost(), QRect(0, 0, 800, 600));
    EXPECT_EQ(host->findChildByName(u"tabctrl_mode")->windowRectInHost(), QRect(51, 129, 701, 400));
    // The caption strip runs along the top, 74 high, under the two window buttons.
    const auto captions = host->findChildren<SCaption*>();
    ASSERT_EQ(captions.size(), 1);
    EXPECT_EQ(captions[0]->windowRectInHost(), QRect(0, 0, 800, 74));
    // A name is found only with its own kind.
    EXPECT_EQ(host->findChildByName(u"btn_ps3", u"img"), nullptr);
    EXPECT_NE(host->findChildByName(u"btn_ps3", u"button"), nullptr);
    EXPECT_EQ(host->findChildByName(u"BTN_PS3"), nullptr); // names are exact
}

TEST_F(Layouts, PagesHaveTheirTitlesInOrderEachWithItsPadPicture) {
    auto* tab = host->findChildByName2<STabCtrl>(u"tabctrl_mode");
    ASSERT_NE(tab, nullptr);
    ASSERT_EQ(tab->pageCount(), 4);
    const char* titles[] = {"ps3page", "ps4page", "switchpage", "xboxpage"};
    for (int i = 0; i < 4; ++i) {
        STabPage* page = tab->page(i);
        EXPECT_EQ(page->title(), QString::fromUtf8(titles[i]));
        EXPECT_EQ(tab->page(page->title()), page);
        // One window fills the page and shows the console's picture.
        const auto roots = page->findChildren<SWindow*>(Qt::FindDirectChildrenOnly);
        ASSERT_EQ(roots.size(), 1);
        EXPECT_EQ(roots[0]->windowRectInHost(), QRect(kPageOrigin, QSize(701, 400)));
        EXPECT_EQ(roots[0]->skin(),
                  test::toolkit().skin(QStringLiteral("skin_%1_png").arg(kPages[i].console)));
    }
    EXPECT_EQ(tab->curSel(), 0);
    EXPECT_EQ(tab->focusPolicy(), Qt::NoFocus);
}

TEST_F(Layouts, EveryBoxAndLampSitsWhereTheTableSays) {
    auto* tab = host->findChildByName2<STabCtrl>(u"tabctrl_mode");
    ASSERT_NE(tab, nullptr);
    for (const PageTable& t : kPages) {
        const QString console = QString::fromUtf8(t.console);
        STabPage* page = tab->page(console + QStringLiteral("page"));
        ASSERT_NE(page, nullptr);
        const auto table = rows(t);
        EXPECT_EQ(table.size(), console == u"ps3" || console == u"xbox" ? 21u : 22u);
        for (const Row& r : table) {
            const QString boxName = QStringLiteral("btn_%1_key_%2").arg(console, r.button);
            const QString lampName = QStringLiteral("img_%1_key_%2").arg(console, r.button);
            SCOPED_TRACE(boxName.toStdString());
            SWindow* box = page->findChildByName(boxName, u"imgbtn");
            SWindow* lamp = page->findChildByName(lampName, u"img");
            ASSERT_NE(box, nullptr);
            ASSERT_NE(lamp, nullptr);
            EXPECT_EQ(box->windowRectInHost().topLeft() - kPageOrigin, r.box);
            EXPECT_EQ(lamp->windowRectInHost().topLeft() - kPageOrigin, r.lamp);
            EXPECT_EQ(box->skin(), test::toolkit().skin(u"skin_custombox_png"));
            EXPECT_EQ(lamp->skin(), test::toolkit().skin(u"skin_status_png"));
            EXPECT_EQ(box->textColor(), QColor(0xe6, 0x62, 0x19));
            EXPECT_EQ(box->font().pixelSize(), 12);
            EXPECT_TRUE(box->text().isEmpty());
            EXPECT_TRUE(static_cast<SImageButton*>(box)->animated());
            // Each name lives on its own page only.
            for (int i = 0; i < tab->pageCount(); ++i)
                if (tab->page(i) != page) {
                    EXPECT_EQ(tab->page(i)->findChildByName(boxName), nullptr);
                }
        }
    }
}

TEST_F(Layouts, NamedIdTableFollowsFirstAppearance) {
    const NamedIdTable& ids = test::toolkit().namedIds();
    ASSERT_EQ(ids.size(), 186);
    EXPECT_EQ(ids.entries().front().name, QStringLiteral("_name_start"));
    EXPECT_EQ(ids.entries().front().id, 65535);
    for (size_t i = 1; i < ids.entries().size(); ++i)
        EXPECT_LT(ids.entries()[i - 1].name, ids.entries()[i].name); // code-unit order, no duplicates

    int expected = 65536;
    for (const MainElement& e : kMain)
        EXPECT_EQ(ids.id(QString::fromUtf8(e.name)), expected++) << e.name;
    for (const PageTable& t : kPages) {
        const QString console = QString::fromUtf8(t.console);
        for (const Row& r : rows(t))
            EXPECT_EQ(ids.id(QStringLiteral("btn_%1_key_%2").arg(console, r.button)), expected++)
                << console.toStdString() << " box " << r.button.toStdString();
        for (const QString& b : lampOrder(t))
            EXPECT_EQ(ids.id(QStringLiteral("img_%1_key_%2").arg(console, b)), expected++)
                << console.toStdString() << " lamp " << b.toStdString();
    }
    EXPECT_EQ(expected, 65721);
    // Spot checks of the published ranges.
    EXPECT_EQ(ids.id(u"btn_Applay"), 65548);
    EXPECT_EQ(ids.id(u"btn_ps3_key_L2"), 65549);
    EXPECT_EQ(ids.id(u"img_ps3_key_L2"), 65570);
    EXPECT_EQ(ids.id(u"btn_ps4_key_L2"), 65591);
    EXPECT_EQ(ids.id(u"img_switch_key_HOME"), 65678);
    EXPECT_EQ(ids.id(u"img_xbox_key_HOME"), 65720);
    EXPECT_EQ(ids.name(65541), QStringLiteral("btn_ps3"));
    EXPECT_FALSE(ids.id(u"btn_nothing").has_value());
}

TEST_F(Layouts, ElementsCarryTheirNamedIds) {
    const NamedIdTable& ids = test::toolkit().namedIds();
    int checked = 0;
    for (const NamedId& e : ids.entries()) {
        if (e.name == u"_name_start")
            continue;
        SWindow* w = host->findChildByName(e.name);
        ASSERT_NE(w, nullptr) << e.name.toStdString();
        EXPECT_EQ(w->id(), e.id) << e.name.toStdString();
        EXPECT_EQ(host->findChildById(e.id), w);
        ++checked;
    }
    EXPECT_EQ(checked, 185);
}

TEST(NamedIds, SortedRegistrationOnly) {
    NamedIdTable t;
    EXPECT_TRUE(
        t.assignSorted({{QStringLiteral("A"), 2}, {QStringLiteral("_a"), 1}, {QStringLiteral("a"), 3}}));
    EXPECT_EQ(t.id(u"_a"), 1);
    EXPECT_FALSE(t.assignSorted({{QStringLiteral("b"), 1}, {QStringLiteral("a"), 2}}));
    EXPECT_EQ(t.size(), 3); // unchanged
    EXPECT_FALSE(t.assignSorted({{QStringLiteral("a"), 1}, {QStringLiteral("a"), 2}}));
}

} // namespace
