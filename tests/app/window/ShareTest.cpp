// The window's wiring of the mapping link, the clash marks and the change list (the rules are the
// core's and are tested in tests/core): "Copy link" in a console tab's copy menu only while
// VELORIN_WEB_URL names the web page, the marks on the boxes naming the other buttons, and what
// apply will change in the mark's tooltip and in the popup the apply button's menu opens.
#include "WindowTestSupport.h"

#include "app/ChangesPopup.h"
#include "app/ClashMarks.h"
#include "core/MappingLink.h"

#include <QApplication>
#include <QClipboard>
#include <QListWidget>
#include <QTest>

#include <gtest/gtest.h>

using namespace velorin;
using namespace velorin::app;
using namespace velorin::app::test;

namespace {

void rightClick(WindowFixture& f, const char* name) {
    ui::SWindow* w = f.element(QString::fromLatin1(name));
    ASSERT_NE(w, nullptr) << name;
    // Through the window, as the window system delivers it: a right press becomes a context-menu
    // request there.
    QTest::mouseClick(f.dlg().windowHandle(), Qt::RightButton, {}, w->mapTo(&f.dlg(), w->rect().center()));
}

QStringList copyMenuTexts(WindowFixture& f, int answer = 0) {
    MenuSeen seen;
    answerMenu(answer, &seen);
    rightClick(f, "btn_ps3");
    EXPECT_TRUE(seen.shown);
    return seen.itemTexts;
}

// The boxes with a clash mark shown, and what each says.
std::map<QString, QString> marked(WindowFixture& f) {
    std::map<QString, QString> out;
    for (const ConsoleId console : kBlockOrder)
        for (const PadButton button : consoleInfo(console).buttons) {
            const ui::SWindow* box = f.dlg().handler(console).box(button);
            const auto* mark = box ? box->findChild<ClashMark*>() : nullptr;
            if (mark && !mark->isHidden()) {
                EXPECT_EQ(box->accessibleDescription(), box->toolTip());
                out[box->name()] = box->toolTip();
            }
        }
    return out;
}

struct WebUrl {
    explicit WebUrl(const char* value) { qputenv("VELORIN_WEB_URL", value); }
    ~WebUrl() { qunsetenv("VELORIN_WEB_URL"); }
};

} // namespace

TEST(Share, CopyLinkClashMarksAndWhatApplyWillChange) {
    // The adapter holds the default: L1 Q and R1 G (docs/DEFAULT-ASSIGNMENT.md), no clash.
    WindowFixture f(QStringList{QStringLiteral("--seed"), QStringLiteral(VELORIN_DEFAULT_KVF)});
    ASSERT_TRUE(f.simStarted());
    f.settle();
    EXPECT_TRUE(marked(f).empty());

    // Without the page's address the copy menu has no link.
    EXPECT_EQ(copyMenuTexts(f).size(), 3);

    // The middle click on L1 and R1 of PS4: both boxes marked, each naming the other.
    f.click(QStringLiteral("btn_ps4"));
    f.settle(); // the mode select goes out
    for (const char* box : {"btn_ps4_key_L1", "btn_ps4_key_R1"}) {
        answerMenu(kFunMclick);
        f.click(QString::fromLatin1(box));
    }
    EXPECT_EQ(marked(f), (std::map<QString, QString>{{"btn_ps4_key_L1", "同一按键也分配给了 R1"},
                                                     {"btn_ps4_key_R1", "同一按键也分配给了 L1"}}));

    // What apply will change, in the apply button's tooltip and in the popup from its menu.
    const QString l1Line = QStringLiteral("L1：Q → 鼠标中键");
    const QString r1Line = QStringLiteral("R1：G → 鼠标中键");
    ui::SWindow* apply = f.element(QStringLiteral("btn_Applay"));
    EXPECT_TRUE(
        apply->toolTip().endsWith(QStringLiteral("\nPS4 ") + l1Line + QStringLiteral("\nPS4 ") + r1Line))
        << apply->toolTip().toStdString();
    MenuSeen seen;
    answerMenu(kShowChangesId, &seen);
    rightClick(f, "btn_Applay");
    EXPECT_EQ(seen.itemTexts, (QStringList{QStringLiteral("改用适配器中的记录（PS4）"),
                                           QStringLiteral("查看应用将写入的更改")}));
    ChangesPopup* popup = nullptr;
    ASSERT_TRUE(waitUntil([&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* p = qobject_cast<ChangesPopup*>(w); p && p->isVisible())
                popup = p;
        return popup != nullptr;
    }));
    QStringList rows;
    for (int i = 0; i < popup->list()->count(); ++i)
        rows << popup->list()->item(i)->text().trimmed();
    EXPECT_EQ(rows, (QStringList{QStringLiteral("PS4"), l1Line, r1Line}));
    const QPointer<ChangesPopup> open(popup);
    QTest::keyClick(popup->list(), Qt::Key_Escape);
    EXPECT_TRUE(waitUntil([&] { return open.isNull(); }));

    // With the page's address: "Copy link" last, and the clipboard holds the records' link there.
    {
        const WebUrl url("https://example.org/velorin/");
        QStringList texts = copyMenuTexts(f, kCopyLinkId);
        ASSERT_EQ(texts.size(), 4);
        EXPECT_EQ(texts.last(), QStringLiteral("复制链接"));
        const QString link = QGuiApplication::clipboard()->text();
        EXPECT_TRUE(link.startsWith(QStringLiteral("https://example.org/velorin/#m="))) << link.toStdString();
        const auto block = mappinglink::blockFromLink(link.toStdString());
        ASSERT_TRUE(block);
        EXPECT_EQ(*block, f.block());
    }
    {
        const WebUrl url("https://example.org/a page/"); // no link can carry a blank
        EXPECT_EQ(copyMenuTexts(f).size(), 3);
    }

    // Undone, the clash is gone and the boxes say nothing more.
    f.dlg().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&f.dlg()));
    QTest::keyClick(&f.dlg(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(marked(f).empty());
    EXPECT_TRUE(f.dlg().handler(ConsoleId::PS4).box(PadButton::L1)->toolTip().isEmpty());
    EXPECT_TRUE(f.sim().outputReports().empty()); // nothing of this talks to the adapter
}
