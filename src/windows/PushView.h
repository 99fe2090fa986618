#pragma once

#include "windows/ActionScaffold.h"

#include <QWidget>

class QLabel;
class QPlainTextEdit;

namespace quorvex {

class SendRow;

/// The push window's content: the shared layout around a payload editor with its templates
/// menu, the payload's validation and the send row. GUI thread.
class PushView final : public QWidget {
    Q_OBJECT
public:
    PushView(ActionWindowState& state, SimulatorApps& apps, SimulatorActions& actions,
             ActionScaffold::Now now = {}, QWidget* parent = nullptr);

    ActionScaffold& scaffold() const { return *m_scaffold; }

private:
    void updateStates();
    void send();
    void save();

    ActionWindowState& m_state;
    ActionScaffold* m_scaffold;
    QPlainTextEdit* m_editor;
    QLabel* m_validation;
    SendRow* m_sendRow;
};

} // namespace quorvex
