// The window itself, offscreen, against the gadget adapter on a real kernel: it starts and reads
// the records back, a pick and an apply reach the firmware, its lamps follow a burst of pad states
// of which the reader sees every one, and a stalled write is the apply's error box.
#include "KernelSupport.h"

#include "tests/app/window/WindowTestSupport.h"

#include "device/AdapterSession.h"
#include "device/Discovery.h"
#include "model/DisplayTexts.h"
#include "model/Paths.h"

#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace velorin;
using namespace velorin::app;
using namespace velorin::app::test;
using velorin::kernel::gadget;

namespace {

// PS3 L2 is record byte 22 (the adapter's description); 0x05 is the key B, 0x04 the key A.
constexpr std::size_t kL2 = 22;

class KernelWindow : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string why = kernel::unavailableReason();
        if (!why.empty())
            GTEST_SKIP() << why;
        toolkit();
        ASSERT_TRUE(exeDir.isValid());
        setExecutableDirForTesting(exeDir.path() + u'/');
        displayTexts().resetToBuiltIn();
        ASSERT_TRUE(kernel::resetGadget());
        for (const uint8_t id : {1, 2, 4, 3}) {
            kernel::Record r{};
            r[0] = id;
            r[kL2] = id == 1 ? 0x05 : 0x00;
            ASSERT_TRUE(kernel::storeRecord(r));
        }
        session = std::make_shared<device::AdapterSession>(hid::makeHidrawPlatform());
        dlg = std::make_unique<CMainDlg>(session, chooser, boxes);
        dlg->create();
        dlg->OnInitDialog();
        dlg->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
    }
    void TearDown() override {
        if (dlg)
            dlg->stopListener();
        dlg.reset();
        session.reset();
        setExecutableDirForTesting(QString());
    }
    ui::SWindow* element(const char* name) { return dlg->findChildByName(QString::fromLatin1(name)); }
    void click(const char* name) {
        ui::SWindow* w = element(name);
        ASSERT_NE(w, nullptr) << name;
        QTest::mouseClick(w, Qt::LeftButton, {}, w->rect().center());
    }
    bool lampLit(PadButton b) {
        ui::SWindow* lamp = dlg->handler(ConsoleId::PS3).lamp(b);
        return lamp && !lamp->isHidden();
    }

    QTemporaryDir exeDir;
    FakeBoxes boxes;
    FakeChooser chooser;
    std::shared_ptr<device::AdapterSession> session;
    std::unique_ptr<CMainDlg> dlg;
};

TEST_F(KernelWindow, ReadBackAPickApplyAndLampsThroughABurst) {
    constexpr int kLong = kernel::kNodeTimeoutMs;
    // Start: the records read back are the firmware's.
    EXPECT_EQ(dlg->block().record(ConsoleId::PS3)[kL2], 0x05);
    EXPECT_EQ(element("btn_ps3_key_L2")->text(), QStringLiteral("B"));

    // A pick: the L2 box, "keyboard", the key A (index 29).
    answerMenu(1);
    answerKeyboard(29);
    click("btn_ps3_key_L2");
    ASSERT_TRUE(waitUntil([&] { return element("btn_ps3_key_L2")->text() == QStringLiteral("A"); }, kLong));

    // Apply: four records and the mode select reach the firmware, and the window says so.
    ASSERT_TRUE(waitUntil([&] { return !session->modeSelectPending().load(); }, kLong));
    ASSERT_TRUE(gadget("clear").ok());
    click("btn_Applay");
    ASSERT_TRUE(waitUntil([&] { return !boxes.shown.empty(); }, kLong));
    EXPECT_EQ(boxes.shown[0].kind, Box::Information) << boxes.shown[0].text.toStdString();
    EXPECT_EQ(kernel::records()[0][kL2], 0x04);
    // The reader's repeated mode selects may come between them: the writes in order, then a
    // mode select for PS3.
    std::vector<uint8_t> select(65, 0);
    select[1] = 0x32, select[2] = 0xAA, select[3] = 0x55, select[4] = 0x01, select[5] = 0x01;
    std::vector<kernel::Received> got, writes;
    const bool arrived = waitUntil(
        [&] {
            got = kernel::received();
            writes.clear();
            std::copy_if(got.begin(), got.end(), std::back_inserter(writes), [](const kernel::Received& r) {
                return r.bytes.size() == 65 && r.bytes[1] == 0x30;
            });
            return writes.size() >= 4 && got.back().bytes == select;
        },
        kLong);
    std::string seen;
    for (const auto& r : got)
        seen += r.way + " " + std::to_string(r.bytes.size() > 5 ? r.bytes[1] : 0) + "/" +
                std::to_string(r.bytes.size() > 5 ? r.bytes[4] : 0) + "\n";
    ASSERT_TRUE(arrived) << seen;
    ASSERT_EQ(writes.size(), 4u) << seen;
    const uint8_t ids[] = {1, 2, 4, 3};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(writes[i].bytes[4], ids[i]) << i;
        EXPECT_EQ(writes[i].way, kernel::interruptVariant() ? "interrupt" : "set_report");
    }
    EXPECT_EQ(writes[0].bytes[4 + kL2], 0x04);

    // A burst of 60 pad states, sent as fast as the host polls: the reader reads every one, and
    // the lamps show the last (left stick X 0x3C, Y 0x01: left and up, short of the edge).
    const uint64_t before = session->readerReportCount();
    ASSERT_TRUE(gadget("burst 60").ok());
    ASSERT_TRUE(waitUntil([&] { return session->readerReportCount() - before >= 60; }, kLong));
    const device::JoyState last{0xA1, 0xC4, 0x3C, 0x01, 0x80, 0x80, 0, 0, 0, 0, 0, 0};
    ASSERT_TRUE(waitUntil([&] { return session->joyData().get() == last; }, kLong));
    EXPECT_EQ(session->readerReportCount() - before, 60u);
    ASSERT_TRUE(
        waitUntil([&] { return lampLit(PadButton::lxhih_L) && lampLit(PadButton::lyhih_UP); }, kLong));
    EXPECT_FALSE(lampLit(PadButton::lxhih_R));
    EXPECT_FALSE(lampLit(PadButton::L2));

    // With the usbhid quirk on an interface that has an interrupt OUT endpoint, the adapter stalls
    // the first write: the apply says which record it could not write.
    if (!kernel::interruptVariant())
        return;
    std::string error;
    ASSERT_TRUE(kernel::setUsbhidQuirk(true, &error)) << error;
    boxes.shown.clear();
    click("btn_Applay");
    ASSERT_TRUE(waitUntil([&] { return !boxes.shown.empty(); }, kLong));
    EXPECT_EQ(boxes.shown[0].kind, Box::Error);
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("Write ps3 workModeData error"));
    ASSERT_TRUE(kernel::setUsbhidQuirk(false, &error)) << error;
}

} // namespace
