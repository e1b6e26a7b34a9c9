#include "keysel/MenuLogic.h"

#include <algorithm>
#include <climits>

namespace velorin::keysel {

namespace {

// Squared distance from a point to a rectangle (0 inside).
long long distanceSquared(QPoint p, const QRect& r) {
    const long long right = (long long)r.x() + r.width();
    const long long bottom = (long long)r.y() + r.height();
    long long dx = 0;
    if (p.x() < r.x())
        dx = r.x() - p.x();
    else if (p.x() >= right)
        dx = p.x() - right + 1;
    long long dy = 0;
    if (p.y() < r.y())
        dy = r.y() - p.y();
    else if (p.y() >= bottom)
        dy = p.y() - bottom + 1;
    return dx * dx + dy * dy;
}

} // namespace

QRect monitorForPoint(QPoint point, std::span<const QRect> monitors) {
    QRect best;
    long long bestDistance = LLONG_MAX;
    for (const QRect& m : monitors) {
        if (m.isEmpty())
            continue;
        const long long d = distanceSquared(point, m);
        if (d < bestDistance) {
            bestDistance = d;
            best = m;
        }
    }
    return best;
}

QPoint placeMenu(const PlacementRequest& rq) {
    const int w = rq.size.width();
    const int h = rq.size.height();
    int x = rq.point.x();
    int y = rq.point.y();
    const int monLeft = rq.monitor.x();
    const int monTop = rq.monitor.y();
    const int monRight = rq.monitor.x() + rq.monitor.width();
    const int monBottom = rq.monitor.y() + rq.monitor.height();
    const int offset = rq.subMenu ? rq.subMenuOffset : 0;

    const bool fits = x >= monLeft && y >= monTop && x + w <= monRight && y + h <= monBottom;
    if (fits)
        return QPoint(x + offset, y);

    if (rq.subMenu) {
        if (x + w > monRight)
            x = x - rq.parentWidth - offset - w; // the other side of the parent menu
        else
            x = x + offset;
        if (x < monLeft)
            x = monLeft;
        else if (x + w > monRight)
            x = monRight - w;
        if (y < monTop)
            y = monTop;
        else if (y + h > monBottom)
            y = monBottom - h;
        return QPoint(x, y);
    }

    if (x + w > monRight)
        x -= w;
    if (y + h > monBottom)
        y -= h;
    return QPoint(x, y);
}

int nextSelectable(std::span<const bool> enabled, int current, bool down) {
    const int n = int(enabled.size());
    if (n == 0)
        return -1;
    int i = current;
    for (int step = 0; step < n; ++step) {
        if (i < 0 || i >= n)
            i = down ? 0 : n - 1;
        else
            i = down ? (i + 1) % n : (i - 1 + n) % n;
        if (enabled[std::size_t(i)])
            return i;
    }
    return -1;
}

std::optional<QChar> hotKeyCharacter(int qtKey) {
    if (qtKey < 0x20 || qtKey > 0x7e)
        return std::nullopt;
    return QChar(char16_t(qtKey)).toLower();
}

int findHotKey(std::span<const QChar> hotKeys, QChar typed) {
    const QChar t = typed.toLower();
    for (std::size_t i = 0; i < hotKeys.size(); ++i)
        if (!hotKeys[i].isNull() && hotKeys[i].toLower() == t)
            return int(i);
    return -1;
}

QSize menuRootSize(std::span<const QSize> children, QMargins margins, int maxWidth, int minWidth) {
    int width = 0;
    int height = 0;
    for (const QSize& s : children) {
        if (s.width() < kIgnoredWidth)
            width = std::max(width, s.width());
        height += s.height();
    }
    width += margins.left() + margins.right();
    height += margins.top() + margins.bottom();
    if (maxWidth > 0 && maxWidth < width)
        width = maxWidth;
    if (width < minWidth)
        width = minWidth;
    return QSize(width, height);
}

} // namespace velorin::keysel
