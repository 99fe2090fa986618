#pragma once

#include "platform/gui/WindowSystem.h"

#include <QRectF>

#include <optional>
#include <vector>

namespace quorvex {

/// Where the side panel goes beside the host window, and whether it sits directly under it.
/// Rectangles are in desktop coordinates: origin at the bottom left of the first screen, y up.
struct PanelPlacement final {
    static constexpr double kWidth = 316;
    static constexpr double kCollapsedWidth = 26;
    static constexpr double kCollapsedHeight = 72;
    static constexpr double kGap = 6;

    /// The panel's frame for host frame `host` on the screens (the first one first).
    static QRectF panelFrame(const QRectF& host, bool collapsed,
                             const std::vector<WindowSystem::Screen>& screens);
    /// The first screen containing the host's centre; else the first screen. None without screens.
    static std::optional<WindowSystem::Screen>
    screenContaining(const QRectF& host, const std::vector<WindowSystem::Screen>& screens);
    /// Right of the host when it fits in `visible`, else left of it, else inside its right edge;
    /// top aligned with the host's, as high as the host but no higher than `visible`.
    static QRectF besideFrame(const QRectF& host, double width, const QRectF& visible);
    /// The panel moved under the host (right edges or left edges together); none when the two
    /// overlap horizontally.
    static std::optional<QRectF> behindHostFrame(const QRectF& panel, const QRectF& host);
    /// Whether, in the front-to-back list, the panel comes after the host with only the host's
    /// own windows or windows of a layer other than 0 between them.
    static bool isDirectlyBehindHost(const std::vector<WindowSystem::Window>& list, quint64 panel,
                                     quint64 host);
};

} // namespace quorvex
