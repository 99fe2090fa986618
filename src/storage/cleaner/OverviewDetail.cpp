#include "storage/cleaner/OverviewDetail.h"

#include "storage/cleaner/CleanerLook.h"
#include "storage/cleaner/CleanerMotion.h"
#include "storage/cleaner/DonutChart.h"
#include "storage/cleaner/SafetyBadge.h"
#include "storage/cleaner/SpaceSavedBadge.h"
#include "storage/engine/StorageCleanerModel.h"
#include "ui/ActivitySpinner.h"
#include "ui/AnimatedValue.h"
#include "ui/CategoryIcon.h"
#include "ui/FocusRing.h"
#include "ui/Fonts.h"
#include "ui/Palette.h"
#include "ui/RollingLabel.h"
#include "ui/Symbols.h"

#include <QFontMetricsF>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTextLayout>
#include <QVBoxLayout>

#include <cmath>

namespace quorvex {
namespace {

using Kind = CleanupCategory::Kind;

QLabel* label(const QString& text, const QFont& font, const QColor& color, QWidget* parent) {
    auto* made = new QLabel(text, parent);
    made->setFont(font);
    QPalette palette = made->palette();
    palette.setColor(QPalette::WindowText, color);
    made->setPalette(palette);
    return made;
}

// A figure whose digits roll up when it changes, in the motion of the model's change.
RollingLabel* rollingLabel(StorageCleanerModel& model, const QFont& font, const QColor& color,
                           QWidget* parent) {
    auto* made = new RollingLabel(CleanerMotion::of(model).animator(), parent);
    made->setFont(font);
    QPalette palette = made->palette();
    palette.setColor(QPalette::WindowText, color);
    made->setPalette(palette);
    return made;
}

QColor primaryOf(const QWidget* widget) {
    return widget->palette().color(QPalette::WindowText);
}

// Card metrics.
constexpr qreal kCardPadding = 14;
constexpr qreal kCardIcon = 36;
constexpr qreal kCardSpacing = 12;
constexpr qreal kCardLineSpacing = 4;
constexpr int kSpinnerSide = 16;

QFont cardTitleFont() {
    return Fonts::system(13, QFont::DemiBold);
}

} // namespace

RecommendedCard::RecommendedCard(StorageCleanerModel& model, QWidget* parent)
    : QWidget(parent)
    , m_model(model) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(18, 18, 18, 18);
    layout->setSpacing(10);

    auto* title = new QHBoxLayout;
    title->setSpacing(6);
    const QFont headline = Fonts::system(13, QFont::DemiBold);
    const int side = static_cast<int>(QFontMetricsF(headline).height());
    auto* sparkles = new QLabel(this);
    sparkles->setPixmap(Symbols::pixmap(QStringLiteral("sparkles"), QSize(side, side), Palette::green(),
                                        devicePixelRatioF()));
    title->addWidget(sparkles);
    title->addWidget(label(QStringLiteral("Recommended"), headline, Palette::green(), this));
    title->addStretch(1);
    layout->addLayout(title);

    m_figure = rollingLabel(model, Fonts::system(26, QFont::Bold), primaryOf(this), this);
    m_figure->setObjectName(QStringLiteral("recommendedFigure"));
    layout->addWidget(m_figure);
    auto* text =
        label(QStringLiteral("Caches that rebuild themselves, unavailable or orphaned simulators, and device "
                             "support for old OS versions."),
              Fonts::callout(), secondaryText(primaryOf(this)), this);
    text->setWordWrap(true);
    layout->addWidget(text);

    m_select = new QPushButton(QStringLiteral("Select Recommended"), this);
    m_select->setIcon(QIcon(Symbols::pixmap(QStringLiteral("checkmark.circle"), QSize(16, 16), Qt::white)));
    m_select->setCursor(Qt::PointingHandCursor);
    m_select->setObjectName(QStringLiteral("selectRecommended"));
    // A transparent border the width of the focus ring keeps the button's size when it has focus.
    m_select->setStyleSheet(
        QStringLiteral("QPushButton { background: %1; color: white; border: %4px solid transparent;"
                       " border-radius: 6px; padding: 3px 10px; font-weight: 600; }"
                       "QPushButton:pressed { background: %2; }"
                       "QPushButton:disabled { background: %3; color: rgba(255,255,255,150); }")
            .arg(Palette::green().name(), Palette::green().darker(115).name(),
                 withAlpha(Palette::green(), 0.45).name(QColor::HexArgb))
            .arg(FocusRing::width) +
        FocusRing::styleSheetRule(QStringLiteral("QPushButton"), 6));
    connect(m_select, &QPushButton::clicked, this, [this] {
        CleanerMotion::of(m_model).during(CleanerMotion::contentSpring(),
                                          [this] { m_model.selectRecommended(); });
    });
    layout->addWidget(m_select, 0, Qt::AlignLeft);

    connect(&m_model, &StorageCleanerModel::changed, this, &RecommendedCard::refresh);
    refresh();
}

QString RecommendedCard::figure() const {
    return m_figure->text();
}

void RecommendedCard::refresh() {
    const StorageCleanerModel::Tally recommended = m_model.recommendedTally();
    m_figure->setMotion(CleanerMotion::of(m_model).change());
    m_figure->setText(sizeText(recommended.bytes));
    m_select->setEnabled(recommended.count > 0);
}

void RecommendedCard::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(withAlpha(Palette::green(), 0.2), 1));
    painter.setBrush(withAlpha(Palette::green(), 0.08));
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 16, 16);
}

CategoryCard::CategoryCard(StorageCleanerModel& model, Kind kind, QWidget* parent)
    : QAbstractButton(parent)
    , m_model(model)
    , m_kind(kind) {
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    m_spinner = new ActivitySpinner(kSpinnerSide, this);
    m_hover = std::make_unique<AnimatedValue>(CleanerMotion::of(model).animator(), backgroundOpacity());
    connect(m_hover.get(), &AnimatedValue::changed, this, qOverload<>(&QWidget::update));
    connect(this, &CategoryCard::clicked, this,
            [this] { m_model.setSection(StorageCleanerModel::Section::category(m_kind)); });
    connect(&m_model, &StorageCleanerModel::changed, this, &CategoryCard::refresh);
    refresh();
}

bool CategoryCard::isScanning() const {
    return m_model.scanning().count(m_kind) > 0;
}

QString CategoryCard::sizeLabel() const {
    return isScanning() ? QString() : sizeText(m_model.categoryBytes(m_kind));
}

void CategoryCard::refresh() {
    const CleanupCategory& shown = m_model.category(m_kind);
    setText(shown.title);
    setAccessibleDescription((isScanning() ? QStringLiteral("Scanning\u2026") : sizeLabel()) +
                             QStringLiteral(". ") + safetyLook(shown.safety).title + QStringLiteral(". ") +
                             shown.explanation);
    setToolTip(QString());
    m_spinner->setVisible(isScanning());
    update();
}

QSize CategoryCard::sizeHint() const {
    const qreal title = QFontMetricsF(cardTitleFont()).height();
    const qreal caption = QFontMetricsF(Fonts::caption()).lineSpacing();
    const qreal badge = SafetyBadge::look(CleanupSafety::safe).size().height();
    const qreal column = title + kCardLineSpacing + 2 * caption + kCardLineSpacing + badge;
    const qreal height = std::max(column, kCardIcon) + 2 * kCardPadding;
    return {280, static_cast<int>(std::ceil(height))};
}

QSize CategoryCard::minimumSizeHint() const {
    return {160, sizeHint().height()};
}

void CategoryCard::resizeEvent(QResizeEvent*) {
    const qreal title = QFontMetricsF(cardTitleFont()).height();
    m_spinner->move(static_cast<int>(width() - kCardPadding - kSpinnerSide),
                    static_cast<int>(kCardPadding + (title - kSpinnerSide) / 2));
}

CategoryCard::~CategoryCard() = default;

void CategoryCard::fadeBackground(qreal target) {
    m_hover->animateTo(target, CleanerMotion::pointerFade());
}

void CategoryCard::enterEvent(QEnterEvent* event) {
    QAbstractButton::enterEvent(event);
    fadeBackground(0.07);
}

void CategoryCard::leaveEvent(QEvent* event) {
    QAbstractButton::leaveEvent(event);
    fadeBackground(0.04);
}

void CategoryCard::paintEvent(QPaintEvent*) {
    const CleanupCategory& shown = m_model.category(m_kind);
    const QColor primary = primaryOf(this);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(withAlpha(primary, m_hover->value()));
    painter.drawRoundedRect(QRectF(rect()), 14, 14);

    CategoryIcon::paint(painter, QRectF(kCardPadding, kCardPadding, kCardIcon, kCardIcon), shown.symbol,
                        categoryColor(shown.tint));
    const qreal left = kCardPadding + kCardIcon + kCardSpacing;
    const qreal right = width() - kCardPadding;
    qreal y = kCardPadding;

    // Title row: the title, and the size on the right unless the spinner stands there.
    const QFontMetricsF titleMetrics(cardTitleFont());
    qreal titleRight = right;
    if (!isScanning()) {
        const QString size = sizeLabel();
        const qreal sizeWidth = titleMetrics.horizontalAdvance(size);
        painter.setFont(cardTitleFont());
        painter.setPen(secondaryText(primary));
        painter.drawText(QRectF(right - sizeWidth, y, sizeWidth + 1, titleMetrics.height()),
                         Qt::AlignRight | Qt::AlignVCenter, size);
        titleRight = right - sizeWidth - 8;
    } else {
        titleRight = right - kSpinnerSide - 8;
    }
    painter.setFont(cardTitleFont());
    painter.setPen(primary);
    painter.drawText(QRectF(left, y, std::max(0.0, titleRight - left), titleMetrics.height()),
                     Qt::AlignLeft | Qt::AlignVCenter,
                     titleMetrics.elidedText(shown.title, Qt::ElideRight, std::max(0.0, titleRight - left)));
    y += titleMetrics.height() + kCardLineSpacing;

    // The explanation in two lines, the space of both kept even for a short text.
    const QFont caption = Fonts::caption();
    const QFontMetricsF captionMetrics(caption);
    painter.setFont(caption);
    painter.setPen(secondaryText(primary));
    const qreal columnWidth = std::max(1.0, right - left);
    QTextLayout layout(shown.explanation, caption);
    QTextOption option;
    option.setWrapMode(QTextOption::WordWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine first = layout.createLine();
    if (first.isValid())
        first.setLineWidth(columnWidth);
    layout.endLayout();
    if (first.isValid()) {
        const QString firstLine = shown.explanation.left(first.textLength()).trimmed();
        // What does not fit the first line goes on the second, cut with an ellipsis.
        const QString rest = shown.explanation.mid(first.textLength()).trimmed();
        painter.drawText(QPointF(left, y + captionMetrics.ascent()), firstLine);
        if (!rest.isEmpty())
            painter.drawText(QPointF(left, y + captionMetrics.lineSpacing() + captionMetrics.ascent()),
                             captionMetrics.elidedText(rest, Qt::ElideRight, columnWidth));
    }
    y += 2 * captionMetrics.lineSpacing() + kCardLineSpacing;

    SafetyBadge::look(shown.safety).paint(painter, QPointF(left, y));
    FocusRing::paint(painter, *this, QRectF(rect()), 14);
}

OverviewDetail::OverviewDetail(StorageCleanerModel& model, SpaceSaved& saved, QWidget* parent)
    : QWidget(parent)
    , m_model(model) {
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(0, 0, 0, 0);
    page->setSpacing(26);

    auto* header = new QHBoxLayout;
    header->setSpacing(16);
    auto* headerText = new QVBoxLayout;
    headerText->setSpacing(6);
    const QColor primary = primaryOf(this);
    headerText->addWidget(label(QStringLiteral("Developer storage"), Fonts::system(11, QFont::DemiBold),
                                secondaryText(primary), this));
    m_headline = rollingLabel(model, Fonts::system(34, QFont::Bold), primary, this);
    m_headline->setObjectName(QStringLiteral("headline"));
    headerText->addWidget(m_headline);
    auto* hint = label(
        QStringLiteral("Pick a category to see what\u2019s inside and what deleting it means. Nothing is "
                       "removed until you review and confirm."),
        Fonts::body(), secondaryText(primary), this);
    hint->setWordWrap(true);
    headerText->addWidget(hint);
    header->addLayout(headerText, 1);
    header->addWidget(new SpaceSavedBadge(saved, CleanerMotion::of(model).animator(), this), 0, Qt::AlignTop);
    page->addLayout(header);

    auto* chartRow = new QHBoxLayout;
    chartRow->setSpacing(28);
    m_chart = new DonutChart(model, this);
    chartRow->addWidget(m_chart, 0, Qt::AlignVCenter);
    m_recommended = new RecommendedCard(model, this);
    chartRow->addWidget(m_recommended, 1, Qt::AlignVCenter);
    page->addLayout(chartRow);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(14);
    grid->setVerticalSpacing(14);
    int index = 0;
    for (Kind kind : CleanupCategory::allKinds) {
        auto* card = new CategoryCard(model, kind, this);
        m_cards.push_back(card);
        grid->addWidget(card, index / 2, index % 2);
        ++index;
    }
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    page->addLayout(grid);
    page->addStretch(1);

    connect(&m_model, &StorageCleanerModel::changed, this, &OverviewDetail::refresh);
    refresh();
}

QString OverviewDetail::headline(const StorageCleanerModel& model) {
    const std::int64_t total = model.totalBytes();
    if (!model.scanning().empty() && total == 0)
        return QStringLiteral("Scanning\u2026");
    return sizeText(total) + QStringLiteral(" in use");
}

QString OverviewDetail::shownHeadline() const {
    return m_headline->text();
}

void OverviewDetail::refresh() {
    m_headline->setMotion(CleanerMotion::of(m_model).change());
    m_headline->setText(headline(m_model));
}

} // namespace quorvex
