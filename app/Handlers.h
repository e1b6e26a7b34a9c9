// The console handlers: each binds one console page of the main window to that console's record in
// the one WorkModeBlock, turns a click on an assignment box into a pick (function menu, then the
// on-screen keyboard or a mouse button), and shows the pad's held buttons on the page's lamps.
#pragma once

#include "core/Console.h"
#include "core/KeyCodes.h"
#include "core/PadState.h"
#include "core/WorkMode.h"
#include "ui/SWindow.h"

#include <QList>
#include <QPoint>
#include <QPointer>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>

namespace velorin::app {

// Function-menu ids.
inline constexpr int kFunKeyboard = 1;
inline constexpr int kFunLclick = 2;
inline constexpr int kFunRclick = 3;
inline constexpr int kFunMclick = 4;

// "复制到 XBOX": the copy entry for a target console, in the current language.
QString copyToText(ConsoleId to);
// The function menu of a console button: one copy entry per other console, in block order, each
// with the target's ConsoleId as its id, top-left corner at a screen point. Returns the chosen
// target; nullopt when dismissed or when the menu could not run.
std::optional<ConsoleId> ShowCopyMenu(ConsoleId from, QPoint screenPoint, QWidget* owner);

class CHandlerBase {
public:
    explicit CHandlerBase(ConsoleId console, WorkModeBlock& block);
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
    // Menu, then keyboard or mouse code; stores the pick in `cell` and shows `record` again.
    void PickAssignment(uint8_t& cell, RecordSpan record, QPoint screenPoint);

    ui::SWindow* pageRoot() const { return pageRoot_; }
    ConsoleId console() const { return console_; }
    // The handler's own record in the block.
    RecordSpan record() const { return block_->record(console_); }

protected:
    QWidget* hostWindow() const;

    QPointer<ui::SWindow> pageRoot_;
    ConsoleId console_;
    WorkModeBlock* block_;
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

    // Shows or hides the lamps from the pad state `state`, only while this console is the
    // `selected` one.
    void ShowKeystatus(ConsoleId selected, const JoyState& state);
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
    explicit CPS3Handler(WorkModeBlock& block) : CConsoleHandler(ConsoleId::PS3, block) {}
};
class CPS4Handler final : public CConsoleHandler {
public:
    explicit CPS4Handler(WorkModeBlock& block) : CConsoleHandler(ConsoleId::PS4, block) {}
};
class CSWITCHHandler final : public CConsoleHandler {
public:
    explicit CSWITCHHandler(WorkModeBlock& block) : CConsoleHandler(ConsoleId::SWITCH, block) {}
};
class CXBOXHandler final : public CConsoleHandler {
public:
    explicit CXBOXHandler(WorkModeBlock& block) : CConsoleHandler(ConsoleId::XBOX, block) {}
};

} // namespace velorin::app
