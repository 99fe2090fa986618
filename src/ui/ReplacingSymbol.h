#pragma once

#include "ui/ContentTransition.h"
#include "ui/SymbolReplace.h"

namespace quorvex {

/// A symbol whose changes play the replace effect (SymbolReplace) on an Animator, for views that
/// paint their own symbols: a check box turning into a tick, a pill's network symbol.
class ReplacingSymbol final : public ContentTransition {
    Q_OBJECT

public:
    explicit ReplacingSymbol(Animator& animator, QString symbol = {}, QObject* parent = nullptr);

    /// The symbol shown, or coming in.
    const QString& symbol() const { return m_replace.to(); }
    /// Replaces the symbol; the same one again changes nothing, a new one mid-way replaces the
    /// one that was coming in. Motion::none() shows it at once.
    void setSymbol(const QString& symbol, const Motion& motion);

    const SymbolReplace& replace() const { return m_replace; }
    std::vector<SymbolReplace::Layer> layers() const { return m_replace.layers(progress()); }
    void paint(QPainter& painter, const QRectF& rect, const QColor& color) const;

private:
    SymbolReplace m_replace;
};

} // namespace quorvex
