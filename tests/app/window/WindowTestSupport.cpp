#include "WindowTestSupport.h"

#include "device/AdapterSession.h"
#include "device/Discovery.h"
#include "device/Reports.h"
#include "keysel/KeyboardDialog.h"
#include "keysel/SMenuEx2.h"
#include "keysel/SMenuEx2Items.h"
#include "model/DisplayTexts.h"
#include "model/Paths.h"
#include "tests/TestApplication.h"
#include "ui/NamedIds.h"
#include "ui/Toolkit.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

namespace velorin::app::test {

ui::Toolkit& toolkit() {
    app();
    static ui::Toolkit* tk = [] {
        auto* t = new ui::Toolkit(QStringLiteral("imgdecoder-gdip"));
        t->loadUiDefinition(u"uidef:xml_init");
        t->registerNamedIds(ui::NamedIdTable::fromLayouts(t->package()));
        t->installTranslator(u"lang_cn");
        return t;
    }();
    return *tk;
}

namespace {

// Runs `action` once `ready` holds, checking every 10 ms for at most 5 s.
void whenReady(std::function<bool()> ready, std::function<void()> action) {
    auto* timer = new QTimer;
    auto deadline = std::make_shared<QDeadlineTimer>(5000);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, ready, action, deadline] {
        if (ready()) {
            timer->stop();
            timer->deleteLater();
            action();
        } else if (deadline->hasExpired()) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start(10);
}

keysel::SMenuEx2* openMenu() {
    keysel::SMenuEx2* menu = keysel::frontOpenMenu();
    return menu && menu->window() && menu->window()->isVisible() ? menu : nullptr;
}

} // namespace

QApplication& app() {
    return velorin::test::guiApplication();
}

bool waitUntil(const std::function<bool()>& condition, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(10);
    }
    return true;
}

void answerMenu(int id, MenuSeen* seen) {
    whenReady([] { return openMenu() != nullptr; },
              [id, seen] {
                  keysel::SMenuEx2* menu = openMenu();
                  if (seen) {
                      seen->shown = true;
                      seen->topLeft = menu->window()->geometry().topLeft();
                      for (keysel::SMenuEx2Item* item : menu->root()->items()) {
                          seen->itemTexts << item->displayText();
                          seen->itemIds.push_back(item->id());
                      }
                  }
                  if (id == 0) {
                      QTest::keyClick(menu->window(), Qt::Key_Escape);
                      return;
                  }
                  if (keysel::SMenuEx2Item* item = menu->FindItem(id))
                      QTest::mouseClick(item, Qt::LeftButton);
              });
}

void answerKeyboard(int keyIndex) {
    whenReady(
        [] {
            return keysel::activeKeyboard && keysel::activeKeyboard->dialogWindow &&
                   keysel::activeKeyboard->dialogWindow->isVisible();
        },
        [keyIndex] {
            QDialog* dialog = keysel::activeKeyboard->dialogWindow;
            if (keyIndex < 0) {
                QTest::keyClick(dialog, Qt::Key_Escape);
                return;
            }
            // Key index = control id - 1151.
            auto* window = qobject_cast<keysel::KeyboardWindow*>(dialog);
            if (keysel::KeyButton* key = window ? window->keyButton(1151 + keyIndex) : nullptr)
                QTest::mouseClick(key, Qt::LeftButton);
        });
}

void answerMessageBox(Qt::Key key, std::optional<QString>* seen, QObject* scope) {
    auto* timer = new QTimer(scope); // goes with `scope`
    QObject::connect(timer, &QTimer::timeout, timer, [timer, key, seen] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        timer->stop();
        timer->deleteLater();
        *seen = box->text();
        QWidget* focus = box->focusWidget();
        QTest::keyClick(focus && box->isAncestorOf(focus) ? focus : box, key);
    });
    timer->start(10);
}

WindowFixture::WindowFixture(const QStringList& simArgs,
                             const std::function<void(const QString&)>& beforeInit, MessageBoxes* realBoxes,
                             const PlatformWrapper& wrapPlatform)
    : sim_(QStringLiteral(VELORIN_SIM_PATH)) {
    toolkit();
    setExecutableDirForTesting(exeDir());
    displayTexts().resetToBuiltIn();
    simStarted_ = sim_.start(simArgs);
    std::unique_ptr<hid::HidPlatform> platform = sim_.makePlatform();
    if (wrapPlatform)
        platform = wrapPlatform(std::move(platform));
    session_ = std::make_shared<device::AdapterSession>(std::move(platform));
    if (beforeInit)
        beforeInit(exeDir());
    dlg_ = std::make_unique<CMainDlg>(session_, chooser, realBoxes ? *realBoxes : boxes);
    dlg_->create();
    dlg_->OnInitDialog();
    dlg_->show();
    if (!QTest::qWaitForWindowExposed(dlg_.get()))
        ADD_FAILURE() << "the main window was not exposed";
}

WindowFixture::~WindowFixture() {
    dlg_->stopListener();
    dlg_.reset();
    session_.reset();
    sim_.stop();
    displayTexts().resetToBuiltIn();
    setExecutableDirForTesting(QString());
}

ui::SWindow* WindowFixture::element(const QString& name) const {
    return dlg_->findChildByName(name);
}

void WindowFixture::click(const QString& name) {
    ui::SWindow* w = element(name);
    if (!w) {
        ADD_FAILURE() << "no element " << name.toStdString();
        return;
    }
    QTest::mouseClick(w, Qt::LeftButton, {}, w->rect().center());
}

void WindowFixture::settle() {
    waitUntil([this] { return !session_->modeSelectPending().load(); }, 3000);
    QTest::qWait(50);
    sim_.outputReports();
    sim_.clearOutputReports();
}

std::vector<uint8_t> writeReport(ConstRecordSpan record) {
    const hid::OutputReport r = makeWriteWorkModeReport(record);
    return {r.begin(), r.end()};
}

std::vector<uint8_t> modeSelectReport(uint8_t console) {
    const hid::OutputReport r = makeModeSelectReport(console);
    return {r.begin(), r.end()};
}

} // namespace velorin::app::test
