// The window without a mouse: what a screen reader is told, the Tab order, the keyboard's edit and
// apply cycle, and finding a box by pressing its pad button. Real key events, velorin-sim behind.
#include "WindowTestSupport.h"

#include "app/AdapterBadge.h"
#include "device/SharedState.h"
#include "keysel/KeyboardDialog.h"
#include "keysel/KeyboardLayout.h"
#include "keysel/SMenuEx2.h"
#include "keysel/SMenuEx2Items.h"
#include "ui/SHostWnd.h"

#include <QAccessible>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace velorin;
using namespace velorin::app;
using namespace velorin::app::test;

namespace {

QAccessibleInterface* accessible(QObject* o) {
    return o ? QAccessible::queryAccessibleInterface(o) : nullptr;
}

QString spokenName(QObject* o) {
    QAccessibleInterface* a = accessible(o);
    return a ? a->text(QAccessible::Name) : QStringLiteral("<none>");
}

// A key as the keyboard sends it: to the focused widget, else to the window.
void press(CMainDlg& dlg, int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QWidget* target = QApplication::focusWidget();
    QTest::keyClick(target ? target : &dlg, Qt::Key(key), mods);
}

// Runs `action` from the event loop once `ready` holds (inside a menu's or dialog's own loop).
void whenShown(std::function<bool()> ready, std::function<void()> action) {
    QTimer::singleShot(0, [ready, action] {
        if (waitUntil(ready))
            action();
    });
}

keysel::SMenuEx2* shownMenu() {
    keysel::SMenuEx2* m = keysel::frontOpenMenu();
    return m && m->window() && m->window()->isVisible() ? m : nullptr;
}

} // namespace

struct SpokenCase {
    const char* element;
    const char* name;
    QAccessible::Role role;
    const char* value;
    const char* description = nullptr; // the value, unless given
};

TEST(KeyboardAccess, ElementsTellScreenReadersTheirNameRoleAndValue) {
    WindowFixture f(QStringList{QStringLiteral("--no-adapter")});
    f.dlg().history().assign(ConsoleId::PS3, PadButton::L2, 0x14); // Q
    f.dlg().history().assign(ConsoleId::PS3, PadButton::lxhih_L, 0xA0);
    const SpokenCase cases[] = {
        {"btn_ps3_key_L2", "PS3 L2", QAccessible::Button, "Q"},
        {"btn_ps3_key_lxhih_L", "PS3 左摇杆左", QAccessible::Button, "鼠标左键"},
        {"btn_xbox_key_ARROW_UP", "XBOX 方向键上", QAccessible::Button, ""},
        {"btn_switch", "SWITCH", QAccessible::PageTab, ""},
        // The unapplied mark speaks, with what apply will change: no record was ever read.
        {"btn_Applay", "应用", QAccessible::Button, "",
         "更改尚未应用：PS3\nPS3：适配器中的记录未曾读取，应用会写入整条记录\n"
         "PS4：适配器中的记录未曾读取，应用会写入整条记录\nSWITCH：适配器中的记录未曾读取，应用会写入整条记录"
         "\n"
         "XBOX：适配器中的记录未曾读取，应用会写入整条记录"},
        {"btn_close", "关闭", QAccessible::Button, ""},
        {"text_title", "Orlesta引导盒映射软件", QAccessible::StaticText, ""},
    };
    for (const SpokenCase& c : cases) {
        QAccessibleInterface* a = accessible(f.element(QString::fromLatin1(c.element)));
        ASSERT_NE(a, nullptr) << c.element;
        EXPECT_EQ(a->text(QAccessible::Name), QString::fromUtf8(c.name)) << c.element;
        EXPECT_EQ(a->role(), c.role) << c.element;
        EXPECT_EQ(a->text(QAccessible::Value), QString::fromUtf8(c.value)) << c.element;
        EXPECT_EQ(a->text(QAccessible::Description),
                  QString::fromUtf8(c.description ? c.description : c.value))
            << c.element;
    }
    // The adapter's state in the title area is a text.
    QAccessibleInterface* badge = accessible(f.dlg().findChild<AdapterBadge*>());
    ASSERT_NE(badge, nullptr);
    EXPECT_EQ(badge->role(), QAccessible::StaticText);
    EXPECT_EQ(badge->text(QAccessible::Name), QStringLiteral("未连接适配器"));
    EXPECT_TRUE(badge->text(QAccessible::Description).startsWith(QStringLiteral("未连接适配器：")));
    // The selected console is the checked tab; a box can be pressed.
    EXPECT_TRUE(accessible(f.element(QStringLiteral("btn_ps3")))->state().checked);
    EXPECT_FALSE(accessible(f.element(QStringLiteral("btn_switch")))->state().checked);
    EXPECT_TRUE(accessible(f.element(QStringLiteral("btn_ps3_key_L2")))
                    ->actionInterface()
                    ->actionNames()
                    .contains(QAccessibleActionInterface::pressAction()));

    // Keys of the on-screen keyboard: Q, the two-line "~ `", the blank space bar, a grey key.
    const auto tpl = keysel::loadKeyboardTemplate();
    ASSERT_TRUE(tpl);
    keysel::KeyboardWindow keyboard(*tpl, &f.dlg());
    EXPECT_EQ(spokenName(keyboard.keyButton(1166)), QStringLiteral("Q"));
    EXPECT_EQ(spokenName(keyboard.keyButton(1151)), QStringLiteral("~ `"));
    EXPECT_EQ(spokenName(keyboard.keyButton(1207)), QStringLiteral("Space"));
    EXPECT_EQ(accessible(keyboard.keyButton(1207))->role(), QAccessible::Button);
    EXPECT_FALSE(accessible(keyboard.keyButton(1199))->text(QAccessible::Description).isEmpty()); // ","
}

TEST(KeyboardAccess, TabWalksConsolesThenThePageByColumnsThenTheCommands) {
    WindowFixture f(QStringList{QStringLiteral("--no-adapter")});
    // Read off the PS3 page: the left column top to bottom, the right column, then HOME between.
    const QStringList expected =
        QStringLiteral("PS3|PS4|SWITCH|XBOX|"
                       "PS3 L2|PS3 L1|PS3 SELECT|PS3 方向键上|PS3 方向键下|PS3 方向键左|PS3 方向键右|"
                       "PS3 左摇杆上|PS3 左摇杆下|PS3 左摇杆左|"
                       "PS3 左摇杆右|PS3 左摇杆按下|"
                       "PS3 R2|PS3 R1|PS3 START|PS3 A|PS3 B|PS3 X|PS3 Y|PS3 右摇杆按下|PS3 HOME|"
                       "选择文件|保存文件|恢复默认|应用|"
                       "PS3" // and round again
                       )
            .split(u'|');
    EXPECT_FALSE(f.dlg().focusOutlineShown());
    QStringList walked;
    for (qsizetype i = 0; i < expected.size(); ++i) {
        press(f.dlg(), Qt::Key_Tab);
        walked << spokenName(QApplication::focusWidget());
    }
    EXPECT_EQ(walked, expected);
    EXPECT_TRUE(f.dlg().focusOutlineShown());
    press(f.dlg(), Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(spokenName(QApplication::focusWidget()), QStringLiteral("应用"));
    // Left and Right stay among the consoles, wrapping.
    press(f.dlg(), Qt::Key_Tab);
    press(f.dlg(), Qt::Key_Left);
    EXPECT_EQ(spokenName(QApplication::focusWidget()), QStringLiteral("XBOX"));
    press(f.dlg(), Qt::Key_Right);
    press(f.dlg(), Qt::Key_Right);
    EXPECT_EQ(spokenName(QApplication::focusWidget()), QStringLiteral("PS4"));
    // A click hides the keyboard's outline again.
    f.click(QStringLiteral("btn_ps4"));
    EXPECT_FALSE(f.dlg().focusOutlineShown());
}

TEST(KeyboardAccess, AssignAndApplyWithoutAMouse) {
    WindowFixture f;
    ASSERT_TRUE(f.simStarted());
    f.settle();

    press(f.dlg(), Qt::Key_3, Qt::ControlModifier);
    EXPECT_TRUE(f.element(QStringLiteral("btn_switch"))->isChecked());
    EXPECT_EQ(device::currentConsole().load(), 4);
    press(f.dlg(), Qt::Key_4, Qt::ControlModifier);
    EXPECT_EQ(device::currentConsole().load(), 3);
    press(f.dlg(), Qt::Key_1, Qt::ControlModifier);
    EXPECT_EQ(device::currentConsole().load(), 1);
    f.settle();

    for (int i = 0; i < 5; ++i) // four consoles, then L2
        press(f.dlg(), Qt::Key_Tab);
    ui::SWindow* box = f.element(QStringLiteral("btn_ps3_key_L2"));
    ASSERT_TRUE(box->hasFocus());

    // The menu: Down selects its first entry (keyboard), Return takes it. The on-screen keyboard
    // starts on "~"; Down reaches Tab, Right reaches Q, Return picks it.
    QPoint menuAt;
    whenShown([] { return shownMenu() != nullptr; },
              [&] {
                  keysel::SMenuEx2* menu = shownMenu();
                  menuAt = menu->window()->geometry().topLeft();
                  QTest::keyClick(menu->window(), Qt::Key_Down);
                  whenShown(
                      [] {
                          return keysel::activeKeyboard && keysel::activeKeyboard->dialogWindow &&
                                 keysel::activeKeyboard->dialogWindow->isVisible();
                      },
                      [] {
                          for (const int key : {Qt::Key_Down, Qt::Key_Right, Qt::Key_Return})
                              QTest::keyClick(keysel::activeKeyboard->dialogWindow->focusWidget(),
                                              Qt::Key(key));
                      });
                  QTest::keyClick(menu->window(), Qt::Key_Return);
              });
    press(f.dlg(), Qt::Key_Return);

    const QRect r = box->windowRectInHost();
    EXPECT_EQ(menuAt,
              box->hostToScreen(QPoint(r.left(), r.top() + r.height() - 4))); // where a click opens it
    EXPECT_EQ(f.block().record(ConsoleId::PS3)[22], 0x14);                    // Q
    EXPECT_EQ(accessible(box)->text(QAccessible::Value), QStringLiteral("Q"));

    press(f.dlg(), Qt::Key_Return, Qt::ControlModifier);
    ASSERT_EQ(f.boxes.shown.size(), 1u);
    EXPECT_EQ(f.boxes.shown[0].kind, Box::Information);
    ASSERT_TRUE(f.sim().waitForOutputReports(5, 3000));
    EXPECT_EQ(f.sim().outputReports()[0].bytes, writeReport(f.block().record(ConsoleId::PS3)));

    press(f.dlg(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_TRUE(f.dlg().isClosed());
}

namespace {

// Sends a pad state until `shown` holds (a single state may fall between two reads).
bool padUntil(WindowFixture& f, const QString& hex, const std::function<bool()>& shown) {
    for (int i = 0; i < 30; ++i) {
        if (!f.sim().command(QStringLiteral("pad ") + hex))
            return false;
        if (waitUntil(shown, 100))
            return true;
    }
    return false;
}

// Presses closer together than a hand makes them are taken for a stream and skipped.
void likeAHand() {
    QTest::qWait(int(PadPressTracker::kReportsAtMostEveryMs) + 50);
}

bool lampLit(WindowFixture& f, ConsoleId console, PadButton b) {
    ui::SWindow* lamp = f.dlg().handler(console).lamp(b);
    return lamp && !lamp->isHidden();
}

struct PadCase {
    int ctrlDigit;
    ConsoleId console;
    const char* pad; // data bytes 2.. after A1 C4
    PadButton button;
    const char* box;
};

} // namespace

TEST(KeyboardAccess, APadPressFocusesItsBoxOnceTheKeyboardIsUsedAndNeverOpensAMenu) {
    WindowFixture f;
    ASSERT_TRUE(f.simStarted());
    f.dlg().activateWindow();
    ASSERT_TRUE(waitUntil([&] { return f.dlg().isActiveWindow(); }));
    const WorkModeBlock before = f.block();
    const char* neutral = "80 80 80 80 00 00 00 00 00 00";
    const QString l2Held = QStringLiteral("80 80 80 80 00 00 00 01 00 00");
    auto l2Lit = [&] { return lampLit(f, ConsoleId::PS3, PadButton::L2); };
    ui::SWindow* l2 = f.element(QStringLiteral("btn_ps3_key_L2"));
    // A menu opened meanwhile, by anything.
    bool menuSeen = false;
    QTimer menuWatch;
    QObject::connect(&menuWatch, &QTimer::timeout, [&] { menuSeen = menuSeen || shownMenu() != nullptr; });
    menuWatch.start(5);

    // Before the keyboard moved the focus (a mouse user), the lamps light and the focus stays, even
    // for two quick presses.
    const QString stickLeft = QStringLiteral("00 80 80 80 00 00 00 00 00 00");
    auto stickLeftLit = [&] { return lampLit(f, ConsoleId::PS3, PadButton::lxhih_L); };
    QWidget* focusBefore = QApplication::focusWidget();
    ASSERT_NE(focusBefore, f.element(QStringLiteral("btn_ps3_key_lxhih_L")));
    for (int i = 0; i < 2; ++i) {
        likeAHand();
        ASSERT_TRUE(padUntil(f, stickLeft, stickLeftLit));
        ASSERT_TRUE(padUntil(f, QString::fromLatin1(neutral), [&] { return !stickLeftLit(); }));
    }
    EXPECT_EQ(QApplication::focusWidget(), focusBefore);
    EXPECT_FALSE(f.dlg().focusOutlineShown());

    press(f.dlg(), Qt::Key_Tab);
    ASSERT_TRUE(f.dlg().focusOutlineShown());
    const PadCase cases[] = {
        {1, ConsoleId::PS3, "80 80 80 80 00 00 00 01 00 00", PadButton::L2, "btn_ps3_key_L2"},
        {2, ConsoleId::PS4, "80 80 80 80 00 00 00 80 00 00", PadButton::SHARE, "btn_ps4_key_SHARE"},
        {3, ConsoleId::SWITCH, "80 80 80 80 00 00 00 80 00 00", PadButton::CAPTURE, "btn_switch_key_CAPTURE"},
        {4, ConsoleId::XBOX, "00 80 80 80 00 00 00 00 00 00", PadButton::lxhih_L, "btn_xbox_key_lxhih_L"},
        {1, ConsoleId::PS3, "80 FF 80 80 00 00 00 00 00 00", PadButton::lyhih_DOWN, "btn_ps3_key_lyhih_DOWN"},
    };
    for (const PadCase& c : cases) {
        press(f.dlg(), Qt::Key_0 + c.ctrlDigit, Qt::ControlModifier);
        likeAHand();
        ASSERT_TRUE(padUntil(f, QString::fromLatin1(c.pad), [&] { return lampLit(f, c.console, c.button); }))
            << c.box;
        EXPECT_EQ(QApplication::focusWidget(), f.element(QString::fromLatin1(c.box))) << c.box;
        EXPECT_TRUE(accessible(f.element(QString::fromLatin1(c.box)))->state().pressed) << c.box;
        ASSERT_TRUE(
            padUntil(f, QString::fromLatin1(neutral), [&] { return !lampLit(f, c.console, c.button); }));
    }
    EXPECT_TRUE(f.dlg().focusOutlineShown());

    // A stick short of its edge lights its lamp but leaves the focus where it is.
    likeAHand();
    ASSERT_TRUE(padUntil(f, QStringLiteral("40 80 80 80 00 00 00 00 00 00"),
                         [&] { return lampLit(f, ConsoleId::PS3, PadButton::lxhih_L); }));
    EXPECT_EQ(QApplication::focusWidget(), f.element(QStringLiteral("btn_ps3_key_lyhih_DOWN")));
    ASSERT_TRUE(padUntil(f, QString::fromLatin1(neutral),
                         [&] { return !lampLit(f, ConsoleId::PS3, PadButton::lxhih_L); }));

    // Pressed twice in quick succession, a button focuses its box and opens nothing.
    ASSERT_NE(QApplication::focusWidget(), l2);
    for (int i = 0; i < 2; ++i) {
        likeAHand();
        ASSERT_TRUE(padUntil(f, l2Held, l2Lit));
        ASSERT_TRUE(padUntil(f, QString::fromLatin1(neutral), [&] { return !l2Lit(); }));
    }
    EXPECT_EQ(QApplication::focusWidget(), l2);
    QTest::qWait(50); // a click the second press queued would have opened its menu by now
    EXPECT_FALSE(menuSeen);

    // A mouse press hides the outline, and the pad no longer moves the focus.
    f.click(QStringLiteral("btn_ps4"));
    EXPECT_FALSE(f.dlg().focusOutlineShown());
    QWidget* focused = QApplication::focusWidget();
    likeAHand();
    ASSERT_TRUE(padUntil(f, QStringLiteral("80 80 80 80 00 00 00 80 00 00"),
                         [&] { return lampLit(f, ConsoleId::PS4, PadButton::SHARE); }));
    EXPECT_EQ(QApplication::focusWidget(), focused);
    EXPECT_FALSE(menuSeen);
    EXPECT_TRUE(f.block() == before); // nothing was stored
}
