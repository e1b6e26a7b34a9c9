#include "keysel/MenuLogic.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

using namespace velorin::keysel;

namespace {

const QRect kLeftMonitor(0, 0, 1920, 1080);
const QRect kRightMonitor(1920, 0, 1280, 1024);
const QSize kFunMenu(108, 106);

TEST(MenuPlacement, MonitorIsTheOneHoldingThePointElseTheNearest) {
    const std::array<QRect, 2> monitors{kLeftMonitor, kRightMonitor};
    struct Case {
        QPoint point;
        QRect expected;
    };
    const Case cases[] = {
        {{10, 10}, kLeftMonitor},      {{1919, 1079}, kLeftMonitor}, {{1920, 0}, kRightMonitor},
        {{3000, 500}, kRightMonitor},  {{3300, 500}, kRightMonitor}, // right of everything
        {{-50, 300}, kLeftMonitor},                                  // left of everything
        {{2500, 1050}, kRightMonitor}, // below the shorter right monitor, still nearest to it
    };
    for (const Case& c : cases)
        EXPECT_EQ(monitorForPoint(c.point, monitors), c.expected) << c.point.x() << "," << c.point.y();
    EXPECT_TRUE(monitorForPoint({5, 5}, {}).isEmpty());
}

TEST(MenuPlacement, TopLevelMenuFlipsAtTheRightAndBottomEdgesOnly) {
    struct Case {
        QPoint point;
        QPoint expected;
    };
    const Case cases[] = {
        {{500, 400}, {500, 400}},         // well inside: unchanged
        {{1812, 400}, {1812, 400}},       // touches the right edge exactly: fits
        {{1813, 400}, {1813 - 108, 400}}, // one pixel too far: opens to the left of the point
        {{500, 1000}, {500, 1000 - 106}}, // near the bottom: opens upwards
        {{1900, 1070}, {1900 - 108, 1070 - 106}},
    };
    for (const Case& c : cases) {
        PlacementRequest rq;
        rq.point = c.point;
        rq.size = kFunMenu;
        rq.monitor = kLeftMonitor;
        EXPECT_EQ(placeMenu(rq), c.expected) << c.point.x() << "," << c.point.y();
    }
}

TEST(MenuPlacement, MenuOnSecondMonitorIsJudgedAgainstThatMonitor) {
    // A box at x 2000 on the right monitor: the menu fits there and must open to the right of the
    // point, not be flipped because it lies outside the left monitor.
    const std::array<QRect, 2> monitors{kLeftMonitor, kRightMonitor};
    PlacementRequest rq;
    rq.point = QPoint(2000, 300);
    rq.size = kFunMenu;
    rq.monitor = monitorForPoint(rq.point, monitors);
    EXPECT_EQ(placeMenu(rq), QPoint(2000, 300));
}

TEST(MenuPlacement, SubMenuMovesByItsOffsetFlipsToTheOtherSideAndIsShiftedOnto) {
    PlacementRequest rq;
    rq.size = QSize(150, 200);
    rq.monitor = kLeftMonitor;
    rq.subMenu = true;
    rq.subMenuOffset = 4;
    rq.parentWidth = 120;

    rq.point = QPoint(600, 300); // fits: moved right by the offset
    EXPECT_EQ(placeMenu(rq), QPoint(604, 300));

    rq.point = QPoint(1850, 300); // leaves on the right: left of the parent menu
    EXPECT_EQ(placeMenu(rq), QPoint(1850 - 120 - 4 - 150, 300));

    rq.point = QPoint(1850, 1000); // and below the bottom: shifted up onto the monitor
    EXPECT_EQ(placeMenu(rq), QPoint(1850 - 120 - 4 - 150, 1080 - 200));

    rq.point = QPoint(100, -30); // above the top: shifted down, offset applied
    EXPECT_EQ(placeMenu(rq), QPoint(104, 0));

    rq.point = QPoint(200, 300); // the flipped menu would leave on the left: shifted onto the monitor
    rq.size = QSize(1800, 200);
    EXPECT_EQ(placeMenu(rq), QPoint(0, 300));
}

TEST(MenuKeys, NextSelectableWrapsAndSkipsDisabledItems) {
    struct Case {
        int from;
        bool down;
        int expected;
    };
    const Case cases[] = {
        {-1, true, 0}, {-1, false, 3}, {0, true, 2},  {2, true, 3},
        {3, true, 0},  {0, false, 3},  {2, false, 0}, {3, false, 2},
    };
    const bool data[] = {true, false, true, true};
    for (const Case& c : cases)
        EXPECT_EQ(nextSelectable(data, c.from, c.down), c.expected) << c.from << (c.down ? " down" : " up");

    const bool none[] = {false, false, false};
    EXPECT_EQ(nextSelectable(none, -1, true), -1);
    EXPECT_EQ(nextSelectable(none, 1, false), -1);
    EXPECT_EQ(nextSelectable({}, -1, true), -1);
    const bool single[] = {true};
    EXPECT_EQ(nextSelectable(single, 0, true), 0); // wraps onto itself
}

TEST(MenuKeys, HotKeysMatchInEitherCase) {
    EXPECT_EQ(hotKeyCharacter(Qt::Key_K), QChar(u'k'));
    EXPECT_EQ(hotKeyCharacter(Qt::Key_5), QChar(u'5'));
    EXPECT_FALSE(hotKeyCharacter(Qt::Key_F1).has_value());
    EXPECT_FALSE(hotKeyCharacter(Qt::Key_Shift).has_value());

    const QChar keys[] = {QChar(), QChar(u'K'), QChar(u'l'), QChar(u'k')};
    EXPECT_EQ(findHotKey(keys, QChar(u'k')), 1); // the first match wins
    EXPECT_EQ(findHotKey(keys, QChar(u'K')), 1);
    EXPECT_EQ(findHotKey(keys, QChar(u'L')), 2);
    EXPECT_EQ(findHotKey(keys, QChar(u'x')), -1);
}

TEST(MenuSize, WidthFromWidestItemWithinLimitsHeightIsTheSum) {
    const QMargins border(1, 1, 1, 1);
    const std::vector<QSize> four(4, QSize(60, 26));
    EXPECT_EQ(menuRootSize(four, border, 108, 108), QSize(108, 106));

    const std::vector<QSize> wide{{300, 26}, {10000, 1}, {50, 26}};
    EXPECT_EQ(menuRootSize(wide, border, -1, 100), QSize(302, 55)); // the separator never decides the width
    EXPECT_EQ(menuRootSize(wide, border, 200, 100), QSize(200, 55));
    EXPECT_EQ(menuRootSize({}, QMargins(), -1, 100), QSize(100, 0));
}

} // namespace
