// Shared by the window tests: one offscreen QApplication and toolkit, a main window with
// velorin-sim behind it, fake message boxes and file chooser, and answers for the modal menu and
// keyboard given from timers while they run.
#pragma once

#include "app/AssignmentFiles.h"
#include "app/MainDlg.h"
#include "device/AdapterSession.h"
#include "tests/support/SimController.h"

#include <QApplication>
#include <QPoint>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace velorin::ui {
class Toolkit;
}

namespace velorin::app::test {

QApplication& app();
// The toolkit of the window tests, with "lang_cn" installed.
ui::Toolkit& toolkit();
// Polls the event loop until `condition` holds or `timeoutMs` passed.
bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 5000);

struct Box {
    enum Kind { Error, Information, Question, ApplyBeforeClosing } kind;
    QString text;
    QString caption;
};

class FakeBoxes final : public MessageBoxes {
public:
    void error(const QString& text) override { shown.push_back({Box::Error, text, {}}); }
    void information(const QString& text, const QString& caption) override {
        shown.push_back({Box::Information, text, caption});
    }
    bool question(const QString& text, const QString& caption) override {
        shown.push_back({Box::Question, text, caption});
        return answerYes;
    }
    CloseAnswer applyBeforeClosing(const QString& text, const QString& caption, const QString&) override {
        shown.push_back({Box::ApplyBeforeClosing, text, caption});
        return closeAnswer;
    }
    std::vector<Box> shown;
    bool answerYes = true;
    CloseAnswer closeAnswer = CloseAnswer::Cancel;
};

class FakeChooser final : public FileChooser {
public:
    std::optional<QString> chooseOpen(QWidget*) override { return openPath; }
    std::optional<QString> chooseSave(QWidget*) override { return savePath; }
    std::optional<QString> openPath;
    std::optional<QString> savePath;
};

// What a menu answer saw.
struct MenuSeen {
    bool shown = false;
    QPoint topLeft;        // the menu window's top-left corner on the screen
    QStringList itemTexts; // in order
    std::vector<int> itemIds;
};

// Answers the next function menu: clicks the item with `id`, or presses Escape for 0.
void answerMenu(int id, MenuSeen* seen = nullptr);
// Answers the next on-screen keyboard: clicks the key with `keyIndex`, or presses Escape for -1.
void answerKeyboard(int keyIndex);
// Answers the next modal message box (a real one) by pressing `key` where the keyboard's focus is
// in it, as a user would; `seen` gets its text. Waits for one while `scope` lives.
void answerMessageBox(Qt::Key key, std::optional<QString>* seen, QObject* scope);

// A main window on a fresh simulated adapter, in a temporary executable folder.
class WindowFixture {
public:
    // Wraps the simulator's platform, for a window that sees the bus through another one.
    using PlatformWrapper =
        std::function<std::unique_ptr<hid::HidPlatform>(std::unique_ptr<hid::HidPlatform>)>;

    // `simArgs` go to velorin-sim (e.g. "--no-adapter", "--seed" file). `beforeInit` runs after
    // the sim is up and before the window's set-up (to write lang.xml and the like). `realBoxes`
    // replaces the fake message boxes (the window program's own, to see what their keys do).
    // `wrapPlatform` turns the simulator's platform into the one of the window's adapter session.
    explicit WindowFixture(const QStringList& simArgs = {},
                           const std::function<void(const QString&)>& beforeInit = {},
                           MessageBoxes* realBoxes = nullptr, const PlatformWrapper& wrapPlatform = {});
    ~WindowFixture();

    CMainDlg& dlg() { return *dlg_; }
    // The window's adapter session.
    device::AdapterSession& session() { return *session_; }
    hid::SimController& sim() { return sim_; }
    ui::SWindow* element(const QString& name) const;
    // Clicks an element of the window with the left button.
    void click(const QString& name);
    QString exeDir() const { return exeDir_.path() + u'/'; }
    bool simStarted() const { return simStarted_; }
    // Waits until the reader has sent its mode selects, then forgets the sim's logged reports.
    void settle();

    // The records the window shows.
    const WorkModeBlock& block() const { return dlg_->block(); }
    FakeBoxes boxes;
    FakeChooser chooser;

private:
    QTemporaryDir exeDir_;
    hid::SimController sim_;
    bool simStarted_ = false;
    std::shared_ptr<device::AdapterSession> session_;
    std::unique_ptr<CMainDlg> dlg_;
};

// Output reports expected on the wire.
std::vector<uint8_t> writeReport(ConstRecordSpan record);
std::vector<uint8_t> modeSelectReport(uint8_t console);

} // namespace velorin::app::test
