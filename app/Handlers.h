// The console handlers: each binds one console page of the main window to that console's record in
// the editing session, turns a click on an assignment box into a pick (function menu, then the
// on-screen keyboard or a mouse button) that the session takes as the user's change, and shows the
// pad's held buttons on the page's lamps.
#pragma once

#include "core/Console.h"
#include "core/KeyCodes.h"
#include "core/WorkMode.h"
#include "ui/SWindow.h"

#include <QList>
#include <QPoint>
#include <QPointer>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace velorin::app {

class EditHistory;

// Function-menu ids.
inline constexpr int kFunKeyboard = 1;
inline constexpr int kFunLclick = 2;
inline constexpr int kFunRclick = 3;
inline constexpr int kFunMclick = 4;

// "复制到 XBOX": the copy entry for a target console, in the current language.
QString copyToText(ConsoleId to);
// The copy menu's id of "Copy link".
inline constexpr int kCopyLinkId = 0x100;
// What the copy menu's user chose: a console to copy to, or the link of the records.
struct CopyMenuChoice {
    std::optional<ConsoleId> to;
    bool copyLink = false;
};
// The function menu of a console button: one copy entry per other console, in block order, each
// with the target's ConsoleId as its id, then "Copy link" (kCopyLinkId) when `withLink`; top-left
// corner at a screen point. Nothing chosen when dismissed or when the menu could not run.
CopyMenuChoice ShowCopyMenu(ConsoleId from, QPoint screenPoint, QWidget* owner, bool withLink = false);
// The apply button's menu ids.
inline constexpr int kTakeAdapterRecordsId = 1;
inline constexpr int kShowChangesId = 2;
// The apply button's menu: the adapter's records instead, while it holds other records than the
// window for `differing` (none: no such entry); what apply will change, when `changes`. Returns the
// id chosen, 0 for none.
int ShowApplyMenu(const std::vector<ConsoleId>& differing, bool changes, QPoint screenPoint, QWidget* owner);
// The web page's address, where the window's "Copy link" leads: VELORIN_WEB_URL; none when unset.
std::optional<QString> webPageAddress();
// "PS3、SWITCH": consoles listed the way the current language lists them.
QString consoleList(const std::vector<ConsoleId>& consoles);

class CHandlerBase {
public:
    CHandlerBase(ConsoleId console, EditHistory& history);
    virtual ~CHandlerBase();
    CHandlerBase(const CHandlerBase&) = delete;
    CHandlerBase& operator=(const CHandlerBase&) = delete;

    // Keeps the page's root window (not owned).
    virtual void BindPage(ui::SWindow* page);
    // Shows a record in the page's assignment boxes.
    virtual void ShowWorkMode(ConstRecordSpan record) = 0;

    // Sets the text of the button named `boxName` below the page to the code's name; a missing
    // button is logged as debug output and skipped.
    void SetKeyBoxText(const QString& boxName, KeyCode code);
    // Runs the function menu with its top-left corner at a screen point; returns the chosen id, 0
    // when dismissed, -1 when the menu could not run.
    int ShowFunctionMenu(QPoint screenPoint);
    // Menu, then keyboard or mouse code; the pick becomes the user's change of `button` (and the
    // page shows it). Nothing changes when the menu or the keyboard is dismissed.
    void PickAssignment(PadButton button, QPoint screenPoint);

    ui::SWindow* pageRoot() const { return pageRoot_; }
    ConsoleId console() const { return console_; }
    // The handler's own record, as the window shows it.
    ConstRecordSpan record() const;

protected:
    QWidget* hostWindow() const;

    QPointer<ui::SWindow> pageRoot_;
    ConsoleId console_;
    EditHistory* history_;
};

// What the four handlers share: the box and lamp tables come from the console's button list.
class CConsoleHandler : public CHandlerBase {
public:
    using CHandlerBase::CHandlerBase;

    void BindPage(ui::SWindow* page) override;
    void ShowWorkMode(ConstRecordSpan record) override;
    // Offered every toolkit event the main window does not take itself; true when it came from
    // inside this page and was a command event.
    virtual bool HandleEvent(ui::EventArgs& args);

    // Shows or hides the lamps from joyData, only while this console is the selected one.
    void ShowKeystatus();
    void OnKeyBoxClick(const ui::EventArgs& args);

    // The lamp of each button in button order; nullptr where the page has none.
    ui::SWindow* lamp(PadButton button) const;
    // The assignment box of a button; nullptr where the page has none.
    ui::SWindow* box(PadButton button) const;
    // The page's boxes in keyboard order: down the left column, down the right column, then the
    // boxes in between.
    QList<ui::SWindow*> boxesInFocusOrder() const;
    int lampCount() const;
    // The screen point where a click on that box opens the menu (left edge, 4 px above the bottom).
    QPoint menuPointFor(const ui::SWindow* box) const;

private:
    std::array<QPointer<ui::SWindow>, kPadButtonCount> lamps_{};
    std::array<QPointer<ui::SWindow>, kPadButtonCount> boxes_{};
};

// What a screen reader calls a pad button: "L2", "D-pad up", "Left stick left" ...
QString spokenButtonName(PadButton button);

class CPS3Handler final : public CConsoleHandler {
public:
    explicit CPS3Handler(EditHistory& history) : CConsoleHandler(ConsoleId::PS3, history) {}
};
class CPS4Handler final : public CConsoleHandler {
public:
    explicit CPS4Handler(EditHistory& history) : CConsoleHandler(ConsoleId::PS4, history) {}
};
class CSWITCHHandler final : public CConsoleHandler {
public:
    explicit CSWITCHHandler(EditHistory& history) : CConsoleHandler(ConsoleId::SWITCH, history) {}
};
class CXBOXHandler final : public CConsoleHandler {
public:
    explicit CXBOXHandler(EditHistory& history) : CConsoleHandler(ConsoleId::XBOX, history) {}
};

} // namespace velorin::app
