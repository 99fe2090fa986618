#include "illustrations/MockParts.h"

#include "illustrations/LoginItemsPane.h"

#include <QImage>
#include <QPainter>
#include <QPalette>

#include <gtest/gtest.h>

namespace quorvex {
namespace {

SceneColors lightColors() {
    return {Qt::black, QColor(0, 0, 0, 140), QColor(0, 122, 255), QColor(236, 236, 236)};
}

QImage canvas(QSize size) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(236, 236, 236));
    return image;
}

TEST(MockPartsTest, MiniToggleSlidesItsKnobAndFadesInTheAccent) {
    struct Case {
        double on;
        double knobCentreX; // the knob is 11 across, padded 1.5, moved 10·on
        bool accentTrack;
    };
    const Case cases[] = {{0, 7, false}, {0.5, 12, true}, {1, 17, true}, {-1, 7, false}, {2, 17, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "on " << c.on);
        QImage image = canvas({24, 14});
        {
            QPainter p(&image);
            p.setRenderHint(QPainter::Antialiasing);
            MockParts::paintMiniToggle(p, {0, 0}, c.on, lightColors());
        }
        EXPECT_EQ(image.pixelColor(static_cast<int>(c.knobCentreX), 7), QColor(Qt::white));
        // The track beside the knob: blue only once the switch is part way on.
        const int trackX = c.knobCentreX < 12 ? 20 : 3;
        const QColor track = image.pixelColor(trackX, 7);
        EXPECT_EQ(track.blue() > track.red() + 40, c.accentTrack) << track.name().toStdString();
    }
}

TEST(MockPartsTest, HighlightTintsOnlyTheAppsExtensionRow) {
    constexpr int width = 252;
    const QSize size(width, static_cast<int>(LoginItemsPane::kHeight));
    QImage plain = canvas(size);
    QImage lit = canvas(size);
    for (auto [image, highlight] : {std::pair{&plain, 0.0}, std::pair{&lit, 1.0}}) {
        QPainter p(image);
        p.setRenderHint(QPainter::Antialiasing);
        LoginItemsPane::paint(p, width, highlight, lightColors());
    }
    QRect changed;
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < width; ++x)
            if (plain.pixel(x, y) != lit.pixel(x, y))
                changed |= QRect(x, y, 1, 1);
    const QRect row = LoginItemsPane::appExtensionRow(width).toAlignedRect();
    ASSERT_FALSE(changed.isEmpty());
    EXPECT_TRUE(row.contains(changed)) << changed.y() << "+" << changed.height();
    EXPECT_EQ(row.height(), 30);
    // The tint reaches across the card and down the whole row.
    EXPECT_LE(changed.left(), row.left() + 8);
    EXPECT_GE(changed.right(), row.right() - 8);
    EXPECT_EQ(changed.height(), row.height());
}

} // namespace
} // namespace quorvex
