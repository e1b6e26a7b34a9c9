// Whether an adapter is connected, in the window's title area: a small dot and a short text in
// the current language: "适配器已连接" (a green dot), "未连接适配器" (a hollow grey one), or
// "适配器无法访问" (a hollow orange one) when an adapter is plugged in but this user may not open
// it. Its tooltip says what follows (apply needs the adapter; plugging it in reads its records;
// the udev rule gives access) and screen readers hear the text as its name. After a read-back that
// kept the user's changes over other records on the adapter, it names those consoles too ("适配器已
// 连接 · 已保留 XBOX 的更改"), until they are applied or the adapter's records are taken. A press on
// it goes on to the caption below, so the window is still dragged from there.
#pragma once

#include "core/Console.h"

#include <QColor>
#include <QLabel>

#include <functional>
#include <vector>

namespace velorin::app {

enum class AdapterState { Absent, Connected, NoAccess };

// A label to screen readers (static text, named by its text); it paints itself.
class AdapterBadge : public QLabel {
    Q_OBJECT
public:
    static constexpr int kDot = 8;
    static constexpr int kGap = 6;
    static inline const QColor kConnectedColor{0x5c, 0xb8, 0x5c};
    static inline const QColor kAbsentColor{0x8a, 0x8a, 0x8a};
    static inline const QColor kNoAccessColor{0xe6, 0x62, 0x19}; // the orange of the artwork
    static inline const QColor kTextColor{0xad, 0xad, 0xad};     // the unselected console buttons' grey

    // Absent until set; placed with its right edge at `right` and its middle at `middleY`, never
    // reaching left of what `leftLimit` gives (the end of the window's title, which may change
    // with the language); without it, the badge takes the width its text needs.
    AdapterBadge(QWidget* parent, int right, int middleY, std::function<int()> leftLimit = {});

    void setState(AdapterState state);
    AdapterState state() const { return state_; }
    // The consoles whose changes the last read-back kept (shown only while connected).
    void setKept(std::vector<ConsoleId> kept);

    // The text shown and spoken, and the tooltip, in the current language.
    static QString label(AdapterState state);
    static QString toolTipText(AdapterState state);
    // What is said of the kept changes: the note after the state (naming the consoles, or not
    // when that does not fit), and its tooltip.
    static QString keptNote(const std::vector<ConsoleId>& kept, bool naming = true);
    static QString keptToolTip(const std::vector<ConsoleId>& kept);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void refresh();
    // The note that fits: naming the consoles, without their names, or none.
    QString fittingNote() const;
    QString shownText() const;

    int right_;
    int middleY_;
    std::function<int()> leftLimit_;
    AdapterState state_ = AdapterState::Absent;
    std::vector<ConsoleId> kept_;
};

} // namespace velorin::app
