// CMainDlg: the one top-level window. Built from "LAYOUT:XML_MAINWND"; its own ten buttons run the
// commands (console selection, files, apply, minimise, close), every other toolkit event goes to
// the console handlers in the order PS3, PS4, SWITCH, XBOX. It follows the adapter (read-back on
// arrival) and lights the lamps of the selected console on every pad-state notice.
//
// Every change of the records made here is one step of the editing history (Ctrl+Z, Ctrl+Shift+Z,
// Ctrl+Y); the apply button carries a mark while the user's changes are not applied or the adapter
// was not read completely, and the close command asks before the user's changes are lost. The
// title area shows whether an adapter is connected. A right click on a console button offers to
// copy that console's assignment to another, and the records' link to the web page when
// VELORIN_WEB_URL names it. Boxes whose key another button of the console has carry a mark.
#pragma once

#include "app/AssignmentFiles.h"
#include "app/EditHistory.h"
#include "app/Handlers.h"
#include "core/Console.h"
#include "core/PadPress.h"
#include "core/WorkMode.h"
#include "ui/SHostWnd.h"

#include <QPointer>

#include <memory>
#include <string_view>
#include <vector>

namespace velorin::device {
class AdapterSession;
class CHidInputWnd;
} // namespace velorin::device

namespace velorin::app {

class AdapterBadge;
class SingleInstance;
class UnappliedMark;

class CMainDlg : public ui::SHostWnd {
    Q_OBJECT
public:
    // `session` (not null) is the adapter session the window talks to the adapter in; its listener
    // shares it. `instance` (may be null) carries the instance marker while the window lives.
    CMainDlg(std::shared_ptr<device::AdapterSession> session, FileChooser& chooser, MessageBoxes& boxes,
             SingleInstance* instance = nullptr);
    ~CMainDlg() override;

    // The window's set-up, run once after create() and before the window is first shown.
    void OnInitDialog();

    void SelectConsole(ConsoleId console);
    void ReadBackFromAdapter();
    // Writes the four records; shows the error box on failure and, when `announceSuccess`, the
    // success box. Returns whether all four were written.
    bool ApplyToAdapter(bool announceSuccess = true);
    void ApplyDisplayTexts();
    void LoadBackgroundOverride();
    void OnWMUpdateJoydate();
    // The close command (btn_close, the window system's close, Ctrl+Q). While an adapter is present
    // and the user changed records that are not applied, asks once: apply them first, discard them,
    // or stay (the default); the question also names the consoles whose records on the adapter were
    // never read and an apply would replace. Without such changes the window closes at once.
    // Returns whether the window closed.
    bool CloseMain();
    // Closes without a question: "-x" from a later start, a termination signal, the session
    // ending. Removes the instance marker, hides the window and reports closed(); nothing is saved.
    void CloseMainWithoutQuestion();
    // Copies the assignment of every button both consoles have from one record to the other, as
    // one step of the history.
    void CopyConsole(ConsoleId from, ConsoleId to);
    // The adapter's records instead of the window's, for the consoles whose records on the adapter
    // were read and differ (one step of the history).
    void TakeAdapterRecords();
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
    device::AdapterSession& session() const { return *session_; }
    // Stops the listener's reader thread (teardown); returns whether it ended in time.
    bool stopListener();
    bool isClosed() const { return closed_; }
    EditHistory& history() { return history_; }
    // The four records the window shows: what apply writes and save saves.
    const WorkModeBlock& block() const { return history_.block(); }
    // The consoles whose records the user changed since they were last read back or applied.
    std::vector<ConsoleId> consolesChanged() const { return history_.session().changed(); }
    // Whether an adapter is known to be connected (what the title area shows).
    bool adapterConnected() const;

Q_SIGNALS:
    // The window is gone from the user's view; the program ends its message loop.
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void showAll();
    // After every change of the records or of what the adapter holds: the apply button's mark with
    // what apply will change, and the clash marks on the boxes.
    void refreshUnappliedMark();
    // Shows whether an adapter is connected, and the mark that depends on it.
    void refreshAdapterState();
    void placeAdapterBadge();
    QString applyLabel() const;
    void showCopyMenu(ConsoleId from, const ui::SWindow* button);
    // The apply button's own menu: the adapter's records instead, while some differ.
    void showApplyMenu(const ui::SWindow* button);
    void prepareKeyboardAccess();
    // Once the keyboard has moved the focus, a new press of a pad button focuses its box.
    void followPadPress();
    QList<ui::SWindow*> elements(std::initializer_list<const char16_t*> names) const;
    // The console buttons there are, in block order (their order in the window).
    QList<ui::SWindow*> consoleButtons() const;

    std::shared_ptr<device::AdapterSession> session_;
    MessageBoxes& boxes_;
    SingleInstance* instance_;
    EditHistory history_;
    AssignmentFiles files_;
    std::unique_ptr<device::CHidInputWnd> listener_;
    CPS3Handler m_PS3Handler;
    CPS4Handler m_PS4Handler;
    CSWITCHHandler m_SwtichHandler;
    CXBOXHandler m_XBOXHandler;
    QPointer<UnappliedMark> mark_;
    QPointer<AdapterBadge> badge_;
    bool closed_ = false;
    PadPressTracker padPresses_;
};

// Runs one handler's ShowKeystatus inside its own guard: an exception that leaves it is logged
// with `text` as if from MainDlg line `line`, and swallowed.
void guardedShowKeystatus(const std::function<void()>& call, std::string_view text, int line);

} // namespace velorin::app
