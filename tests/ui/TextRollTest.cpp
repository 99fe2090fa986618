#include "ui/TextRoll.h"

#include "support/FakeClock.h"
#include "ui/Animator.h"
#include "ui/RollingLabel.h"
#include "ui/RollingText.h"
#include "ui/Spring.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

namespace quorvex {
namespace {

using Direction = TextRoll::Direction;

QFont testFont() {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(20);
    return font;
}

const QRectF kBox(0, 0, 200, 40);

qreal baselineIn(const QRectF& box) {
    const QFontMetricsF metrics(testFont());
    return box.center().y() - metrics.height() / 2 + metrics.ascent();
}

qreal rollDistance() {
    return TextRoll::kRollShare * QFontMetricsF(testFont()).height();
}

// The pieces of a roll sorted by what they do: staying on the baseline, leaving, arriving.
struct Sorted {
    QString stays, leaves, arrives;
};

Sorted sort(const std::vector<TextRoll::Piece>& pieces, Direction direction) {
    Sorted sorted;
    const qreal y = baselineIn(kBox);
    for (const TextRoll::Piece& piece : pieces) {
        const qreal above = y - piece.origin.y();
        if (std::abs(above) < 1e-9)
            sorted.stays += piece.text;
        else if ((above > 0) == (direction == Direction::Up))
            sorted.leaves += piece.text;
        else
            sorted.arrives += piece.text;
    }
    return sorted;
}

TEST(TextRollTest, OnlyTheCharactersThatChangeRollAndTheOthersStay) {
    struct Case {
        QString from, to;
        Sorted expected;
    };
    const Case cases[] = {
        {"129 MB", "130 MB", {"1 MB", "29", "30"}},
        {"1,234", "1,334", {"1,34", "2", "3"}},    // same length: position by position
        {"1,999", "2,000", {",", "1999", "2000"}}, // the comma between stays
        {"9.9 MB", "10 MB", {" MB", "9.9", "10"}}, // a different length rolls the middle
        {"Wi-Fi", "5G", {"", "Wi-Fi", "5G"}},      // nothing in common
        {"", "5 MB", {"", "", "5 MB"}},            // from nothing
        {"12 KB", "12 KB", {"12 KB", "", ""}},     // at rest
        {QString::fromUtf8("👍1"), QString::fromUtf8("👍2"), {QString::fromUtf8("👍"), "1", "2"}}, // graphemes
        {QString::fromUtf8("١٢٣ ك.ب"),
         QString::fromUtf8("١٢٤ ك.ب"),
         {"", QString::fromUtf8("١٢٣ ك.ب"), QString::fromUtf8("١٢٤ ك.ب")}}, // right to left: whole
    };
    for (const Direction direction : {Direction::Up, Direction::Down}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.from.toStdString() + " → " + c.to.toStdString());
            const Sorted got = sort(
                TextRoll(c.from, c.to, direction).pieces(0.5, testFont(), kBox, Qt::AlignLeft), direction);
            EXPECT_EQ(got.stays, c.expected.stays);
            EXPECT_EQ(got.leaves, c.expected.leaves);
            EXPECT_EQ(got.arrives, c.expected.arrives);
        }
    }
}

TEST(TextRollTest, RollingCharactersTravelAndFadeWithTheProgressInTheirDirection) {
    // Counting up, the new digits come from below and the old ones leave upwards; counting down,
    // the other way. A spring's overshoot carries the new digits a little past the baseline.
    const qreal y = baselineIn(kBox);
    const qreal d = rollDistance();
    struct Frame {
        double progress;
        qreal leavingY; // NaN: not drawn
        double leavingOpacity;
        qreal arrivingY;
        double arrivingOpacity;
    };
    const double none = std::numeric_limits<double>::quiet_NaN();
    const Frame up[] = {
        {0, y, 1, none, 0},
        {0.25, y - 0.25 * d, 0.75, y + 0.75 * d, 0.25},
        {0.5, y - 0.5 * d, 0.5, y + 0.5 * d, 0.5},
        {1, none, 0, y, 1},
        {1.04, none, 0, y - 0.04 * d, 1},
    };
    for (const Direction direction : {Direction::Up, Direction::Down}) {
        const TextRoll roll(QStringLiteral("129 MB"), QStringLiteral("130 MB"), direction);
        const qreal sign = direction == Direction::Up ? 1 : -1;
        for (const Frame& f : up) {
            SCOPED_TRACE(testing::Message()
                         << (direction == Direction::Up ? "up" : "down") << " at " << f.progress);
            const auto pieces = roll.pieces(f.progress, testFont(), kBox, Qt::AlignLeft, true);
            auto find = [&](const QString& text) {
                return std::find_if(pieces.begin(), pieces.end(),
                                    [&](const auto& p) { return p.text == text; });
            };
            auto expectDigits = [&](std::initializer_list<QString> digits, qreal expectedY, double opacity) {
                for (const QString& digit : digits) {
                    const auto piece = find(digit);
                    ASSERT_EQ(piece == pieces.end(), std::isnan(expectedY)) << digit.toStdString();
                    if (piece != pieces.end()) {
                        EXPECT_NEAR(piece->origin.y(), y + sign * (expectedY - y), 1e-9)
                            << digit.toStdString();
                        EXPECT_NEAR(piece->opacity, opacity, 1e-12) << digit.toStdString();
                    }
                }
            };
            expectDigits({QStringLiteral("2"), QStringLiteral("9")}, f.leavingY, f.leavingOpacity);
            expectDigits({QStringLiteral("3"), QStringLiteral("0")}, f.arrivingY, f.arrivingOpacity);
            // The 1 and the unit never move.
            EXPECT_NEAR(find(QStringLiteral("1"))->origin.y(), y, 1e-9);
            EXPECT_EQ(find(QStringLiteral("1"))->opacity, 1);
        }
    }
}

TEST(TextRollTest, InPlaceTheChangedCharactersCrossFadeWhereTheyStand) {
    const TextRoll roll(QStringLiteral("Moving to Trash"), QStringLiteral("Cleaned up"), Direction::InPlace);
    const auto pieces = roll.pieces(0.25, testFont(), kBox, Qt::AlignLeft);
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_EQ(pieces[0].text, QStringLiteral("Moving to Trash"));
    EXPECT_EQ(pieces[1].text, QStringLiteral("Cleaned up"));
    for (const auto& piece : pieces)
        EXPECT_DOUBLE_EQ(piece.origin.y(), baselineIn(kBox));
    EXPECT_DOUBLE_EQ(pieces[0].opacity, 0.75);
    EXPECT_DOUBLE_EQ(pieces[1].opacity, 0.25);
}

TEST(TextRollTest, StayingCharactersSlideWhenTheWidthChanges) {
    const QFontMetricsF metrics(testFont());
    const qreal nine = metrics.horizontalAdvance(QStringLiteral("9"));
    const qreal ten = metrics.horizontalAdvance(QStringLiteral("10"));
    const TextRoll roll(QStringLiteral("9 MB"), QStringLiteral("10 MB"));
    auto unitX = [&](double progress, Qt::Alignment alignment) {
        for (const auto& piece : roll.pieces(progress, testFont(), kBox, alignment))
            if (piece.text == QLatin1String(" MB"))
                return piece.origin.x();
        return std::numeric_limits<qreal>::quiet_NaN();
    };
    struct Case {
        Qt::Alignment alignment;
        qreal fromX, toX;
    };
    const qreal fromWidth = metrics.horizontalAdvance(QStringLiteral("9 MB"));
    const qreal toWidth = metrics.horizontalAdvance(QStringLiteral("10 MB"));
    const Case cases[] = {
        {Qt::AlignLeft, nine, ten},
        {Qt::AlignHCenter, 100 - fromWidth / 2 + nine, 100 - toWidth / 2 + ten},
        {Qt::AlignRight, 200 - fromWidth + nine, 200 - toWidth + ten},
    };
    for (const Case& c : cases) {
        for (double progress : {0.25, 0.5, 0.75})
            EXPECT_NEAR(unitX(progress, c.alignment), c.fromX + (c.toX - c.fromX) * progress, 0.01);
        // At rest the line is one run where the alignment puts it.
        const auto rest = roll.pieces(1, testFont(), kBox, c.alignment);
        ASSERT_EQ(rest.size(), 1u);
        EXPECT_NEAR(rest[0].origin.x(), c.toX - ten, 0.01);
    }
    EXPECT_NEAR(roll.width(0.5, testFont()), (fromWidth + toWidth) / 2, 0.01);
}

// A font whose 1 is narrower or wider than its 8, where tabular figures make a difference; the
// usual sans fonts have them already. Falls back to the test font when none is installed.
QFont proportionalDigitsFont() {
    for (const QString& family : QFontDatabase::families()) {
        QFont font(family);
        font.setPixelSize(20);
        const QFontMetricsF metrics(font);
        if (std::abs(metrics.horizontalAdvance(QChar(u'1')) - metrics.horizontalAdvance(QChar(u'8'))) > 0.5)
            return font;
    }
    return testFont();
}

TEST(TextRollTest, MonospacedDigitsTakeCellsOfOneWidth) {
    const QFont font = proportionalDigitsFont();
    const QFontMetricsF metrics(font);
    qreal cell = 0;
    for (char digit = '0'; digit <= '9'; ++digit)
        cell = std::max(cell, metrics.horizontalAdvance(QChar::fromLatin1(digit)));
    const qreal dot = metrics.horizontalAdvance(QChar(u'.'));
    for (const QString& text : {QStringLiteral("1.11"), QStringLiteral("8.88")}) {
        SCOPED_TRACE(text.toStdString());
        EXPECT_NEAR(TextRoll(text).width(1, font, true), 3 * cell + dot, 1e-9);
        // Each digit is centred in its cell.
        const auto pieces = TextRoll(text).pieces(1, font, kBox, Qt::AlignLeft, true);
        ASSERT_EQ(pieces.size(), 4u);
        const qreal cellStarts[] = {0, cell, cell + dot, 2 * cell + dot};
        for (size_t i = 0; i < 4; ++i) {
            const qreal advance = metrics.horizontalAdvance(pieces[i].text);
            const qreal expected = i == 1 ? cellStarts[i] : cellStarts[i] + (cell - advance) / 2;
            EXPECT_NEAR(pieces[i].origin.x(), expected, 1e-9) << i;
        }
    }
}

struct RollingTextTest : testing::Test {
    RollingTextTest() { animator.setReduceMotion(false); }
    test::FakeClock clock;
    Animator animator{clock};
};

TEST_F(RollingTextTest, ARollFollowsItsSpringOnTheClockAndStopsItsTimerWhenDone) {
    RollingText text(animator, QStringLiteral("129 MB"));
    EXPECT_EQ(clock.pendingCount(), 0u);
    text.setText(QStringLiteral("130 MB"), Motion::spring(0.5, 1.0));
    const Spring spring(0.5, 1.0);
    const qreal y = baselineIn(kBox);
    double elapsed = 0;
    for (double t : {0.05, 0.1, 0.2, 0.35}) {
        clock.advance(t - elapsed);
        elapsed = t;
        EXPECT_NEAR(text.progress(), spring.value(t), 1e-9);
        const Sorted now = sort(text.pieces(testFont(), kBox, Qt::AlignLeft), Direction::Up);
        EXPECT_EQ(now.leaves, QStringLiteral("29"));
        for (const auto& piece : text.pieces(testFont(), kBox, Qt::AlignLeft)) {
            if (piece.text == QLatin1String("30")) {
                EXPECT_NEAR(piece.origin.y(), y + rollDistance() * (1 - spring.value(t)), 1e-9);
            }
        }
    }
    clock.advance(1);
    EXPECT_FALSE(text.isRunning());
    EXPECT_EQ(clock.pendingCount(), 0u);
    const auto rest = text.pieces(testFont(), kBox, Qt::AlignLeft);
    ASSERT_EQ(rest.size(), 1u);
    EXPECT_EQ(rest[0].text, QStringLiteral("130 MB"));
    EXPECT_DOUBLE_EQ(rest[0].origin.y(), y);

    // The same text again does nothing; a new one mid-roll rolls on from the one rolling in.
    text.setText(QStringLiteral("130 MB"), Motion::spring(0.5, 1.0));
    EXPECT_EQ(clock.pendingCount(), 0u);
    text.setText(QStringLiteral("131 MB"), Motion::spring(0.5, 1.0));
    clock.advance(0.05);
    text.setText(QStringLiteral("140 MB"), Motion::spring(0.5, 1.0));
    EXPECT_EQ(text.roll().from(), QStringLiteral("131 MB"));
    EXPECT_EQ(text.progress(), 0);
}

TEST_F(RollingTextTest, UnderReduceMotionANewTextShowsAtOnce) {
    animator.setReduceMotion(true);
    RollingText text(animator, QStringLiteral("1 item"));
    text.setText(QStringLiteral("2 items"), Motion::spring(0.5, 0.85));
    EXPECT_FALSE(text.isRunning());
    EXPECT_EQ(clock.pendingCount(), 0u);
    const auto pieces = text.pieces(testFont(), kBox, Qt::AlignLeft);
    ASSERT_EQ(pieces.size(), 1u);
    EXPECT_EQ(pieces[0].text, QStringLiteral("2 items"));
}

TEST_F(RollingTextTest, ALabelEndsItsRollExactlyAsAFreshLabelShowsTheText) {
    auto label = [&](const QString& text) {
        auto made = std::make_unique<RollingLabel>(animator);
        made->setFont(testFont());
        made->setMonospacedDigits(true);
        made->resize(160, 30);
        made->setText(text);
        return made;
    };
    auto rolled = label(QStringLiteral("1.8 GB"));
    rolled->show();
    rolled->setText(QStringLiteral("2.4 GB"));
    clock.advance(0.08);
    const QImage midway = rolled->grab().toImage();
    // While it rolls, it has room for both texts.
    EXPECT_GE(rolled->sizeHint().width(), label(QStringLiteral("1.8 GB"))->sizeHint().width());
    clock.advance(2);
    EXPECT_EQ(clock.pendingCount(), 0u);
    const QImage end = rolled->grab().toImage();
    EXPECT_EQ(end, label(QStringLiteral("2.4 GB"))->grab().toImage());
    EXPECT_NE(midway, end);
    EXPECT_NE(midway, label(QStringLiteral("1.8 GB"))->grab().toImage());

    // Hidden, it changes without rolling: nothing moves where no one looks.
    rolled->hide();
    rolled->setText(QStringLiteral("3 GB"));
    EXPECT_FALSE(rolled->rollingText().isRunning());
    EXPECT_EQ(clock.pendingCount(), 0u);
}

// A rolling frame draws each piece's text where pieces() puts it, in the pen's colour faded by
// the piece's opacity; the glyphs and measures kept from the frames before change nothing of it.
TEST(TextRollTest, EveryFrameOfARollDrawsItsPiecesWhereTheyStand) {
    const auto canvas = [] {
        QImage image(200, 40, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        return image;
    };
    const struct {
        const char* name;
        QString from;
        QString to;
        bool monospaced;
    } cases[] = {
        {"digits", "1,234 GB", "1,334 GB", false},
        {"monospaced digits", "9.8 GB", "10.1 GB", true},
        {"words", "Measuring…", "Deleting 2 of 5", false},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.name);
        const TextRoll roll(each.from, each.to);
        for (const double progress : {0.1, 0.4, 0.4, 0.85, 1.0}) {
            SCOPED_TRACE(progress);
            QImage drawn = canvas();
            {
                QPainter painter(&drawn);
                painter.setFont(testFont());
                painter.setPen(QColor(20, 40, 200));
                roll.paint(painter, progress, kBox, Qt::AlignCenter, each.monospaced);
            }
            QImage expected = canvas();
            {
                QPainter painter(&expected);
                painter.setFont(testFont());
                for (const TextRoll::Piece& piece :
                     roll.pieces(progress, testFont(), kBox, Qt::AlignCenter, each.monospaced)) {
                    QColor color(20, 40, 200);
                    color.setAlphaF(static_cast<float>(piece.opacity));
                    painter.setPen(color);
                    painter.drawText(piece.origin, piece.text);
                }
            }
            EXPECT_EQ(drawn, expected);
            // Measured in another font between frames, as a label's layout does, it keeps to each.
            QFont wide = testFont();
            wide.setPixelSize(31);
            EXPECT_EQ(roll.width(progress, wide, each.monospaced),
                      TextRoll(each.from, each.to).width(progress, wide, each.monospaced));
        }
    }
}

} // namespace
} // namespace quorvex
