#include "ui/ReplacingSymbol.h"

namespace quorvex {

ReplacingSymbol::ReplacingSymbol(Animator& animator, QString symbol, QObject* parent)
    : ContentTransition(animator, parent)
    , m_replace(std::move(symbol)) {}

void ReplacingSymbol::setSymbol(const QString& symbol, const Motion& motion) {
    if (symbol == m_replace.to())
        return;
    m_replace = SymbolReplace(m_replace.to(), symbol);
    restart(motion);
}

void ReplacingSymbol::paint(QPainter& painter, const QRectF& rect, const QColor& color) const {
    m_replace.paint(painter, progress(), rect, color);
}

} // namespace quorvex
