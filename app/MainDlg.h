// CMainDlg: the one top-level window. Built from "LAYOUT:XML_MAINWND"; its own ten buttons run the
// commands (console selection, files, apply, minimise, close), every other toolkit event goes to
// the console handlers in the order PS3, PS4, SWITCH, XBOX. It follows the adapter (read-back on
// arrival) and lights the lamps of the selected console on every pad-state notice.
#pragma once

#include "app/AssignmentFiles.h"
#include "app/Handlers.h"
#include "app/PadFocus.h"
#include "model/WorkMode.h"
#include "ui/SHostWnd.h"

#include <memory>

namespace velorin::device {
class CHidInputWnd;
}

namespace velorin::app {

class SingleInstance;

// The process-wide block of the four records; all zero at start.
WorkModeBlock& workModeBlock();

class CMainDlg : public ui::SHostWnd {
    Q_OBJECT
public:
    // `instance` (may be null) carries the instance marker while the window lives.
    CMainDlg(WorkModeBlock& block, FileChooser& chooser, MessageBoxes& boxes,
             SingleInstance* instance = nullptr);
    ~CMainDlg() override;

    // The window's set-up, run once after create() and before the window is first shown.
    void OnInitDialog();

    void SelectConsole(uint8_t id);
    void ReadBackFromAdapter();
    void ApplyToAdapter();
    void ApplyDisplayTexts();
    void LoadBackgroundOverride();
    void OnWMUpdateJoydate();
    // btn_close and a close request: removes the instance marker, hides the window and reports
    // closed(); nothing is saved and nothing is asked.
    void CloseMain();
    // A later start asked for the window: restore it when minimised and bring it to the front.
    void BringToFront();

    bool onEvent(ui::EventArgs& args) override;
    bool onMessage(QEvent* message) override;
    // Tab order: the console buttons, the boxes of the visible page, the four command buttons.
    QList<ui::SWindow*> focusChain() const override;

    CPS3Handler& ps3Handler() { return m_PS3Handler; }
    CPS4Handler& ps4Handler() { return m_PS4Handler; }
    CSWITCHHandler& switchHandler() { return m_SwtichHandler; }
    CXBOXHandler& xboxHandler() { return m_XBOXHandler; }
    CConsoleHandler& handler(ConsoleId console);
    device::CHidInputWnd* listener() const { return listener_.get(); }
    // Stops the listener's reader thread (teardown); returns whether it ended in time.
    bool stopListener();
    bool isClosed() const { return closed_; }

Q_SIGNALS:
    // The window is gone from the user's view; the program ends its message loop.
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void showAll();
    void prepareKeyboardAccess();
    // A new press of a pad button focuses its box; a second one soon after opens the box's menu.
    void followPadPress();
    QList<ui::SWindow*> elements(std::initializer_list<const char16_t*> names) const;

    WorkModeBlock& block_;
    MessageBoxes& boxes_;
    SingleInstance* instance_;
    AssignmentFiles files_;
    std::unique_ptr<device::CHidInputWnd> listener_;
    CPS3Handler m_PS3Handler;
    CPS4Handler m_PS4Handler;
    CSWITCHHandler m_SwtichHandler;
    CXBOXHandler m_XBOXHandler;
    bool closed_ = false;
    PadPressTracker padPresses_;
};

// Runs one handler's ShowKeystatus inside its own guard: an exception that leaves it is logged
// with `text` as if from MainDlg line `line`, and swallowed.
void guardedShowKeystatus(const std::function<void()>& call, const char* text, int line);

} // namespace velorin::app
