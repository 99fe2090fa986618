#pragma once

#include <QWidget>

class QLabel;

namespace quorvex {

/// The last row of the side panel in every state: a hint on what can be dropped on it, under a
/// faint line along its top edge.
class PanelFooter final : public QWidget {
    Q_OBJECT
public:
    explicit PanelFooter(bool physical, QWidget* parent = nullptr);

    /// `physical`: the panel follows a connected device, which takes links only.
    void setPhysical(bool physical);

    static QString hintText(bool physical);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QLabel* m_text;
};

} // namespace quorvex
