#include "shots/Shots.h"

#include "illustrations/IntroIllustration.h"
#include "support/FakeClock.h"
#include "ui/AnimatedValue.h"
#include "ui/Animator.h"
#include "ui/Fonts.h"
#include "ui/Palette.h"
#include "ui/ReplacingSymbol.h"
#include "ui/RollingLabel.h"
#include "ui/ScaleFade.h"

#include <QPainter>
#include <QWidget>

#include <functional>
#include <vector>

namespace quorvex::shots {
namespace {

using test::FakeClock;

const std::vector<double> kMoments = {0, 0.03, 0.06, 0.1, 0.15, 0.25, 0.6};

// One row per moment: the caption, then what `frame` renders after the clock reached it.
QImage sheet(FakeClock& clock, QSize frameSize, const std::function<void()>& change,
             const std::function<QImage()>& frame) {
    const int caption = 70;
    QImage out(frameSize.width() + caption, frameSize.height() * static_cast<int>(kMoments.size()),
               QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::white);
    QPainter painter(&out);
    const double start = clock.now();
    change();
    for (size_t i = 0; i < kMoments.size(); ++i) {
        clock.advance(start + kMoments[i] - clock.now());
        const int top = static_cast<int>(i) * frameSize.height();
        painter.setPen(Qt::darkGray);
        painter.drawText(QRect(4, top, caption - 8, frameSize.height()), Qt::AlignVCenter | Qt::AlignLeft,
                         QStringLiteral("%1 s").arg(kMoments[i], 0, 'f', 2));
        painter.drawImage(caption, top, frame());
        painter.setPen(QColor(0, 0, 0, 30));
        painter.drawLine(0, top + frameSize.height() - 1, out.width(), top + frameSize.height() - 1);
    }
    return out;
}

QImage grabbed(QWidget& widget) {
    return widget.grab().toImage().scaled(widget.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

// A blank frame to draw one moment on.
QImage canvas(QSize size) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    return image;
}

// Rolling totals: the content spring (0.5, 1.0), counting up or down.
QImage roll(FakeClock& clock, Animator& animator, const QString& from, const QString& to,
            TextRoll::Direction direction, qreal points) {
    RollingLabel label(animator);
    label.setFont(Fonts::system(points, QFont::Bold));
    label.setMonospacedDigits(true);
    label.setDirection(direction);
    label.setText(from);
    label.resize(360, static_cast<int>(points * 2.2));
    label.show();
    return sheet(
        clock, label.size(), [&] { label.setText(to); }, [&] { return grabbed(label); });
}

} // namespace

QImage motionSheet(MotionSheet which) {
    FakeClock clock;
    Animator animator(clock);
    animator.setReduceMotion(false);
    switch (which) {
    case MotionSheet::rollHeadline:
        return roll(clock, animator, "48.32 GB in use", "48.47 GB in use", TextRoll::Direction::Up, 34);
    case MotionSheet::rollCarry:
        return roll(clock, animator, "1,999 items", "2,000 items", TextRoll::Direction::Up, 20);
    case MotionSheet::rollDown:
        return roll(clock, animator, "120 MB", "119 MB", TextRoll::Direction::Down, 20);
    case MotionSheet::symbolReplace: {
        // A check box becoming a tick inside the selection spring (0.5, 0.85), at 48 points.
        ReplacingSymbol box(animator, QStringLiteral("circle"));
        const QSize size(120, 64);
        return sheet(
            clock, size,
            [&] { box.setSymbol(QStringLiteral("checkmark.circle.fill"), Motion::spring(0.5, 0.85)); },
            [&] {
                QImage image = canvas(size);
                QPainter painter(&image);
                painter.setRenderHint(QPainter::Antialiasing);
                box.paint(painter, QRectF(36, 8, 48, 48), Palette::blue());
                return image;
            });
    }
    case MotionSheet::badgeScaleIn: {
        // A count badge scaling in about its centre with the selection spring.
        AnimatedValue shown(animator, 0);
        const QSize size(120, 40);
        return sheet(
            clock, size, [&] { shown.animateTo(1, Motion::spring(0.5, 0.85)); },
            [&] {
                QImage image = canvas(size);
                QPainter painter(&image);
                painter.setRenderHint(QPainter::Antialiasing);
                const QRectF badge(44, 10, 32, 20);
                const ScaleFade look = ScaleFade::appearing(shown.value());
                if (look.visible()) {
                    look.apply(painter, badge);
                    painter.setPen(Qt::NoPen);
                    painter.setBrush(Palette::blue());
                    painter.drawRoundedRect(badge, 10, 10);
                    painter.setPen(Qt::white);
                    painter.setFont(Fonts::caption(QFont::Bold));
                    painter.drawText(badge, Qt::AlignCenter, QStringLiteral("12"));
                }
                return image;
            });
    }
    case MotionSheet::introPill: {
        // The setup guide's intro: the speed pill changing from Wi-Fi to 5G 2.2 s into the loop.
        IntroIllustration intro(clock,
                                {{"wifi", "Wi-Fi", "wifi"},
                                 {"5g", "5G", "antenna.radiowaves.left.and.right"},
                                 {"lte", "LTE", "antenna.radiowaves.left.and.right"}},
                                2.2);
        intro.setReduceMotion(false);
        intro.resize(360, 240);
        intro.show();
        clock.advance(2.2);
        return sheet(
            clock, QSize(170, 40), [] {},
            [&] { return intro.grab(QRect(0, 205, 170, 40)).toImage().scaled(170, 40); });
    }
    }
    return {};
}

} // namespace quorvex::shots
