#pragma once

#include "platform/gui/WindowSystem.h"

#include <QRectF>

#include <functional>
#include <optional>

namespace quorvex {

/// The side panel's window as its controller drives it: a frame in desktop coordinates (origin
/// bottom left of the first screen, y up), an alpha, ordering against the host window, and one
/// animation at a time. It never activates when shown. GUI thread.
class PanelWindow {
public:
    enum class Easing { easeOut, easeIn };

    virtual ~PanelWindow() = default;

    virtual QRectF frame() const = 0;
    virtual void setFrame(const QRectF& frame) = 0;
    virtual double alpha() const = 0;
    virtual void setAlpha(double alpha) = 0;
    virtual bool isVisible() const = 0;
    /// Shows the window if hidden and puts it directly above or below the host window.
    virtual void order(WindowSystem::Order order, quint64 hostWindow) = 0;
    virtual void orderOut() = 0;
    /// The window's number in the window list.
    virtual quint64 number() const = 0;
    /// Moves to `frame` and/or fades to `alpha` over `seconds`, then runs `done` once.
    virtual void animate(std::optional<QRectF> frame, std::optional<double> alpha, double seconds,
                         Easing easing, std::function<void()> done) = 0;
};

} // namespace quorvex
