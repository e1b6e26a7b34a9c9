// The mark on the apply button while an apply would not just write what the adapter holds: a small
// dot in the accent colour inside the button's right end. Its tooltip (and the button's accessible
// description) says why, in the current language, naming the consoles: the user changed records
// that are not applied ("更改尚未应用：XBOX"), of which the adapter holds other records that the
// apply button's menu can bring back, or the adapter was not read completely, so an apply would
// replace records nobody has seen; then what apply will change, button by button (ChangesPopup.h).
// It lets every click through to the button.
#pragma once

#include "core/ChangeList.h"
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

    // Shows the dot while there are changes or unread records and sets the button's tooltip; hides
    // it otherwise. `changed`: the consoles the user changed; `differing`: those of them whose
    // records on the adapter are known; `unread`: the consoles whose records on a present adapter
    // were not read.
    // `changes`: what apply would change (core/ChangeList.h), listed while the dot shows.
    void set(std::vector<ConsoleId> changed, std::vector<ConsoleId> differing, std::vector<ConsoleId> unread,
             std::vector<ConsoleChanges> changes = {});
    bool shown() const { return shown_; }

    // The tooltip, in the current language; empty when there is nothing to say.
    static QString text(const std::vector<ConsoleId>& changed, const std::vector<ConsoleId>& differing,
                        const std::vector<ConsoleId>& unread,
                        const std::vector<ConsoleChanges>& changes = {});

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void place();

    QPointer<QWidget> button_;
    bool shown_ = false;
    std::vector<ConsoleId> changed_;
    std::vector<ConsoleId> differing_;
    std::vector<ConsoleId> unread_;
    std::vector<ConsoleChanges> changes_;
};

} // namespace velorin::app
