#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>
#include <optional>

class QWidget;

namespace quorvex {

class Clock;
class ScheduledCall;

/// What one toast says, as handed to Toast::show.
struct ToastMessage {
    QString title;
    std::optional<QString> detail;
    QString symbol;
    bool failed = false;
    bool operator==(const ToastMessage&) const = default;
};

/// Shows toasts in one shared frameless window at the top centre of the primary screen. The
/// window never takes focus and lets clicks through. A toast fades in over 0.2 s, stays 2.0 s
/// from its start (3.5 s when failed), then fades out over 0.3 s; a new toast replaces the shown
/// one at once, even during its fade-out, and gets its full time.
///
/// Timing runs on the given Clock; each show cancels every pending call of the previous toast,
/// so an old fade-out can never hide a newer toast.
class ToastPresenter final : public QObject {
    Q_OBJECT
public:
    enum class Phase { Hidden, FadingIn, Shown, FadingOut };

    static constexpr double kFadeIn = 0.2;
    static constexpr double kDisplay = 2.0;
    static constexpr double kDisplayFailed = 3.5;
    static constexpr double kFadeOut = 0.3;

    explicit ToastPresenter(Clock& clock, QObject* parent = nullptr);
    ~ToastPresenter() override;

    void show(const ToastMessage& message);

    Phase phase() const { return m_phase; }
    double opacity() const { return m_opacity; }
    QWidget* window() const;
    const std::optional<ToastMessage>& current() const { return m_current; }

signals:
    void toastShown(const quorvex::ToastMessage& message);

private:
    void beginFadeOut();
    void scheduleTick();
    void tick();
    void setOpacity(double opacity);

    Clock& m_clock;
    QPointer<QWidget> m_window;
    Phase m_phase = Phase::Hidden;
    double m_opacity = 0.0;
    double m_phaseStart = 0.0;
    std::optional<ToastMessage> m_current;
    std::unique_ptr<ScheduledCall> m_dismissal;
    std::unique_ptr<ScheduledCall> m_tick;
};

/// The program's one entry point for toasts.
class Toast final {
public:
    static void show(const QString& title, const std::optional<QString>& detail, const QString& symbol,
                     bool failed);

    /// The process-wide presenter on the system clock, created on first use. Tests watch its
    /// toastShown signal to see what the program told the user.
    static ToastPresenter& presenter();
};

} // namespace quorvex
