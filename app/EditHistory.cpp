#include "app/EditHistory.h"

#include <QAction>
#include <QKeySequence>
#include <QWidget>

namespace velorin::app {

EditHistory::EditHistory(std::function<void()> showAll, std::function<void(ConsoleId)> showOne,
                         QObject* parent)
    : QObject(parent), showAll_(std::move(showAll)), showOne_(std::move(showOne)) {}

void EditHistory::after(bool blockChanged) {
    if (blockChanged && showAll_)
        showAll_();
    Q_EMIT changed();
}

void EditHistory::assign(ConsoleId console, PadButton button, KeyCode code) {
    const bool did = session_.assign(console, button, code);
    if (did && showOne_)
        showOne_(console);
    Q_EMIT changed();
}

void EditHistory::load(const WorkModeBlock& block) {
    after(session_.load(block));
}

void EditHistory::copy(ConsoleId from, ConsoleId to) {
    after(session_.copy(from, to));
}

void EditHistory::takeAdapterRecords() {
    after(session_.takeAdapterRecords());
}

void EditHistory::undo() {
    after(session_.undo());
}

void EditHistory::redo() {
    after(session_.redo());
}

void EditHistory::adapterArrived() {
    session_.adapterArrived();
    Q_EMIT changed();
}

ReadOutcome EditHistory::recordRead(ConsoleId console, ConstRecordSpan record) {
    const ReadOutcome outcome = session_.recordRead(console, record);
    if (showOne_)
        showOne_(console);
    return outcome;
}

void EditHistory::endReadBack() {
    session_.endReadBack();
    Q_EMIT changed();
}

void EditHistory::applied(const WorkModeBlock& written, std::size_t count) {
    session_.applied(written, count);
    after(true);
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

} // namespace velorin::app
