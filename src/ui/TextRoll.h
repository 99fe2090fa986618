#pragma once

#include <QPointF>
#include <QRectF>
#include <QString>

#include <memory>
#include <vector>

class QFont;
class QPainter;

namespace quorvex {

/// One line of text changing into another the way a counter's digits roll: the characters that
/// differ roll out and in vertically, fading, while those that stay the same do not roll; they
/// only slide sideways when the line's width changes. Counting up (Direction::Up) the old
/// characters rise away and the new ones rise in from below; counting down, the other way; in
/// place, they cross-fade where they stand (a headline whose words change).
///
/// A value type and a pure function of its progress (0: `from` at rest, 1: `to` at rest; a spring
/// may carry it past 1 and back), so a drawing can show any moment of it. RollingText runs one on
/// an Animator. Characters are compared as whole graphemes; the common start and end of the two
/// lines stay, and in between, when both lines have as many characters, each position stays or
/// rolls on its own ("1,234" to "1,334" rolls only the 2). Right-to-left text rolls as a whole.
class TextRoll final {
public:
    enum class Direction { Up, Down, InPlace };

    /// A run of text to draw: `origin` is the left end of its baseline.
    struct Piece {
        QString text;
        QPointF origin;
        double opacity;
    };

    TextRoll() = default;
    /// A line at rest.
    explicit TextRoll(QString text);
    TextRoll(QString from, QString to, Direction direction = Direction::Up);

    const QString& from() const { return m_from; }
    const QString& to() const { return m_to; }
    Direction direction() const { return m_direction; }

    /// What to draw `progress` of the way, in `font`, placed in `rect` by `alignment` (left,
    /// right or centred; top, bottom or centred). With `monospacedDigits` every digit takes the
    /// width of the widest, so figures of the same length line up and do not jiggle as they roll.
    std::vector<Piece> pieces(double progress, const QFont& font, const QRectF& rect, Qt::Alignment alignment,
                              bool monospacedDigits = false) const;
    /// The line's width `progress` of the way, going from the old width to the new.
    qreal width(double progress, const QFont& font, bool monospacedDigits = false) const;
    /// Draws the pieces in the painter's font and pen colour. Fading text is drawn in a pen of
    /// lower alpha rather than at a lower painter opacity: Qt's raster engine would hand such
    /// glyphs, span by span, to its thread pool on every frame.
    void paint(QPainter& painter, double progress, const QRectF& rect, Qt::Alignment alignment,
               bool monospacedDigits = false) const;

    /// How far a rolling character travels, as a share of the font's line height.
    static constexpr double kRollShare = 0.6;

private:
    // Both lines cut into graphemes and measured in one font: shaping them is most of a frame's
    // cost, so it is done once per font and shared by copies.
    struct Layouts;
    const Layouts& layouts(const QFont& font, bool monospacedDigits) const;

    QString m_from;
    QString m_to;
    Direction m_direction = Direction::Up;
    mutable std::shared_ptr<const Layouts> m_layouts;
    mutable std::shared_ptr<const Layouts> m_otherLayouts;
};

} // namespace quorvex
