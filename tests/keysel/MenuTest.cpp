#include "keysel/SMenuEx2.h"
#include "keysel/SMenuEx2Items.h"
#include "model/DisplayTexts.h"
#include "ui/Toolkit.h"

#include <QApplication>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace velorin;
using namespace velorin::keysel;

namespace {

// The owner window: records the notices the menu sends it.
class Owner : public QWidget {
public:
    Owner() {
        setGeometry(20, 20, 300, 360);
        button = new QPushButton(QStringLiteral("outside"), this);
        button->setGeometry(20, 300, 120, 40);
    }
    bool event(QEvent* e) override {
        if (e->type() == kInitMenuPopupEvent) {
            const auto* n = static_cast<InitMenuPopupEvent*>(e);
            popupNotices.push_back(n->position);
            return true;
        }
        if (e->type() == QEvent::Type(kMenuNoticeMessage)) {
            notices.push_back(static_cast<MenuNoticeEvent*>(e)->eventId);
            return true;
        }
        return QWidget::event(e);
    }
    QPushButton* button = nullptr;
    std::vector<int> popupNotices;
    std::vector<int> notices;
};

const char* kSubMenuXml = R"(<menuRoot itemHeight="24" minWidth="120">
  <menuItem ID="1" hotKey="a">Alpha</menuItem>
  <sep/>
  <menuItem ID="0">More
    <menuItem ID="21">Inner one</menuItem>
    <menuItem ID="22">Inner two</menuItem>
  </menuItem>
  <menuItem ID="0">Nothing</menuItem>
  <menuItem ID="5" hotKey="M">Mike</menuItem>
</menuRoot>)";

// Moves the pointer over a widget the way the window system does: through its top-level window, so
// that the widgets under the pointer get their enter and leave events.
void pointAt(QWidget* w) {
    QWidget* top = w->window();
    QCursor::setPos(w->mapToGlobal(w->rect().center()));
    QTest::mouseMove(top->windowHandle(), w->mapTo(top, w->rect().center()));
}

// A point right of the owner, so that the pointer over a menu there is over no other window.
const QPoint kBesideOwner(340, 40);

class MenuRun : public ::testing::Test {
protected:
    void SetUp() override {
        owner = std::make_unique<Owner>();
        owner->show();
        owner->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(owner.get()));
    }
    void TearDown() override { owner.reset(); }

    static std::unique_ptr<SMenuEx2> funMenu() {
        auto m = std::make_unique<SMenuEx2>();
        EXPECT_TRUE(m->LoadDescription());
        m->AppendItem(1, displayTexts().get(DisplayText::keyboard));
        m->AppendItem(2, displayTexts().get(DisplayText::Lclick));
        m->AppendItem(3, displayTexts().get(DisplayText::Rclick));
        m->AppendItem(4, displayTexts().get(DisplayText::Mclick));
        return m;
    }
    static std::unique_ptr<SMenuEx2> subMenuMenu() {
        auto m = std::make_unique<SMenuEx2>();
        EXPECT_TRUE(m->LoadXml(kSubMenuXml));
        return m;
    }

    // Tracks the menu at a point inside the owner; `drive` runs inside the menu's loop. A run still open
    // after five seconds is ended with -99 so that a failing test cannot hang.
    // Tracks at a screen point.
    int trackAt(SMenuEx2& menu, QPoint global, const std::function<void()>& drive) {
        return track(menu, drive, owner->mapFromGlobal(global));
    }
    int track(SMenuEx2& menu, const std::function<void()>& drive, QPoint at = QPoint(100, 80)) {
        QTimer::singleShot(0, drive);
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [] { endMenuRun(-99); });
        guard.start(5000);
        const QPoint global = owner->mapToGlobal(at);
        return menu.Track(global.x(), global.y(), owner.get());
    }

    std::unique_ptr<Owner> owner;
};

TEST_F(MenuRun, FunctionMenuIs108By106WithTheFourRows) {
    auto m = funMenu();
    ASSERT_TRUE(m->hasWindow());
    EXPECT_EQ(m->window()->size(), QSize(108, 106));
    const DisplayText order[] = {DisplayText::keyboard, DisplayText::Lclick, DisplayText::Rclick,
                                 DisplayText::Mclick};
    for (int id = 1; id <= 4; ++id) {
        SMenuEx2Item* item = m->FindItem(id);
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->text(), displayTexts().get(order[id - 1]));
        EXPECT_EQ(item->geometry(), QRect(1, 1 + 26 * (id - 1), 106, 26)) << id;
    }
    EXPECT_EQ(m->FindItem(9), nullptr);
    EXPECT_EQ(m->FindSubMenu(1), nullptr);
    EXPECT_EQ(m->root()->translationContext(), QStringLiteral("menux_mouseFun"));
}

TEST_F(MenuRun, ClickOnTheThirdRowReturns3) {
    auto m = funMenu();
    bool shown = false;
    const int r = track(*m, [&] {
        shown = m->window()->isVisible();
        QTest::mouseClick(m->FindItem(3), Qt::LeftButton);
    });
    EXPECT_TRUE(shown);
    EXPECT_EQ(r, 3);
    EXPECT_FALSE(m->window()->isVisible());
    EXPECT_FALSE(menuRunActive());
}

TEST_F(MenuRun, KeysGoToTheMenu) {
    struct Case {
        std::vector<Qt::Key> keys;
        int result;
    };
    const Case cases[] = {
        {{Qt::Key_Down, Qt::Key_Down, Qt::Key_Return}, 2},
        {{Qt::Key_Up, Qt::Key_Enter}, 4},                // Up with nothing selected: the last item
        {{Qt::Key_Up, Qt::Key_Down, Qt::Key_Return}, 1}, // Down on the last wraps to the first
        {{Qt::Key_Return, Qt::Key_Escape}, 0},           // Enter without a selection does nothing
        {{Qt::Key_Left}, 0},
    };
    for (const Case& c : cases) {
        auto m = funMenu();
        const int r = track(*m, [&] {
            for (Qt::Key k : c.keys)
                QTest::keyClick(owner.get(), k);
        });
        EXPECT_EQ(r, c.result);
    }
}

TEST_F(MenuRun, UpSelectsTheLastItemAndDownWraps) {
    auto m = funMenu();
    SMenuEx2Item* afterUp = nullptr;
    SMenuEx2Item* afterDown = nullptr;
    const int r = track(*m, [&] {
        QTest::keyClick(owner.get(), Qt::Key_Up);
        afterUp = m->currentItem();
        QTest::keyClick(owner.get(), Qt::Key_Down);
        afterDown = m->currentItem();
        QTest::keyClick(owner.get(), Qt::Key_Escape);
    });
    EXPECT_EQ(r, 0);
    EXPECT_EQ(afterUp, m->FindItem(4));
    EXPECT_EQ(afterDown, m->FindItem(1));
}

TEST_F(MenuRun, LeftClickOutsideReturns0AndTheClickArrivesAfterTheMenuIsGone) {
    auto m = funMenu();
    int clicks = 0;
    bool menuVisibleAtClick = true;
    QObject::connect(owner->button, &QPushButton::clicked, [&] {
        ++clicks;
        menuVisibleAtClick = m->window()->isVisible();
    });
    const int r = track(*m, [&] {
        // Through the owner's window, as a real click arrives.
        QTest::mouseClick(owner->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                          owner->button->geometry().center());
    });
    EXPECT_EQ(r, 0);
    EXPECT_EQ(clicks, 0); // held back while the menu was up
    for (int i = 0; i < 50 && clicks == 0; ++i)
        QTest::qWait(10);
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(menuVisibleAtClick);
}

TEST_F(MenuRun, RightClickOutsideAlsoDismisses) {
    auto m = funMenu();
    EXPECT_EQ(track(*m, [&] { QTest::mouseClick(owner->button, Qt::RightButton); }), 0);
}

TEST_F(MenuRun, MiddleClickOutsideLeavesTheMenuOpen) {
    auto m = funMenu();
    bool openAfter = false;
    const int r = track(*m, [&] {
        QTest::mouseClick(owner->button, Qt::MiddleButton);
        QTest::qWait(50);
        openAfter = m->window()->isVisible() && menuRunActive() && !menuRunEnding();
        QTest::mouseClick(m->FindItem(2), Qt::LeftButton);
    });
    EXPECT_TRUE(openAfter);
    EXPECT_EQ(r, 2);
}

TEST_F(MenuRun, LosingActivationReturnsMinus1) {
    auto m = funMenu();
    QWidget other;
    other.setGeometry(600, 50, 100, 100);
    const int r = track(*m, [&] {
        other.show();
        other.activateWindow();
    });
    EXPECT_EQ(r, -1);
    EXPECT_FALSE(m->window()->isVisible());
}

TEST_F(MenuRun, AMenuWithoutWindowReturnsMinus1) {
    SMenuEx2 empty;
    EXPECT_EQ(empty.Track(10, 10, owner.get()), -1);
    SMenuEx2 wrongRoot;
    EXPECT_FALSE(wrongRoot.LoadXml("<menu/>"));
    EXPECT_FALSE(wrongRoot.LoadXml("<menuRoot"));
    EXPECT_EQ(wrongRoot.Track(10, 10, owner.get()), -1);
    auto m = funMenu();
    pugi::xml_document doc;
    doc.load_string("<menuRoot/>");
    EXPECT_FALSE(m->CreateFromXml(doc.document_element())); // already has a window
}

TEST_F(MenuRun, PlacedNearTheScreenEdgesItOpensLeftAndUp) {
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    struct Case {
        QPoint at;
        QPoint expected;
    };
    const Case cases[] = {
        {screen.topLeft() + QPoint(200, 150), screen.topLeft() + QPoint(200, 150)},
        {QPoint(screen.right() - 20, screen.top() + 100),
         QPoint(screen.right() - 20 - 108, screen.top() + 100)},
        {QPoint(screen.left() + 100, screen.bottom() - 20),
         QPoint(screen.left() + 100, screen.bottom() - 20 - 106)},
    };
    for (const Case& c : cases) {
        auto m = funMenu();
        QPoint placed;
        QTimer::singleShot(0, [&] {
            placed = m->window()->geometry().topLeft();
            QTest::keyClick(owner.get(), Qt::Key_Escape);
        });
        EXPECT_EQ(m->Track(c.at.x(), c.at.y(), owner.get()), 0);
        EXPECT_EQ(placed, c.expected);
    }
}

// Users get a 500 ms sub-menu delay. The tests set one no run waits out, so that nothing opens
// before they let the deadline pass: setting the delay to zero restarts a running timer with no
// time left, and it fires at the next turn of the event loop.
constexpr std::chrono::hours kNeverByItself(1);
constexpr std::chrono::milliseconds kPassesNow(0);

TEST_F(MenuRun, HoverOpensTheSubMenuAfterTheDelay) {
    auto m = subMenuMenu();
    EXPECT_EQ(m->subMenuDelay(), std::chrono::milliseconds(500));
    m->setSubMenuDelay(kNeverByItself);
    SMenuEx2* sub = m->root()->items()[2]->subMenu();
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(sub->subMenuDelay(), std::chrono::milliseconds(kNeverByItself));
    bool openEarly = true;
    bool openLate = false;
    QPoint subPos;
    const int r = trackAt(*m, kBesideOwner, [&] {
        SMenuEx2Item* more = m->root()->items()[2];
        pointAt(more);
        EXPECT_TRUE(m->isSubMenuTimerActive());
        QTest::qWait(50);
        openEarly = sub->window()->isVisible();
        m->setSubMenuDelay(kPassesNow);
        openLate = QTest::qWaitFor([&] { return sub->window()->isVisible(); }, 60000); // ends a hung run
        subPos = sub->window()->geometry().topLeft();
        QTest::mouseClick(sub->FindItem(22), Qt::LeftButton);
    });
    EXPECT_FALSE(openEarly) << "opened before the delay was over";
    EXPECT_TRUE(openLate);
    EXPECT_EQ(r, 22);
    EXPECT_EQ(subPos.x(), m->window()->geometry().right() + 1); // beside the parent menu
    EXPECT_EQ(owner->popupNotices, std::vector<int>{2});
}

TEST_F(MenuRun, LeavingTheItemEarlyCancelsTheSubMenu) {
    auto m = subMenuMenu();
    m->setSubMenuDelay(kNeverByItself);
    SMenuEx2* sub = m->root()->items()[2]->subMenu();
    ASSERT_NE(sub, nullptr);
    bool opened = true;
    const int r = trackAt(*m, kBesideOwner, [&] {
        SMenuEx2Item* more = m->root()->items()[2];
        pointAt(more);
        pointAt(m->FindItem(1)); // the pointer leaves before the delay is over
        EXPECT_FALSE(m->isSubMenuTimerActive());
        m->setSubMenuDelay(kPassesNow); // a stopped timer stays stopped
        QTest::qWait(50);
        opened = sub->window()->isVisible();
        QTest::keyClick(owner.get(), Qt::Key_Escape);
    });
    EXPECT_FALSE(opened);
    EXPECT_EQ(r, 0);
    EXPECT_TRUE(owner->popupNotices.empty());
}

// An open menu waits for the user without waking the application: no timer fires while it is up.
TEST_F(MenuRun, AnOpenMenuWakesNoTimer) {
    struct TimerCounter : QObject {
        int count = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            count += e->type() == QEvent::Timer ? 1 : 0;
            return false;
        }
    };
    auto m = funMenu();
    int timerEvents = -1;
    const int r = track(*m, [&] {
        TimerCounter counter;
        qApp->installEventFilter(&counter);
        QTest::qWait(300);
        qApp->removeEventFilter(&counter);
        timerEvents = counter.count;
        QTest::keyClick(owner.get(), Qt::Key_Escape);
    });
    EXPECT_EQ(r, 0);
    EXPECT_EQ(timerEvents, 0);
}

TEST_F(MenuRun, SubMenuThatDoesNotFitOpensLeftOfItsParentAndStaysOnTheScreen) {
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    auto m = subMenuMenu();
    SMenuEx2* sub = m->root()->items()[2]->subMenu();
    QRect parentRect;
    QRect subRect;
    const int r = trackAt(*m, QPoint(screen.right() - 130, screen.bottom() - 150), [&] {
        QTest::keyClick(owner.get(), Qt::Key_Down);
        QTest::keyClick(owner.get(), Qt::Key_Down);
        QTest::keyClick(owner.get(), Qt::Key_Right);
        parentRect = m->window()->geometry();
        subRect = sub->window()->geometry();
        QTest::keyClick(owner.get(), Qt::Key_Escape); // closes the sub-menu
        QTest::keyClick(owner.get(), Qt::Key_Escape); // ends the run
    });
    EXPECT_EQ(r, 0);
    EXPECT_EQ(subRect.right() + 1, parentRect.left()); // flipped to the left side of the parent
    EXPECT_TRUE(screen.contains(subRect));
}

TEST_F(MenuRun, RightOpensTheSubMenuWithItsFirstItemAndLeftClosesIt) {
    auto m = subMenuMenu();
    SMenuEx2Item* more = m->root()->items()[2];
    SMenuEx2* sub = more->subMenu();
    bool subOpen = false;
    SMenuEx2Item* subCurrent = nullptr;
    SMenuEx2Item* parentAfterLeft = nullptr;
    bool subOpenAfterLeft = true;
    const int r = track(*m, [&] {
        QTest::keyClick(owner.get(), Qt::Key_Down); // Alpha
        QTest::keyClick(owner.get(), Qt::Key_Down); // the separator is skipped: More
        QTest::keyClick(owner.get(), Qt::Key_Right);
        subOpen = sub->window()->isVisible();
        subCurrent = sub->currentItem();
        QTest::keyClick(owner.get(), Qt::Key_Left); // goes to the sub-menu, the most recent one
        subOpenAfterLeft = sub->window()->isVisible();
        parentAfterLeft = m->currentItem();
        QTest::keyClick(owner.get(), Qt::Key_Right);
        QTest::keyClick(owner.get(), Qt::Key_Down);
        QTest::keyClick(owner.get(), Qt::Key_Return);
    });
    EXPECT_TRUE(subOpen);
    EXPECT_EQ(subCurrent, sub->FindItem(21));
    EXPECT_FALSE(subOpenAfterLeft);
    EXPECT_EQ(parentAfterLeft, more); // the parent keeps its selection
    EXPECT_EQ(r, 22);
}

TEST_F(MenuRun, HotKeysChooseInEitherCase) {
    struct Case {
        Qt::Key key;
        Qt::KeyboardModifiers mods;
        int result;
    };
    const Case cases[] = {
        {Qt::Key_A, Qt::NoModifier, 1},
        {Qt::Key_A, Qt::ShiftModifier, 1},
        {Qt::Key_M, Qt::NoModifier, 5},
        {Qt::Key_M, Qt::ShiftModifier, 5},
    };
    for (const Case& c : cases) {
        auto m = subMenuMenu();
        EXPECT_EQ(track(*m, [&] { QTest::keyClick(owner.get(), c.key, c.mods); }), c.result);
    }
    auto m = subMenuMenu();
    EXPECT_EQ(track(*m,
                    [&] {
                        QTest::keyClick(owner.get(), Qt::Key_Z); // no such hot key: nothing
                        QTest::keyClick(owner.get(), Qt::Key_Escape);
                    }),
              0);
}

TEST_F(MenuRun, AnItemWithId0AndNoSubMenuKeepsTheMenuOpen) {
    auto m = subMenuMenu();
    bool open = false;
    const int r = track(*m, [&] {
        SMenuEx2Item* nothing = m->root()->items()[3];
        QTest::mouseClick(nothing, Qt::LeftButton);
        QTest::qWait(30);
        open = m->window()->isVisible();
        QTest::mouseClick(m->FindItem(5), Qt::LeftButton);
    });
    EXPECT_TRUE(open);
    EXPECT_EQ(r, 5);
}

TEST_F(MenuRun, SeparatorIsThinAndNeverChosen) {
    auto m = subMenuMenu();
    SMenuEx2Item* sep = m->root()->items()[1];
    EXPECT_EQ(sep->className(), QStringLiteral("sep"));
    EXPECT_EQ(sep->height(), 1);
    EXPECT_FALSE(sep->isEnabled());
    // Items of 24 plus a 1-pixel separator; the width follows the widest caption, at least 120.
    EXPECT_EQ(m->window()->height(), 4 * 24 + 1);
    EXPECT_GE(m->window()->width(), 120);
}

TEST_F(MenuRun, EventsOfTheRootReachTheOwner) {
    auto m = funMenu();
    const int r = trackAt(*m, kBesideOwner, [&] {
        QCursor::setPos(m->window()->geometry().topLeft()); // the border belongs to the root
        QTest::keyClick(owner.get(), Qt::Key_Escape);
    });
    EXPECT_EQ(r, 0);
    ASSERT_FALSE(owner->notices.empty());
    EXPECT_EQ(owner->notices.front(), ui::kEventMouseHover);
}

TEST(MenuDescription, UsesTheToolkitsSkinsWhenOneIsRunning) {
    ui::Toolkit toolkit;
    ASSERT_TRUE(toolkit.loadUiDefinition());
    SMenuEx2 m;
    ASSERT_TRUE(m.LoadDescription());
    m.AppendItem(1, QStringLiteral("one"));
    EXPECT_EQ(m.root()->itemSkin(), toolkit.skin(u"Menu_fun_bkgnd"));
    EXPECT_EQ(m.FindItem(1)->skin(), toolkit.skin(u"Menu_fun_bkgnd"));
    EXPECT_EQ(m.root()->checkSkin(), toolkit.skin(u"_skin.sys.menu.check"));
    // The fun menu's look: dark rows, lighter under the pointer, light grey text, a grey border.
    const QImage img = m.window()->grab().toImage();
    EXPECT_EQ(img.pixelColor(0, 0), QColor(113, 110, 110));
    EXPECT_EQ(img.pixelColor(50, 10), QColor(48, 48, 48));
    EXPECT_EQ(m.FindItem(1)->textColor(), QColor(0xad, 0xad, 0xad));
}

TEST(MenuDescription, DeeplyNestedSubMenusAreCutOff) {
    QByteArray xml = "<menuRoot>";
    for (int i = 0; i < 200; ++i)
        xml += "<menuItem ID=\"" + QByteArray::number(i + 1) + "\">level";
    xml += "<menuItem ID=\"999\">leaf</menuItem>";
    for (int i = 0; i < 200; ++i)
        xml += "</menuItem>";
    xml += "</menuRoot>";
    SMenuEx2 m;
    ASSERT_TRUE(m.LoadXml(xml));
    int depth = 0;
    for (SMenuEx2* sub = m.FindSubMenu(1); sub; sub = sub->FindSubMenu(depth + 1))
        ++depth;
    EXPECT_EQ(depth, SMenuEx2::kMaxDepth);
    EXPECT_NE(m.FindItem(SMenuEx2::kMaxDepth + 1), nullptr);
    EXPECT_EQ(m.FindItem(SMenuEx2::kMaxDepth + 2), nullptr);
    EXPECT_EQ(m.FindItem(999), nullptr);
}

TEST(MenuAttributes, IconPosTakesOneOrTwoValues) {
    SMenuEx2 m;
    ASSERT_TRUE(m.LoadXml("<menuRoot/>"));
    SMenuEx2Root* root = m.root();
    EXPECT_TRUE(root->setMenuAttribute(QStringLiteral("iconPos"), QStringLiteral("3")));
    EXPECT_EQ(root->iconPos(), QPoint(3, kIconCentered));
    EXPECT_TRUE(root->setMenuAttribute(QStringLiteral("iconPos"), QStringLiteral("4,5")));
    EXPECT_EQ(root->iconPos(), QPoint(4, 5));
    EXPECT_FALSE(root->setMenuAttribute(QStringLiteral("iconPos"), QStringLiteral("1,2,3")));
    EXPECT_FALSE(root->setMenuAttribute(QStringLiteral("iconPos"), QString()));
    EXPECT_EQ(root->iconPos(), QPoint(4, 5));
    EXPECT_TRUE(root->setMenuAttribute(QStringLiteral("contextHelpId"), QStringLiteral("0x1F")));
    EXPECT_EQ(m.ContextHelpId(), 31);
    EXPECT_FALSE(root->setMenuAttribute(QStringLiteral("itemSkin"), QStringLiteral("no_such_skin")));
    EXPECT_NE(root->itemSkin(), nullptr);
}

} // namespace
