// The storage cleaner's category page with 20,000 items: how long it takes to open (build the
// page and paint its first frame) and to paint one frame of scrolling. The reference is a
// QListWidget holding the same items as two-line texts with an icon, opened and scrolled the same
// way in the same run. Goals: opening under 100 ms, a scroll frame under 16.7 ms (60 frames/s).
#include "storage/cleaner/CategoryDetail.h"

#include "storage/cleaner/CleanerWorld.h"

#include <benchmark/benchmark.h>

#include <QImage>
#include <QListView>
#include <QListWidget>
#include <QPainter>
#include <QScrollBar>

#include <memory>

namespace quorvex {
namespace {

using Kind = CleanupCategory::Kind;
using Tag = CleanupItem::Tag;

constexpr int kItems = 20'000;
constexpr QSize kPage(720, 800);
constexpr int kScrollStep = 37; // pixels a frame, as a trackpad flick moves

const QDateTime kNow(QDate(2026, 12, 10), QTime(12, 0), Qt::UTC);

std::vector<CleanupItem> manyItems() {
    std::vector<CleanupItem> items;
    items.reserve(kItems);
    for (int i = 0; i < kItems; ++i) {
        CleanupItem item = test::CleanerWorld::item(QStringLiteral("App%1-abcdefghijklmnopqrst").arg(i),
                                                    std::int64_t(kItems - i) * 1'000'003,
                                                    i % 3 ? std::set<Tag>{} : std::set<Tag>{Tag::old});
        item.subtitle =
            QStringLiteral("~/Library/Developer/Xcode/DerivedData/App%1-abcdefghijklmnopqrst").arg(i);
        item.date = kNow.addDays(-(i % 500));
        items.push_back(std::move(item));
    }
    return items;
}

test::CleanerWorld& world() {
    static test::CleanerWorld* shared = [] {
        auto* made = new test::CleanerWorld;
        made->load(Kind::derivedData, manyItems());
        // Every third item selected, so rows of both looks are drawn.
        made->model.toggle(Tag::old, Kind::derivedData);
        return made;
    }();
    return *shared;
}

void paintFrame(QWidget& widget, QImage& frame) {
    QPainter painter(&frame);
    widget.render(&painter);
}

void BM_CategoryPageOpening(benchmark::State& state) {
    test::CleanerWorld& shared = world();
    QImage frame(kPage, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        CategoryDetail page(shared.model, Kind::derivedData, nullptr, [] { return kNow; });
        page.resize(kPage);
        paintFrame(page, frame);
        benchmark::DoNotOptimize(frame.constBits());
    }
    state.counters["items"] = kItems;
}

void BM_QListWidgetOpeningReference(benchmark::State& state) {
    const std::vector<CleanupItem> items = manyItems();
    QPixmap pixmap(26, 26);
    pixmap.fill(Qt::blue);
    const QIcon icon(pixmap);
    QImage frame(kPage, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        QListWidget list;
        list.setUniformItemSizes(true);
        for (const CleanupItem& item : items)
            new QListWidgetItem(icon, item.title + QLatin1Char('\n') + item.subtitle, &list);
        list.resize(kPage);
        paintFrame(list, frame);
        benchmark::DoNotOptimize(frame.constBits());
    }
    state.counters["items"] = kItems;
}

// One frame: move the list by a step (wrapping at the end) and paint the whole page.
void scrollFrames(benchmark::State& state, QWidget& window, QAbstractScrollArea& list) {
    QImage frame(kPage, QImage::Format_ARGB32_Premultiplied);
    QScrollBar* bar = list.verticalScrollBar();
    paintFrame(window, frame);
    int position = 0;
    for (auto _ : state) {
        position += kScrollStep;
        if (position > bar->maximum())
            position = 0;
        bar->setValue(position);
        paintFrame(window, frame);
        benchmark::DoNotOptimize(frame.constBits());
    }
    state.SetItemsProcessed(state.iterations()); // frames: items/s reads as frames per second
    state.counters["scrollRange"] = bar->maximum();
}

void BM_CategoryPageScrollFrame(benchmark::State& state) {
    CategoryDetail page(world().model, Kind::derivedData, nullptr, [] { return kNow; });
    page.resize(kPage);
    scrollFrames(state, page, *page.list());
}

// The list alone, like for like with the reference.
void BM_CategoryListOnlyScrollFrame(benchmark::State& state) {
    CategoryDetail page(world().model, Kind::derivedData, nullptr, [] { return kNow; });
    page.resize(kPage);
    scrollFrames(state, *page.list(), *page.list());
}

void BM_QListWidgetScrollFrameReference(benchmark::State& state) {
    QPixmap pixmap(26, 26);
    pixmap.fill(Qt::blue);
    const QIcon icon(pixmap);
    QListWidget list;
    list.setUniformItemSizes(true);
    list.setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    for (const CleanupItem& item : manyItems())
        new QListWidgetItem(icon, item.title + QLatin1Char('\n') + item.subtitle, &list);
    list.resize(kPage);
    scrollFrames(state, list, list);
}

// One click on a row with the page open: the model's selection changes and the page follows
// (chips, list repaint), before the next frame is drawn.
void BM_CategoryPageToggle(benchmark::State& state) {
    test::CleanerWorld& shared = world();
    CategoryDetail page(shared.model, Kind::derivedData, nullptr, [] { return kNow; });
    page.resize(kPage);
    const CleanupItem item = shared.model.visibleItems(Kind::derivedData).at(1);
    for (auto _ : state)
        shared.model.toggle(item);
}

BENCHMARK(BM_CategoryPageOpening)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QListWidgetOpeningReference)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CategoryPageToggle)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CategoryPageScrollFrame)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CategoryListOnlyScrollFrame)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QListWidgetScrollFrameReference)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace quorvex
