#include "panel/controller/PanelPlacement.h"

#include <gtest/gtest.h>

namespace quorvex {
namespace {

using Screen = WindowSystem::Screen;
using Window = WindowSystem::Window;

TEST(PanelPlacementTest, BesideFrameGoesRightThenLeftThenInside) {
    const QRectF visible(0, 0, 1440, 900);
    struct Case {
        const char* name;
        QRectF host;
        QRectF expected;
    };
    const std::vector<Case> cases = {
        {"right of the host", QRectF(100, 100, 800, 700), QRectF(906, 100, 316, 700)},
        {"crossing the right edge: left of the host", QRectF(400, 100, 800, 700), QRectF(78, 100, 316, 700)},
        {"host at exactly 322: still left", QRectF(322, 100, 878, 700), QRectF(0, 100, 316, 700)},
        {"no room on either side: inside the host", QRectF(300, 100, 900, 700), QRectF(878, 100, 316, 700)},
        {"touching the right edge still fits", QRectF(100, 100, 1018, 700), QRectF(1124, 100, 316, 700)},
        {"host taller than the screen: the visible height", QRectF(100, -200, 800, 1100),
         QRectF(906, 0, 316, 900)},
        {"host 500 high with its top at 900", QRectF(100, 400, 800, 500), QRectF(906, 400, 316, 500)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(PanelPlacement::besideFrame(c.host, PanelPlacement::kWidth, visible), c.expected);
    }
}

TEST(PanelPlacementTest, PanelFrameCollapsesToAStripAtTheTopOnTheHostsScreen) {
    const std::vector<Screen> screens = {{QRectF(0, 0, 1440, 900), QRectF(0, 0, 1440, 875)},
                                         {QRectF(1440, 0, 1920, 1080), QRectF(1440, 0, 1920, 1080)}};
    const QRectF host(100, 400, 800, 500);
    EXPECT_EQ(PanelPlacement::panelFrame(host, false, screens), QRectF(906, 400, 316, 500));
    EXPECT_EQ(PanelPlacement::panelFrame(QRectF(100, 400, 800, 400), true, screens),
              QRectF(906, 728, 26, 72));
    // Collapsed with its top at 900 (on a screen tall enough): 26 by 72 at y 828.
    const std::vector<Screen> tall = {{QRectF(0, 0, 1440, 1000), QRectF(0, 0, 1440, 1000)}};
    EXPECT_EQ(PanelPlacement::panelFrame(host, true, tall), QRectF(906, 828, 26, 72));
    // The centre on the second screen: its visible frame decides.
    EXPECT_EQ(PanelPlacement::screenContaining(QRectF(2000, 100, 400, 400), screens)->frame,
              screens[1].frame);
    EXPECT_EQ(PanelPlacement::screenContaining(QRectF(-3000, 0, 10, 10), screens)->frame, screens[0].frame);
}

TEST(PanelPlacementTest, BehindHostFrameLinesUpTheNearEdgesOrHasNone) {
    const QRectF host(100, 100, 800, 700);
    EXPECT_EQ(PanelPlacement::behindHostFrame(QRectF(906, 100, 316, 700), host), QRectF(584, 100, 316, 700));
    EXPECT_EQ(PanelPlacement::behindHostFrame(QRectF(0, 100, 94, 700), host), QRectF(100, 100, 94, 700));
    EXPECT_EQ(PanelPlacement::behindHostFrame(QRectF(578, 100, 316, 700), host), std::nullopt);
}

TEST(PanelPlacementTest, StackingHealToleratesOnlyTheHostsWindowsAndOverlays) {
    const auto w = [](quint64 number, std::optional<qint64> pid, std::optional<int> layer) {
        return Window{number, pid, {}, layer, QRectF()};
    };
    const Window host = w(1, 42, 0);
    const Window panel = w(2, 99, 0);
    struct Case {
        const char* name;
        std::vector<Window> list;
        bool expected;
    };
    const std::vector<Case> cases = {
        {"directly under the host", {host, panel}, true},
        {"a menu between them", {host, w(5, 7, 24), panel}, true},
        {"another window of the host app", {host, w(6, 42, 0), panel}, true},
        {"another app's ordinary window", {host, w(8, 7, 0), panel}, false},
        {"a window without a layer", {host, w(8, 7, std::nullopt), panel}, false},
        {"panel above the host", {panel, host}, false},
        {"panel missing", {host}, false},
        {"empty list", {}, false},
        {"entries without a number are ignored", {host, Window{std::nullopt, 7, {}, 0, {}}, panel}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(PanelPlacement::isDirectlyBehindHost(c.list, 2, 1), c.expected);
    }
}

} // namespace
} // namespace quorvex
