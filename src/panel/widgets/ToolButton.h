#pragma once

#include <QAbstractButton>

#include <functional>

namespace quorvex {

class Clock;
class HoverHint;

/// A round 34 by 34 tool button with a 16-point symbol: accent on a faint circle when on,
/// primary at 0.75 on nothing when off; its help shows in a hover hint below it and is its
/// accessible name. A tool that switches something is made checkable, so a screen reader says
/// whether it is on; the state always comes from `setOn`, never from the click itself.
class ToolButton final : public QAbstractButton {
    Q_OBJECT
public:
    ToolButton(const QString& symbol, const QString& help, bool isOn, Qt::Alignment hintAlignment,
               Clock& clock, std::function<void()> action, QWidget* parent = nullptr);

    bool isOn() const { return m_isOn; }
    void setOn(bool on);
    HoverHint* hint() const { return m_hint; }
    QSize sizeHint() const override { return {34, 34}; }

    /// The icon of a tool: the symbol in the accent colour when on, else in the text colour at 0.75.
    static QPixmap toolIcon(const QString& symbol, bool isOn, const QPalette& palette);

protected:
    void paintEvent(QPaintEvent* event) override;
    void nextCheckState() override {}

private:
    QString m_symbol;
    bool m_isOn;
    HoverHint* m_hint;
};

} // namespace quorvex
