#pragma once

#include <QAbstractButton>

namespace quorvex {

/// The side panel's text button: caption text padded 10 by 4 on a rounded rectangle (radius 6),
/// either plain (primary text on a faint primary fill) or prominent (semibold white on the
/// accent colour); drawn at 0.75 opacity while pressed and at half opacity when disabled.
class PanelButtonStyle final : public QAbstractButton {
    Q_OBJECT
public:
    explicit PanelButtonStyle(const QString& text, bool prominent = false, QWidget* parent = nullptr);

    bool isProminent() const { return m_prominent; }
    void setProminent(bool prominent);
    QSize sizeHint() const override;

    /// The opacity the button is drawn with.
    static double opacity(bool pressed, bool enabled);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_prominent;
};

} // namespace quorvex
