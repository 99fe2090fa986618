#pragma once

#include "ui/AnimatedValue.h"

#include <QColor>
#include <QObject>

namespace quorvex {

class Animator;

/// A colour that fades to each new colour the way a Motion says, on an Animator: a button's fill
/// turning from grey to the accent colour, a card's hover tint. A new colour mid-fade fades on
/// from the colour shown at that moment.
class AnimatedColor final : public QObject {
    Q_OBJECT

public:
    explicit AnimatedColor(Animator& animator, QColor color = {}, QObject* parent = nullptr);

    void animateTo(const QColor& target, const Motion& motion);
    /// Shows `color` at once.
    void setColor(const QColor& color);

    QColor color() const;
    QColor target() const { return m_to; }
    bool isAnimating() const { return m_blend.isAnimating(); }

    /// `amount` (0 to 1, clamped) of the way from one colour to the other, mixed with
    /// premultiplied alpha so a fade to or from a faint colour does not darken on the way.
    static QColor mix(const QColor& from, const QColor& to, double amount);

signals:
    void changed();

private:
    QColor m_from;
    QColor m_to;
    AnimatedValue m_blend;
};

} // namespace quorvex
