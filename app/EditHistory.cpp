#include "app/EditHistory.h"

#include <QAction>
#include <QKeySequence>
#include <QUndoCommand>
#include <QWidget>

#include <algorithm>

namespace velorin::app {

// One change of the block: what it was before and after.
class BlockStep final : public QUndoCommand {
public:
    BlockStep(EditHistory& history, const WorkModeBlock& before, const WorkModeBlock& after)
        : history_(history), before_(before), after_(after) {}

    // The first redo() comes with push(), when the block already holds `after_`.
    void redo() override { history_.restore(after_); }
    void undo() override { history_.restore(before_); }

private:
    EditHistory& history_;
    WorkModeBlock before_;
    WorkModeBlock after_;
};

EditHistory::EditHistory(WorkModeBlock& block, std::function<void()> showAll, QObject* parent)
    : QObject(parent), block_(block), showAll_(std::move(showAll)), seen_(block) {
    stack_.setUndoLimit(kMaxSteps);
}

void EditHistory::commit() {
    if (block_ == seen_)
        return;
    stack_.push(new BlockStep(*this, seen_, block_)); // the stack owns its steps
    Q_EMIT changed();
}

void EditHistory::sync() {
    seen_ = block_;
}

void EditHistory::undo() {
    if (!stack_.canUndo())
        return;
    stack_.undo();
    Q_EMIT changed();
}

void EditHistory::redo() {
    if (!stack_.canRedo())
        return;
    stack_.redo();
    Q_EMIT changed();
}

void EditHistory::restore(const WorkModeBlock& bytes) {
    if (block_ != bytes) {
        block_ = bytes;
        if (showAll_)
            showAll_();
    }
    seen_ = block_;
}

void EditHistory::installShortcuts(QWidget* window) {
    auto* undoAction = new QAction(window); // owned by the window
    undoAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    undoAction->setShortcutContext(Qt::WindowShortcut);
    connect(undoAction, &QAction::triggered, this, &EditHistory::undo);
    auto* redoAction = new QAction(window);
    redoAction->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    redoAction->setShortcutContext(Qt::WindowShortcut);
    connect(redoAction, &QAction::triggered, this, &EditHistory::redo);
    window->addAction(undoAction);
    window->addAction(redoAction);
}

void AdapterRecords::forget() {
    known_.fill(std::nullopt);
}

void AdapterRecords::holds(ConsoleId console, ConstRecordSpan record) {
    workModeData copy{};
    std::ranges::copy(record, copy.begin());
    known_[static_cast<std::size_t>(consoleInfo(console).blockIndex)] = copy;
}

bool AdapterRecords::matches(const WorkModeBlock& block) const {
    for (const ConsoleId console : kBlockOrder) {
        const auto& known = known_[static_cast<std::size_t>(consoleInfo(console).blockIndex)];
        if (!known)
            return false;
        workModeData written{};
        std::ranges::copy(block.record(console), written.begin());
        workModeData held = *known;
        prepareForWrite(console, written);
        prepareForWrite(console, held);
        if (written != held)
            return false;
    }
    return true;
}

} // namespace velorin::app
