// The storage cleaner window with 100,000 items in one category, beside a QListView over a plain
// list model of the same items, in the same run. Each step is what the user waits for: the
// model changes and the next frame is painted.
//  - opening the category's page from the overview;
//  - "All" on that page;
//  - one click on a row;
//  - one frame of scrolling the list.
// The reference does the same on its own: building the model and view and painting them, checking
// every row, checking one row, scrolling. Goals: opening under 100 ms, "All" under 50 ms, a click
// under 8 ms, a scroll frame under 8 ms.
#include "storage/cleaner/CategoryDetail.h"
#include "storage/cleaner/StorageCleanerView.h"

#include "storage/cleaner/CleanerWorld.h"

#include <benchmark/benchmark.h>

#include <QAbstractListModel>
#include <QImage>
#include <QListView>
#include <QPainter>
#include <QPixmap>
#include <QScrollBar>

#include <memory>

namespace quorvex {
namespace {

using Kind = CleanupCategory::Kind;
using Tag = CleanupItem::Tag;
using Section = StorageCleanerModel::Section;

constexpr int kItems = 100'000;
constexpr QSize kWindow(1000, 760);
constexpr QSize kPage(720, 700);
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

// The cleaner's model with every kind scanned: the many items in DerivedData, a few elsewhere.
test::CleanerWorld& world() {
    static test::CleanerWorld* shared = [] {
        auto* made = new test::CleanerWorld;
        made->load(Kind::derivedData, manyItems());
        made->load(Kind::logs, {test::CleanerWorld::item("log", 4000, {Tag::old, Tag::recommended})});
        for (Kind kind : CleanupCategory::allKinds)
            if (kind != Kind::derivedData && kind != Kind::logs)
                made->load(kind, {});
        return made;
    }();
    return *shared;
}

void paintFrame(QWidget& widget, QImage& frame) {
    QPainter painter(&frame);
    widget.render(&painter);
}

// The window's content, shown at the overview, with a frame to paint it into.
struct Window {
    Window()
        : view(world().model, world().spaceSaved, [] {}) {
        world().model.setSection(Section::overview());
        world().model.setAllSelected(false, Kind::derivedData);
        view.resize(kWindow);
        view.show();
        paintFrame(view, frame);
    }
    CategoryDetail& page() { return *view.page()->findChild<CategoryDetail*>(); }
    void openCategory() {
        world().model.setSection(Section::category(Kind::derivedData));
        paintFrame(view, frame);
    }

    StorageCleanerView view;
    QImage frame{kWindow, QImage::Format_ARGB32_Premultiplied};
};

// From another category's page, so the page is made anew each time (the window keeps the last one).
void BM_OpenCategoryPage(benchmark::State& state) {
    Window window;
    for (auto _ : state) {
        state.PauseTiming();
        world().model.setSection(Section::category(Kind::logs));
        paintFrame(window.view, window.frame);
        state.ResumeTiming();
        world().model.setSection(Section::category(Kind::derivedData));
        paintFrame(window.view, window.frame);
    }
}

void BM_SelectAll(benchmark::State& state) {
    Window window;
    window.openCategory();
    bool all = false;
    for (auto _ : state) {
        all = !all;
        world().model.setAllSelected(all, Kind::derivedData);
        paintFrame(window.view, window.frame);
    }
}

void BM_ClickOneRow(benchmark::State& state) {
    Window window;
    window.openCategory();
    const CleanupItem& item = world().model.categories().at(Kind::derivedData).items.at(1);
    for (auto _ : state) {
        world().model.toggle(item);
        paintFrame(window.view, window.frame);
    }
}

// One frame a step: the list moves by a flick's step (back to the top at the end) and `shown` is
// painted.
void scrollFrames(benchmark::State& state, QWidget& shown, QImage& frame, QScrollBar& bar) {
    int position = 0;
    for (auto _ : state) {
        position = position + kScrollStep > bar.maximum() ? 0 : position + kScrollStep;
        bar.setValue(position);
        paintFrame(shown, frame);
    }
    state.counters["scrollRange"] = bar.maximum();
}

void BM_ScrollFrame(benchmark::State& state) {
    Window window;
    window.openCategory();
    scrollFrames(state, window.view, window.frame, *window.page().list()->verticalScrollBar());
}

// The reference: the same items in a plain checkable list model, two lines of text and an icon a
// row, shown by a QListView.
class PlainModel final : public QAbstractListModel {
public:
    explicit PlainModel(const std::vector<CleanupItem>& items) {
        QPixmap pixmap(26, 26);
        pixmap.fill(Qt::blue);
        m_icon = QIcon(pixmap);
        m_rows.reserve(items.size());
        for (const CleanupItem& item : items)
            m_rows.push_back({item.title + QLatin1Char('\n') + item.subtitle, false});
    }
    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
    }
    QVariant data(const QModelIndex& index, int role) const override {
        const Row& row = m_rows[static_cast<std::size_t>(index.row())];
        switch (role) {
        case Qt::DisplayRole:
            return row.text;
        case Qt::DecorationRole:
            return m_icon;
        case Qt::CheckStateRole:
            return row.checked ? Qt::Checked : Qt::Unchecked;
        default:
            return {};
        }
    }
    void setChecked(int first, int last, bool checked) {
        for (int row = first; row <= last; ++row)
            m_rows[static_cast<std::size_t>(row)].checked = checked;
        emit dataChanged(index(first), index(last), {Qt::CheckStateRole});
    }

private:
    struct Row {
        QString text;
        bool checked;
    };
    std::vector<Row> m_rows;
    QIcon m_icon;
};

struct Reference {
    explicit Reference(const std::vector<CleanupItem>& items)
        : model(items) {
        view.setUniformItemSizes(true);
        view.setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
        view.setModel(&model);
        view.resize(kPage);
        view.show();
    }
    PlainModel model;
    QListView view;
    QImage frame{kPage, QImage::Format_ARGB32_Premultiplied};
};

const std::vector<CleanupItem>& referenceItems() {
    static const std::vector<CleanupItem> items = manyItems();
    return items;
}

void BM_ReferenceOpen(benchmark::State& state) {
    referenceItems();
    for (auto _ : state) {
        Reference reference(referenceItems());
        paintFrame(reference.view, reference.frame);
    }
}

// Checks rows `first` to `last` in one change, then unchecks them in the next, and paints.
void referenceChecks(benchmark::State& state, int first, int last) {
    Reference reference(referenceItems());
    bool checked = false;
    for (auto _ : state) {
        checked = !checked;
        reference.model.setChecked(first, last, checked);
        paintFrame(reference.view, reference.frame);
    }
}

void BM_ReferenceSelectAll(benchmark::State& state) {
    referenceChecks(state, 0, kItems - 1);
}

void BM_ReferenceClickOneRow(benchmark::State& state) {
    referenceChecks(state, 1, 1);
}

void BM_ReferenceScrollFrame(benchmark::State& state) {
    Reference reference(referenceItems());
    scrollFrames(state, reference.view, reference.frame, *reference.view.verticalScrollBar());
}

BENCHMARK(BM_OpenCategoryPage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReferenceOpen)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SelectAll)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReferenceSelectAll)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ClickOneRow)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReferenceClickOneRow)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScrollFrame)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReferenceScrollFrame)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace quorvex
