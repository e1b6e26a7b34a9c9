// The function menu's pure rules: which monitor a menu is judged against, where it is placed, which
// item the arrow keys move to, which item a hot key picks, and the size of the menu.
#pragma once

#include <QChar>
#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include <optional>
#include <span>

namespace velorin::keysel {

// The monitor that contains the point; the nearest one when none does; an empty rectangle when there
// is no monitor at all.
QRect monitorForPoint(QPoint point, std::span<const QRect> monitors);

// One placement. `point` is where the top-left corner is asked for; for a sub-menu it is the right
// edge of the parent menu at the top of the item, and `parentWidth` is the width of the parent menu's
// window. Rectangles use exclusive right and bottom edges (x + width, y + height).
struct PlacementRequest {
    QPoint point;
    QSize size;
    QRect monitor;
    bool subMenu = false;
    int subMenuOffset = 0;
    int parentWidth = 0;
};

// Where the menu's top-left corner goes.
//  - wholly on the monitor: at the point, moved right by the offset (0 for a top-level menu);
//  - a top-level menu opens to the left of the point when its right edge would leave the monitor and
//    upwards when its bottom edge would, without further shifting;
//  - a sub-menu opens on the other side of its parent when it leaves the monitor on the right, and is
//    then shifted onto the monitor.
QPoint placeMenu(const PlacementRequest& request);

// The next selectable item from `current` (-1 for none) downwards or upwards, wrapping at the ends;
// disabled items are skipped; -1 when no item is selectable.
int nextSelectable(std::span<const bool> enabled, int current, bool down);

// The character a key stands for as a hot key (lower case), or nothing for keys without one. `qtKey`
// is a Qt::Key value; letters arrive as their capital.
std::optional<QChar> hotKeyCharacter(int qtKey);

// The first hot key, lower-cased, equal to the typed character; -1 when none matches.
int findHotKey(std::span<const QChar> hotKeys, QChar typed);

// Separators and other items that must not decide the menu's width report at least this width.
inline constexpr int kIgnoredWidth = 2000;

// Size of the whole menu from its children's desired sizes: the widest child below kIgnoredWidth, the
// sum of the heights, plus the margins; then limited by maxWidth (when > 0) and raised to minWidth.
QSize menuRootSize(std::span<const QSize> children, QMargins margins, int maxWidth, int minWidth);

} // namespace velorin::keysel
