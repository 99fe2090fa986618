#pragma once

#include <QWidget>

#include <optional>

class QLabel;
class QLineEdit;

namespace quorvex {

/// The accessory of the add-host alert: a host field with an error line above it that appears,
/// and grows the alert, when the typed text cannot be blocked. Its `validate` is the alert's
/// first button: the alert closes only on a host the network extension can block.
class HostField final : public QWidget {
    Q_OBJECT
public:
    static inline const QString kExampleHost = QStringLiteral("api.example.com");
    static constexpr int kWidth = 230;

    explicit HostField(QWidget* parent = nullptr);

    QLineEdit* field() const { return m_field; }
    QLabel* errorLabel() const { return m_error; }

    /// Accepts the trimmed text (true) or shows why it cannot be blocked, puts the keyboard back
    /// in the field with its text selected, beeps and answers false.
    bool validate();
    /// Why `text` cannot be blocked, or nothing when it can. Local addresses are refused before
    /// the host is parsed: a rule for them would never match, because simulator traffic to this
    /// machine does not pass the extension.
    static std::optional<QString> rejection(const QString& text);
    /// Shows the message above the field and grows the view (and its alert) to fit it.
    void showError(const QString& message);

private:
    QLineEdit* m_field;
    QLabel* m_error;
};

} // namespace quorvex
