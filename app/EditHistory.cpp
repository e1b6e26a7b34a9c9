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

namespace {

std::size_t slot(ConsoleId console) {
    return static_cast<std::size_t>(consoleInfo(console).blockIndex);
}

workModeData copyOf(ConstRecordSpan record) {
    workModeData copy{};
    std::ranges::copy(record, copy.begin());
    return copy;
}

// Whether apply would write the same bytes for both: it sets the console id and clears the bytes
// no button uses, so those do not count.
bool sameWhenWritten(ConsoleId console, workModeData a, workModeData b) {
    prepareForWrite(console, a);
    prepareForWrite(console, b);
    return a == b;
}

} // namespace

AdapterRecords::AdapterRecords(const WorkModeBlock& start) {
    for (const ConsoleId console : kBlockOrder)
        baseline_[slot(console)] = copyOf(start.record(console));
}

void AdapterRecords::forget() {
    known_.fill(std::nullopt);
}

void AdapterRecords::holds(ConsoleId console, ConstRecordSpan record) {
    known_[slot(console)] = copyOf(record);
    baseline_[slot(console)] = copyOf(record);
}

void AdapterRecords::loaded(const WorkModeBlock& block) {
    for (const ConsoleId console : kBlockOrder)
        loaded_[slot(console)] = copyOf(block.record(console));
}

std::vector<ConsoleId> AdapterRecords::changed(const WorkModeBlock& block) const {
    std::vector<ConsoleId> out;
    for (const ConsoleId console : kBlockOrder)
        if (!sameWhenWritten(console, copyOf(block.record(console)), baseline_[slot(console)]))
            out.push_back(console);
    return out;
}

std::vector<ConsoleId> AdapterRecords::unread() const {
    std::vector<ConsoleId> out;
    for (const ConsoleId console : kBlockOrder)
        if (!known_[slot(console)])
            out.push_back(console);
    return out;
}

std::vector<ConsoleId> AdapterRecords::unreadNorLoaded(const WorkModeBlock& block) const {
    std::vector<ConsoleId> out;
    for (const ConsoleId console : unread()) {
        const auto& file = loaded_[slot(console)];
        if (!file || !sameWhenWritten(console, copyOf(block.record(console)), *file))
            out.push_back(console);
    }
    return out;
}

} // namespace velorin::app
