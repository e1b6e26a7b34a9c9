// The mark on the apply button while an apply would not just write what the adapter holds: a small
// dot in the accent colour inside the button's right end. Its tooltip (and the button's accessible
// description) says which of two reasons holds, in the current language: the user changed records
// that are not applied ("更改尚未应用"), or the adapter was not read completely, so an apply would
// replace records nobody has seen (naming their consoles). It lets every click through to the button.
#pragma once

#include "core/Console.h"

#include <QColor>
#include <QPointer>
#include <QWidget>

#include <vector>

namespace velorin::app {

class UnappliedMark : public QWidget {
    Q_OBJECT
public:
    static constexpr int kDiameter = 8;
    // From the button's right edge to the dot: the button face is inset 9 px in its image.
    static constexpr int kRightInset = 24;
    static inline const QColor kAccent{0xe6, 0x62, 0x19}; // the orange of the artwork

    // A child of `button`; hidden until set.
    explicit UnappliedMark(QWidget* button);

    // Shows the dot while either reason holds and sets the button's tooltip; hides it otherwise.
    // `unread`: the consoles whose records on a present adapter were not read.
    void set(bool changesNotApplied, std::vector<ConsoleId> unread);
    bool shown() const { return shown_; }

    // The tooltip for the two reasons, in the current language; empty when neither holds.
    static QString text(bool changesNotApplied, const std::vector<ConsoleId>& unread);
    // "PS3, SWITCH" in the current language's way of listing.
    static QString consoleList(const std::vector<ConsoleId>& consoles);

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void place();

    QPointer<QWidget> button_;
    bool shown_ = false;
    bool changes_ = false;
    std::vector<ConsoleId> unread_;
};

} // namespace velorin::app
