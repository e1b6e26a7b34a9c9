// The main window and the console handlers, driven like a user would: clicks on real widgets,
// the function menu and the on-screen keyboard answered while they run, velorin-sim behind.
#include "WindowTestSupport.h"

#include "app/SingleInstance.h"
#include "device/AdapterSession.h"
#include "model/DisplayTexts.h"
#include "ui/Elements.h"

#include <QFile>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <ostream>

using namespace velorin;
using namespace velorin::app;
using namespace velorin::app::test;

namespace {

constexpr int kKeyIndexA = 29; // "A" on the on-screen keyboard

QString text(WindowFixture& f, const QString& name) {
    ui::SWindow* w = f.element(name);
    return w ? w->text() : QStringLiteral("<missing>");
}

} // namespace

TEST(MainWindow, AssignAThroughMenuAndKeyboardThenApplyWritesFiveReports) {
    WindowFixture f;
    ASSERT_TRUE(f.simStarted());
    f.settle();

    MenuSeen seen;
    answerMenu(kFunKeyboard, &seen);
    QTimer::singleShot(0, [] { answerKeyboard(kKeyIndexA); });
    f.click(QStringLiteral("btn_ps3_key_L2"));

    ASSERT_TRUE(seen.shown);
    EXPECT_EQ(seen.itemIds, (std::vector<int>{1, 2, 3, 4}));
    const DisplayTexts& t = displayTexts();
    EXPECT_EQ(seen.itemTexts, (QStringList{t.get(DisplayText::keyboard), t.get(DisplayText::Lclick),
                                           t.get(DisplayText::Rclick), t.get(DisplayText::Mclick)}));
    // The menu opens at the box's left edge, 4 pixels above its bottom edge.
    ui::SWindow* box = f.element(QStringLiteral("btn_ps3_key_L2"));
    const QRect r = box->windowRectInHost();
    EXPECT_EQ(seen.topLeft, box->hostToScreen(QPoint(r.left(), r.top() + r.height() - 4)));

    EXPECT_EQ(text(f, QStringLiteral("btn_ps3_key_L2")), QStringLiteral("A"));
    EXPECT_EQ(f.block().raw()[22], 0x04);
    EXPECT_TRUE(f.boxes.shown.empty());

    f.click(QStringLiteral("btn_Applay"));
    ASSERT_EQ(f.boxes.shown.size(), 1u);
    EXPECT_EQ(f.boxes.shown[0].kind, Box::Information);
    EXPECT_EQ(f.boxes.shown[0].text, QStringLiteral("烧录成功"));
    EXPECT_EQ(f.boxes.shown[0].caption, t.get(DisplayText::title));

    ASSERT_TRUE(f.sim().waitForOutputReports(5, 3000));
    const auto reports = f.sim().outputReports();
    // Apply prepared the records in the block: console ids, byte 26 of PS3 and XBOX cleared.
    EXPECT_EQ(f.block().record(ConsoleId::PS3)[0], 1);
    EXPECT_EQ(f.block().record(ConsoleId::PS4)[0], 2);
    EXPECT_EQ(f.block().record(ConsoleId::SWITCH)[0], 4);
    EXPECT_EQ(f.block().record(ConsoleId::XBOX)[0], 3);
    const std::vector<std::vector<uint8_t>> expected{
        writeReport(f.block().record(ConsoleId::PS3)), writeReport(f.block().record(ConsoleId::PS4)),
        writeReport(f.block().record(ConsoleId::SWITCH)), writeReport(f.block().record(ConsoleId::XBOX)),
        modeSelectReport(1)};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_TRUE(reports[i].accepted) << i;
        EXPECT_EQ(reports[i].bytes, expected[i]) << "report " << i;
    }
    EXPECT_EQ(reports[0].bytes[4 + 22], 0x04);
    // Anything after them is the reader repeating the same mode select.
    for (std::size_t i = expected.size(); i < reports.size(); ++i)
        EXPECT_EQ(reports[i].bytes, modeSelectReport(1)) << i;
    // The adapter now holds the record with A on L2.
    const auto dump = f.sim().dump();
    ASSERT_TRUE(dump);
    EXPECT_EQ((*dump)[0][22], 0x04);
}

struct MousePick {
    const char* console; // tab button
    const char* box;
    ConsoleId record;
    int byte;
    int menuId;
    uint8_t code;
    DisplayText shown;
};

// Keeps test names readable (the parameter is named by its box).
void PrintTo(const MousePick& p, std::ostream* out) {
    *out << p.box;
}

class MousePicks : public ::testing::TestWithParam<MousePick> {};

TEST_P(MousePicks, StoreTheMouseCodeInTheButtonsByteAndShowItsText) {
    const MousePick& p = GetParam();
    WindowFixture f(QStringList{QStringLiteral("--no-adapter")});
    f.click(QString::fromLatin1(p.console));
    answerMenu(p.menuId);
    f.click(QString::fromLatin1(p.box));
    EXPECT_EQ(f.block().record(p.record)[std::size_t(p.byte)], p.code);
    EXPECT_EQ(text(f, QString::fromLatin1(p.box)), displayTexts().get(p.shown));
    // No other byte of the block changed.
    int changed = 0;
    for (uint8_t b : f.block().raw())
        changed += b != 0;
    EXPECT_EQ(changed, 1);
}

INSTANTIATE_TEST_SUITE_P(
    MainWindow, MousePicks,
    ::testing::Values(
        MousePick{"btn_xbox", "btn_xbox_key_A", ConsoleId::XBOX, 19, 3, 0xA1, DisplayText::Rclick},
        MousePick{"btn_ps4", "btn_ps4_key_SHARE", ConsoleId::PS4, 26, 2, 0xA0, DisplayText::Lclick},
        MousePick{"btn_switch", "btn_switch_key_CAPTURE", ConsoleId::SWITCH, 26, 4, 0xA2,
                  DisplayText::Mclick},
        MousePick{"btn_ps3", "btn_ps3_key_lxhih_L", ConsoleId::PS3, 1, 2, 0xA0, DisplayText::Lclick}),
    [](const ::testing::TestParamInfo<MousePick>& info) { return std::string(info.param.box); });

TEST(MainWindow, CancelledKeyboardOrDismissedMenuLeavesTheCellAsItWas) {
    WindowFixture f(QStringList{QStringLiteral("--no-adapter")});
    const QString box = QStringLiteral("btn_ps3_key_L1");
    const std::size_t cell = std::size_t(recordByte(PadButton::L1));
    answerMenu(kFunLclick);
    f.click(box);
    ASSERT_EQ(f.block().record(ConsoleId::PS3)[cell], 0xA0);

    answerMenu(kFunKeyboard);
    QTimer::singleShot(0, [] { answerKeyboard(-1); });
    f.click(box);
    EXPECT_EQ(f.block().record(ConsoleId::PS3)[cell], 0xA0);
    EXPECT_EQ(text(f, box), displayTexts().get(DisplayText::Lclick));

    answerMenu(0);
    f.click(box);
    EXPECT_EQ(f.block().record(ConsoleId::PS3)[cell], 0xA0);
    EXPECT_TRUE(f.boxes.shown.empty());
}

TEST(MainWindow, EventsAreOfferedToTheHandlerWhosePageHoldsTheSender) {
    WindowFixture f(QStringList{QStringLiteral("--no-adapter")});
    ui::SWindow* ps4Box = f.element(QStringLiteral("btn_ps4_key_A"));
    ui::SWindow* ps3Box = f.element(QStringLiteral("btn_ps3_key_A"));
    ASSERT_TRUE(ps4Box && ps3Box);

    ui::EventArgs fromPs4{ui::kEventCommand, ps4Box, ps4Box->name(), ps4Box->id()};
    EXPECT_FALSE(f.dlg().ps3Handler().HandleEvent(fromPs4));

    // A hover inside the PS3 page is not a command: declined, no menu.
    ui::EventArgs hover{ui::kEventMouseHover, ps3Box, ps3Box->name(), ps3Box->id()};
    EXPECT_FALSE(f.dlg().ps3Handler().HandleEvent(hover));

    // A command from inside the page that is no assignment box is handled and shows nothing.
    ui::SWindow* page = f.dlg().ps3Handler().pageRoot();
    ASSERT_TRUE(page);
    ui::EventArgs fromPage{ui::kEventCommand, page, QStringLiteral("not_a_box"), 0};
    EXPECT_TRUE(f.dlg().ps3Handler().HandleEvent(fromPage));

    // Through the window's chain the PS4 handler takes it and picks.
    answerMenu(kFunRclick);
    EXPECT_TRUE(f.dlg().onEvent(fromPs4));
    EXPECT_EQ(f.block().record(ConsoleId::PS4)[19], 0xA1);
    EXPECT_EQ(f.block().record(ConsoleId::PS3)[19], 0x00);
}

TEST(MainWindow, SelectingXboxChecksOnlyItsButtonAndSendsModeThree) {
    WindowFixture f;
    ASSERT_TRUE(f.simStarted());
    f.settle();
    f.click(QStringLiteral("btn_xbox"));

    for (const char* name : {"btn_ps3", "btn_ps4", "btn_switch", "btn_xbox"}) {
        ui::SWindow* b = f.element(QString::fromLatin1(name));
        ASSERT_TRUE(b);
        const bool selected = QLatin1String(name) == QLatin1String("btn_xbox");
        EXPECT_EQ(b->isChecked(), selected) << name;
        EXPECT_EQ(b->attribute(QStringLiteral("colorText")),
                  selected ? QStringLiteral("#ffffffff") : QStringLiteral("#adadadff"))
            << name;
    }
    auto* tab = f.dlg().findChildByName2<ui::STabCtrl>(u"tabctrl_mode");
    ASSERT_TRUE(tab);
    EXPECT_EQ(tab->page(tab->curSel())->title(), QStringLiteral("xboxpage"));
    EXPECT_EQ(f.session().selectedConsole().load(), ConsoleId::XBOX);

    ASSERT_TRUE(f.sim().waitForOutputReports(1, 2000));
    const auto reports = f.sim().outputReports();
    for (const auto& r : reports)
        EXPECT_EQ(r.bytes, modeSelectReport(3));
}

TEST(MainWindow, ApplyWithoutAdapterShowsOnlyTheOpenError) {
    WindowFixture f(QStringList{QStringLiteral("--no-adapter")});
    f.click(QStringLiteral("btn_Applay"));
    ASSERT_EQ(f.boxes.shown.size(), 1u);
    EXPECT_EQ(f.boxes.shown[0].kind, Box::Error);
    EXPECT_EQ(f.boxes.shown[0].text, QStringLiteral("CreateFileHandle error"));
    EXPECT_EQ(f.block(), WorkModeBlock{});
}

// Node names are reused: a keyboard that takes over the adapter's name before the window has
// handled the removal is found out when the handle is opened, and gets no report.
TEST(MainWindow, ApplyToANodeTakenOverByAKeyboardWritesNothingThere) {
    WindowFixture f;
    ASSERT_TRUE(f.simStarted());
    f.settle();
    ASSERT_TRUE(f.sim().command(QStringLiteral("unplug adapter")));
    ASSERT_TRUE(f.sim().command(QStringLiteral("plug keyboard adapter")));
    f.click(QStringLiteral("btn_Applay"));
    ASSERT_EQ(f.boxes.shown.size(), 1u);
    EXPECT_EQ(f.boxes.shown[0].text, QStringLiteral("CreateFileHandle error"));
    QTest::qWait(300);
    EXPECT_TRUE(f.sim().outputReports().empty());
}

TEST(MainWindow, ApplyWithARefusedSwitchWriteStopsThere) {
    WindowFixture f;
    ASSERT_TRUE(f.simStarted());
    f.settle();
    ASSERT_TRUE(f.sim().command(QStringLiteral("refuse switch on")));
    WorkModeBlock odd = f.block();
    odd.record(ConsoleId::XBOX)[0] = 0x77;
    odd.record(ConsoleId::XBOX)[26] = 0x55;
    f.dlg().history().load(odd);
    f.click(QStringLiteral("btn_Applay"));
    ASSERT_EQ(f.boxes.shown.size(), 1u);
    EXPECT_EQ(f.boxes.shown[0].kind, Box::Error);
    EXPECT_EQ(f.boxes.shown[0].text, QStringLiteral("Write switch workModeData error"));

    QTest::qWait(200);
    const auto reports = f.sim().outputReports();
    ASSERT_EQ(reports.size(), 3u);
    EXPECT_TRUE(reports[0].accepted);
    EXPECT_TRUE(reports[1].accepted);
    EXPECT_FALSE(reports[2].accepted);
    EXPECT_EQ(reports[0].bytes[4], 1);
    EXPECT_EQ(reports[1].bytes[4], 2);
    EXPECT_EQ(reports[2].bytes[4], 4);
    // The XBOX record was neither prepared nor written.
    EXPECT_EQ(f.block().record(ConsoleId::XBOX)[0], 0x77);
    EXPECT_EQ(f.block().record(ConsoleId::XBOX)[26], 0x55);
}

namespace {

// A seed file whose records are recognisable: each record's L2 holds a different key.
QString writeSeed(const QString& dir) {
    WorkModeBlock seed;
    const KeyCode keys[] = {0x04, 0x05, 0x06, 0x07}; // A, B, C, D in block order
    for (int i = 0; i < 4; ++i) {
        const ConsoleId c = consoleAtBlockIndex(i);
        seed.record(c)[0] = uint8_t(c);
        seed.setButton(c, PadButton::L2, keys[i]);
    }
    const QString path = dir + QStringLiteral("seed.kvf");
    EXPECT_EQ(writeKvf(path, seed), KvfWriteStatus::Ok);
    return path;
}

} // namespace

TEST(MainWindow, StartWithoutAdapterShowsEmptyBoxesOnPs3) {
    WindowFixture f(QStringList{QStringLiteral("--no-adapter")});
    EXPECT_EQ(f.session().selectedConsole().load(), ConsoleId::PS3);
    EXPECT_EQ(text(f, QStringLiteral("btn_ps3_key_L2")), QString());
    EXPECT_EQ(f.block(), WorkModeBlock{});
    EXPECT_TRUE(f.boxes.shown.empty());
}

TEST(MainWindow, AdapterPluggedInWhileRunningIsReadBackInBlockOrder) {
    QTemporaryDir seedDir;
    const QString seed = writeSeed(seedDir.path() + u'/');
    WindowFixture f(QStringList{QStringLiteral("--no-adapter"), QStringLiteral("--seed"), seed});
    ASSERT_TRUE(f.simStarted());
    EXPECT_EQ(text(f, QStringLiteral("btn_ps3_key_L2")), QString());

    ASSERT_TRUE(f.sim().command(QStringLiteral("plug adapter adapter")));
    ASSERT_TRUE(waitUntil([&] { return text(f, QStringLiteral("btn_xbox_key_L2")) == QStringLiteral("D"); }));
    EXPECT_EQ(text(f, QStringLiteral("btn_ps3_key_L2")), QStringLiteral("A"));
    EXPECT_EQ(text(f, QStringLiteral("btn_ps4_key_L2")), QStringLiteral("B"));
    EXPECT_EQ(text(f, QStringLiteral("btn_switch_key_L2")), QStringLiteral("C"));
    EXPECT_EQ(f.block().record(ConsoleId::SWITCH)[22], 0x06);
    // The requests went out in block order.
    std::vector<int> requested;
    waitUntil([&] {
        requested.clear();
        for (const auto& r : f.sim().outputReports())
            if (r.bytes.size() > 4 && r.bytes[1] == 0x31)
                requested.push_back(r.bytes[4]);
        return requested.size() >= 4;
    });
    ASSERT_GE(requested.size(), 4u);
    EXPECT_EQ(std::vector<int>(requested.end() - 4, requested.end()), (std::vector<int>{1, 2, 4, 3}));
}

TEST(MainWindow, AMissingSwitchReplyKeepsSwitchAndXbox) {
    QTemporaryDir seedDir;
    const QString seed = writeSeed(seedDir.path() + u'/');
    WindowFixture f(QStringList{QStringLiteral("--no-adapter"), QStringLiteral("--seed"), seed});
    ASSERT_TRUE(f.simStarted());
    ASSERT_TRUE(f.sim().command(QStringLiteral("drop switch on")));
    ASSERT_TRUE(f.sim().command(QStringLiteral("plug adapter adapter")));
    ASSERT_TRUE(waitUntil([&] { return text(f, QStringLiteral("btn_ps4_key_L2")) == QStringLiteral("B"); }));
    QTest::qWait(300); // past the 100 ms reply wait of the Switch record
    EXPECT_EQ(text(f, QStringLiteral("btn_ps3_key_L2")), QStringLiteral("A"));
    EXPECT_EQ(text(f, QStringLiteral("btn_switch_key_L2")), QString());
    EXPECT_EQ(text(f, QStringLiteral("btn_xbox_key_L2")), QString());
    EXPECT_EQ(f.block().record(ConsoleId::SWITCH)[22], 0);
    EXPECT_EQ(f.block().record(ConsoleId::XBOX)[22], 0);
}

namespace {

// The reader reads one report per pass, so a single pad state may fall between two passes: send it
// again until the window shows what is expected.
bool padUntil(WindowFixture& f, const QString& hex, const std::function<bool()>& shown) {
    for (int i = 0; i < 30; ++i) {
        if (!f.sim().command(QStringLiteral("pad ") + hex))
            return false;
        if (waitUntil(shown, 100))
            return true;
    }
    return false;
}

QStringList visibleLamps(WindowFixture& f, ConsoleId console) {
    QStringList on;
    for (const PadButton b : consoleInfo(console).buttons) {
        const QString name = QString::fromStdString(lampName(console, b));
        ui::SWindow* lamp = f.element(name);
        if (lamp && !lamp->isHidden())
            on << name;
    }
    return on;
}

} // namespace

TEST(MainWindow, LampsFollowPadReportsAndGoOutOnUnplugAndConsoleChange) {
    WindowFixture f;
    ASSERT_TRUE(f.simStarted());
    EXPECT_EQ(f.dlg().ps3Handler().lampCount(), 21);
    EXPECT_EQ(f.dlg().switchHandler().lampCount(), 22);
    // Data bytes 2.. of A1 C4 80 80 80 80 00 00 01 00 00 00: button A held.
    ASSERT_TRUE(padUntil(f, QStringLiteral("80 80 80 80 00 00 01 00 00 00"),
                         [&] { return !visibleLamps(f, ConsoleId::PS3).isEmpty(); }));
    EXPECT_EQ(visibleLamps(f, ConsoleId::PS3), QStringList{QStringLiteral("img_ps3_key_A")});
    EXPECT_TRUE(visibleLamps(f, ConsoleId::XBOX).isEmpty());

    // A console change puts the new page's lamps out even while the button is held.
    f.click(QStringLiteral("btn_switch"));
    EXPECT_TRUE(visibleLamps(f, ConsoleId::SWITCH).isEmpty());
    // CAPTURE (byte 9 bit 7) and two direction bits lit on the Switch page only.
    ASSERT_TRUE(padUntil(f, QStringLiteral("80 80 80 80 00 00 00 80 05 00"),
                         [&] { return visibleLamps(f, ConsoleId::SWITCH).size() == 3; }));
    EXPECT_EQ(visibleLamps(f, ConsoleId::SWITCH), (QStringList{QStringLiteral("img_switch_key_ARROW_UP"),
                                                               QStringLiteral("img_switch_key_ARROW_L"),
                                                               QStringLiteral("img_switch_key_CAPTURE")}));
    // The PS3 page keeps what it showed while another console is selected.
    EXPECT_EQ(visibleLamps(f, ConsoleId::PS3), QStringList{QStringLiteral("img_ps3_key_A")});

    ASSERT_TRUE(f.sim().command(QStringLiteral("unplug adapter")));
    ASSERT_TRUE(waitUntil([&] { return visibleLamps(f, ConsoleId::SWITCH).isEmpty(); }));
    EXPECT_EQ(f.session().joyData().get(), device::JoyState{});
}

TEST(MainWindow, LangXmlWithOnlyATitleReplacesEveryText) {
    WindowFixture f(QStringList{QStringLiteral("--no-adapter")}, [](const QString& dir) {
        QFile file(dir + QStringLiteral("lang.xml"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("<?xml version=\"1.0\" encoding=\"utf-8\"?><root><title name=\"Pad Mapper\"/></root>");
    });
    EXPECT_EQ(f.dlg().windowTitle(), QStringLiteral("Pad Mapper"));
    EXPECT_EQ(text(f, QStringLiteral("text_title")), QStringLiteral("Pad Mapper"));
    for (const char* name : {"btn_loadcfg", "btn_savecfg", "btn_default", "btn_Applay"})
        EXPECT_EQ(text(f, QString::fromLatin1(name)), QString()) << name;
    // The menu shows the (now empty) entries; a pick still works.
    MenuSeen seen;
    answerMenu(kFunMclick, &seen);
    f.click(QStringLiteral("btn_ps3_key_R1"));
    EXPECT_EQ(seen.itemTexts, (QStringList{QString(), QString(), QString(), QString()}));
    EXPECT_EQ(f.block().record(ConsoleId::PS3)[recordByte(PadButton::R1)], 0xA2);
}

TEST(MainWindow, WithoutLangXmlTheLayoutTextsStay) {
    WindowFixture f(QStringList{QStringLiteral("--no-adapter")});
    EXPECT_EQ(text(f, QStringLiteral("btn_Applay")), QStringLiteral("应用"));
    EXPECT_EQ(text(f, QStringLiteral("btn_loadcfg")), QStringLiteral("选择文件"));
}

TEST(MainWindow, SaveThenLoadThroughTheButtonsRestoresEveryPage) {
    WindowFixture f(QStringList{QStringLiteral("--no-adapter")});
    answerMenu(kFunRclick);
    f.click(QStringLiteral("btn_ps3_key_START"));
    const WorkModeBlock saved = f.block();
    f.chooser.savePath = f.exeDir() + QStringLiteral("mine.kvf");
    f.click(QStringLiteral("btn_savecfg"));
    QFile file(*f.chooser.savePath);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    ASSERT_EQ(bytes.size(), 108);
    EXPECT_EQ(bytes, QByteArray(reinterpret_cast<const char*>(saved.raw().data()), 108));

    f.dlg().history().load(WorkModeBlock{});
    EXPECT_EQ(text(f, QStringLiteral("btn_ps3_key_START")), QString());
    f.chooser.openPath = f.chooser.savePath;
    f.click(QStringLiteral("btn_loadcfg"));
    EXPECT_EQ(f.block(), saved);
    EXPECT_EQ(text(f, QStringLiteral("btn_ps3_key_START")), displayTexts().get(DisplayText::Rclick));
    EXPECT_TRUE(f.boxes.shown.empty());
}

TEST(MainWindow, RestoreDefaultLoadsTheDeliveredFileIntoEveryPage) {
    WindowFixture f(QStringList{QStringLiteral("--no-adapter")});
    ASSERT_TRUE(QFile::copy(QStringLiteral(VELORIN_DEFAULT_KVF), f.exeDir() + QStringLiteral("default.kvf")));
    f.click(QStringLiteral("btn_default"));
    ASSERT_EQ(f.boxes.shown.size(), 1u);
    EXPECT_EQ(f.boxes.shown[0].kind, Box::Question);
    EXPECT_EQ(f.boxes.shown[0].text, displayTexts().get(DisplayText::msgRestore));
    EXPECT_EQ(text(f, QStringLiteral("btn_xbox_key_A")), QStringLiteral("Space"));
    EXPECT_EQ(text(f, QStringLiteral("btn_switch_key_CAPTURE")), QStringLiteral("F12"));
}

TEST(MainWindow, CloseRemovesTheMarkerAndAsksNothing) {
    QTemporaryDir runtime;
    SingleInstance instance(runtime.path());
    ASSERT_TRUE(instance.isMYMutex(QString()));
    WindowFixture f(QStringList{QStringLiteral("--no-adapter")});
    // A second window bound to the instance, as start-up makes it.
    CMainDlg dlg(std::make_shared<device::AdapterSession>(f.sim().makePlatform()), f.chooser, f.boxes,
                 &instance);
    ASSERT_TRUE(dlg.create());
    dlg.OnInitDialog();
    dlg.show();
    EXPECT_TRUE(instance.hasMarker());
    answerMenu(kFunLclick);
    QTest::mouseClick(dlg.findChildByName(u"btn_ps3_key_A"), Qt::LeftButton);
    int closedSignals = 0;
    QObject::connect(&dlg, &CMainDlg::closed, [&] { ++closedSignals; });
    QTest::mouseClick(dlg.findChildByName(u"btn_close"), Qt::LeftButton);
    EXPECT_EQ(closedSignals, 1);
    EXPECT_FALSE(instance.hasMarker());
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_TRUE(f.boxes.shown.empty());
    dlg.stopListener();
}

TEST(MainWindow, BackgroundOverrideIsUsedOnlyWhenItDecodes) {
    {
        WindowFixture f(QStringList{QStringLiteral("--no-adapter")}, [](const QString& dir) {
            QImage image(40, 30, QImage::Format_ARGB32);
            image.fill(Qt::red);
            ASSERT_TRUE(image.save(dir + QStringLiteral("background.png"), "PNG"));
        });
        auto* background = f.dlg().findChildByName2<ui::SImageWnd>(u"img_background");
        ASSERT_TRUE(background);
        EXPECT_TRUE(background->hasOwnImage());
    }
    WindowFixture f(QStringList{QStringLiteral("--no-adapter")}, [](const QString& dir) {
        QFile file(dir + QStringLiteral("background.png"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("\x89PNG\r\n\x1a\n-not-really-a-png");
    });
    auto* background = f.dlg().findChildByName2<ui::SImageWnd>(u"img_background");
    ASSERT_TRUE(background);
    EXPECT_FALSE(background->hasOwnImage());
    EXPECT_TRUE(f.boxes.shown.empty());
}

TEST(MainWindow, MinimiseButtonAndALaterStartsActivation) {
    WindowFixture f(QStringList{QStringLiteral("--no-adapter")});
    f.click(QStringLiteral("btn_min"));
    EXPECT_TRUE(f.dlg().windowState() & Qt::WindowMinimized);
    f.dlg().BringToFront();
    EXPECT_FALSE(f.dlg().windowState() & Qt::WindowMinimized);
    EXPECT_TRUE(f.dlg().isVisible());
    EXPECT_FALSE(f.dlg().isClosed());
}
