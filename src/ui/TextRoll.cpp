#include "ui/TextRoll.h"

#include <QFont>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QHash>
#include <QPainter>
#include <QStringList>
#include <QTextBoundaryFinder>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace quorvex {
namespace {

// A line cut into graphemes, with the left edge of each and, last, the line's width.
struct Line {
    QStringList graphemes;
    std::vector<qreal> x;

    qreal width() const { return x.back(); }
    QString text(qsizetype begin, qsizetype end) const {
        return graphemes.mid(begin, end - begin).join(QString());
    }
};

// The part of both lines from `fromBegin`/`toBegin` to the ends; `stays` when the two agree.
struct Span {
    qsizetype fromBegin, fromEnd, toBegin, toEnd;
    bool stays;
};

QStringList graphemesOf(const QString& text) {
    QStringList graphemes;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype start = 0;
    while (finder.toNextBoundary() != -1) {
        const qsizetype end = finder.position();
        if (end > start)
            graphemes << text.mid(start, end - start);
        start = end;
    }
    return graphemes;
}

bool isDigit(const QString& grapheme) {
    return grapheme.size() == 1 && grapheme.front().isDigit();
}

qreal digitCell(const QFontMetricsF& metrics) {
    qreal widest = 0;
    for (char digit = '0'; digit <= '9'; ++digit)
        widest = std::max(widest, metrics.horizontalAdvance(QChar::fromLatin1(digit)));
    return widest;
}

Line layout(const QString& text, const QFontMetricsF& metrics, bool monospacedDigits) {
    Line line{graphemesOf(text), {}};
    line.x.reserve(static_cast<size_t>(line.graphemes.size()) + 1);
    if (monospacedDigits) {
        const qreal cell = digitCell(metrics);
        qreal x = 0;
        for (const QString& grapheme : line.graphemes) {
            line.x.push_back(x);
            x += isDigit(grapheme) ? cell : metrics.horizontalAdvance(grapheme);
        }
        line.x.push_back(x);
    } else {
        // Advances of whole prefixes, so the kerning between neighbours is kept.
        qsizetype offset = 0;
        for (const QString& grapheme : line.graphemes) {
            line.x.push_back(metrics.horizontalAdvance(text.left(offset)));
            offset += grapheme.size();
        }
        line.x.push_back(metrics.horizontalAdvance(text));
    }
    return line;
}

std::vector<Span> spans(const QStringList& from, const QStringList& to, bool wholeLine) {
    const qsizetype fromCount = from.size();
    const qsizetype toCount = to.size();
    if (from == to)
        return {{0, fromCount, 0, toCount, true}};
    if (wholeLine)
        return {{0, fromCount, 0, toCount, false}};
    qsizetype prefix = 0;
    while (prefix < std::min(fromCount, toCount) && from[prefix] == to[prefix])
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < std::min(fromCount, toCount) - prefix &&
           from[fromCount - 1 - suffix] == to[toCount - 1 - suffix])
        ++suffix;
    std::vector<Span> made;
    if (prefix > 0)
        made.push_back({0, prefix, 0, prefix, true});
    const qsizetype fromMiddle = fromCount - suffix;
    const qsizetype toMiddle = toCount - suffix;
    if (fromMiddle == toMiddle) {
        // As many characters either side: each position stays or rolls on its own.
        for (qsizetype i = prefix; i < fromMiddle;) {
            const bool stays = from[i] == to[i];
            qsizetype j = i;
            while (j < fromMiddle && (from[j] == to[j]) == stays)
                ++j;
            made.push_back({i, j, i, j, stays});
            i = j;
        }
    } else {
        made.push_back({prefix, fromMiddle, prefix, toMiddle, false});
    }
    if (suffix > 0)
        made.push_back({fromMiddle, fromCount, toMiddle, toCount, true});
    return made;
}

qreal left(const QRectF& rect, qreal width, Qt::Alignment alignment) {
    if (alignment & (Qt::AlignRight | Qt::AlignTrailing))
        return rect.right() - width;
    if (alignment & Qt::AlignHCenter)
        return rect.center().x() - width / 2;
    return rect.left();
}

qreal baseline(const QRectF& rect, const QFontMetricsF& metrics, Qt::Alignment alignment) {
    if (alignment & Qt::AlignTop)
        return rect.top() + metrics.ascent();
    if (alignment & Qt::AlignBottom)
        return rect.bottom() - metrics.descent();
    return rect.center().y() - metrics.height() / 2 + metrics.ascent();
}

double lerp(double a, double b, double t) {
    return a + (b - a) * t;
}

// Adds the graphemes [begin, end) of a line, with grapheme `begin`'s left edge at `origin`. With
// monospaced digits each digit is centred in a cell `cell` wide; `advances` holds the digits' own.
class PieceWriter {
public:
    PieceWriter(std::vector<TextRoll::Piece>& out, qreal cell, const QHash<QString, qreal>& advances)
        : m_out(out)
        , m_cell(cell)
        , m_advances(advances) {}

    void add(const Line& line, qsizetype begin, qsizetype end, QPointF origin, double opacity) {
        if (!(opacity > 0) || begin >= end)
            return;
        if (!(m_cell > 0)) {
            m_out.push_back({line.text(begin, end), origin, opacity});
            return;
        }
        // Digits one by one, each centred in its cell; whatever lies between them as a run.
        for (qsizetype i = begin; i < end;) {
            const QPointF at = origin + QPointF(line.x[i] - line.x[begin], 0);
            if (isDigit(line.graphemes[i])) {
                const qreal advance = m_advances.value(line.graphemes[i]);
                m_out.push_back({line.graphemes[i], at + QPointF((m_cell - advance) / 2, 0), opacity});
                ++i;
                continue;
            }
            qsizetype j = i;
            while (j < end && !isDigit(line.graphemes[j]))
                ++j;
            m_out.push_back({line.text(i, j), at, opacity});
            i = j;
        }
    }

private:
    std::vector<TextRoll::Piece>& m_out;
    qreal m_cell;
    const QHash<QString, qreal>& m_advances;
};

} // namespace

struct TextRoll::Layouts {
    QFont font;
    bool monospacedDigits;
    Line from;
    Line to;
    // With monospaced digits: the width of a digit's cell and each digit's own advance.
    qreal cell = 0;
    QHash<QString, qreal> digitAdvances;
    // The shaped glyphs of each piece drawn so far, with the distance from the top of its line to
    // the baseline: a rolling line draws the same few pieces on every frame, and shaping them
    // anew each time was most of the frame.
    struct Shaped {
        QList<QGlyphRun> runs;
        qreal ascent = 0;
    };
    mutable QHash<QString, Shaped> shaped;

    const Shaped& shape(const QString& text) const {
        auto found = shaped.find(text);
        if (found != shaped.end())
            return *found;
        QTextLayout layout(text, font);
        layout.setCacheEnabled(true);
        layout.beginLayout();
        QTextLine line = layout.createLine();
        layout.endLayout();
        Shaped made;
        if (line.isValid()) {
            line.setPosition({0, 0});
            made.runs = layout.glyphRuns();
            made.ascent = line.ascent();
        }
        return *shaped.insert(text, std::move(made));
    }
};

const TextRoll::Layouts& TextRoll::layouts(const QFont& font, bool monospacedDigits) const {
    const auto fits = [&](const std::shared_ptr<const Layouts>& layouts) {
        return layouts && layouts->monospacedDigits == monospacedDigits && layouts->font == font;
    };
    if (fits(m_layouts))
        return *m_layouts;
    // A label measures in its own font and paints in the painter's, which need not compare equal:
    // the two are kept side by side rather than made anew in turn.
    if (fits(m_otherLayouts)) {
        std::swap(m_layouts, m_otherLayouts);
        return *m_layouts;
    }
    const QFontMetricsF metrics(font);
    Line to = layout(m_to, metrics, monospacedDigits);
    Line from = m_from == m_to ? to : layout(m_from, metrics, monospacedDigits);
    auto made =
        std::make_shared<Layouts>(Layouts{font, monospacedDigits, std::move(from), std::move(to), 0, {}, {}});
    if (monospacedDigits) {
        made->cell = digitCell(metrics);
        for (const Line* line : {&made->from, &made->to})
            for (const QString& grapheme : line->graphemes)
                if (isDigit(grapheme) && !made->digitAdvances.contains(grapheme))
                    made->digitAdvances.insert(grapheme, metrics.horizontalAdvance(grapheme));
    }
    m_otherLayouts = std::move(m_layouts);
    m_layouts = std::move(made);
    return *m_layouts;
}

TextRoll::TextRoll(QString text)
    : m_from(text)
    , m_to(std::move(text)) {}

TextRoll::TextRoll(QString from, QString to, Direction direction)
    : m_from(std::move(from))
    , m_to(std::move(to))
    , m_direction(direction) {}

std::vector<TextRoll::Piece> TextRoll::pieces(double progress, const QFont& font, const QRectF& rect,
                                              Qt::Alignment alignment, bool monospacedDigits) const {
    if (!std::isfinite(progress))
        progress = 1;
    // At either end the line rests: one run, shaped and kerned as a whole.
    if (m_from != m_to && (progress == 0 || progress == 1))
        return TextRoll(progress == 0 ? m_from : m_to).pieces(1, font, rect, alignment, monospacedDigits);
    const QFontMetricsF metrics(font);
    const Layouts& measured = layouts(font, monospacedDigits);
    const Line& from = measured.from;
    const Line& to = measured.to;
    const qreal fromLeft = left(rect, from.width(), alignment);
    const qreal toLeft = left(rect, to.width(), alignment);
    const qreal y = baseline(rect, metrics, alignment);
    // Counting up, new characters come from below (y grows downwards) and old ones leave upwards.
    const qreal sign = m_direction == Direction::Up ? 1 : m_direction == Direction::Down ? -1 : 0;
    const qreal distance = kRollShare * metrics.height() * sign;
    const double shown = std::clamp(progress, 0.0, 1.0);
    const bool wholeLine = m_from.isRightToLeft() || m_to.isRightToLeft();

    std::vector<Piece> made;
    PieceWriter writer(made, measured.cell, measured.digitAdvances);
    for (const Span& span : spans(from.graphemes, to.graphemes, wholeLine)) {
        const qreal fromX = fromLeft + from.x[span.fromBegin];
        const qreal toX = toLeft + to.x[span.toBegin];
        if (span.stays) {
            writer.add(to, span.toBegin, span.toEnd, {lerp(fromX, toX, progress), y}, 1);
            continue;
        }
        writer.add(from, span.fromBegin, span.fromEnd, {fromX, y - distance * progress}, 1 - shown);
        writer.add(to, span.toBegin, span.toEnd, {toX, y + distance * (1 - progress)}, shown);
    }
    return made;
}

qreal TextRoll::width(double progress, const QFont& font, bool monospacedDigits) const {
    const Layouts& measured = layouts(font, monospacedDigits);
    if (!std::isfinite(progress))
        return measured.to.width();
    return lerp(measured.from.width(), measured.to.width(), progress);
}

void TextRoll::paint(QPainter& painter, double progress, const QRectF& rect, Qt::Alignment alignment,
                     bool monospacedDigits) const {
    const QPen pen = painter.pen();
    const std::vector<Piece> drawn = pieces(progress, painter.font(), rect, alignment, monospacedDigits);
    // A line at rest is drawn once per change; only a rolling one keeps its pieces' glyphs.
    const bool rolling = m_from != m_to && std::isfinite(progress) && progress != 0 && progress != 1;
    for (const Piece& piece : drawn) {
        QColor color = pen.color();
        color.setAlphaF(static_cast<float>(color.alphaF() * piece.opacity));
        painter.setPen(color);
        if (!rolling) {
            painter.drawText(piece.origin, piece.text);
            continue;
        }
        const Layouts::Shaped& shaped = layouts(painter.font(), monospacedDigits).shape(piece.text);
        for (const QGlyphRun& run : shaped.runs)
            painter.drawGlyphRun(piece.origin - QPointF(0, shaped.ascent), run);
    }
    painter.setPen(pen);
}

} // namespace quorvex
