// Framing one 1290 x 2796 screenshot (a 6.7-inch phone at 3x) in a device chrome, against a plain
// deep copy of the same pixels in the same run. The chrome is made here: a frame, a mask with
// rounded corners and two side buttons drawn as PDFs, like the pieces of a real .devicechrome.
#include "windows/DeviceScreen.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <QTemporaryDir>

#include <filesystem>

namespace {

using namespace quorvex;

void writePdf(const QString& file, QSizeF size, QColor colour, double radius, double ring = 0) {
    QPdfWriter writer(file);
    writer.setResolution(72);
    writer.setPageSize(QPageSize(size, QPageSize::Point));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    QPainter painter(&writer);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(QPointF(0, 0), size), radius, radius);
    if (ring > 0) {
        QPainterPath inner;
        inner.addRoundedRect(QRectF(QPointF(0, 0), size).adjusted(ring, ring, -ring, -ring), radius - ring,
                             radius - ring);
        path = path.subtracted(inner);
    }
    painter.fillPath(path, colour);
}

struct Fixture {
    QTemporaryDir dir;
    DeviceScreen screen;
    QImage shot;

    Fixture() {
        const QString resources = dir.path() + "/Chrome/phone.devicechrome/Contents/Resources";
        QDir().mkpath(resources);
        QFile json(resources + "/chrome.json");
        json.open(QIODevice::WriteOnly);
        json.write(
            R"({"images": {"sizing": {"leftWidth": 22, "rightWidth": 22, "topHeight": 22, "bottomHeight": 22},
                                  "composite": "frame"},
                       "devicePadding": {"left": 4, "right": 4},
                       "inputs": [{"image": "button", "anchor": "left", "offsets": {"normal": {"x": 1, "y": 180}}},
                                  {"image": "button", "offsets": {"normal": {"x": -1, "y": 240}}, "onTop": true}]})");
        json.close();
        writePdf(resources + "/frame.pdf", {474, 976}, QColor(30, 30, 32), 70, 22);
        writePdf(resources + "/button.pdf", {5, 90}, QColor(60, 60, 64), 2);
        writePdf(dir.path() + "/mask.pdf", {430, 932}, Qt::black, 55);
        screen = {"Phone",
                  1290,
                  2796,
                  3.0,
                  std::filesystem::path(dir.path().toStdString()) / "Chrome/phone.devicechrome",
                  std::filesystem::path(dir.path().toStdString()) / "mask.pdf"};
        shot = QImage(1290, 2796, QImage::Format_ARGB32);
        QPainter painter(&shot);
        QLinearGradient gradient(0, 0, 1290, 2796);
        gradient.setColorAt(0, QColor(20, 90, 200));
        gradient.setColorAt(1, QColor(240, 120, 40));
        painter.fillRect(shot.rect(), gradient);
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

void BM_PlainCopy(benchmark::State& state) {
    const QImage& shot = fixture().shot;
    for (auto _ : state) {
        QImage copy = shot.copy();
        benchmark::DoNotOptimize(copy.constBits());
    }
}
BENCHMARK(BM_PlainCopy)->Unit(benchmark::kMillisecond);

void BM_FramedBitmap(benchmark::State& state) {
    for (auto _ : state) {
        auto framed = DeviceScreen::framedBitmap(fixture().shot, fixture().screen);
        if (!framed)
            state.SkipWithError("framing failed");
        benchmark::DoNotOptimize(framed);
    }
}
BENCHMARK(BM_FramedBitmap)->Unit(benchmark::kMillisecond);

void BM_FramedPng(benchmark::State& state) {
    for (auto _ : state) {
        auto png = DeviceScreen::framedImage(fixture().shot, fixture().screen);
        if (!png)
            state.SkipWithError("framing failed");
        benchmark::DoNotOptimize(png);
    }
}
BENCHMARK(BM_FramedPng)->Unit(benchmark::kMillisecond);

} // namespace
