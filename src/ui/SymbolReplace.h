#pragma once

#include "ui/ScaleFade.h"

#include <QString>

#include <vector>

class QColor;
class QPainter;
class QRectF;

namespace quorvex {

/// A symbol replaced by another: the old one shrinks and fades while the new one grows in from
/// small, a little later, so the two cross in the middle. A value type and a pure function of its
/// progress (0: the old symbol at rest, 1: the new one; a spring may carry it past 1 and back,
/// which the new symbol's size follows). ReplacingSymbol runs one on an Animator.
class SymbolReplace final {
public:
    struct Layer {
        QString symbol;
        ScaleFade look;
    };

    SymbolReplace() = default;
    /// A symbol at rest.
    explicit SymbolReplace(QString symbol);
    /// An empty `from` lets the new symbol grow in alone; an empty `to` lets the old one go.
    SymbolReplace(QString from, QString to);

    const QString& from() const { return m_from; }
    const QString& to() const { return m_to; }

    /// The symbols to draw `progress` of the way, the old one first; those that do not show are
    /// left out.
    std::vector<Layer> layers(double progress) const;
    /// Draws them tinted with `color`, each scaled about the centre of `rect`.
    void paint(QPainter& painter, double progress, const QRectF& rect, const QColor& color) const;

    /// The size, as a share of the full one, at which a symbol leaves and arrives.
    static constexpr double kSmallest = 0.25;
    /// The old symbol has gone at this progress; the new one starts to grow at kIncomingStart.
    static constexpr double kOutgoingEnd = 0.6;
    static constexpr double kIncomingStart = 0.25;

private:
    QString m_from;
    QString m_to;
};

} // namespace quorvex
