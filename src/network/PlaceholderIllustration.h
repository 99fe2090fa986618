#pragma once

#include "network/IllustrationSpec.h"

#include <QWidget>

namespace quorvex {

/// Stands where a setup guide illustration goes until the animated drawings exist: the
/// illustration backdrop with the drawing's symbol and a line on what it will show.
class PlaceholderIllustration final : public QWidget {
    Q_OBJECT
public:
    explicit PlaceholderIllustration(IllustrationSpec spec, QWidget* parent = nullptr);

    /// An IllustrationFactory that makes placeholders.
    static IllustrationFactory factory();

    /// The backdrop every illustration is drawn on: a soft accent-to-purple gradient in a rounded
    /// rectangle with a faint border.
    static void paintBackdrop(QPainter& painter, const QRectF& rect, const QColor& accent,
                              const QColor& text);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    IllustrationSpec m_spec;
};

} // namespace quorvex
