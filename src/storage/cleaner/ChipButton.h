#pragma once

#include "storage/cleaner/CapsuleLabel.h"

#include <QAbstractButton>

namespace quorvex {

/// A selection chip of the category page (quick selections, "All", "None", the archive filter):
/// a capsule filled with the accent colour while active, a faint one otherwise that darkens while
/// pressed; drawn at 45 % when disabled.
class ChipButton final : public QAbstractButton {
    Q_OBJECT
public:
    explicit ChipButton(const QString& text, QWidget* parent = nullptr);

    void setActive(bool active);
    bool isActive() const { return m_active; }
    /// The symbol before the text; empty for none.
    void setSymbol(const QString& symbol);
    const QString& symbol() const { return m_symbol; }

    /// What the chip draws for these states, and its opacity.
    struct Look {
        CapsuleLabel label;
        qreal opacity;
    };
    static Look look(const QString& text, const QString& symbol, bool active, bool pressed, bool enabled,
                     const QPalette& palette);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_active = false;
    QString m_symbol;
};

} // namespace quorvex
