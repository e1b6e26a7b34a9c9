// The marks for clashing keys: a key or mouse button given to two or more buttons of one console
// marks each of their boxes with a small blue ring at the box's left (no error: some owners do it
// on purpose), and the box's tooltip and accessible description name the other buttons. The rule
// is the core's (core/Clashes.h); this only shows it.
#pragma once

#include "core/Console.h"
#include "core/WorkMode.h"

#include <QColor>
#include <QString>
#include <QWidget>

#include <functional>
#include <vector>

namespace velorin::ui {
class SWindow;
}

namespace velorin::app {

class ClashMark : public QWidget {
    Q_OBJECT
public:
    static constexpr int kDiameter = 7;
    static constexpr int kLeftInset = 4;
    static inline const QColor kColour{0x5a, 0xa6, 0xe6};

    // A child of `box`, hidden until shown; it lets every click through to the box.
    explicit ClashMark(QWidget* box);

protected:
    void paintEvent(QPaintEvent* event) override;
};

// "同一按键也分配给了 R2、A": what a marked box says, in the current language.
QString clashText(const std::vector<PadButton>& others);

// Marks the boxes of the block's clashes and clears every other box's mark, tooltip and
// description. `box` finds a console's box for a button (nullptr where the page has none).
void showClashMarks(const WorkModeBlock& block, const std::function<ui::SWindow*(ConsoleId, PadButton)>& box);

} // namespace velorin::app
