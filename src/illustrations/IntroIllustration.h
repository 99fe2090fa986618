#pragma once

#include "illustrations/CachedLayer.h"
#include "illustrations/LoopingTimeline.h"

#include <QList>
#include <QString>

namespace quorvex {

/// The setup guide's first drawing: a phone loads a page at the speed of each network profile in
/// turn, `segment` seconds each, while the computer beside it keeps full speed.
class IntroIllustration final : public LoopingTimeline {
public:
    struct Profile {
        QString id, name, symbol;
    };

    IntroIllustration(Clock& clock, QList<Profile> profiles, double segment, QWidget* parent = nullptr);

    QSize sizeHint() const override { return {360, 240}; }

protected:
    void paintFrame(QPainter& painter, double t) override;
    void changeEvent(QEvent* event) override;
    QRegion movingRegion(double t) const override;

private:
    QPointF sceneOrigin() const;
    QRectF phonePillRect() const;

    QList<Profile> m_profiles;
    double m_segment;
    CachedLayer m_phonePill;
    CachedLayer m_computerPill;
    CachedLayer m_phoneCase;
    CachedLayer m_computer;
    int m_paintedIndex = -1;
};

} // namespace quorvex
