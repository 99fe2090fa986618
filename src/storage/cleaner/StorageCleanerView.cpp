#include "storage/cleaner/StorageCleanerView.h"

#include "storage/cleaner/CategoryDetail.h"
#include "storage/cleaner/CleanerLook.h"
#include "storage/cleaner/CleanerMotion.h"
#include "storage/cleaner/CleanerStyle.h"
#include "storage/cleaner/Disclaimer.h"
#include "storage/cleaner/OverviewDetail.h"
#include "storage/cleaner/SelectionBar.h"
#include "storage/cleaner/SidebarRow.h"
#include "ui/Fonts.h"
#include "ui/Palette.h"
#include "ui/Symbols.h"

#include <QAction>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace quorvex {

namespace {

constexpr int kSidebarWidth = 240;
constexpr int kPageMargin = 28;
constexpr int kPageMaxWidth = 760;
// Sidebar rows: the overview, the "Categories" header, then one row per kind in declared order.
constexpr int kFirstKindRow = 2;

std::vector<CleanupCategory::Kind> allKinds() {
    return {CleanupCategory::allKinds.begin(), CleanupCategory::allKinds.end()};
}

// A page padded on every side and no wider than the column allows, centred in it.
QWidget* centred(QWidget* page, QWidget* parent) {
    auto* holder = new QWidget(parent);
    auto* row = new QHBoxLayout(holder);
    row->setContentsMargins(kPageMargin, kPageMargin, kPageMargin, kPageMargin);
    row->addStretch(0);
    page->setMaximumWidth(kPageMaxWidth);
    page->setParent(holder);
    row->addWidget(page, 1);
    row->addStretch(0);
    return holder;
}

} // namespace

StorageCleanerView::StorageCleanerView(StorageCleanerModel& model, SpaceSaved& saved,
                                       std::function<void()> review, QWidget* parent)
    : QWidget(parent)
    , m_model(model)
    , m_saved(saved) {
    setObjectName(QStringLiteral("storageCleanerView"));
    // The window's minimum (820 x 520) includes its toolbar, so only the width is the view's:
    // its height is whatever the toolbar leaves, and the pages scroll.
    setMinimumWidth(820);
    auto* columns = new QHBoxLayout(this);
    columns->setContentsMargins(0, 0, 0, 0);
    columns->setSpacing(0);

    m_sidebar = new QListWidget(this);
    m_sidebar->setObjectName(QStringLiteral("sidebar"));
    m_sidebar->setFixedWidth(kSidebarWidth);
    m_sidebar->setFrameShape(QFrame::NoFrame);
    m_sidebar->setSelectionMode(QAbstractItemView::SingleSelection);
    m_sidebar->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_sidebar->setAccessibleName(QStringLiteral("Sections"));
    Animator& animator = CleanerMotion::of(m_model).animator();
    auto addRow = [this](SidebarRow* rowWidget) {
        auto* item = new QListWidgetItem(m_sidebar);
        item->setSizeHint(rowWidget->sizeHint());
        // The row is drawn by its widget; a screen reader reads the item.
        item->setData(Qt::AccessibleTextRole, rowWidget->accessibleName());
        m_sidebar->setItemWidget(item, rowWidget);
        m_items[rowWidget] = item;
    };
    m_overviewRow = new SidebarRow(QStringLiteral("Overview"), QStringLiteral("chart.pie.fill"),
                                   Palette::blue(), animator);
    m_overviewRow->setObjectName(QStringLiteral("overviewRow"));
    addRow(m_overviewRow);
    auto* header = new QLabel(QStringLiteral("Categories"));
    header->setObjectName(QStringLiteral("categoriesHeader"));
    header->setFont(Fonts::caption(QFont::DemiBold));
    header->setContentsMargins(10, 12, 8, 2);
    QPalette headerPalette = header->palette();
    headerPalette.setColor(QPalette::WindowText, CleanerStyle::secondary(headerPalette));
    header->setPalette(headerPalette);
    auto* headerItem = new QListWidgetItem(m_sidebar);
    headerItem->setData(Qt::AccessibleTextRole, header->text());
    headerItem->setFlags(Qt::NoItemFlags);
    headerItem->setSizeHint(header->sizeHint());
    m_sidebar->setItemWidget(headerItem, header);
    for (Kind kind : CleanupCategory::allKinds) {
        const CleanupCategory& category = m_model.category(kind);
        auto* rowWidget =
            new SidebarRow(category.title, category.symbol, categoryColor(category.tint), animator);
        rowWidget->setObjectName(QStringLiteral("row-") + CleanupCategory::rawValue(kind));
        m_rows[kind] = rowWidget;
        addRow(rowWidget);
    }
    connect(m_sidebar, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row == 0)
            m_model.setSection(StorageCleanerModel::Section::overview());
        else if (row >= kFirstKindRow &&
                 row < kFirstKindRow + static_cast<int>(CleanupCategory::allKinds.size()))
            m_model.setSection(
                StorageCleanerModel::Section::category(CleanupCategory::allKinds[row - kFirstKindRow]));
    });
    columns->addWidget(m_sidebar);

    auto* divider = new QFrame(this);
    divider->setFrameShape(QFrame::VLine);
    divider->setFrameShadow(QFrame::Plain);
    divider->setFixedWidth(1);
    columns->addWidget(divider);

    auto* detail = new QWidget(this);
    auto* column = new QVBoxLayout(detail);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    m_pages = new QStackedWidget(detail);
    m_overview = new QScrollArea(m_pages);
    m_overview->setObjectName(QStringLiteral("overviewScroll"));
    m_overview->setFrameShape(QFrame::NoFrame);
    m_overview->setWidgetResizable(true);
    m_overview->setWidget(centred(new OverviewDetail(m_model, m_saved), m_overview));
    m_pages->addWidget(m_overview);
    m_categoryScroll = new QScrollArea(m_pages);
    m_categoryScroll->setObjectName(QStringLiteral("categoryScroll"));
    m_categoryScroll->setFrameShape(QFrame::NoFrame);
    m_categoryScroll->setWidgetResizable(true);
    m_categoryScroll->setFocusPolicy(Qt::NoFocus);
    m_overview->setFocusPolicy(Qt::NoFocus);
    m_pages->addWidget(m_categoryScroll);
    column->addWidget(m_pages, 1);
    m_selectionBar = new SelectionBar(m_model, std::move(review), detail);
    column->addWidget(m_selectionBar);
    column->addWidget(new Disclaimer(detail));
    columns->addWidget(detail, 1);

    m_rescan = new QAction(QIcon(Symbols::pixmap(QStringLiteral("arrow.clockwise"), QSize(16, 16),
                                                 palette().color(QPalette::WindowText))),
                           QStringLiteral("Rescan"), this);
    m_rescan->setObjectName(QStringLiteral("rescan"));
    m_rescan->setToolTip(QStringLiteral("Scan again"));
    QList<QKeySequence> refreshKeys = QKeySequence::keyBindings(QKeySequence::Refresh);
    for (const QKeySequence& keys : {QKeySequence(Qt::Key_F5), QKeySequence(Qt::CTRL | Qt::Key_R)})
        if (!refreshKeys.contains(keys))
            refreshKeys << keys;
    m_rescan->setShortcuts(refreshKeys);
    connect(m_rescan, &QAction::triggered, this, [this] { m_model.scan(allKinds()); });

    connect(&m_model, &StorageCleanerModel::changed, this, &StorageCleanerView::refresh);
    connect(&m_model, &StorageCleanerModel::sectionChanged, this, &StorageCleanerView::showSection);
    showSection();
    refresh();
}

QString StorageCleanerView::overviewDetail(const StorageCleanerModel& model) {
    return model.scanning().empty() ? sizeText(model.totalBytes()) : QStringLiteral("Scanning…");
}

QString StorageCleanerView::kindDetail(const StorageCleanerModel& model, Kind kind) {
    if (model.scanning().count(kind))
        return QStringLiteral("Scanning…");
    return sizeText(model.categoryBytes(kind));
}

QWidget* StorageCleanerView::page() const {
    return m_pages->currentWidget();
}

void StorageCleanerView::refresh() {
    m_overviewRow->setDetail(overviewDetail(m_model));
    m_overviewRow->setBadge(0);
    for (const auto& [kind, rowWidget] : m_rows) {
        rowWidget->setDetail(kindDetail(m_model, kind));
        rowWidget->setBadge(m_model.selectedCount(kind));
    }
    for (const auto& [rowWidget, item] : m_items)
        item->setData(Qt::AccessibleDescriptionRole, rowWidget->accessibleDescription());
    m_rescan->setEnabled(m_model.scanning().empty());
}

// The overview page lives for the view's life; a category page is made for its kind and replaced
// when another kind is opened. No section shows the overview too.
void StorageCleanerView::showSection() {
    const std::optional<StorageCleanerModel::Section>& section = m_model.section();
    const std::optional<Kind> kind = section ? section->kind : std::nullopt;
    if (!kind) {
        m_pages->setCurrentWidget(m_overview);
    } else if (m_categoryKind != kind || !m_category) {
        // The page scrolls as a whole, its item list included.
        QWidget* old = m_categoryScroll->takeWidget();
        if (old)
            old->deleteLater();
        m_category = centred(new CategoryDetail(m_model, *kind), m_categoryScroll);
        m_category->setObjectName(QStringLiteral("categoryPage"));
        m_categoryKind = kind;
        m_categoryScroll->setWidget(m_category);
        m_pages->setCurrentWidget(m_categoryScroll);
        placeInTabOrder(m_category);
    } else {
        m_pages->setCurrentWidget(m_categoryScroll);
    }
    selectRowOfSection();
}

// A page made after the selection bar would come last in the Tab order, after the toolbar; its
// controls belong between the sidebar and the selection bar, where the page is drawn.
void StorageCleanerView::placeInTabOrder(QWidget* page) {
    QWidget* previous = m_sidebar;
    // Children in the order they were made, which is the order the page shows them in.
    for (QWidget* widget : page->findChildren<QWidget*>()) {
        if (widget->focusPolicy() & Qt::TabFocus) {
            QWidget::setTabOrder(previous, widget);
            previous = widget;
        }
    }
    QWidget::setTabOrder(previous, m_selectionBar);
}

void StorageCleanerView::selectRowOfSection() {
    const std::optional<StorageCleanerModel::Section>& section = m_model.section();
    int row = -1;
    if (section) {
        row = 0;
        if (section->kind) {
            const auto& kinds = CleanupCategory::allKinds;
            row = kFirstKindRow +
                  static_cast<int>(std::find(kinds.begin(), kinds.end(), *section->kind) - kinds.begin());
        }
    }
    const QSignalBlocker blocker(m_sidebar);
    m_sidebar->setCurrentRow(row);
    if (row < 0)
        m_sidebar->clearSelection();
}

} // namespace quorvex
