#pragma once

#include "panel/controller/PanelWindow.h"

#include <QPointer>

#include <memory>

class QVariantAnimation;
class QWidget;

namespace quorvex {

/// The side panel's real window: a frameless tool window shown without taking the focus, its
/// content the given widget. Desktop coordinates are turned into Qt's (y down from the top of
/// the first screen) with the first screen's height from the window system.
class SidePanelWindow final : public PanelWindow {
public:
    SidePanelWindow(WindowSystem& windows, QWidget* content);
    ~SidePanelWindow() override;

    QRectF frame() const override;
    void setFrame(const QRectF& frame) override;
    double alpha() const override;
    void setAlpha(double alpha) override;
    bool isVisible() const override;
    void order(WindowSystem::Order order, quint64 hostWindow) override;
    void orderOut() override;
    quint64 number() const override;
    void animate(std::optional<QRectF> frame, std::optional<double> alpha, double seconds, Easing easing,
                 std::function<void()> done) override;

    QWidget* widget() const { return m_window.get(); }

private:
    double firstScreenHeight() const;

    WindowSystem& m_windows;
    std::unique_ptr<QWidget> m_window;
    QPointer<QVariantAnimation> m_animation;
};

} // namespace quorvex
