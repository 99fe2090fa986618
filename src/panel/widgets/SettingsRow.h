#pragma once

#include <QWidget>

#include <optional>

class QHBoxLayout;
class QLabel;

namespace quorvex {

/// One row of a card: an optional symbol in a 20-wide column, the title (13 pt, one line, cut in
/// the middle) over an optional subtitle (11 pt, secondary, cut at its end), then the trailing
/// widgets; at least 36 high (44 with a subtitle); a divider under it unless it is the last row.
/// The whole row takes clicks. A row that acts (`setActivatable`) is also a keyboard control:
/// Tab reaches it, Space, Return and Enter run it, and it shows the focus ring.
class SettingsRow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMinimumHeight = 36;

    SettingsRow(const std::optional<QString>& symbol, const QString& title,
                const std::optional<QString>& subtitle, bool isLast, QWidget* parent = nullptr);

    /// Adds a trailing control. A value menu, segments or a spinner without an accessible name is
    /// named after the row, so a screen reader says what its value is for.
    void addTrailing(QWidget* widget);
    void setActivatable(bool activatable);
    bool isActivatable() const { return m_activatable; }
    bool hasDivider() const { return !m_isLast; }
    bool hasSymbol() const { return m_symbol != nullptr; }
    QString title() const { return m_titleText; }
    int minimumRowHeight() const;

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void elide();

    QString m_titleText;
    std::optional<QString> m_subtitleText;
    bool m_isLast;
    bool m_activatable = false;
    QLabel* m_symbol = nullptr;
    QLabel* m_title;
    QLabel* m_subtitle = nullptr;
    QHBoxLayout* m_trailing;
};

} // namespace quorvex
