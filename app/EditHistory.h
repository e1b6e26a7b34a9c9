// The window's editing history and what it knows the adapter holds.
//
// EditHistory keeps one undo step per change of the four records made in the window (a pick, a
// file loaded, the default restored, the records read back at an arrival, a copy between
// consoles). Whoever changes the block calls commit() afterwards; the step runs from the block as
// the history last saw it to the block now, so a change that happened inside another one's modal
// loop (a read-back while the menu is open) stays a step of its own. Undo and redo only replace
// the block and redraw the pages: they never talk to the adapter.
//
// AdapterRecords is the window's knowledge of the adapter: the records of the last successful
// read-back or apply, per console. The apply button carries a mark while the block would write
// anything else.
#pragma once

#include "core/Console.h"
#include "core/WorkMode.h"

#include <QObject>
#include <QUndoStack>

#include <array>
#include <functional>
#include <optional>

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
    // An adapter arrived: whatever it holds is unknown until it is read back.
    void forget();
    // The adapter holds `record` for `console` (read back from it, or written to it).
    void holds(ConsoleId console, ConstRecordSpan record);
    // Whether every record is known and apply would write exactly what the adapter holds. Apply
    // sets the console id and clears the bytes no button uses, so those do not count.
    bool matches(const WorkModeBlock& block) const;

private:
    std::array<std::optional<workModeData>, 4> known_{}; // in block order
};

} // namespace velorin::app
