#pragma once

#include <optional>

#include "illustrations/CachedLayer.h"
#include "illustrations/LoopingTimeline.h"
#include "illustrations/SettingsFrame.h"

namespace quorvex {

/// The setup guide's drawing for approving the network extension: the system's dialog pops up
/// and the pointer opens the settings, scrolls to the extensions, opens the app's info sheet,
/// switches the extension on and clicks Done. A 13 s loop in a 400 × 250 scene, centred.
class SettingsIllustration final : public LoopingTimeline {
public:
    static constexpr QSizeF kScene{400, 250};

    SettingsIllustration(Clock& clock, SettingsTargets targets, QWidget* parent = nullptr);

    QSize sizeHint() const override { return {400, 250}; }
    const SettingsTargets& targets() const { return m_targets; }

    /// Where the things the pointer clicks are drawn, in the scene (the info button with the pane
    /// scrolled by `scrollOffset`).
    static QRectF openSettingsButtonRect();
    static QRectF infoButtonRect(double scrollOffset);
    static QRectF toggleRect();
    static QRectF doneButtonRect();

protected:
    void paintFrame(QPainter& painter, double t) override;
    void changeEvent(QEvent* event) override;
    std::optional<size_t> frameDigest(double t) const override;
    QRegion movingRegion(double t) const override;

private:
    SettingsTargets m_targets;
    CachedLayer m_chrome;
    CachedLayer m_pane;
    CachedLayer m_dimming;
    CachedLayer m_sheet;
    CachedLayer m_dialog;
};

} // namespace quorvex
