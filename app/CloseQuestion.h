// The question before closing while the window holds changes the adapter does not have, as the
// window program asks it: a box with the apply command (labelled like the apply button), discard,
// and cancel. Cancel is the default button and the escape, so Return, Esc and the box's own close
// write nothing to the adapter and lose nothing.
#pragma once

#include "app/AssignmentFiles.h" // CloseAnswer

#include <QString>

class QWidget;

namespace velorin::app {

// Shows the question, owned by `owner` (the active window when null), and waits for the answer.
CloseAnswer askApplyBeforeClosing(QWidget* owner, const QString& text, const QString& caption,
                                  const QString& applyLabel);

} // namespace velorin::app
