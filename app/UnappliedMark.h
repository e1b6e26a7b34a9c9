// The mark on the apply button while the window holds changes the adapter does not have: a small
// dot in the accent colour inside the button's right end, and the tooltip "Changes not yet
// applied" in the current language. It lets every click through to the button.
#pragma once

#include <QColor>
#include <QPointer>
#include <QWidget>

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

    // Shows or hides the dot and sets or clears the button's tooltip.
    void set(bool unapplied);
    bool shown() const { return shown_; }

    // The tooltip text in the current language.
    static QString text();

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void place();

    QPointer<QWidget> button_;
    bool shown_ = false;
};

} // namespace velorin::app
