#pragma once

#include "ui/Spring.h"

#include <QColor>
#include <QWidget>

#include <memory>

namespace quorvex {

class Clock;
class ScheduledCall;

/// A signal-strength symbol filled to a fraction, as the status-bar preview shows it: cellular as
/// four rising bars, Wi-Fi as a dot under two arcs. Each part is lit once the fraction passes its
/// share (a quarter of the bars, a third of the Wi-Fi), the rest is drawn dim; the whole symbol
/// may be faded. A new fraction is reached along the preview's spring (response 0.5 s, damping
/// 0.85), stepped on the Clock while it moves. GUI thread.
class SignalBars final : public QWidget {
    Q_OBJECT
public:
    enum class Kind { cellular, wifi };

    static constexpr double kResponse = 0.5;
    static constexpr double kDamping = 0.85;

    SignalBars(Kind kind, Clock& clock, QWidget* parent = nullptr);
    ~SignalBars() override;

    /// Moves to `fill` (0 to 1) along the spring.
    void setFill(double fill);
    double fill() const { return m_target; }
    /// Where the spring is now.
    double shownFill() const;
    void setColor(const QColor& color);
    /// The whole symbol's opacity (Wi-Fi is faded while another network is chosen).
    void setOpacity(double opacity);
    double opacity() const { return m_opacity; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void step();

    Kind m_kind;
    Clock& m_clock;
    Spring m_spring{kResponse, kDamping};
    double m_from = 0;
    double m_target = 0;
    double m_start = 0;
    bool m_moving = false;
    QColor m_color = Qt::black;
    double m_opacity = 1;
    std::unique_ptr<ScheduledCall> m_next;
};

} // namespace quorvex
