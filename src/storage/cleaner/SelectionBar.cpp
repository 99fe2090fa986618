#include "storage/cleaner/SelectionBar.h"

#include "storage/cleaner/CleanerMotion.h"
#include "storage/cleaner/CleanerSelectionTexts.h"
#include "storage/cleaner/CleanerStyle.h"
#include "storage/engine/StorageCleanerModel.h"
#include "ui/Fonts.h"
#include "ui/RollingLabel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace quorvex {

SelectionBar::SelectionBar(StorageCleanerModel& model, std::function<void()> review, QWidget* parent)
    : QWidget(parent)
    , m_model(model) {
    setObjectName(QStringLiteral("selectionBar"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(20, 12, 20, 12);
    row->setSpacing(14);

    m_left = new QStackedWidget(this);
    QWidget* hint =
        CleanerStyle::iconLabel(QStringLiteral("hand.tap"), QStringLiteral("Select items to clean"),
                                CleanerStyle::secondary(palette()), Fonts::body(), m_left);
    hint->setObjectName(QStringLiteral("selectionHint"));
    // One short line: it keeps its width instead of wrapping in the narrow stack.
    hint->findChild<QLabel*>(QStringLiteral("text"))->setWordWrap(false);
    auto* summary = new QWidget(m_left);
    auto* texts = new QVBoxLayout(summary);
    texts->setContentsMargins(0, 0, 0, 0);
    texts->setSpacing(1);
    m_count = new QLabel(summary);
    m_count->setObjectName(QStringLiteral("selectionCount"));
    QFont medium = Fonts::body();
    medium.setWeight(QFont::Medium);
    m_count->setFont(medium);
    m_bytes = new RollingLabel(CleanerMotion::of(model).animator(), summary);
    m_bytes->setObjectName(QStringLiteral("selectionBytes"));
    m_bytes->setFont(Fonts::system(15, QFont::Bold));
    m_bytes->setMonospacedDigits(true);
    texts->addWidget(m_count);
    texts->addWidget(m_bytes);
    // The hint is one line, centred against the two lines of the summary it takes turns with.
    auto* hintPage = new QWidget(m_left);
    auto* hintColumn = new QVBoxLayout(hintPage);
    hintColumn->setContentsMargins(0, 0, 0, 0);
    hintColumn->addStretch(1);
    hintColumn->addWidget(hint);
    hintColumn->addStretch(1);
    m_left->addWidget(hintPage);
    m_left->addWidget(summary);
    row->addWidget(m_left, 0, Qt::AlignVCenter);
    row->addStretch(1);

    m_review =
        CleanerStyle::prominentButton(QStringLiteral("Review && Clean…"), QStringLiteral("trash"), this);
    m_review->setObjectName(QStringLiteral("reviewButton"));
    m_review->setMinimumHeight(34);
    row->addWidget(m_review);
    connect(m_review, &QPushButton::clicked, this, [review = std::move(review)] {
        if (review)
            review();
    });
    // The button is the window's default action (Return), which the window installs.
    connect(&m_model, &StorageCleanerModel::changed, this, &SelectionBar::refresh);
    refresh();
}

void SelectionBar::refresh() {
    const CleanerSelectionTexts::Bar bar = CleanerSelectionTexts::bar(m_model);
    m_left->setCurrentIndex(bar.count == 0 ? 0 : 1);
    m_count->setText(bar.countText);
    // A new count moves the bar on its own spring, whatever change brought it.
    m_bytes->setMotion(bar.count != m_shownCount ? CleanerMotion::selectionSpring()
                                                 : CleanerMotion::of(m_model).change());
    m_shownCount = bar.count;
    m_bytes->setText(bar.bytesText);
    m_review->setEnabled(bar.reviewEnabled);
}

// The bar's material with a hairline along its top edge.
void SelectionBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), CleanerStyle::barMaterial(palette()));
    painter.fillRect(QRect(0, 0, width(), 1), CleanerStyle::hairline(palette()));
}

} // namespace quorvex
