// The question before closing while the window holds changes the adapter does not have, as the
// window program asks it: a box with the apply command (labelled like the apply button), discard,
// and cancel. Cancel is the default button and the escape, so Return, Esc and the box's own close
// write nothing to the adapter and lose nothing.
#pragma once

#include "app/AssignmentFiles.h"

#include <QString>

class QWidget;

namespace velorin::app {

// Shows the question, owned by `owner` (the active window when null), and waits for the answer.
CloseAnswer askApplyBeforeClosing(QWidget* owner, const QString& text, const QString& caption,
                                  const QString& applyLabel);

// The message boxes of the window program: Qt's boxes, and the question above.
class WindowMessageBoxes final : public MessageBoxes {
public:
    void error(const QString& text) override { boxes_.error(text); }
    void information(const QString& text, const QString& caption) override {
        boxes_.information(text, caption);
    }
    bool question(const QString& text, const QString& caption) override {
        return boxes_.question(text, caption);
    }
    CloseAnswer applyBeforeClosing(const QString& text, const QString& caption,
                                   const QString& applyLabel) override {
        return askApplyBeforeClosing(nullptr, text, caption, applyLabel);
    }

private:
    QtMessageBoxes boxes_;
};

} // namespace velorin::app
