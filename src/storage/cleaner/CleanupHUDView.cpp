#include "storage/cleaner/CleanupHUDView.h"

#include "platform/core/Clock.h"
#include "storage/cleaner/CleanupMarks.h"
#include "storage/cleaner/CleanupProgress.h"
#include "ui/AccessibleValue.h"
#include "ui/AnimatedColor.h"
#include "ui/AnimatedValue.h"
#include "ui/Animator.h"
#include "ui/DefaultAction.h"
#include "ui/FocusRing.h"
#include "ui/Fonts.h"
#include "ui/Palette.h"
#include "ui/RollingText.h"

#include <QImage>
#include <QKeyEvent>
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
// A mark's own motion (the spinner's turn, an entrance) read under Reduce Motion: long past every
// entrance, and a whole number of the spinner's turns.
constexpr double kAtRest = 90;

// How the ring and its percentage follow a new fraction, and how the button's colours change
// between "Cleaning…" and "Done".
const Motion kRingMotion = Motion::easeOut(0.3);
const Motion kButtonFade = Motion::easeOut(0.2);

QColor accentColor() {
    return Palette::blue();
}

// The panel's one button: a capsule, the accent colour with white text once the cleanup has
// finished, a faint grey with secondary text while it works.
class HUDButton final : public QPushButton {
public:
    HUDButton(Animator& animator, QWidget* parent)
        : QPushButton(parent)
        , m_fill(animator, fillColor(false))
        , m_textColor(animator, textColor(false)) {
        setFont(Fonts::body());
        QFont medium = font();
        medium.setWeight(QFont::Medium);
        setFont(medium);
        setMinimumSize(120, 32);
        setCursor(Qt::ArrowCursor);
        setFocusPolicy(Qt::TabFocus);
        connect(&m_fill, &AnimatedColor::changed, this, qOverload<>(&QWidget::update));
        connect(&m_textColor, &AnimatedColor::changed, this, qOverload<>(&QWidget::update));
    }

    // The colours fade whenever the look of a shown button changes, whatever moved the panel
    // there; a hidden one takes its look at once.
    void setProminent(bool prominent) {
        if (prominent == m_prominent)
            return;
        m_prominent = prominent;
        const Motion motion = isVisible() ? kButtonFade : Motion::none();
        m_fill.animateTo(fillColor(prominent), motion);
        m_textColor.animateTo(textColor(prominent), motion);
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
        const QRectF capsule = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        painter.setPen(Qt::NoPen);
        painter.setBrush(m_fill.color());
        painter.drawRoundedRect(capsule, capsule.height() / 2, capsule.height() / 2);
        painter.setPen(m_textColor.color());
        painter.drawText(rect(), Qt::AlignCenter, text());
        painter.setOpacity(1.0);
        FocusRing::paint(painter, *this, capsule, capsule.height() / 2);
    }

private:
    QColor fillColor(bool prominent) const {
        if (prominent)
            return accentColor();
        QColor fill = palette().color(QPalette::WindowText);
        fill.setAlphaF(0.08);
        return fill;
    }
    QColor textColor(bool prominent) const {
        if (prominent)
            return Qt::white;
        QColor text = palette().color(QPalette::WindowText);
        text.setAlphaF(0.55);
        return text;
    }

    bool m_prominent = false;
    AnimatedColor m_fill;
    AnimatedColor m_textColor;
};

// A wrapping label whose one-line changes roll (or cross-fade, in place) with the motion they
// come with. Text that wraps changes at once: a roll moves one line, and the label's height
// follows the new text anyway.
class RollingLineLabel final : public QLabel {
public:
    RollingLineLabel(Animator& animator, TextRoll::Direction direction, QWidget* parent)
        : QLabel(parent)
        , m_rolling(animator)
        , m_direction(direction) {
        connect(&m_rolling, &ContentTransition::changed, this, qOverload<>(&QWidget::update));
    }

    void showText(const QString& text, int width, const Motion& motion) {
        const bool oneLine = fitsOneLine(this->text(), width) && fitsOneLine(text, width);
        m_rolling.setText(text, oneLine ? motion : Motion::none(), m_direction);
        setText(text);
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        if (!m_rolling.isRunning()) {
            QLabel::paintEvent(event);
            return;
        }
        QPainter painter(this);
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.setFont(font());
        painter.setPen(palette().color(foregroundRole()));
        const QRectF line(contentsRect().x(), contentsRect().y(), contentsRect().width(),
                          fontMetrics().height());
        m_rolling.paint(painter, line, Qt::AlignHCenter | Qt::AlignVCenter);
    }

private:
    bool fitsOneLine(const QString& text, int width) const {
        return !text.contains(QLatin1Char('\n')) && fontMetrics().horizontalAdvance(text) <= width;
    }

    RollingText m_rolling;
    TextRoll::Direction m_direction;
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
    , m_clock(clock)
    , m_animator(std::make_unique<Animator>(clock))
    , m_markBlend(new AnimatedValue(*m_animator, 1, this))
    , m_ring(new AnimatedValue(*m_animator, 0, this))
    , m_percent(new RollingText(*m_animator, {}, this)) {
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
    m_headline = new RollingLineLabel(*m_animator, TextRoll::Direction::InPlace, m_card);
    m_headline->setObjectName(QStringLiteral("headline"));
    m_headline->setTextFormat(Qt::PlainText);
    m_headline->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_headline->setWordWrap(true);
    m_headline->setFont(Fonts::system(13, QFont::DemiBold));
    m_detail = new RollingLineLabel(*m_animator, TextRoll::Direction::Up, m_card);
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

    auto* button = new HUDButton(*m_animator, m_card);
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
    m_ring->setValue(CleanupHUDPresenter::fraction(m_progress.phase()));
    m_percent->setMonospacedDigits(true);
    for (auto* value : {m_markBlend, m_ring})
        connect(value, &AnimatedValue::changed, m_markWidget, qOverload<>(&QWidget::update));
    connect(m_percent, &RollingText::changed, m_markWidget, qOverload<>(&QWidget::update));
    connect(&m_progress, &CleanupProgress::changed, this, &CleanupHUDView::refresh);
    refresh();
}

CleanupHUDView::~CleanupHUDView() {
    // The children's animations run on the view's Animator, which must outlive them.
    qDeleteAll(findChildren<QObject*>(Qt::FindDirectChildrenOnly));
}

void CleanupHUDView::refresh() {
    const CleanupProgress::Phase& phase = m_progress.phase();
    // A fixed-size layout does not ask wrapping labels for their height at a width, so each
    // label is given its width and the height its text needs there.
    const int textWidth = static_cast<int>(kCardWidth) - 40;
    // A hidden panel takes every change at once.
    const bool shown = isVisible();
    const Motion motion = shown ? m_motion : Motion::none();
    const Motion ringMotion = shown ? kRingMotion : Motion::none();
    static_cast<RollingLineLabel*>(m_headline)->showText(m_progress.title(), textWidth, motion);
    static_cast<RollingLineLabel*>(m_detail)->showText(
        wrappedToLines(CleanupHUDPresenter::detailText(phase), m_detail->font(), textWidth, kDetailLines),
        textWidth, motion);
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

    const CleanupHUDPresenter::Mark mark = CleanupHUDPresenter::mark(phase);
    const double fraction = CleanupHUDPresenter::fraction(phase);
    const QString percent = CleanupHUDPresenter::percentText(fraction);
    if (mark != m_mark) {
        // The old mark fades out as the new one fades in, with the change's motion; the old
        // one keeps its own time (a spinner keeps turning) while it goes.
        m_leaving = m_mark;
        m_leavingStart = m_markStart;
        m_leavingFraction = m_ring->value();
        m_mark = mark;
        m_markStart = m_clock.now();
        m_markBlend->setValue(0);
        m_markBlend->animateTo(1, motion);
        // A ring on its way out keeps its percentage; only a ring coming in takes a new one.
        if (mark == CleanupHUDPresenter::Mark::ring) {
            m_ring->setValue(fraction);
            m_percent->setText(percent, Motion::none());
        }
    } else if (mark == CleanupHUDPresenter::Mark::ring && fraction != m_ring->target()) {
        const auto direction =
            fraction < m_ring->target() ? TextRoll::Direction::Down : TextRoll::Direction::Up;
        m_ring->animateTo(fraction, ringMotion);
        m_percent->setText(percent, ringMotion, direction);
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

Animator& CleanupHUDView::animator() const {
    return *m_animator;
}

double CleanupHUDView::drawnFraction() const {
    return m_ring->value();
}

double CleanupHUDView::markAge() const {
    return m_animator->reduceMotion() ? kAtRest : m_clock.now() - m_markStart;
}

double CleanupHUDView::markBlend() const {
    return std::clamp(m_markBlend->value(), 0.0, 1.0);
}

// Whether a mark's own timeline still moves: the spinner turns for as long as it shows, the
// entrances play once. The changes of values (the ring, the blend, the texts) run on the
// Animator and need no frames from here.
bool CleanupHUDView::isAnimating() const {
    if (m_animator->reduceMotion())
        return false;
    using Mark = CleanupHUDPresenter::Mark;
    const auto moves = [this](Mark mark, double age) {
        switch (mark) {
        case Mark::spinner:
            return true;
        case Mark::ring:
            return false;
        case Mark::success:
            return age < CleanupMarks::successDuration();
        case Mark::failure:
            return age < CleanupMarks::failureDuration();
        }
        return false;
    };
    return moves(m_mark, markAge());
}

// One frame: repaint, and ask for the next one while something still moves.
void CleanupHUDView::tick() {
    m_frame.reset();
    m_markWidget->update();
    if (isVisible() && isAnimating())
        m_frame = m_clock.schedule(kFrameInterval, [this] { tick(); });
}

void CleanupHUDView::paintMark(QPainter& painter, const QRectF& rect) const {
    const double blend = markBlend();
    if (m_markBlend->isAnimating() && blend < 1) {
        painter.setOpacity(1 - blend);
        const double age = m_animator->reduceMotion() ? kAtRest : m_clock.now() - m_leavingStart;
        paintMark(painter, rect, m_leaving, age, m_leavingFraction);
    }
    painter.setOpacity(blend);
    paintMark(painter, rect, m_mark, markAge(), drawnFraction());
    painter.setOpacity(1);
}

void CleanupHUDView::paintMark(QPainter& painter, const QRectF& rect, CleanupHUDPresenter::Mark mark,
                               double age, double fraction) const {
    using Mark = CleanupHUDPresenter::Mark;
    QColor material = palette().color(QPalette::Window);
    material.setAlphaF(0.96);
    const QColor primary = palette().color(QPalette::WindowText);
    // The marks draw their parts at their own opacities; they are faded as a whole through a
    // layer so that overlapping parts do not show through one another.
    const double opacity = painter.opacity();
    if (opacity <= 0)
        return;
    QPainter* target = &painter;
    QImage layer;
    QPainter layerPainter;
    if (opacity < 1) {
        const qreal dpr = painter.device()->devicePixelRatioF();
        layer = QImage((QSizeF(painter.device()->width(), painter.device()->height()) * dpr).toSize(),
                       QImage::Format_ARGB32_Premultiplied);
        layer.setDevicePixelRatio(dpr);
        layer.fill(Qt::transparent);
        layerPainter.begin(&layer);
        layerPainter.setRenderHint(QPainter::Antialiasing);
        target = &layerPainter;
    }
    switch (mark) {
    case Mark::spinner:
        CleanupMarks::paintSpinner(*target, rect, age, accentColor(), primary, material);
        break;
    case Mark::ring:
        CleanupMarks::paintRing(*target, rect, fraction, *m_percent, accentColor(), primary, material);
        break;
    case Mark::success:
        CleanupMarks::paintSuccess(*target, rect, age);
        break;
    case Mark::failure:
        CleanupMarks::paintFailure(*target, rect, age);
        break;
    }
    if (target != &painter) {
        layerPainter.end();
        painter.drawImage(QPointF(0, 0), layer);
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
    // Nothing moves where no one sees it: the changes under way land now.
    const bool reduce = m_animator->reduceMotion();
    m_animator->setReduceMotion(true);
    m_animator->setReduceMotion(reduce);
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
