#include "panel/controller/PanelPlacement.h"

#include <algorithm>

namespace quorvex {

QRectF PanelPlacement::panelFrame(const QRectF& host, bool collapsed,
                                  const std::vector<WindowSystem::Screen>& screens) {
    const double width = collapsed ? kCollapsedWidth : kWidth;
    const std::optional<WindowSystem::Screen> screen = screenContaining(host, screens);
    QRectF frame = besideFrame(host, width, screen ? screen->visibleFrame : QRectF());
    if (collapsed) {
        const double top = frame.y() + frame.height();
        frame = QRectF(frame.x(), top - kCollapsedHeight, frame.width(), kCollapsedHeight);
    }
    return frame;
}

std::optional<WindowSystem::Screen>
PanelPlacement::screenContaining(const QRectF& host, const std::vector<WindowSystem::Screen>& screens) {
    const QPointF centre = host.center();
    for (const WindowSystem::Screen& screen : screens) {
        const QRectF& f = screen.frame;
        if (centre.x() >= f.left() && centre.x() < f.right() && centre.y() >= f.top() &&
            centre.y() < f.bottom())
            return screen;
    }
    if (screens.empty())
        return std::nullopt;
    return screens.front();
}

QRectF PanelPlacement::besideFrame(const QRectF& host, double width, const QRectF& visible) {
    const double hostMinX = host.x(), hostMaxX = host.x() + host.width();
    const double visibleMaxX = visible.x() + visible.width();
    double x = hostMaxX + kGap;
    if (visibleMaxX < x + width) {
        if (visible.x() <= hostMinX - kGap - width)
            x = hostMinX - kGap - width;
        else
            x = hostMaxX - width - kGap;
    }
    const double height = std::min(visible.height(), host.height());
    const double y = std::max(host.y() + host.height() - height, visible.y());
    return {x, y, width, height};
}

std::optional<QRectF> PanelPlacement::behindHostFrame(const QRectF& panel, const QRectF& host) {
    const double hostMinX = host.x(), hostMaxX = host.x() + host.width();
    double x = 0;
    if (hostMaxX <= panel.x())
        x = hostMaxX - panel.width();
    else if (panel.x() + panel.width() <= hostMinX)
        x = hostMinX;
    else
        return std::nullopt;
    return QRectF(x, panel.y(), panel.width(), panel.height());
}

bool PanelPlacement::isDirectlyBehindHost(const std::vector<WindowSystem::Window>& list, quint64 panel,
                                          quint64 host) {
    std::vector<const WindowSystem::Window*> numbered;
    for (const WindowSystem::Window& window : list) {
        if (window.number)
            numbered.push_back(&window);
    }
    const auto position = [&](quint64 number) {
        return std::find_if(numbered.begin(), numbered.end(),
                            [number](const WindowSystem::Window* w) { return *w->number == number; });
    };
    const auto hostAt = position(host);
    const auto panelAt = position(panel);
    if (hostAt == numbered.end() || panelAt == numbered.end() || !(hostAt < panelAt))
        return false;
    const std::optional<qint64> hostPID = (*hostAt)->ownerPID;
    for (auto it = hostAt + 1; it != panelAt; ++it) {
        const WindowSystem::Window& between = **it;
        if (between.ownerPID == hostPID)
            continue;
        if (!between.layer || *between.layer == 0)
            return false;
    }
    return true;
}

} // namespace quorvex
