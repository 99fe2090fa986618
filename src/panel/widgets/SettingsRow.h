#pragma once

#include <QWidget>

#include <optional>

class QHBoxLayout;
class QLabel;

namespace quorvex {

/// One row of a card: an optional symbol in a 20-wide column, the title (13 pt, one line, cut in
/// the middle) over an optional subtitle (11 pt, secondary, cut at its end), then the trailing
/// widgets; at least 36 high (44 with a subtitle); a divider under it unless it is the last row.
/// The whole row takes clicks.
class SettingsRow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMinimumHeight = 36;

    SettingsRow(const std::optional<QString>& symbol, const QString& title,
                const std::optional<QString>& subtitle, bool isLast, QWidget* parent = nullptr);

    void addTrailing(QWidget* widget);
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

private:
    void elide();

    QString m_titleText;
    std::optional<QString> m_subtitleText;
    bool m_isLast;
    QLabel* m_symbol = nullptr;
    QLabel* m_title;
    QLabel* m_subtitle = nullptr;
    QHBoxLayout* m_trailing;
};

} // namespace quorvex
