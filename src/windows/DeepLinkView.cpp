#include "windows/DeepLinkView.h"

#include "simulator/SimulatorApp.h"
#include "ui/DefaultAction.h"
#include "windows/SendRow.h"

#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QUrl>
#include <QVBoxLayout>

namespace quorvex {

DeepLinkView::DeepLinkView(ActionWindowState& state, SimulatorApps& apps, SimulatorActions& actions,
                           ActionScaffold::Now now, QWidget* parent)
    : QWidget(parent)
    , m_state(state)
    , m_scaffold(new ActionScaffold(state, ActionWindowKind::deepLink, apps, actions, std::move(now), this))
    , m_url(new QLineEdit)
    , m_sendRow(new SendRow(QStringLiteral("Open URL"), QStringLiteral("link"))) {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(m_scaffold);

    auto* composer = new QWidget;
    auto* layout = new QVBoxLayout(composer);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    m_url->setObjectName(QStringLiteral("urlField"));
    m_url->setAccessibleName(QStringLiteral("URL"));
    m_url->setPlaceholderText(QStringLiteral("myapp://orders/12345 or https://example.com/universal-link"));
    m_url->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_url->setText(m_state.url());
    auto* caption =
        new QLabel(QStringLiteral("Opens the URL like tapping a link. Custom schemes open the app that "
                                  "registered them; universal links need the associated domain."));
    caption->setWordWrap(true);
    caption->setStyleSheet(QStringLiteral("color: gray;"));
    layout->addWidget(m_url);
    layout->addWidget(caption);
    layout->addWidget(m_sendRow);
    m_scaffold->setComposer(composer, [this](const SimulatorActions::Kind& kind, const QString& name) {
        if (const auto* link = kind.asDeepLink()) {
            m_state.setUrl(link->url);
            m_sendRow->setPresetName(name);
        }
    });

    connect(m_url, &QLineEdit::textEdited, this, [this](const QString& text) { m_state.setUrl(text); });
    connect(&m_state, &ActionWindowState::urlChanged, this, [this] {
        if (m_url->text() != m_state.url())
            m_url->setText(m_state.url());
        updateStates();
    });
    connect(m_scaffold, &ActionScaffold::selectionChanged, this, &DeepLinkView::updateStates);
    connect(m_sendRow, &SendRow::sendClicked, this, &DeepLinkView::send);
    connect(m_sendRow, &SendRow::saveClicked, this, &DeepLinkView::save);
    DefaultAction::install(this, m_sendRow->sendButton());
    updateStates();
}

bool DeepLinkView::isValidURL(const QString& text) {
    const QUrl url(text, QUrl::StrictMode);
    return url.isValid() && !url.scheme().isEmpty();
}

void DeepLinkView::updateStates() {
    const bool valid = isValidURL(m_state.url());
    m_sendRow->setStates(valid && m_scaffold->selectedInstall(), m_scaffold->selectedApp() && valid);
}

void DeepLinkView::send() {
    if (isValidURL(m_state.url()))
        m_scaffold->performOnSelection(SimulatorActions::Kind::deepLink(m_state.url()));
}

void DeepLinkView::save() {
    m_scaffold->savePresetForSelection(m_sendRow->presetName(),
                                       SimulatorActions::Kind::deepLink(m_state.url()));
    m_sendRow->setPresetName(QString());
}

} // namespace quorvex
