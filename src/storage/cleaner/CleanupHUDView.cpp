#include "storage/cleaner/CleanupHUDView.h"

#include "platform/core/Clock.h"
#include "storage/cleaner/CleanupMarks.h"
#include "storage/cleaner/CleanupProgress.h"
#include "ui/AccessibleValue.h"
#include "ui/DefaultAction.h"
#include "ui/FocusRing.h"
#include "ui/Fonts.h"
#include "ui/Palette.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QTextLayout>
#include <QVBoxLayout>

#include <algorithm>

namespace quorvex {

namespace {

constexpr double kMargin = 44;
constexpr double kCardWidth = 280;
constexpr double kCardRadius = 24;
constexpr double kFrameInterval = 1.0 / 60.0;
constexpr int kDetailLines = 3;

QColor accentColor() {
    return Palette::blue();
}

// The panel's one button: a capsule, the accent colour with white text once the cleanup has
// finished, a faint grey with secondary text while it works.
class HUDButton final : public QPushButton {
public:
    explicit HUDButton(QWidget* parent)
        : QPushButton(parent) {
        setFont(Fonts::body());
        QFont medium = font();
        medium.setWeight(QFont::Medium);
        setFont(medium);
        setMinimumSize(120, 32);
        setCursor(Qt::ArrowCursor);
        setFocusPolicy(Qt::TabFocus);
    }

    void setProminent(bool prominent) {
        if (prominent == m_prominent)
            return;
        m_prominent = prominent;
        update();
    }
    bool isProminent() const { return m_prominent; }

    QSize sizeHint() const override {
        const QSize text = fontMetrics().size(Qt::TextSingleLine, this->text());
        return {std::max(120, text.width() + 2 * 28), std::max(32, text.height() + 12)};
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setOpacity(isDown() ? 0.8 : 1.0);
        QColor fill = m_prominent ? accentColor() : palette().color(QPalette::WindowText);
        if (!m_prominent)
            fill.setAlphaF(0.08);
        const QRectF capsule = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        painter.setPen(Qt::NoPen);
        painter.setBrush(fill);
        painter.drawRoundedRect(capsule, capsule.height() / 2, capsule.height() / 2);
        QColor textColor = m_prominent ? QColor(Qt::white) : palette().color(QPalette::WindowText);
        if (!m_prominent)
            textColor.setAlphaF(0.55);
        painter.setPen(textColor);
        painter.drawText(rect(), Qt::AlignCenter, text());
        painter.setOpacity(1.0);
        FocusRing::paint(painter, *this, capsule, capsule.height() / 2);
    }

private:
    bool m_prominent = false;
};

// At most `lines` lines of `text` wrapped at `width`; a longer text is cut at the last line's
// end with an ellipsis.
QString wrappedToLines(const QString& text, const QFont& font, int width, int lines) {
    QTextLayout layout(text, font);
    layout.beginLayout();
    int shown = 0;
    bool more = false;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        if (shown == lines) {
            more = true;
            break;
        }
        ++shown;
    }
    layout.endLayout();
    if (!more)
        return text;
    const QFontMetrics metrics(font);
    const int lastStart = layout.lineAt(lines - 1).textStart();
    const QString last = metrics.elidedText(text.mid(lastStart), Qt::ElideRight, width);
    return text.left(lastStart) + last;
}

} // namespace

// Draws the mark above the card; it covers the whole view and lets the mouse through, so the
// card below it can still be dragged and its button clicked.
class CleanupHUDView::MarkWidget final : public QWidget {
public:
    explicit MarkWidget(CleanupHUDView* view)
        : QWidget(view)
        , m_view(view) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setObjectName(QStringLiteral("mark"));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const double size = m_view->m_markSize;
        const QRectF rect((width() - size) / 2.0, kMargin, size, size);
        m_view->paintMark(painter, rect);
    }

private:
    CleanupHUDView* m_view;
};

CleanupHUDView::CleanupHUDView(CleanupProgress& progress, std::function<void()> dismiss, double markSize,
                               Clock& clock, QWidget* parent)
    : QWidget(parent)
    , m_progress(progress)
    , m_dismiss(std::move(dismiss))
    , m_markSize(markSize)
    , m_clock(clock) {
    AccessibleValue::setRole(this, QAccessible::ProgressBar);
    setObjectName(QStringLiteral("cleanupHUDView"));
    setAttribute(Qt::WA_TranslucentBackground);

    auto* outer = new QVBoxLayout(this);
    const int margin = static_cast<int>(kMargin);
    outer->setContentsMargins(margin, margin + qRound(markSize * 0.45), margin, margin);
    outer->setSizeConstraint(QLayout::SetFixedSize);

    m_card = new QWidget(this);
    m_card->setObjectName(QStringLiteral("card"));
    m_card->setFixedWidth(static_cast<int>(kCardWidth));
    outer->addWidget(m_card);

    auto* card = new QVBoxLayout(m_card);
    card->setContentsMargins(20, qRound(markSize - markSize * 0.45 + 12), 20, 20);
    card->setSpacing(14);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(4);
    m_headline = new QLabel(m_card);
    m_headline->setObjectName(QStringLiteral("headline"));
    m_headline->setTextFormat(Qt::PlainText);
    m_headline->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_headline->setWordWrap(true);
    m_headline->setFont(Fonts::system(13, QFont::DemiBold));
    m_detail = new QLabel(m_card);
    m_detail->setObjectName(QStringLiteral("detail"));
    m_detail->setTextFormat(Qt::PlainText);
    m_detail->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_detail->setWordWrap(true);
    m_detail->setFont(Fonts::system(11));
    QPalette secondary = m_detail->palette();
    QColor secondaryText = secondary.color(QPalette::WindowText);
    secondaryText.setAlphaF(0.6);
    secondary.setColor(QPalette::WindowText, secondaryText);
    m_detail->setPalette(secondary);
    texts->addWidget(m_headline);
    texts->addWidget(m_detail);
    card->addLayout(texts);

    auto* button = new HUDButton(m_card);
    button->setObjectName(QStringLiteral("doneButton"));
    m_button = button;
    card->addWidget(m_button, 0, Qt::AlignHCenter);
    connect(m_button, &QPushButton::clicked, this, [this] {
        if (m_dismiss && m_progress.phase().isFinished())
            m_dismiss();
    });
    // Return is the button's default action; the view takes the keys while the panel is key, and
    // a screen reader hears it as the cleanup's progress.
    setFocusPolicy(Qt::StrongFocus);
    DefaultAction::install(this, m_button);

    m_markWidget = new MarkWidget(this);
    m_markWidget->raise();

    m_markStart = m_clock.now();
    m_mark = CleanupHUDPresenter::mark(m_progress.phase());
    m_ringFrom = m_ringTo = CleanupHUDPresenter::fraction(m_progress.phase());
    connect(&m_progress, &CleanupProgress::changed, this, &CleanupHUDView::refresh);
    refresh();
}

CleanupHUDView::~CleanupHUDView() = default;

void CleanupHUDView::refresh() {
    const CleanupProgress::Phase& phase = m_progress.phase();
    // A fixed-size layout does not ask wrapping labels for their height at a width, so each
    // label is given its width and the height its text needs there.
    const int textWidth = static_cast<int>(kCardWidth) - 40;
    m_headline->setText(m_progress.title());
    m_detail->setText(
        wrappedToLines(CleanupHUDPresenter::detailText(phase), m_detail->font(), textWidth, kDetailLines));
    for (QLabel* label : {m_headline, m_detail}) {
        label->setFixedWidth(textWidth);
        label->setFixedHeight(label->heightForWidth(textWidth));
    }
    setAccessibleName(m_progress.title());
    const QString detail = CleanupHUDPresenter::detailText(phase);
    AccessibleValue::set(this, phase.isFinished() ||
                                       CleanupHUDPresenter::mark(phase) == CleanupHUDPresenter::Mark::spinner
                                   ? detail
                                   : CleanupHUDPresenter::percentText(CleanupHUDPresenter::fraction(phase)) +
                                         QStringLiteral(", ") + detail);
    m_button->setText(CleanupHUDPresenter::buttonText(phase));
    m_button->setEnabled(CleanupHUDPresenter::buttonEnabled(phase));
    static_cast<HUDButton*>(m_button)->setProminent(CleanupHUDPresenter::buttonEnabled(phase));

    const double now = m_clock.now();
    const CleanupHUDPresenter::Mark mark = CleanupHUDPresenter::mark(phase);
    const double fraction = CleanupHUDPresenter::fraction(phase);
    if (mark != m_mark) {
        m_mark = mark;
        m_markStart = now;
        m_ringFrom = m_ringTo = fraction;
        m_ringStart = now;
    } else if (fraction != m_ringTo) {
        m_ringFrom = drawnFraction();
        m_ringTo = fraction;
        m_ringStart = now;
    }
    // The panel follows the content's size at once, not on the next layout pass, so what is
    // drawn next already has the new height.
    m_card->layout()->activate();
    layout()->activate();
    if (window() != this && window()->layout())
        window()->layout()->activate();
    m_markWidget->update();
    update();
    if (!m_frame && isVisible() && isAnimating())
        m_frame = m_clock.schedule(kFrameInterval, [this] { tick(); });
}

double CleanupHUDView::drawnFraction() const {
    return CleanupMarks::ringFraction(m_ringFrom, m_ringTo, m_clock.now() - m_ringStart);
}

double CleanupHUDView::markAge() const {
    return m_clock.now() - m_markStart;
}

bool CleanupHUDView::isAnimating() const {
    using Mark = CleanupHUDPresenter::Mark;
    switch (m_mark) {
    case Mark::spinner:
        return true;
    case Mark::ring:
        return m_clock.now() - m_ringStart < CleanupMarks::kRingDuration;
    case Mark::success:
        return markAge() < CleanupMarks::successDuration();
    case Mark::failure:
        return markAge() < CleanupMarks::failureDuration();
    }
    return false;
}

// One frame: repaint, and ask for the next one while something still moves.
void CleanupHUDView::tick() {
    m_frame.reset();
    m_markWidget->update();
    if (isVisible() && isAnimating())
        m_frame = m_clock.schedule(kFrameInterval, [this] { tick(); });
}

void CleanupHUDView::paintMark(QPainter& painter, const QRectF& rect) const {
    using Mark = CleanupHUDPresenter::Mark;
    QColor material = palette().color(QPalette::Window);
    material.setAlphaF(0.96);
    const QColor primary = palette().color(QPalette::WindowText);
    switch (m_mark) {
    case Mark::spinner:
        CleanupMarks::paintSpinner(painter, rect, markAge(), accentColor(), primary, material);
        break;
    case Mark::ring:
        CleanupMarks::paintRing(painter, rect, drawnFraction(), accentColor(), primary, material);
        break;
    case Mark::success:
        CleanupMarks::paintSuccess(painter, rect, markAge());
        break;
    case Mark::failure:
        CleanupMarks::paintFailure(painter, rect, markAge());
        break;
    }
}

void CleanupHUDView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF card = QRectF(m_card->geometry()).adjusted(0.5, 0.5, -0.5, -0.5);
    // The card's shadow: black at 0.2 overall, radius 20, 8 below, drawn as widening layers.
    painter.setPen(Qt::NoPen);
    for (int i = 10; i >= 1; --i) {
        painter.setBrush(QColor(0, 0, 0, 4));
        const double spread = i * 1.6;
        painter.drawRoundedRect(card.translated(0, 8).adjusted(-spread, -spread, spread, spread),
                                kCardRadius + spread, kCardRadius + spread);
    }
    QColor material = palette().color(QPalette::Window);
    material.setAlphaF(0.97);
    painter.setBrush(material);
    QColor border = palette().color(QPalette::WindowText);
    border.setAlphaF(0.08);
    painter.setPen(QPen(border, 1));
    painter.drawRoundedRect(card, kCardRadius, kCardRadius);
}

void CleanupHUDView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_markWidget->setGeometry(rect());
}

void CleanupHUDView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!m_frame && isAnimating())
        m_frame = m_clock.schedule(kFrameInterval, [this] { tick(); });
}

void CleanupHUDView::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    m_frame.reset();
}

// Dragging anywhere on the card moves the whole panel.
void CleanupHUDView::mousePressEvent(QMouseEvent* event) {
    m_dragOffset = event->globalPosition().toPoint() - window()->frameGeometry().topLeft();
    event->accept();
}

void CleanupHUDView::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() & Qt::LeftButton)
        window()->move(event->globalPosition().toPoint() - m_dragOffset);
    event->accept();
}

} // namespace quorvex
