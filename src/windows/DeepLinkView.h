#pragma once

#include "windows/ActionScaffold.h"

#include <QWidget>

class QLineEdit;

namespace quorvex {

class SendRow;

/// The open-URL window's content: the shared layout around a URL field and its send row.
/// GUI thread.
class DeepLinkView final : public QWidget {
    Q_OBJECT
public:
    DeepLinkView(ActionWindowState& state, SimulatorApps& apps, SimulatorActions& actions,
                 ActionScaffold::Now now = {}, QWidget* parent = nullptr);

    /// The text parses (strictly) as a URL that has a scheme; it is used as typed.
    static bool isValidURL(const QString& text);

    ActionScaffold& scaffold() const { return *m_scaffold; }

private:
    void updateStates();
    void send();
    void save();

    ActionWindowState& m_state;
    ActionScaffold* m_scaffold;
    QLineEdit* m_url;
    SendRow* m_sendRow;
};

} // namespace quorvex
