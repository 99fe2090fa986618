#pragma once

#include <QWidget>

class QVBoxLayout;

namespace quorvex {

/// A card of the side panel: its rows stacked, inset 12 at the sides, on a rounded rectangle
/// (radius 12) in the card colour (white at 0.06 on a dark palette, at 0.7 on a light one).
class SettingsGroup final : public QWidget {
    Q_OBJECT
public:
    explicit SettingsGroup(QWidget* parent = nullptr);

    void addRow(QWidget* row);
    /// The card colour for a window colour.
    static QColor cardColour(const QColor& window);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QVBoxLayout* m_rows;
};

} // namespace quorvex
