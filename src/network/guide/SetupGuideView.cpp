#include "network/guide/SetupGuideView.h"

#include "network/guide/IllustrationBackdrop.h"

#include "ui/DefaultAction.h"
#include "ui/FocusRing.h"
#include "ui/Fonts.h"
#include "ui/Palette.h"
#include "ui/Symbols.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace quorvex {
namespace {

using Phase = SetupGuide::Phase;
using Mode = SetupGuide::Mode;

const std::vector<std::pair<Phase, QString>>& indicatorSteps() {
    static const std::vector<std::pair<Phase, QString>> steps = {
        {Phase::ApproveExtension, QStringLiteral("Extension")},
        {Phase::AllowProxy, QStringLiteral("Proxy")},
        {Phase::Done, QStringLiteral("Done")},
    };
    return steps;
}

QColor accent() {
    return Palette::blue();
}

QString rgba(QColor color, double alpha) {
    color.setAlphaF(float(alpha));
    return QStringLiteral("rgba(%1,%2,%3,%4)")
        .arg(color.red())
        .arg(color.green())
        .arg(color.blue())
        .arg(alpha);
}

QLabel* symbolLabel(const QString& symbol, const QColor& color, int size, QWidget* parent = nullptr) {
    auto* label = new QLabel(parent);
    label->setPixmap(Symbols::pixmap(symbol, QSize(size, size), color, 2.0));
    label->setFixedSize(size, size);
    label->setAccessibleName(symbol);
    return label;
}

QLabel* textLabel(const QString& text, const QFont& font, const QString& style = {}) {
    auto* label = new QLabel(text);
    label->setFont(font);
    if (!style.isEmpty())
        label->setStyleSheet(style);
    return label;
}

QString secondaryStyle() {
    return QStringLiteral("color: rgba(0,0,0,0.55);");
}

QWidget* spinner(const QString& waitingFor) {
    // An indeterminate bar stands in for the small spinning indicator.
    auto* bar = new QProgressBar;
    bar->setRange(0, 0);
    bar->setTextVisible(false);
    bar->setFixedSize(28, 8);
    bar->setObjectName(QStringLiteral("spinner"));
    bar->setAccessibleName(waitingFor);
    return bar;
}

// The footer's primary button: a capsule in the accent colour, grey while it cannot be used, a
// little lighter while pressed. Drawn here rather than by a style sheet so the focus ring can sit
// around the capsule, clear of its fill, where a keyboard user sees it on any accent colour.
class PrimaryButton final : public QPushButton {
public:
    static constexpr int kRingRoom = 3; // the ring's width and a pixel of air

    PrimaryButton() {
        QFont font = Fonts::body();
        font.setWeight(QFont::Medium);
        setFont(font);
        setMinimumSize(72 + 2 * kRingRoom, 28 + 2 * kRingRoom);
    }

    QSize sizeHint() const override {
        const QSize text = fontMetrics().size(Qt::TextShowMnemonic, this->text());
        return QSize(qMax(72, text.width() + 32), qMax(28, text.height() + 8)) +
               QSize(2 * kRingRoom, 2 * kRingRoom);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF capsule = QRectF(rect()).adjusted(kRingRoom, kRingRoom, -kRingRoom, -kRingRoom);
        QColor fill = accent();
        if (!isEnabled()) {
            fill = palette().color(QPalette::WindowText);
            fill.setAlphaF(0.08f);
        }
        painter.setOpacity(isDown() ? 0.8 : 1.0);
        QPainterPath shape;
        shape.addRoundedRect(capsule, capsule.height() / 2, capsule.height() / 2);
        painter.fillPath(shape, fill);
        painter.setPen(isEnabled() ? QColor(Qt::white) : QColor(Qt::gray));
        painter.drawText(capsule, Qt::AlignCenter | Qt::TextShowMnemonic, text());
        painter.setOpacity(1.0);
        FocusRing::paint(painter, *this, rect(), height() / 2.0);
    }
};

QString stepState(bool done, bool current) {
    if (current)
        return done ? QStringLiteral("current, done") : QStringLiteral("current");
    return done ? QStringLiteral("done") : QStringLiteral("not done yet");
}

void clear(QLayout* layout) {
    while (QLayoutItem* item = layout->takeAt(0)) {
        if (QWidget* widget = item->widget()) {
            // Later: the button whose click led here may still be delivering its signal.
            widget->hide();
            widget->deleteLater();
        } else if (QLayout* inner = item->layout())
            clear(inner);
        delete item;
    }
}

} // namespace

SetupGuideView::SetupGuideView(SetupGuide& guide, IllustrationFactory illustrations,
                               std::function<void(SetupHelp::Topic)> help, std::function<void()> close,
                               QWidget* parent)
    : QWidget(parent)
    , m_guide(guide)
    , m_illustrations(std::move(illustrations))
    , m_help(std::move(help))
    , m_close(std::move(close)) {
    setFixedSize(kWidth, kHeight);
    setAutoFillBackground(true);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    m_indicator = new QHBoxLayout;
    m_indicator->setSpacing(8);
    m_indicator->setContentsMargins(0, 36, 0, 20);
    column->addLayout(m_indicator);
    // The buttons live as long as the view and are only updated, so a redraw never takes the
    // keyboard focus away from the one the user is on.
    m_indicator->addStretch();
    for (const auto& [step, title] : indicatorSteps()) {
        auto* button = new QPushButton(title, this);
        button->setObjectName(QStringLiteral("step-") + title);
        button->setFlat(true);
        button->setCursor(Qt::PointingHandCursor);
        button->setIconSize(QSize(14, 14));
        button->setFont(Fonts::caption(QFont::Medium));
        // Copied, not captured: clang 14 cannot capture a structured binding.
        const auto target = step;
        connect(button, &QPushButton::clicked, this, [this, target] { m_guide.go(target); });
        m_indicator->addWidget(button);
        m_steps.push_back(button);
    }
    m_indicator->addStretch();

    m_pageArea = new QVBoxLayout;
    m_pageArea->setContentsMargins(0, 0, 0, 0);
    m_pageArea->setAlignment(Qt::AlignTop);
    column->addLayout(m_pageArea, 1);

    m_footer = new QHBoxLayout;
    m_footer->setContentsMargins(24, 12, 24, 26);
    m_footer->setSpacing(10);
    column->addLayout(m_footer);
    m_back = new QPushButton(
        QIcon(Symbols::pixmap(QStringLiteral("chevron.left"), QSize(14, 14), Palette::gray(), 2.0)),
        QStringLiteral("Back"), this);
    m_back->setObjectName(QStringLiteral("back"));
    connect(m_back, &QPushButton::clicked, this, [this] {
        if (const auto previous = SetupGuide::previous(m_guide.phase()))
            m_guide.go(*previous);
    });
    m_footer->addWidget(m_back);
    m_errorSlot = new QHBoxLayout;
    m_footer->addLayout(m_errorSlot, 1);
    m_cancel = new QPushButton(this);
    m_cancel->setObjectName(QStringLiteral("cancel"));
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        if (m_close)
            m_close();
    });
    m_footer->addWidget(m_cancel);
    m_primary = new PrimaryButton;
    m_primary->setParent(this);
    m_primary->setObjectName(QStringLiteral("primary"));
    connect(m_primary, &QPushButton::clicked, this, [this] { m_guide.primaryAction(); });
    m_footer->addWidget(m_primary);
    DefaultAction::install(this, m_primary);

    connect(&m_guide, &SetupGuide::changed, this, &SetupGuideView::render);
    render();
}

SetupGuideView::PageTexts SetupGuideView::pageTexts(const SetupGuide& guide) {
    switch (guide.phase()) {
    case Phase::Intro:
        return {QStringLiteral("Control your simulators’ network, not this computer’s"),
                QStringLiteral(
                    "Quorvex routes only simulator traffic through its network extension, to slow it down or "
                    "block hosts. This computer asks for two quick approvals the first time.")};
    case Phase::ApproveExtension:
        // Before any approval, the extension must be there to approve: said first when it is not.
        if (!guide.isComplete(Phase::ApproveExtension)) {
            if (guide.status().obstacle == SetupObstacle::ProgramNotInstalled)
                return {
                    QStringLiteral("Allow the network extension"),
                    QStringLiteral("The network extension works only with Quorvex as installed on this "
                                   "computer, and this copy runs from elsewhere. Install Quorvex, then start "
                                   "it from where it was installed.")};
            if (guide.status().obstacle == SetupObstacle::DaemonNotRunning)
                return {
                    QStringLiteral("Allow the network extension"),
                    QStringLiteral("The network extension is a service of this computer, and it isn’t "
                                   "running. An administrator starts it with “sudo systemctl enable --now "
                                   "quorvex-network-extension”, or runs “sudo quorvex-network-extension” in "
                                   "a terminal.")};
        }
        return {QStringLiteral("Allow the network extension"),
                QStringLiteral(
                    "This computer asks to use a new network extension. An administrator approves it in a "
                    "terminal with “sudo quorvexctl approve”; you may be asked for your password.")};
    case Phase::AllowProxy:
        return {
            QStringLiteral("Allow the proxy configuration"),
            QStringLiteral("Quorvex saves a proxy configuration that an administrator allows in a terminal "
                           "with “sudo quorvexctl allow-proxy”. Only simulator traffic is slowed down. "
                           "Everything else passes through untouched.")};
    case Phase::Done:
        break;
    }
    const bool verified = guide.isComplete(Phase::Done);
    const bool unlimited = guide.profile().id == "unlimited";
    const bool bothApproved = guide.status().extensionApproved && guide.status().proxyAllowed;
    PageTexts texts;
    if (verified) {
        if (guide.mode() == Mode::Tour)
            texts.title = QStringLiteral("You’re all set");
        else if (unlimited)
            texts.title = QStringLiteral("Host blocking is on");
        else
            texts.title = QStringLiteral("Simulators are on ") + QString::fromStdString(guide.profile().name);
        texts.message =
            unlimited ? QStringLiteral("Manage blocked hosts any time from the menu bar. Removing them or "
                                       "quitting the app turns blocking off.")
                      : QStringLiteral("Change the speed any time from the menu bar. Choosing No Limit or "
                                       "quitting the app turns the limiter off.");
    } else {
        texts.title = guide.mode() == Mode::Live && bothApproved ? QStringLiteral("Almost there")
                                                                 : QStringLiteral("Not set up yet");
        texts.message =
            bothApproved ? QStringLiteral("Both approvals are confirmed. This computer is starting the speed "
                                          "limiter, which usually takes a second.")
                         : QStringLiteral("Finish the steps before this one. The checkmarks turn on as soon "
                                          "as this computer confirms each step.");
    }
    return texts;
}

IllustrationSpec SetupGuideView::illustrationSpec() const {
    switch (m_guide.phase()) {
    case Phase::Intro:
        return IllustrationSpec::intro();
    case Phase::ApproveExtension:
        return IllustrationSpec::settings();
    case Phase::AllowProxy:
        return IllustrationSpec::proxyAlert();
    case Phase::Done:
        break;
    }
    return IllustrationSpec::done(m_guide.profile(), m_guide.isComplete(Phase::Done));
}

void SetupGuideView::keyPressEvent(QKeyEvent* event) {
    // Escape is the cancel button's, wherever the focus is (no control here keeps the key), and
    // means nothing once that button is gone.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        if (m_cancel->isVisible() && m_cancel->isEnabled())
            m_cancel->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void SetupGuideView::render() {
    // A page's own buttons are made anew: one that had the focus hands it to its successor.
    QWidget* focused = QApplication::focusWidget();
    const QString focusedName = focused && isAncestorOf(focused) ? focused->objectName() : QString();
    renderIndicator();
    renderPage();
    renderFooter();
    restoreFocus(focusedName);
}

void SetupGuideView::restoreFocus(const QString& name) {
    // Tab runs top to bottom: the steps, the page's button, then the footer.
    std::vector<QWidget*> order(m_steps.begin(), m_steps.end());
    for (QPushButton* button : m_page->findChildren<QPushButton*>())
        if (!button->isHidden())
            order.push_back(button);
    order.insert(order.end(), {m_back, m_cancel, m_primary});
    for (size_t i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
    if (name.isEmpty())
        return;
    QWidget* focused = QApplication::focusWidget();
    if (focused && isAncestorOf(focused) && focused->objectName() == name && focused->isVisible())
        return;
    for (QWidget* candidate : order)
        if (candidate->objectName() == name && candidate->isVisibleTo(this) && candidate->isEnabled()) {
            candidate->setFocus(Qt::OtherFocusReason);
            return;
        }
    // Gone with the page it was on: the way on is the nearest.
    if (m_primary->isEnabled())
        m_primary->setFocus(Qt::OtherFocusReason);
}

void SetupGuideView::renderIndicator() {
    int number = 0;
    for (const auto& [step, title] : indicatorSteps()) {
        QPushButton* button = m_steps[size_t(number++)];
        const bool done = m_guide.isComplete(step);
        const bool current = m_guide.phase() == step;
        const QColor symbolColor = done ? Palette::green() : current ? accent() : Palette::gray();
        const QString symbol = done      ? QStringLiteral("checkmark.circle.fill")
                               : current ? QStringLiteral("circle.inset.filled")
                                         : QStringLiteral("circle");
        button->setIcon(QIcon(Symbols::pixmap(symbol, QSize(14, 14), symbolColor, 2.0)));
        const QString textColor = current ? accent().name()
                                  : done  ? QStringLiteral("palette(window-text)")
                                          : QStringLiteral("gray");
        // The transparent border keeps the place of the focus ring, so focus moves nothing.
        button->setStyleSheet(
            QStringLiteral("QPushButton { border: %4px solid transparent; border-radius: 12px; "
                           "padding: 3px 8px; color: %1; background: %2; } "
                           "QPushButton:disabled { color: %3; } ")
                .arg(textColor, current ? rgba(accent(), 0.14) : QStringLiteral("transparent"),
                     current ? accent().name() : textColor)
                .arg(FocusRing::width) +
            FocusRing::styleSheetRule(QStringLiteral("QPushButton"), 12));
        button->setEnabled(m_guide.canReach(step));
        // Where the guide is, said with each step: the colours and symbols say it on screen.
        button->setAccessibleDescription(
            QStringLiteral("Step %1 of %2, ").arg(number).arg(indicatorSteps().size()) +
            stepState(done, current));
    }
}

void SetupGuideView::renderPage() {
    const IllustrationSpec spec = illustrationSpec();
    if (m_shownPhase != m_guide.phase()) {
        clear(m_pageArea);
        m_page = new QWidget;
        m_page->setObjectName(QStringLiteral("page"));
        auto* page = new QVBoxLayout(m_page);
        page->setContentsMargins(28, 0, 28, 0);
        page->setSpacing(16);
        m_illustration = new IllustrationBackdrop(m_illustrations(spec, nullptr), m_page);
        m_illustration->setFixedHeight(270);
        m_illustration->setObjectName(QStringLiteral("illustration"));
        page->addWidget(m_illustration);
        m_title = textLabel({}, Fonts::system(17, QFont::DemiBold));
        m_title->setObjectName(QStringLiteral("title"));
        page->addWidget(m_title);
        m_message = textLabel({}, Fonts::body(), secondaryStyle());
        m_message->setObjectName(QStringLiteral("message"));
        m_message->setWordWrap(true);
        page->addWidget(m_message);
        m_detailSlot = new QVBoxLayout;
        page->addLayout(m_detailSlot);
        page->addStretch();
        m_pageArea->addWidget(m_page);
        m_shownPhase = m_guide.phase();
        m_shownSpec = spec;
    } else if (spec != m_shownSpec) {
        // The last page's drawing follows the profile and the confirmation.
        auto* page = static_cast<QVBoxLayout*>(m_page->layout());
        QWidget* replacement = new IllustrationBackdrop(m_illustrations(spec, nullptr), m_page);
        replacement->setFixedHeight(270);
        replacement->setObjectName(QStringLiteral("illustration"));
        delete page->replaceWidget(m_illustration, replacement);
        delete m_illustration;
        m_illustration = replacement;
        m_shownSpec = spec;
    }
    const PageTexts texts = pageTexts(m_guide);
    m_title->setText(texts.title);
    m_message->setText(texts.message);
    clear(m_detailSlot);
    QWidget* detail = makeDetail();
    if (detail)
        m_detailSlot->addWidget(detail);
    // Read out as one: the page's title, then what its step line says (or its message).
    m_page->setAccessibleName(texts.title);
    QString said;
    if (detail && detail->objectName() == QLatin1String("stepStatus"))
        for (QLabel* label : detail->findChildren<QLabel*>())
            if (!label->text().isEmpty())
                said = label->text();
    m_page->setAccessibleDescription(said.isEmpty() ? texts.message : said);
}

QWidget* SetupGuideView::makeDetail() {
    switch (m_guide.phase()) {
    case Phase::Intro: {
        auto* rows = new QWidget;
        auto* column = new QVBoxLayout(rows);
        column->setContentsMargins(0, 0, 0, 0);
        column->setSpacing(10);
        const std::vector<std::pair<QString, QString>> steps = {
            {QStringLiteral("puzzlepiece.extension"),
             QStringLiteral("Allow the network extension with “sudo quorvexctl approve”")},
            {QStringLiteral("network.badge.shield.half.filled"),
             QStringLiteral("Allow the proxy configuration with “sudo quorvexctl allow-proxy”")},
        };
        int number = 0;
        for (const auto& [symbol, text] : steps) {
            auto* row = new QHBoxLayout;
            row->setSpacing(10);
            auto* badge = textLabel(
                QString::number(++number), Fonts::caption(QFont::Bold),
                QStringLiteral("color: white; background: %1; border-radius: 10px;").arg(accent().name()));
            badge->setFixedSize(20, 20);
            badge->setAlignment(Qt::AlignCenter);
            row->addWidget(badge);
            row->addWidget(symbolLabel(symbol, accent(), 20));
            row->addWidget(textLabel(text, Fonts::body()));
            row->addStretch();
            column->addLayout(row);
        }
        return rows;
    }
    case Phase::ApproveExtension:
        return makeStepStatus(Phase::ApproveExtension, QStringLiteral("Extension allowed"),
                              QStringLiteral("Waiting for “sudo quorvexctl approve”…"),
                              QStringLiteral("Not allowed yet"), SetupHelp::Topic::ApproveExtension);
    case Phase::AllowProxy:
        return makeStepStatus(Phase::AllowProxy, QStringLiteral("Proxy configuration allowed"),
                              QStringLiteral("Waiting for “sudo quorvexctl allow-proxy”…"),
                              QStringLiteral("Not allowed yet"), SetupHelp::Topic::AllowProxy);
    case Phase::Done:
        break;
    }
    const SetupStatus& status = m_guide.status();
    if (m_guide.isComplete(Phase::Done) || m_guide.mode() != Mode::Live || m_guide.error() ||
        !status.extensionApproved || !status.proxyAllowed)
        return nullptr;
    auto* line = new QWidget;
    line->setObjectName(QStringLiteral("starting"));
    auto* row = new QHBoxLayout(line);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(10);
    row->addStretch();
    row->addWidget(spinner(QStringLiteral("Starting the speed limiter…")));
    row->addWidget(
        textLabel(QStringLiteral("Starting the speed limiter…"), Fonts::callout(), secondaryStyle()));
    row->addStretch();
    return line;
}

QWidget* SetupGuideView::makeStepStatus(Phase step, const QString& verified, const QString& waiting,
                                        const QString& notYet, SetupHelp::Topic help) {
    auto* line = new QWidget;
    line->setObjectName(QStringLiteral("stepStatus"));
    auto* row = new QHBoxLayout(line);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);
    const bool complete = m_guide.isComplete(step);
    // Nothing can happen while the extension is missing: no spinner then, and the help is about
    // what is missing.
    const auto obstacle =
        step == Phase::ApproveExtension ? SetupHelp::of(m_guide.status().obstacle) : std::nullopt;
    if (obstacle)
        help = *obstacle;
    if (complete) {
        row->addWidget(symbolLabel(QStringLiteral("checkmark.circle.fill"), Palette::green(), 16));
        row->addWidget(textLabel(verified, Fonts::callout()));
    } else if (obstacle) {
        row->addWidget(symbolLabel(QStringLiteral("exclamationmark.triangle.fill"), Palette::orange(), 16));
        auto* said = textLabel(*obstacle == SetupHelp::Topic::InstallProgram
                                   ? QStringLiteral("Quorvex isn’t installed")
                                   : QStringLiteral("The network extension isn’t running"),
                               Fonts::callout(), secondaryStyle());
        said->setObjectName(QStringLiteral("obstacle"));
        row->addWidget(said);
    } else if (m_guide.mode() == Mode::Live) {
        row->addWidget(spinner(waiting));
        row->addWidget(textLabel(waiting, Fonts::callout(), secondaryStyle()));
    } else {
        row->addWidget(symbolLabel(QStringLiteral("circle.dashed"), Palette::gray(), 16));
        row->addWidget(textLabel(notYet, Fonts::callout(), secondaryStyle()));
    }
    row->addStretch();
    if (!complete) {
        auto* open = new QPushButton(SetupHelp::buttonTitle(help));
        open->setObjectName(QStringLiteral("help"));
        connect(open, &QPushButton::clicked, this, [this, help] {
            if (m_help)
                m_help(help);
        });
        row->addWidget(open);
    }
    return line;
}

void SetupGuideView::renderFooter() {
    clear(m_errorSlot);
    const Phase phase = m_guide.phase();
    m_back->setVisible(SetupGuide::previous(phase).has_value());
    if (const auto& error = m_guide.error()) {
        auto* label = new QWidget;
        label->setObjectName(QStringLiteral("error"));
        auto* row = new QHBoxLayout(label);
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(6);
        row->addWidget(symbolLabel(QStringLiteral("exclamationmark.triangle.fill"), Palette::orange(), 14), 0,
                       Qt::AlignTop);
        auto* text =
            textLabel(*error, Fonts::callout(), QStringLiteral("color: %1;").arg(Palette::orange().name()));
        text->setObjectName(QStringLiteral("errorText"));
        // Whole, on as many lines as it takes: the footer grows, the page above gives way. Cut to
        // two lines, the instructions an error carries lost their beginning and end.
        text->setWordWrap(true);
        text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        text->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::MinimumExpanding);
        row->addWidget(text, 1);
        m_errorSlot->addWidget(label, 1);
    } else {
        m_errorSlot->addStretch();
    }
    m_cancel->setText(m_guide.mode() == Mode::Live ? QStringLiteral("Not Now") : QStringLiteral("Close"));
    m_cancel->setVisible(!(phase == Phase::Done && m_guide.isComplete(Phase::Done)));
    m_primary->setText(m_guide.primaryButtonTitle());
    m_primary->setEnabled(m_guide.canContinue());
    m_primary->updateGeometry();
}

} // namespace quorvex
