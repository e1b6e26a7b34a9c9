// Undo and redo, the mark for changes not yet applied, the question before closing, and copying
// between consoles, driven with real clicks and keys against velorin-sim.
#include "WindowTestSupport.h"

#include "app/AdapterBadge.h"
#include "app/CloseQuestion.h"
#include "app/UnappliedMark.h"
#include "device/Discovery.h"
#include "device/hid/HidPlatform.h"
#include "model/DisplayTexts.h"
#include "model/KeyCodeName.h"

#include <QTest>

#include <algorithm>

#include <gtest/gtest.h>

using namespace velorin;
using namespace velorin::app;
using namespace velorin::app::test;

namespace {

QString boxText(WindowFixture& f, const char* name) {
    ui::SWindow* w = f.element(QString::fromLatin1(name));
    return w ? w->text() : QStringLiteral("<missing>");
}

bool markShown(WindowFixture& f) {
    const auto* mark = f.element(QStringLiteral("btn_Applay"))->findChild<UnappliedMark*>();
    return mark && mark->isVisible();
}

void key(WindowFixture& f, Qt::Key k, Qt::KeyboardModifiers modifiers) {
    f.dlg().activateWindow();
    if (!QTest::qWaitForWindowActive(&f.dlg()))
        ADD_FAILURE() << "the main window did not become active";
    QTest::keyClick(&f.dlg(), k, modifiers);
}

void pick(WindowFixture& f, const char* box, int menuId) {
    answerMenu(menuId);
    f.click(QString::fromLatin1(box));
}

} // namespace

TEST(Editing, UndoAndRedoAMenuChoiceWithoutTalkingToTheAdapterAndTheMarkFollowsApply) {
    WindowFixture f;
    ASSERT_TRUE(f.simStarted());
    f.settle();
    // Read back at start and nothing edited: the apply button looks as it always did.
    EXPECT_FALSE(markShown(f));
    EXPECT_TRUE(f.element(QStringLiteral("btn_Applay"))->toolTip().isEmpty());
    const uint8_t before = f.block().raw()[22]; // PS3 L2

    pick(f, "btn_ps3_key_L2", kFunRclick);
    ASSERT_EQ(f.block().raw()[22], 0xA1);
    EXPECT_TRUE(markShown(f));
    EXPECT_EQ(f.element(QStringLiteral("btn_Applay"))->toolTip().toStdString(),
              "更改尚未应用：PS3\n适配器中的 PS3 记录与此不同；右键单击「应用」可改用适配器中的记录\n"
              "PS3 L2：（无） → 鼠标右键"); // the simulator starts with every code 0

    key(f, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(f.block().raw()[22], before);
    EXPECT_EQ(boxText(f, "btn_ps3_key_L2"), KeyCodeName(before));
    EXPECT_FALSE(markShown(f)); // back to what the adapter holds
    key(f, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(f.block().raw()[22], 0xA1);
    key(f, Qt::Key_Z, Qt::ControlModifier);
    key(f, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(f.block().raw()[22], 0xA1);
    EXPECT_EQ(boxText(f, "btn_ps3_key_L2"), displayTexts().get(DisplayText::Rclick));
    QTest::qWait(50);
    EXPECT_TRUE(f.sim().outputReports().empty()); // undo and redo sent nothing

    f.click(QStringLiteral("btn_Applay"));
    EXPECT_FALSE(markShown(f));
    EXPECT_TRUE(f.element(QStringLiteral("btn_Applay"))->toolTip().isEmpty());
    const auto dump = f.sim().dump();
    ASSERT_TRUE(dump);
    EXPECT_EQ((*dump)[0][22], 0xA1);
}

TEST(Editing, ARightClickCopiesPs3ToXboxKeepingXboxByteZeroAndByte26AsOneStep) {
    WindowFixture f;
    ASSERT_TRUE(f.simStarted());
    QTemporaryDir dir;
    WorkModeBlock file;
    for (std::size_t i = 0; i < kRecordSize; ++i) {
        file.record(ConsoleId::PS3)[i] = uint8_t(0x04 + i);  // A, B, C ... by byte
        file.record(ConsoleId::XBOX)[i] = uint8_t(0x3A + i); // F1 ... onwards
    }
    f.chooser.openPath = dir.path() + QStringLiteral("/copy.kvf");
    ASSERT_EQ(writeKvf(*f.chooser.openPath, file), KvfWriteStatus::Ok);
    f.click(QStringLiteral("btn_loadcfg"));
    ASSERT_EQ(f.block(), file);
    f.settle();

    MenuSeen seen;
    answerMenu(int(ConsoleId::XBOX), &seen);
    // Through the window, as the window system delivers it: that is where a right press becomes a
    // context-menu request.
    ui::SWindow* ps3 = f.element(QStringLiteral("btn_ps3"));
    QTest::mouseClick(f.dlg().windowHandle(), Qt::RightButton, {},
                      ps3->mapTo(&f.dlg(), ps3->rect().center()));
    ASSERT_TRUE(seen.shown);
    EXPECT_EQ(seen.itemTexts, (QStringList{QStringLiteral("复制到 PS4"), QStringLiteral("复制到 SWITCH"),
                                           QStringLiteral("复制到 XBOX")}));

    const ConstRecordSpan xbox = f.block().record(ConsoleId::XBOX);
    EXPECT_EQ(xbox[0], 0x3A);  // the console id stays
    EXPECT_EQ(xbox[26], 0x54); // XBOX has no 22nd button: its byte stays
    for (std::size_t i : {6u, 7u, 8u, 9u})
        EXPECT_EQ(xbox[i], 0x3A + i) << i; // no button uses these
    for (std::size_t i : {1u, 5u, 10u, 19u, 25u})
        EXPECT_EQ(xbox[i], 0x04 + i) << i;
    EXPECT_EQ(boxText(f, "btn_xbox_key_A"), QStringLiteral("T")); // byte 19: 0x17
    EXPECT_TRUE(std::ranges::equal(f.block().record(ConsoleId::PS3), file.record(ConsoleId::PS3)));
    QTest::qWait(50);
    EXPECT_TRUE(f.sim().outputReports().empty());

    key(f, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(f.block(), file);
    EXPECT_EQ(boxText(f, "btn_xbox_key_A"), KeyCodeName(0x3A + 19));
}

namespace {

// Record requests (command 0x31) the simulator has logged since it last forgot them.
std::size_t recordRequests(WindowFixture& f) {
    std::size_t n = 0;
    for (const auto& r : f.sim().outputReports())
        n += r.bytes.size() > 1 && r.bytes[1] == 0x31;
    return n;
}

// Waits for the read-back an arrival starts (four requests), then for the window to settle.
bool readBackSeen(WindowFixture& f) {
    const bool seen = waitUntil([&] { return recordRequests(f) >= 4; });
    f.settle();
    return seen;
}

std::string badgeText(WindowFixture& f) {
    const auto* badge = f.dlg().findChild<AdapterBadge*>();
    return badge ? badge->text().toStdString() : "<none>";
}

} // namespace

// A pick made before the adapter arrived, then another HID device plugged in, then the adapter
// unplugged and plugged in again: every read-back keeps the pick, the window says so, Apply writes
// it, and the adapter's record can still be taken instead (one step).
TEST(Editing, APickSurvivesEveryReadBackAndTheAdaptersRecordIsOneCommandAway) {
    QTemporaryDir dir;
    WorkModeBlock seed;
    seed.setButton(ConsoleId::PS4, PadButton::L1, 0x05); // B
    seed.setButton(ConsoleId::PS4, PadButton::L2, 0x06); // C
    const QString seedPath = dir.path() + QStringLiteral("/seed.kvf");
    ASSERT_EQ(writeKvf(seedPath, seed), KvfWriteStatus::Ok);
    WindowFixture f(QStringList{QStringLiteral("--no-adapter"), QStringLiteral("--seed"), seedPath});
    ASSERT_TRUE(f.simStarted());
    f.click(QStringLiteral("btn_ps4"));
    pick(f, "btn_ps4_key_L1", kFunMclick);
    ASSERT_EQ(f.block().button(ConsoleId::PS4, PadButton::L1), 0xA2);

    ASSERT_TRUE(f.sim().command(QStringLiteral("plug adapter adapter")));
    ASSERT_TRUE(waitUntil([&] { return f.block().button(ConsoleId::PS4, PadButton::L2) == 0x06; }));
    f.settle();
    EXPECT_EQ(f.block().button(ConsoleId::PS4, PadButton::L1), 0xA2); // the pick, over the adapter's B
    EXPECT_EQ(boxText(f, "btn_ps4_key_L1"), displayTexts().get(DisplayText::Mclick));
    EXPECT_TRUE(markShown(f));
    EXPECT_EQ(badgeText(f), "适配器已连接 · 已保留 PS4 的更改");

    for (const char* arrival : {"plug keyboard kb", "unplug adapter", "plug adapter adapter"}) {
        SCOPED_TRACE(arrival);
        ASSERT_TRUE(f.sim().command(QString::fromLatin1(arrival)));
        if (std::string_view(arrival) == "unplug adapter") {
            ASSERT_TRUE(waitUntil([&] { return !f.dlg().adapterConnected(); }));
            continue;
        }
        ASSERT_TRUE(readBackSeen(f));
        EXPECT_EQ(f.block().button(ConsoleId::PS4, PadButton::L1), 0xA2);
        EXPECT_EQ(f.block().button(ConsoleId::PS4, PadButton::L2), 0x06);
        EXPECT_TRUE(markShown(f));
    }

    // The apply button's own menu takes the adapter's record instead, as one step.
    MenuSeen seen;
    answerMenu(1, &seen);
    ui::SWindow* apply = f.element(QStringLiteral("btn_Applay"));
    QTest::mouseClick(f.dlg().windowHandle(), Qt::RightButton, {},
                      apply->mapTo(&f.dlg(), apply->rect().center()));
    ASSERT_TRUE(seen.shown);
    EXPECT_EQ(seen.itemTexts, (QStringList{QStringLiteral("改用适配器中的记录（PS4）"),
                                           QStringLiteral("查看应用将写入的更改")}));
    EXPECT_EQ(f.block().button(ConsoleId::PS4, PadButton::L1), 0x05);
    EXPECT_FALSE(markShown(f));
    EXPECT_EQ(badgeText(f), "适配器已连接");
    key(f, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(f.block().button(ConsoleId::PS4, PadButton::L1), 0xA2);
    EXPECT_TRUE(f.sim().outputReports().empty()); // nothing was written meanwhile

    f.click(QStringLiteral("btn_Applay"));
    const auto dump = f.sim().dump();
    ASSERT_TRUE(dump);
    EXPECT_EQ((*dump)[consoleInfo(ConsoleId::PS4).blockIndex][recordByte(PadButton::L1)], 0xA2);
    EXPECT_EQ((*dump)[consoleInfo(ConsoleId::PS4).blockIndex][recordByte(PadButton::L2)], 0x06);
    EXPECT_FALSE(markShown(f));
}

// A file loaded before the adapter is there is what Apply writes, whole.
TEST(Editing, AFileLoadedBeforeConnectingIsWhatApplyWrites) {
    WindowFixture f(QStringList{QStringLiteral("--no-adapter")});
    ASSERT_TRUE(f.simStarted());
    QTemporaryDir dir;
    WorkModeBlock file;
    for (const ConsoleId c : kBlockOrder)
        for (std::size_t i = 1; i < kRecordSize; ++i)
            file.record(c)[i] = uint8_t(0x1E + i % 10); // digits
    f.chooser.openPath = dir.path() + QStringLiteral("/mine.kvf");
    ASSERT_EQ(writeKvf(*f.chooser.openPath, file), KvfWriteStatus::Ok);
    f.click(QStringLiteral("btn_loadcfg"));
    ASSERT_TRUE(f.sim().command(QStringLiteral("plug adapter adapter")));
    ASSERT_TRUE(readBackSeen(f));
    EXPECT_EQ(f.block(), file);
    EXPECT_EQ(badgeText(f), "适配器已连接 · 已保留 PS3、PS4、SWITCH、XBOX 的更改");
    f.click(QStringLiteral("btn_Applay"));
    const auto dump = f.sim().dump();
    ASSERT_TRUE(dump);
    for (const ConsoleId c : kBlockOrder)
        EXPECT_EQ((*dump)[consoleInfo(c).blockIndex][recordByte(PadButton::HOME)],
                  file.button(c, PadButton::HOME))
            << consoleInfo(c).name;
}

TEST(Editing, CloseAsksOnlyWithAnAdapterAndChangesNotApplied) {
    {
        WindowFixture f;
        f.click(QStringLiteral("btn_close")); // nothing edited
        EXPECT_TRUE(f.dlg().isClosed());
        EXPECT_TRUE(f.boxes.shown.empty());
    }
    {
        WindowFixture f;
        pick(f, "btn_ps3_key_R1", kFunLclick);
        f.dlg().close(); // as when the program is told to end: no question
        EXPECT_TRUE(f.dlg().isClosed());
        EXPECT_TRUE(f.boxes.shown.empty());
    }
    WindowFixture f;
    ASSERT_TRUE(f.simStarted());
    pick(f, "btn_ps3_key_R1", kFunLclick);
    f.settle();
    f.click(QStringLiteral("btn_close"));
    ASSERT_EQ(f.boxes.shown.size(), 1u);
    EXPECT_EQ(f.boxes.shown[0].kind, Box::ApplyBeforeClosing);
    EXPECT_FALSE(f.dlg().isClosed()); // cancelled
    EXPECT_TRUE(f.sim().outputReports().empty());

    f.boxes.closeAnswer = CloseAnswer::Apply;
    f.click(QStringLiteral("btn_close"));
    EXPECT_EQ(f.boxes.shown.size(), 2u); // no success box on the way out
    EXPECT_TRUE(f.dlg().isClosed());
    const auto dump = f.sim().dump();
    ASSERT_TRUE(dump);
    EXPECT_EQ((*dump)[0][25], 0xA0);
}

namespace {

// Output reports that write a record (command 0x30).
std::size_t recordWrites(WindowFixture& f) {
    std::size_t n = 0;
    for (const auto& r : f.sim().outputReports())
        n += r.bytes.size() > 1 && r.bytes[1] == 0x30;
    return n;
}

QString badgeName(WindowFixture& f) {
    const auto* badge = f.dlg().findChild<AdapterBadge*>();
    return badge ? badge->accessibleName() : QStringLiteral("<none>");
}

// The simulator's interfaces, none of which this user may open.
class DeniedPlatform final : public hid::HidPlatform {
public:
    explicit DeniedPlatform(std::unique_ptr<hid::HidPlatform> inner) : inner_(std::move(inner)) {}
    std::vector<hid::DeviceInfo> enumerate() override { return inner_->enumerate(); }
    std::unique_ptr<hid::HidHandle> open(const std::string&, hid::OpenError* error) override {
        if (error)
            *error = hid::OpenError::PermissionDenied;
        return nullptr;
    }
    std::unique_ptr<hid::HidMonitor> createMonitor(QObject* parent) override {
        return inner_->createMonitor(parent);
    }

private:
    std::unique_ptr<hid::HidPlatform> inner_;
};

} // namespace

// An adapter this user may not open is not "no adapter": the title area says what stands in the way.
TEST(Editing, AnAdapterThatCannotBeOpenedIsNamedAsSuch) {
    WindowFixture f({}, [](const QString&) {
        const std::vector<hid::DeviceInfo> present = hid::platform().enumerate();
        ASSERT_FALSE(present.empty());
        const std::string bus = present.front().path.substr(0, present.front().path.rfind('/'));
        hid::setPlatform(std::make_unique<DeniedPlatform>(hid::makeSimPlatform(bus)));
    });
    ASSERT_TRUE(f.simStarted());
    const auto* badge = f.dlg().findChild<AdapterBadge*>();
    ASSERT_TRUE(badge);
    EXPECT_EQ(badge->state(), AdapterState::NoAccess);
    EXPECT_EQ(badge->accessibleName(), QStringLiteral("适配器无法访问"));
    EXPECT_TRUE(badge->toolTip().contains(QStringLiteral("70-velorin.rules")));
    EXPECT_FALSE(markShown(f)); // nothing read, nothing changed, and no adapter to overwrite
}

// The adapter does not answer for SWITCH, so the window never read the SWITCH and XBOX records
// it would overwrite. Closing asks only about what the user changed, and the question's own keys
// write nothing: the adapter keeps its records.
TEST(Editing, ClosingAfterAReadBackThatStoppedAtSwitchWritesNothingToTheAdapter) {
    QTemporaryDir dir;
    WorkModeBlock seed;
    for (std::size_t i = 1; i < kRecordSize; ++i)
        for (const ConsoleId c : kBlockOrder)
            seed.record(c)[i] = uint8_t(0x04 + i);
    const QString seedPath = dir.path() + QStringLiteral("/seed.kvf");
    ASSERT_EQ(writeKvf(seedPath, seed), KvfWriteStatus::Ok);
    for (const bool edit : {false, true}) {
        SCOPED_TRACE(edit ? "with an edit" : "without an edit");
        QtMessageBoxes boxes;
        WindowFixture f(QStringList{QStringLiteral("--no-adapter"), QStringLiteral("--seed"), seedPath}, {},
                        &boxes);
        ASSERT_TRUE(f.simStarted());
        EXPECT_EQ(badgeName(f), QStringLiteral("未连接适配器"));
        ASSERT_TRUE(f.sim().command(QStringLiteral("drop SWITCH on")));
        ASSERT_TRUE(f.sim().command(QStringLiteral("plug adapter adapter")));
        ASSERT_TRUE(waitUntil([&] { return f.block().button(ConsoleId::PS4, PadButton::L2) == 0x04 + 22; }));
        f.settle();
        EXPECT_EQ(badgeName(f), QStringLiteral("适配器已连接"));
        EXPECT_TRUE(markShown(f));
        // What apply will change: the two records nobody has read, whole.
        EXPECT_EQ(f.element(QStringLiteral("btn_Applay"))->toolTip().toStdString(),
                  "适配器未完整读取：SWITCH、XBOX 记录未能读取，应用会替换它们\n"
                  "SWITCH：适配器中的记录未曾读取，应用会写入整条记录\nXBOX：适配器中的记录未曾读取，应用会写"
                  "入整条记录");
        if (edit) {
            pick(f, "btn_ps3_key_R1", kFunLclick);
            EXPECT_EQ(f.element(QStringLiteral("btn_Applay"))->toolTip().toStdString(),
                      "更改尚未应用：PS3\n适配器中的 PS3 记录与此不同；右键单击「应用」可改用适配器中的记录\n"
                      "适配器未完整读取：SWITCH、XBOX 记录未能读取，应用会替换它们\nPS3 R1：Z → 鼠标左键\n"
                      "SWITCH：适配器中的记录未曾读取，应用会写入整条记录\nXBOX：适配器中的记录未曾读取，应用"
                      "会写入整条记录");
        }

        std::optional<QString> asked;
        answerMessageBox(Qt::Key_Return, &asked, &f.dlg());
        f.click(QStringLiteral("btn_close"));
        QTest::qWait(100); // a write would have been logged by now
        EXPECT_EQ(recordWrites(f), 0u);
        const auto dump = f.sim().dump();
        ASSERT_TRUE(dump);
        for (const ConsoleId c : kBlockOrder)
            EXPECT_TRUE(std::ranges::equal((*dump)[consoleInfo(c).blockIndex].begin() + 1,
                                           (*dump)[consoleInfo(c).blockIndex].end(),
                                           seed.record(c).begin() + 1, seed.record(c).end()))
                << consoleInfo(c).name;
        if (!edit) {
            EXPECT_TRUE(f.dlg().isClosed());
            EXPECT_FALSE(asked) << asked->toStdString(); // nothing was asked
            continue;
        }
        ASSERT_TRUE(asked);
        EXPECT_EQ(*asked,
                  QStringLiteral("适配器中还没有这些更改。关闭前要应用吗？\n\n"
                                 "适配器中的 SWITCH、XBOX 记录未能读取。应用会用窗口中显示的内容替换它们。"));
        EXPECT_FALSE(f.dlg().isClosed()); // Return is Cancel
        EXPECT_EQ(f.block().button(ConsoleId::PS3, PadButton::R1), 0xA0);

        // Unplugged, the window says so, and the mark keeps only the change.
        ASSERT_TRUE(f.sim().command(QStringLiteral("unplug adapter")));
        ASSERT_TRUE(waitUntil([&] { return badgeName(f) == QStringLiteral("未连接适配器"); }));
        EXPECT_EQ(f.element(QStringLiteral("btn_Applay"))->toolTip().toStdString(),
                  "更改尚未应用：PS3\nPS3 R1：Z → 鼠标左键\n"
                  "SWITCH：适配器中的记录未曾读取，应用会写入整条记录\nXBOX：适配器中的记录未曾读取，应用会写"
                  "入整条记录");
    }
}
