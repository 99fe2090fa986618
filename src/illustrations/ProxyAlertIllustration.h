#pragma once

#include <optional>

#include "illustrations/CachedLayer.h"
#include "illustrations/LoopingTimeline.h"

#include <QPointF>

namespace quorvex {

/// The setup guide's drawing for allowing the proxy configuration: the system alert pops up over
/// a window, the pointer clicks "Allow", a confirmation badge replaces the alert. A 6.5 s loop in
/// a 400 × 250 scene, centred.
class ProxyAlertIllustration final : public LoopingTimeline {
public:
    static constexpr QSizeF kScene{400, 250};

    ProxyAlertIllustration(Clock& clock, QPointF allowButton, QPointF rest, QWidget* parent = nullptr);

    QSize sizeHint() const override { return {400, 250}; }

    /// Where the alert's "Allow" button is drawn, in the scene, at rest size.
    static QRectF allowButtonRect();

protected:
    void paintFrame(QPainter& painter, double t) override;
    void changeEvent(QEvent* event) override;
    std::optional<size_t> frameDigest(double t) const override;
    QRegion movingRegion(double t) const override;

private:
    QPointF m_allowButton;
    QPointF m_rest;
    CachedLayer m_window;
    CachedLayer m_blurred;
    CachedLayer m_alert;
    CachedLayer m_badge;
};

} // namespace quorvex
