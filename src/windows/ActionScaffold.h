#pragma once

#include "actions/SimulatorActions.h"
#include "windows/ActionWindowState.h"

#include <QDateTime>
#include <QWidget>

#include <functional>

class QComboBox;
class QLabel;
class QVBoxLayout;

namespace quorvex {

struct SimulatorApp;
struct SimulatorInstall;
class SimulatorApps;

/// The layout both action windows share: the app and simulator pickers, the window's composer,
/// the app's saved presets of this window's kind (at most 6) and the recent actions of this kind
/// (at most 4). Rebuilt from the state, the app list and the stored presets and history whenever
/// one of them changes. GUI thread.
///
/// Only a user's choice in the App picker moves the simulator to the new app's first install; a
/// change of the app made by the window's controller keeps the simulator it chose.
class ActionScaffold final : public QWidget {
    Q_OBJECT
public:
    using Load = std::function<void(const SimulatorActions::Kind& kind, const QString& name)>;
    using Now = std::function<QDateTime()>;

    static constexpr int kMaxPresets = 6;
    static constexpr int kMaxRecents = 4;

    ActionScaffold(ActionWindowState& state, ActionWindowKind kind, SimulatorApps& apps,
                   SimulatorActions& actions, Now now, QWidget* parent = nullptr);

    /// Puts the composer between the pickers and the lists; `load` is the presets' "Edit".
    void setComposer(QWidget* composer, Load load);

    /// The app of the state's app ID among the listed apps, if any.
    const SimulatorApp* selectedApp() const;
    /// The install on the state's simulator, else the app's first install.
    const SimulatorInstall* selectedInstall() const;

    /// Runs `kind` for the selected app on the selected install; nothing without both.
    void performOnSelection(const SimulatorActions::Kind& kind);
    /// Stores `kind` as a preset named `name` of the selected app; nothing without an app.
    void savePresetForSelection(const QString& name, const SimulatorActions::Kind& kind);

    /// A push payload on one line: line feeds become spaces, then pairs of spaces go.
    static QString oneLinePayload(const QString& payload);

signals:
    /// The selected app or install may have changed.
    void selectionChanged();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void refresh();
    void refreshPickers();
    void refreshPresets();
    void refreshRecents();

    ActionWindowState& m_state;
    ActionWindowKind m_kind;
    SimulatorApps& m_apps;
    SimulatorActions& m_actions;
    Now m_now;
    Load m_load;
    QLabel* m_icon;
    QComboBox* m_appPicker;
    QComboBox* m_devicePicker;
    QVBoxLayout* m_layout;
    QWidget* m_presets;
    QWidget* m_recents;
    bool m_appeared = false;
};

} // namespace quorvex
