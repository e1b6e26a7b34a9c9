// The window's editing history and what it knows the adapter holds.
//
// EditHistory keeps one undo step per change of the four records made in the window (a pick, a
// file loaded, the default restored, the records read back at an arrival, a copy between
// consoles). Whoever changes the block calls commit() afterwards; the step runs from the block as
// the history last saw it to the block now, so a change that happened inside another one's modal
// loop (a read-back while the menu is open) stays a step of its own. Undo and redo only replace
// the block and redraw the pages: they never talk to the adapter.
//
// AdapterRecords is the window's knowledge of its records against the adapter, per console: what
// the adapter holds (read back or applied since it arrived), what the user's changes count from,
// and what came from a file. The close question and the mark on the apply button ask it.
#pragma once

#include "core/Console.h"
#include "core/WorkMode.h"

#include <QObject>
#include <QUndoStack>

#include <array>
#include <functional>
#include <optional>
#include <vector>

class QWidget;

namespace velorin::app {

class EditHistory : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxSteps = 1000;

    // `showAll` redraws the four pages from the block.
    EditHistory(WorkModeBlock& block, std::function<void()> showAll, QObject* parent = nullptr);

    // The block was changed by one step of the user's: records it (nothing when it did not change).
    void commit();
    // The block was changed by something that is not a step (apply prepares the records in place):
    // the history takes it as it is, so the next step starts from there.
    void sync();

    void undo();
    void redo();
    bool canUndo() const { return stack_.canUndo(); }
    bool canRedo() const { return stack_.canRedo(); }
    int steps() const { return stack_.count(); }

    // Ctrl+Z undoes, Ctrl+Shift+Z and Ctrl+Y redo, while `window` is the active window.
    void installShortcuts(QWidget* window);

Q_SIGNALS:
    // After every step recorded, undone or redone.
    void changed();

private:
    friend class BlockStep;
    // Puts `bytes` into the block and redraws every page (undo and redo).
    void restore(const WorkModeBlock& bytes);

    WorkModeBlock& block_;
    std::function<void()> showAll_;
    WorkModeBlock seen_; // the block as the history last saw it
    QUndoStack stack_;
};

class AdapterRecords {
public:
    // `start`: the records the window opens with; until a console is read back or applied, the
    // user's changes of it count from there.
    explicit AdapterRecords(const WorkModeBlock& start);

    // An adapter arrived: whatever it holds is unknown until it is read back.
    void forget();
    // The adapter holds `record` for `console` (read back from it, or written to it). The user's
    // changes of that console count from here.
    void holds(ConsoleId console, ConstRecordSpan record);
    // A file or the default was loaded into the block: each record came from there.
    void loaded(const WorkModeBlock& block);

    // The consoles whose records the user changed: what apply would write differs from what was
    // last read back or applied (or, for a console never read nor applied, from what the window
    // opened with). By content, so a change undone is no change.
    std::vector<ConsoleId> changed(const WorkModeBlock& block) const;
    // The consoles whose record on the adapter is unknown: not read back nor written since the
    // adapter arrived.
    std::vector<ConsoleId> unread() const;
    // Of unread(), those whose record in the window did not come from a file either: what apply
    // would put over records on the adapter that nobody has seen.
    std::vector<ConsoleId> unreadNorLoaded(const WorkModeBlock& block) const;

private:
    using Records = std::array<std::optional<workModeData>, 4>; // in block order
    Records known_{};
    std::array<workModeData, 4> baseline_{};
    Records loaded_{};
};

} // namespace velorin::app
