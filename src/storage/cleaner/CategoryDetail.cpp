#include "storage/cleaner/CategoryDetail.h"

#include "storage/cleaner/CategoryItemsModel.h"
#include "storage/cleaner/ChipButton.h"
#include "storage/cleaner/CleanerLook.h"
#include "storage/cleaner/CleanerMotion.h"
#include "storage/cleaner/FlowLayout.h"
#include "storage/cleaner/ItemRow.h"
#include "storage/cleaner/ItemRowDelegate.h"
#include "storage/cleaner/QuickSelectionChip.h"
#include "storage/cleaner/SafetyBadge.h"
#include "storage/engine/StorageCleanerModel.h"
#include "ui/ActivitySpinner.h"
#include "ui/CategoryIcon.h"
#include "ui/Fonts.h"
#include "ui/Palette.h"
#include "ui/RollingLabel.h"
#include "ui/Symbols.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QVBoxLayout>

#include <algorithm>

namespace quorvex {
namespace {

using Kind = CleanupCategory::Kind;

// A rounded box filled with one colour, optionally outlined.
class RoundedBox final : public QWidget {
public:
    RoundedBox(qreal radius, QWidget* parent = nullptr)
        : QWidget(parent)
        , m_radius(radius) {}
    void setColors(const QColor& fill, const QColor& stroke = Qt::transparent) {
        m_fill = fill;
        m_stroke = stroke;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(m_stroke.alpha() ? QPen(m_stroke, 1) : Qt::NoPen);
        painter.setBrush(m_fill);
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), m_radius, m_radius);
    }

private:
    qreal m_radius;
    QColor m_fill;
    QColor m_stroke = Qt::transparent;
};

// The item list: rows painted by the delegate on a faintly filled, outlined rounded box. It is
// as tall as its rows and the page around it scrolls; only the rows in sight are laid out and
// painted, whatever the length of the list. Space toggles the current row.
class ItemListView final : public QListView {
public:
    using QListView::QListView;

    std::function<void(int row)> toggle;

    QSize sizeHint() const override {
        const qint64 rows = model() ? model()->rowCount() : 0;
        const qint64 height = rows * ItemRow::height() + 2 * frameWidth();
        return {QListView::sizeHint().width(), static_cast<int>(std::min<qint64>(height, QWIDGETSIZE_MAX))};
    }
    // A list too long for the tallest widget keeps the rest under its own scroll bar.
    QSize minimumSizeHint() const override { return {0, sizeHint().height()}; }

protected:
    void keyPressEvent(QKeyEvent* event) override {
        const bool space = event->key() == Qt::Key_Space || event->key() == Qt::Key_Select;
        if (space && event->modifiers() == Qt::NoModifier && currentIndex().isValid()) {
            if (toggle)
                toggle(currentIndex().row());
            event->accept();
            return;
        }
        QListView::keyPressEvent(event);
    }

    // The list does not scroll itself; the page's scroll area brings the current row into sight.
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override {
        QListView::currentChanged(current, previous);
        QScrollArea* scroll = page();
        if (!current.isValid() || !scroll)
            return;
        const QRect row = visualRect(current);
        const QPoint centre = viewport()->mapTo(scroll->widget(), row.center());
        scroll->ensureVisible(centre.x(), centre.y(), 0, row.height() / 2 + 1);
    }

    // A page is what the page's scroll area shows, not the whole list's height.
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override {
        QScrollArea* scroll = page();
        const QModelIndex current = currentIndex();
        if (!scroll || !current.isValid() || (action != MovePageUp && action != MovePageDown))
            return QListView::moveCursor(action, modifiers);
        const int step = std::max(1, scroll->viewport()->height() / ItemRow::height() - 1);
        const int row =
            std::clamp(current.row() + (action == MovePageDown ? step : -step), 0, model()->rowCount() - 1);
        return model()->index(row, 0);
    }

private:
    QScrollArea* page() const {
        for (QWidget* up = parentWidget(); up; up = up->parentWidget())
            if (auto* scroll = qobject_cast<QScrollArea*>(up))
                return scroll;
        return nullptr;
    }

    void paintEvent(QPaintEvent* event) override {
        {
            QPainter painter(viewport());
            painter.setRenderHint(QPainter::Antialiasing);
            const QColor primary = palette().color(QPalette::WindowText);
            QPainterPath box;
            box.addRoundedRect(QRectF(viewport()->rect()).adjusted(0.5, 0.5, -0.5, -0.5), 14, 14);
            painter.fillPath(box, withAlpha(primary, 0.035));
            painter.strokePath(box, QPen(withAlpha(primary, 0.06), 1));
        }
        QListView::paintEvent(event);
    }
};

QLabel* secondaryLabel(const QString& text, const QFont& font, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, secondaryText(palette.color(QPalette::WindowText)));
    label->setPalette(palette);
    return label;
}

} // namespace

CategoryDetail::CategoryDetail(StorageCleanerModel& model, Kind kind, QWidget* parent,
                               std::function<QDateTime()> now)
    : QWidget(parent)
    , m_model(model)
    , m_kind(kind) {
    const CleanupCategory& category = m_model.category(kind);
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(0, 0, 0, 0);
    page->setSpacing(20);

    // Header: icon, title, listed total and safety badge.
    auto* header = new QHBoxLayout;
    header->setSpacing(16);
    m_icon = new CategoryIcon(category.symbol, categoryColor(category.tint), 56, this);
    header->addWidget(m_icon, 0, Qt::AlignVCenter);
    auto* headerText = new QVBoxLayout;
    headerText->setSpacing(6);
    m_title = new QLabel(category.title, this);
    m_title->setFont(Fonts::system(26, QFont::Bold));
    headerText->addWidget(m_title);
    auto* totalRow = new QHBoxLayout;
    totalRow->setSpacing(10);
    m_total = new RollingLabel(CleanerMotion::of(m_model).animator(), this);
    m_total->setFont(Fonts::system(15, QFont::DemiBold));
    m_total->setMonospacedDigits(true);
    {
        QPalette palette = m_total->palette();
        palette.setColor(QPalette::WindowText, secondaryText(palette.color(QPalette::WindowText)));
        m_total->setPalette(palette);
    }
    totalRow->addWidget(m_total);
    m_badge = new SafetyBadge(category.safety, this);
    totalRow->addWidget(m_badge, 0, Qt::AlignVCenter);
    totalRow->addStretch(1);
    headerText->addLayout(totalRow);
    header->addLayout(headerText, 1);
    page->addLayout(header);

    // Explanation, and what cleaning means in a box of the safety colour.
    auto* explanation = new QVBoxLayout;
    explanation->setSpacing(10);
    m_explanation = new QLabel(category.explanation, this);
    m_explanation->setWordWrap(true);
    explanation->addWidget(m_explanation);
    auto* box = new RoundedBox(10, this);
    m_consequenceBox = box;
    auto* boxLayout = new QHBoxLayout(box);
    boxLayout->setContentsMargins(12, 12, 12, 12);
    boxLayout->setSpacing(8);
    m_consequenceIcon = new QLabel(box);
    boxLayout->addWidget(m_consequenceIcon, 0, Qt::AlignTop);
    m_consequence = new QLabel(category.consequence, box);
    m_consequence->setFont(Fonts::callout());
    m_consequence->setWordWrap(true);
    boxLayout->addWidget(m_consequence, 1);
    explanation->addWidget(box);
    page->addLayout(explanation);

    // The chip that lifts the one-app limit of the archives list.
    m_archiveChip = new ChipButton(QString(), this);
    m_archiveChip->setActive(true);
    m_archiveChip->setSymbol(QStringLiteral("xmark.circle.fill"));
    m_archiveChip->setToolTip(QStringLiteral("Show archives of all apps"));
    m_archiveChip->setAccessibleDescription(m_archiveChip->toolTip());
    connect(m_archiveChip, &ChipButton::clicked, this, [this] {
        CleanerMotion::of(m_model).during(CleanerMotion::contentSpring(),
                                          [this] { m_model.setArchiveFilter(std::nullopt); });
    });
    page->addWidget(m_archiveChip, 0, Qt::AlignLeft);

    m_selectionBar = makeSelectionBar();
    page->addWidget(m_selectionBar);

    // The list, or a note in its place.
    // Exactly one of the list and the two notes is shown; a hidden one takes no room.
    m_content = new QWidget(this);
    auto* contentLayout = new QVBoxLayout(m_content);
    contentLayout->setContentsMargins(0, 0, 0, 0);
    m_items = new CategoryItemsModel(m_model, kind, this);
    auto* list = new ItemListView(m_content);
    m_list = list;
    m_list->setModel(m_items);
    m_list->setAccessibleName(category.title);
    list->toggle = [this](int row) { select([this, row] { m_model.toggle(m_items->item(row)); }); };
    auto* delegate = new ItemRowDelegate(CleanerMotion::of(m_model).animator(), m_list, std::move(now));
    m_list->setItemDelegate(delegate);
    connect(m_items, &CategoryItemsModel::selectionChanged, delegate, [this, delegate] {
        m_list->viewport()->update();
        if (m_list->isVisible())
            delegate->startSelectionSpring(CleanerMotion::of(m_model).change());
    });
    connect(delegate, &ItemRowDelegate::frame, m_list->viewport(), qOverload<>(&QWidget::update));
    connect(m_items, &QAbstractItemModel::modelReset, delegate, [delegate] { delegate->icons().clear(); });
    m_list->setUniformItemSizes(true);
    m_list->setSelectionMode(QAbstractItemView::NoSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setMouseTracking(true);
    m_list->viewport()->setAttribute(Qt::WA_Hover);
    m_list->viewport()->setAutoFillBackground(false);
    m_list->setFocusPolicy(Qt::StrongFocus);
    connect(m_list, &QListView::clicked, this, [this](const QModelIndex& index) {
        // A protected item stays as it is: the model ignores it.
        if (index.isValid())
            select([this, item = m_items->item(index.row())] { m_model.toggle(item); });
    });
    m_list->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    m_content->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(m_items, &QAbstractItemModel::modelReset, m_list, &QWidget::updateGeometry);
    contentLayout->addWidget(m_list);

    auto* scanning = new QWidget(m_content);
    scanning->setMinimumHeight(120);
    auto* scanningLayout = new QHBoxLayout(scanning);
    scanningLayout->setSpacing(10);
    scanningLayout->addStretch(1);
    scanningLayout->addWidget(new ActivitySpinner(16, scanning));
    scanningLayout->addWidget(secondaryLabel(QStringLiteral("Scanning\u2026"), Fonts::body(), scanning));
    scanningLayout->addStretch(1);
    contentLayout->addWidget(scanning);
    m_scanningNote = scanning;

    auto* empty = new QWidget(m_content);
    empty->setMinimumHeight(160);
    auto* emptyLayout = new QVBoxLayout(empty);
    emptyLayout->setSpacing(8);
    emptyLayout->addStretch(1);
    auto* seal = new QLabel(empty);
    seal->setPixmap(Symbols::pixmap(QStringLiteral("checkmark.seal.fill"), QSize(36, 36), Palette::green(),
                                    devicePixelRatioF()));
    emptyLayout->addWidget(seal, 0, Qt::AlignHCenter);
    auto* nothing = new QLabel(QStringLiteral("Nothing to clean here"), empty);
    nothing->setFont(Fonts::system(13, QFont::DemiBold));
    emptyLayout->addWidget(nothing, 0, Qt::AlignHCenter);
    emptyLayout->addStretch(1);
    contentLayout->addWidget(empty);
    m_emptyNote = empty;
    page->addWidget(m_content, 1);
    page->addStretch(0);

    connect(&m_model, &StorageCleanerModel::changed, this, &CategoryDetail::refresh);
    refresh();
}

QWidget* CategoryDetail::makeSelectionBar() {
    auto* bar = new QWidget(this);
    auto* layout = new QHBoxLayout(bar);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    // The quick selections wrap onto more lines where the page is narrow; "All" and "None" keep
    // their place at the end of the first line.
    auto* quick = new QWidget(bar);
    auto* flow = new FlowLayout(quick, 8, 8);
    QLabel* caption = secondaryLabel(QStringLiteral("Select"), Fonts::callout(QFont::Medium), quick);
    caption->setMinimumHeight(ChipButton(QStringLiteral("All")).sizeHint().height());
    flow->addWidget(caption);
    // The quick selections of a kind are fixed; their counts and states follow the model.
    for (const QuickSelection& selection : m_model.category(m_kind).quickSelections) {
        auto* chip = new ChipButton(selection.title, quick);
        connect(chip, &ChipButton::clicked, this,
                [this, tag = selection.tag] { select([this, tag] { m_model.toggle(tag, m_kind); }); });
        m_quickChips.push_back(chip);
        flow->addWidget(chip);
    }
    QSizePolicy wraps(QSizePolicy::Preferred, QSizePolicy::Preferred);
    wraps.setHeightForWidth(true);
    quick->setSizePolicy(wraps);
    layout->addWidget(quick, 1, Qt::AlignTop);
    m_all = new ChipButton(QStringLiteral("All"), bar);
    connect(m_all, &ChipButton::clicked, this,
            [this] { select([this] { m_model.setAllSelected(true, m_kind); }); });
    layout->addWidget(m_all, 0, Qt::AlignTop);
    m_none = new ChipButton(QStringLiteral("None"), bar);
    connect(m_none, &ChipButton::clicked, this,
            [this] { select([this] { m_model.setAllSelected(false, m_kind); }); });
    layout->addWidget(m_none, 0, Qt::AlignTop);
    return bar;
}

void CategoryDetail::refresh() {
    const CleanupCategory& category = m_items->category();
    const bool listed = m_items->rowCount() > 0;

    m_icon->setSymbol(category.symbol, categoryColor(category.tint));
    m_title->setText(category.title);
    m_total->setMotion(CleanerMotion::of(m_model).change());
    m_total->setText(sizeText(m_model.visibleBytes(m_kind)));
    m_badge->setSafety(category.safety);
    m_explanation->setText(category.explanation);
    m_consequence->setText(category.consequence);
    const QColor safety = safetyLook(category.safety).color;
    const int iconSide = QFontMetrics(m_consequence->font()).height();
    m_consequenceIcon->setPixmap(Symbols::pixmap(QStringLiteral("info.circle.fill"),
                                                 QSize(iconSide, iconSide), safety, devicePixelRatioF()));
    static_cast<RoundedBox*>(m_consequenceBox)->setColors(withAlpha(safety, 0.08));

    const auto& filter = m_model.archiveFilter();
    const bool filtered = m_kind == Kind::archives && filter.has_value();
    if (filtered)
        m_archiveChip->setText(QStringLiteral("Only ") + filter->appName);
    m_archiveChip->setVisible(filtered);

    m_selectionBar->setVisible(listed);
    for (std::size_t i = 0; i < m_quickChips.size() && i < category.quickSelections.size(); ++i) {
        const QuickSelection& selection = category.quickSelections[i];
        const QuickSelectionChip chip =
            QuickSelectionChip::make(m_model.taggedTally(m_kind, selection.tag), selection);
        m_quickChips[i]->setText(chip.text);
        m_quickChips[i]->setSymbol(chip.symbol);
        m_quickChips[i]->setActive(chip.active);
        m_quickChips[i]->setEnabled(chip.enabled);
    }

    // A rescan keeps a list that is already there; the notes show only while nothing is listed.
    const Content shown = listed                             ? Content::list
                          : m_model.scanning().count(m_kind) ? Content::scanning
                                                             : Content::empty;
    m_list->setVisible(shown == Content::list);
    m_scanningNote->setVisible(shown == Content::scanning);
    m_emptyNote->setVisible(shown == Content::empty);
}

CategoryDetail::Content CategoryDetail::content() const {
    const auto* self = const_cast<CategoryDetail*>(this);
    if (m_list->isVisibleTo(self))
        return Content::list;
    return m_scanningNote->isVisibleTo(self) ? Content::scanning : Content::empty;
}

// The page's selection changes move the list, the totals and the badges on the selection spring.
void CategoryDetail::select(const std::function<void()>& change) {
    CleanerMotion::of(m_model).during(CleanerMotion::selectionSpring(), change);
}

QString CategoryDetail::totalText() const {
    return m_total->text();
}

ChipButton* CategoryDetail::archiveChip() const {
    return m_archiveChip->isVisibleTo(const_cast<CategoryDetail*>(this)) ? m_archiveChip : nullptr;
}

std::vector<ChipButton*> CategoryDetail::selectionChips() const {
    if (!m_selectionBar->isVisibleTo(const_cast<CategoryDetail*>(this)))
        return {};
    std::vector<ChipButton*> chips = m_quickChips;
    chips.push_back(m_all);
    chips.push_back(m_none);
    return chips;
}

} // namespace quorvex
