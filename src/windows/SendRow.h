#pragma once

#include <QPushButton>
#include <QWidget>

class QLineEdit;

namespace quorvex {

/// The bottom row of the push and open-URL composers: a preset name, "Save Preset", and the
/// default send button. Its owner sets what is enabled and handles the two buttons. GUI thread.
class SendRow final : public QWidget {
    Q_OBJECT
public:
    SendRow(const QString& title, const QString& symbol, QWidget* parent = nullptr);

    QString presetName() const;
    void setPresetName(const QString& name);
    /// `enabled` gates the send button; `canSave` with a non-blank name gates "Save Preset".
    void setStates(bool enabled, bool canSave);
    /// The window's default button: Return runs it (DefaultAction).
    QPushButton* sendButton() const { return m_send; }

signals:
    void sendClicked();
    void saveClicked();
    void presetNameChanged();

private:
    void updateSave();

    QLineEdit* m_name;
    QPushButton* m_save;
    QPushButton* m_send;
    bool m_canSave = false;
};

} // namespace quorvex
