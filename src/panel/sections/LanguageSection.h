#pragma once

#include "simulator/DeviceTools.h"
#include "simulator/SimulatorApp.h"
#include "simulator/Toast.h"

#include <QWidget>

#include <optional>

namespace quorvex {

class LanguageTools;
class PanelButtonStyle;
class ValueMenu;

/// The side panel's language and region card for the simulator the panel works on. Whenever the
/// target changes it reads the simulator's global language and region into two pickers; "Apply &
/// Relaunch" writes the picked pair into the simulator's global defaults, relaunches the panel's
/// app there and reports the outcome in a toast. GUI thread.
///
/// Reads and applies run on the global thread pool. A read is tagged with the target it was
/// asked for and a sequence number: only the newest read for the current target reaches the
/// pickers, so a slow answer from a simulator the user has already left never overwrites the
/// values of the one now shown. Pressing apply retires any read under way, since its answer
/// predates the write. An apply captures its values at the press and always ends with
/// its toast, even when the card was closed meanwhile; the card itself is then left alone.
class LanguageSection final : public QWidget {
    Q_OBJECT
public:
    struct Choice {
        QString language;
        QString region;
        bool operator==(const Choice&) const = default;
    };
    /// What one press of the apply button works on, copied at the press.
    struct Run {
        QString language;
        QString region;
        QString udid;
        QString bundleID;
        QString appName;
    };

    /// Works on the simulator `targetUDID` until setTargetUDID says otherwise.
    LanguageSection(const std::optional<QString>& targetUDID, const SimulatorApp& app, LanguageTools& tools,
                    QWidget* parent = nullptr);

    /// A different target (absent included) starts a new read; the same one changes nothing. Its
    /// owner hands it the panel's simulator on every change of target, whatever moved it; never
    /// a connected device, whose identifier no simulator command may see.
    void setTargetUDID(const std::optional<QString>& udid);
    void setApp(const SimulatorApp& app);

    const Choice& choice() const { return m_choice; }
    void setLanguage(const QString& code);
    void setRegion(const QString& code);
    const std::optional<Choice>& applied() const { return m_applied; }
    bool isApplying() const { return m_isApplying; }
    bool hasChanges() const { return hasChanges(m_applied, m_choice); }
    /// The apply button's action; does nothing without a target or while a run is going.
    void apply();

    /// The pickers after a read: a language that is one of the offered codes or starts with one
    /// on a subtag boundary, and a region from `regionCodes`; anything else keeps `shown`.
    static Choice afterRead(const Choice& shown, const DeviceTools::LanguageAndRegion& read,
                            const QStringList& regionCodes);
    /// Whether the pickers differ from what the simulator was last known to hold.
    static bool hasChanges(const std::optional<Choice>& applied, const Choice& shown);
    /// Writes the pair, stops the app (it may not be running) and starts it again; true when the
    /// writes and the launch succeeded. Blocks.
    static bool applyAndRelaunch(LanguageTools& tools, const Run& run);
    static ToastMessage resultToast(const Run& run, bool succeeded);

    ValueMenu* languageMenu() const { return m_languageMenu; }
    ValueMenu* regionMenu() const { return m_regionMenu; }
    PanelButtonStyle* applyButton() const { return m_applyButton; }

signals:
    /// A read has ended, whether its values were taken or dropped.
    void readFinished();
    /// This card's apply run has ended; its toast has been shown.
    void applyFinished(bool succeeded);

private:
    void read();
    void finishApply(const Run& run, bool succeeded);
    void refresh();

    std::optional<QString> m_target;
    SimulatorApp m_app;
    LanguageTools& m_tools;
    Choice m_choice{QStringLiteral("en"), QStringLiteral("US")};
    std::optional<Choice> m_applied;
    bool m_isApplying = false;
    quint64 m_readSequence = 0;
    ValueMenu* m_languageMenu;
    ValueMenu* m_regionMenu;
    PanelButtonStyle* m_applyButton;
};

} // namespace quorvex
