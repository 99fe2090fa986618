#include "storage/cleaner/ConfirmationSheet.h"

#include "storage/cleaner/CleanerLook.h"
#include "storage/cleaner/CleanerSelectionTexts.h"
#include "storage/cleaner/CleanerStyle.h"
#include "storage/cleaner/SafetyBadge.h"
#include "ui/AccessibleValue.h"
#include "ui/CategoryIcon.h"
#include "ui/DefaultAction.h"
#include "ui/Fonts.h"
#include "ui/Palette.h"
#include "ui/Symbols.h"

#include <QButtonGroup>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include <algorithm>

namespace quorvex {

namespace {

constexpr int kWidth = 520;
constexpr int kListHeight = 220;
constexpr int kContentWidth = kWidth - 2 * 24;
// A card's text column: the content less the card's padding, its icon, the gap beside it and room
// for the list's scroll bar.
constexpr int kCardTextWidth = kContentWidth - 2 * 10 - 26 - 10 - 18;

QLabel* secondaryLabel(const QString& text, const QFont& font, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setFont(font);
    label->setWordWrap(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, CleanerStyle::secondary(palette));
    label->setPalette(palette);
    return label;
}

QWidget* groupCard(const CleanerSelectionTexts::Group& group, QWidget* parent) {
    auto* card = new QFrame(parent);
    card->setObjectName(QStringLiteral("categoryCard"));
    card->setProperty("kind", CleanupCategory::rawValue(group.kind));
    card->setStyleSheet(
        QStringLiteral("QFrame#categoryCard { background: rgba(0,0,0,10); border-radius: 10px; }"));
    auto* row = new QHBoxLayout(card);
    row->setContentsMargins(10, 10, 10, 10);
    row->setSpacing(10);
    row->addWidget(new CategoryIcon(group.symbol, categoryColor(group.tint), 26, card), 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    auto* first = new QHBoxLayout;
    first->setSpacing(6);
    auto* title = new QLabel(group.title, card);
    title->setObjectName(QStringLiteral("cardTitle"));
    title->setFont(Fonts::body());
    QFont semibold = title->font();
    semibold.setWeight(QFont::DemiBold);
    title->setFont(semibold);
    first->addWidget(title);
    first->addWidget(new SafetyBadge(group.safety, card));
    first->addStretch(1);
    auto* size = new QLabel(group.sizeText, card);
    size->setObjectName(QStringLiteral("cardSize"));
    first->addWidget(size);
    texts->addLayout(first);
    QLabel* titles = secondaryLabel(group.titlesLine, Fonts::caption(), card);
    titles->setObjectName(QStringLiteral("cardTitles"));
    CleanerStyle::wrapAt(titles, kCardTextWidth);
    texts->addWidget(titles);
    row->addLayout(texts, 1);
    return card;
}

} // namespace

ConfirmationSheet::ConfirmationSheet(StorageCleanerModel& model, std::function<void(Mode)> confirm,
                                     std::function<void()> cancel, QWidget* parent)
    : QWidget(parent)
    , m_model(model)
    , m_confirm(std::move(confirm))
    , m_cancel(std::move(cancel)) {
    setObjectName(QStringLiteral("confirmationSheet"));
    setFixedWidth(kWidth);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(24, 24, 24, 24);
    column->setSpacing(18);

    auto* header = new QHBoxLayout;
    header->setSpacing(14);
    auto* glyph = new QLabel(this);
    glyph->setPixmap(Symbols::pixmap(QStringLiteral("trash.circle.fill"), QSize(44, 44), Palette::red()));
    header->addWidget(glyph);
    auto* headerTexts = new QVBoxLayout;
    headerTexts->setSpacing(2);
    m_headline = new QLabel(this);
    m_headline->setObjectName(QStringLiteral("sheetHeadline"));
    m_headline->setFont(Fonts::system(17, QFont::Bold));
    m_summary = secondaryLabel({}, Fonts::body(), this);
    m_summary->setObjectName(QStringLiteral("sheetSummary"));
    headerTexts->addWidget(m_headline);
    headerTexts->addWidget(m_summary);
    header->addLayout(headerTexts, 1);
    column->addLayout(header);

    auto* scroll = m_list = new QScrollArea(this);
    AccessibleValue::setRole(scroll, QAccessible::List);
    scroll->setObjectName(QStringLiteral("categoryList"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setMaximumHeight(kListHeight);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setAccessibleName(QStringLiteral("Selected categories"));
    auto* list = new QWidget(scroll);
    m_cards = new QVBoxLayout(list);
    m_cards->setContentsMargins(0, 0, 0, 0);
    m_cards->setSpacing(8);
    scroll->setWidget(list);
    column->addWidget(scroll);

    auto* picker = new QHBoxLayout;
    picker->setSpacing(0);
    m_modes = new QButtonGroup(this);
    for (Mode mode : {Mode::trash, Mode::remove}) {
        auto* segment = new QPushButton(CleanerSelectionTexts::mode(mode).picker, this);
        segment->setObjectName(mode == Mode::trash ? QStringLiteral("modeTrash")
                                                   : QStringLiteral("modeDelete"));
        segment->setCheckable(true);
        segment->setAutoDefault(false);
        segment->setAccessibleDescription(QStringLiteral("Removal mode"));
        m_modes->addButton(segment, static_cast<int>(mode));
        picker->addWidget(segment, 1);
    }
    connect(m_modes, &QButtonGroup::idClicked, this, [this](int id) { setMode(static_cast<Mode>(id)); });
    column->addLayout(picker);

    QLabel* consent =
        secondaryLabel(QStringLiteral("By cleaning, you confirm you’ve reviewed this selection and "
                                      "accept that deleted data may not be recoverable."),
                       Fonts::caption(), this);
    consent->setObjectName(QStringLiteral("consent"));
    CleanerStyle::wrapAt(consent, kContentWidth);
    column->addWidget(consent);

    m_explanations = new QVBoxLayout;
    m_explanations->setSpacing(6);
    column->addLayout(m_explanations);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    cancelButton->setAutoDefault(false);
    connect(cancelButton, &QPushButton::clicked, this, [this] {
        if (m_cancel)
            m_cancel();
    });
    buttons->addWidget(cancelButton);
    m_confirmButton = CleanerStyle::prominentButton({}, {}, this);
    m_confirmButton->setObjectName(QStringLiteral("confirmButton"));
    connect(m_confirmButton, &QPushButton::clicked, this, [this] {
        if (m_confirm)
            m_confirm(m_mode);
    });
    buttons->addWidget(m_confirmButton);
    column->addLayout(buttons);
    DefaultAction::install(this, m_confirmButton);

    connect(&m_model, &StorageCleanerModel::changed, this, &ConfirmationSheet::refresh);
    refresh();
}

void ConfirmationSheet::setMode(Mode mode) {
    m_mode = mode;
    refreshMode();
}

void ConfirmationSheet::refresh() {
    const CleanerSelectionTexts::Sheet sheet = CleanerSelectionTexts::sheet(m_model);
    m_headline->setText(sheet.headline);
    m_summary->setText(sheet.summary);
    while (QLayoutItem* item = m_cards->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    for (const CleanerSelectionTexts::Group& group : sheet.groups)
        m_cards->addWidget(groupCard(group, m_cards->parentWidget()));
    m_cards->addStretch(1);
    // The list is as tall as its cards, up to its maximum; past that it scrolls.
    m_cards->activate();
    m_list->setFixedHeight(std::min(kListHeight, m_cards->sizeHint().height()));

    delete m_note;
    m_note = nullptr;
    if (sheet.simctlNote) {
        m_note = CleanerStyle::iconLabel(QStringLiteral("iphone.slash"), *sheet.simctlNote,
                                         CleanerStyle::secondary(palette()), Fonts::callout(), this);
        m_note->setObjectName(QStringLiteral("simctlNote"));
        CleanerStyle::wrapAt(m_note, kContentWidth);
        m_explanations->addWidget(m_note);
    }
    m_confirmButton->setEnabled(sheet.itemCount > 0);
    refreshMode();
}

void ConfirmationSheet::refreshMode() {
    const CleanerSelectionTexts::ModeTexts texts = CleanerSelectionTexts::mode(m_mode);
    m_modes->button(static_cast<int>(m_mode))->setChecked(true);
    m_confirmButton->setText(texts.confirm);
    delete m_explanation;
    m_explanation = CleanerStyle::iconLabel(
        texts.symbol, texts.explanation,
        texts.destructive ? Palette::red() : CleanerStyle::secondary(palette()), Fonts::callout(), this);
    m_explanation->setObjectName(QStringLiteral("modeExplanation"));
    CleanerStyle::wrapAt(m_explanation, kContentWidth);
    m_explanations->insertWidget(0, m_explanation);
}

// Escape cancels wherever the focus is inside the sheet. Return is the default action's: the
// focused button answers it, and only elsewhere does it confirm.
void ConfirmationSheet::keyPressEvent(QKeyEvent* event) {
    if (event->key() != Qt::Key_Escape) {
        QWidget::keyPressEvent(event);
        return;
    }
    if (m_cancel)
        m_cancel();
    event->accept();
}

} // namespace quorvex
