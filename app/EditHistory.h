// The window's view of the editing session (core/EditSession.h): it owns the session, redraws the
// pages after every change of the block, tells the window when the marks may have changed, and
// gives undo and redo their keys. The rules (what counts as the user's change, what a read-back
// may replace, what an apply leaves the adapter holding) are the session's; nothing here decides
// them.
#pragma once

#include "core/EditSession.h"

#include <QObject>

#include <functional>
#include <optional>
#include <vector>

class QWidget;

namespace velorin::app {

class EditHistory : public QObject {
    Q_OBJECT
public:
    static constexpr std::size_t kMaxSteps = EditSession::kMaxSteps;

    // `showAll` redraws the four pages from the block; `showOne` one console's page.
    EditHistory(std::function<void()> showAll, std::function<void(ConsoleId)> showOne,
                QObject* parent = nullptr);

    const EditSession& session() const { return session_; }
    const WorkModeBlock& block() const { return session_.block(); }

    // The user's actions, each one step of the history when it changed the block.
    void assign(ConsoleId console, PadButton button, KeyCode code);
    void load(const WorkModeBlock& block);
    void copy(ConsoleId from, ConsoleId to);
    void takeAdapterRecords();
    void undo();
    void redo();
    bool canUndo() const { return session_.canUndo(); }
    bool canRedo() const { return session_.canRedo(); }
    std::size_t steps() const { return session_.undoSteps(); }

    // The adapter: an arrival, one record read back (its page redrawn at once), the read-back's end
    // (its changes one step), an apply's end (see EditSession::applied).
    void adapterArrived();
    ReadOutcome recordRead(ConsoleId console, ConstRecordSpan record);
    void endReadBack();
    void applied(const WorkModeBlock& written, std::size_t count);

    // Ctrl+Z undoes, Ctrl+Shift+Z and Ctrl+Y redo, while `window` is the active window.
    void installShortcuts(QWidget* window);

Q_SIGNALS:
    // After every change of the block or of what the adapter is known to hold.
    void changed();

private:
    void after(bool blockChanged);

    EditSession session_;
    std::function<void()> showAll_;
    std::function<void(ConsoleId)> showOne_;
};

} // namespace velorin::app
