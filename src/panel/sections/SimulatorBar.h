#pragma once

#include "tools/ToolCancellation.h"
#include "ui/Motion.h"

#include <QFuture>
#include <QPointer>
#include <QString>
#include <QThreadPool>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class QLabel;
class QMenu;
class QToolButton;
class QVBoxLayout;

namespace quorvex {

class AnimatedValue;
class Animator;
class DevicePicker;
struct PanelServices;

/// The strip at the top of the full side panel: the device the panel works on (a menu of the
/// booted simulators and connected devices when there is more than one), the shortcuts menu,
/// the collapse button, one row of tools for the target (screenshot, status bar, media,
/// language, shake, slow animations, memory warning), the language section while its tool is
/// on, and a link that asks for Accessibility access while window titles cannot be read.
///
/// Most tools act on simulators only: on a connected device they are disabled and their hints
/// say so. The bar keeps two flags of its own (the last known slow-animation state and whether
/// the language section is open), both false when it is made. The slow-animation state is read
/// again at every change of target, and the toggle and the status-bar presets run their
/// commands on the bar's own pool; results come back to the GUI thread, and a result that
/// belongs to a target no longer shown, or a read asked before or during a toggle, is not
/// stored. Destroying the bar (at quit) kills the tools they run, waits for the commands to
/// end, and drops their results. GUI thread.
class SimulatorBar final : public QWidget {
    Q_OBJECT
public:
    static inline const QString kStatusBarCapability =
        QStringLiteral("com.apple.coredevice.feature.simulateStatusBar");

    explicit SimulatorBar(PanelServices& services, QWidget* parent = nullptr);
    ~SimulatorBar() override;

    /// Reads the controller again; a new target starts a new slow-animation read.
    void refresh();

    bool isPhysical() const;
    /// Booted simulators and connected devices together.
    int deviceCount() const;
    QString deviceName() const;
    QString deviceSubtitle() const;
    bool slowAnimations() const { return m_slowAnimations; }
    bool showsLanguage() const { return m_showsLanguage; }
    /// Opens or closes the language section; shown, it unfolds or folds with a spring.
    void setShowsLanguage(bool shows);
    /// Runs the bar's motion (the language section's height).
    Animator& animator() const { return *m_animator; }

    /// The hint followed by " · simulators only" on a connected device.
    static QString simulatorOnlyHelp(const QString& text, bool isPhysical);

    /// Reads the target simulator's slow-animation state; the future ends once it was stored
    /// (or skipped: no target, a connected device, or the target changed meanwhile).
    QFuture<void> readSlowAnimations();
    /// Switches the target simulator's slow animations to the opposite of their real state.
    QFuture<void> toggleSlowAnimations();
    /// Runs a status-bar command of a connected device and reports it; ends after the toast.
    QFuture<void> runStatusBarJob(const QString& successTitle, std::function<bool()> job);

    /// The device picker's menu, made again from the device lists each time it opens.
    QMenu* deviceMenu() const { return m_deviceMenu; }
    void fillDeviceMenu();

private:
    struct ToolLook {
        bool hasTarget = false;
        bool physical = false;
        int statusBar = 0; // 0: the status-bar window, 1: presets, 2: not supported
        QString deviceName;
        bool slowAnimations = false;
        bool showsLanguage = false;
        bool operator==(const ToolLook&) const = default;
    };
    ToolLook toolLook() const;
    void buildTools(const ToolLook& look);
    QWidget* statusBarTool(const ToolLook& look);
    void showLanguageSection();
    void foldLanguageSection();

    PanelServices& m_services;
    bool m_slowAnimations = false;
    bool m_showsLanguage = false;
    bool m_readStarted = false;
    quint64 m_slowGeneration = 0; // a toggle retires the slow-animation reads asked before it
    std::optional<QString> m_readTarget;
    std::optional<ToolLook> m_look;
    std::optional<QString> m_languageShown;
    QPointer<QWidget> m_languageSection;
    std::unique_ptr<Animator> m_animator;
    std::unique_ptr<AnimatedValue> m_languageHeight; // after the Animator: it goes first
    Motion m_languageMotion = Motion::none();

    DevicePicker* m_picker;
    QMenu* m_deviceMenu;
    QLabel* m_subtitle;
    QToolButton* m_shortcuts;
    QVBoxLayout* m_toolSlot;
    QVBoxLayout* m_languageSlot;
    QToolButton* m_accessibility;
    ToolCancellation m_tools;
    QThreadPool m_pool; // last: destroyed first, so no command outlives the bar
};

} // namespace quorvex
