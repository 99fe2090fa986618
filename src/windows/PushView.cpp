#include "windows/PushView.h"

#include "simulator/SimulatorApp.h"
#include "ui/DefaultAction.h"
#include "ui/Palette.h"
#include "windows/SendRow.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QToolButton>
#include <QVBoxLayout>

namespace quorvex {

PushView::PushView(ActionWindowState& state, SimulatorApps& apps, SimulatorActions& actions,
                   ActionScaffold::Now now, QWidget* parent)
    : QWidget(parent)
    , m_state(state)
    , m_scaffold(new ActionScaffold(state, ActionWindowKind::push, apps, actions, std::move(now), this))
    , m_editor(new QPlainTextEdit)
    , m_validation(new QLabel)
    , m_sendRow(new SendRow(QStringLiteral("Send Push"), QStringLiteral("bell.badge"))) {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(m_scaffold);

    auto* composer = new QWidget;
    auto* layout = new QVBoxLayout(composer);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    auto* header = new QHBoxLayout;
    auto* title = new QLabel(QStringLiteral("Payload"));
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    auto* templates = new QToolButton;
    templates->setObjectName(QStringLiteral("templatesMenu"));
    templates->setText(QStringLiteral("Templates"));
    templates->setPopupMode(QToolButton::InstantPopup);
    auto* menu = new QMenu(templates);
    for (const SimulatorActions::PushTemplate& row : SimulatorActions::pushTemplates()) {
        const QString payload = row.payload;
        menu->addAction(row.name, this, [this, payload] { m_state.setPayload(payload); });
    }
    templates->setMenu(menu);
    header->addWidget(title);
    header->addStretch(1);
    header->addWidget(templates);
    layout->addLayout(header);

    m_editor->setObjectName(QStringLiteral("payloadEditor"));
    m_editor->setAccessibleName(QStringLiteral("Payload"));
    // JSON is indented with spaces: Tab moves on, or a keyboard user could never leave the editor.
    m_editor->setTabChangesFocus(true);
    m_editor->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_editor->setFixedHeight(170);
    m_editor->setPlainText(m_state.payload());
    layout->addWidget(m_editor);
    m_validation->setObjectName(QStringLiteral("validationLabel"));
    layout->addWidget(m_validation);
    layout->addWidget(m_sendRow);
    m_scaffold->setComposer(composer, [this](const SimulatorActions::Kind& kind, const QString& name) {
        if (const auto* push = kind.asPush()) {
            m_state.setPayload(push->payload);
            m_sendRow->setPresetName(name);
        }
    });

    connect(m_editor, &QPlainTextEdit::textChanged, this,
            [this] { m_state.setPayload(m_editor->toPlainText()); });
    connect(&m_state, &ActionWindowState::payloadChanged, this, [this] {
        if (m_editor->toPlainText() != m_state.payload())
            m_editor->setPlainText(m_state.payload());
        updateStates();
    });
    connect(m_scaffold, &ActionScaffold::selectionChanged, this, &PushView::updateStates);
    connect(m_sendRow, &SendRow::sendClicked, this, &PushView::send);
    connect(m_sendRow, &SendRow::saveClicked, this, &PushView::save);
    DefaultAction::install(this, m_sendRow->sendButton());
    updateStates();
}

void PushView::updateStates() {
    const std::optional<QString> problem = SimulatorActions::validatePushPayload(m_state.payload());
    const bool valid = !problem;
    const QColor colour = valid ? Palette::green() : Palette::orange();
    m_validation->setText((valid ? QStringLiteral("✔ Valid payload") : QStringLiteral("⚠ ") + *problem));
    m_validation->setProperty("message", valid ? QStringLiteral("Valid payload") : *problem);
    // The editor's border says it in colour; a screen reader says it with the editor.
    m_editor->setAccessibleDescription(valid ? QStringLiteral("Valid payload") : *problem);
    m_validation->setStyleSheet(QStringLiteral("color: %1;").arg(colour.name()));
    m_editor->setStyleSheet(
        QStringLiteral("QPlainTextEdit { border: 1px solid %1; border-radius: 8px; padding: 6px; }")
            .arg(valid ? QStringLiteral("rgba(128, 128, 128, 0.3)") : Palette::orange().name()));
    m_sendRow->setStates(valid && m_scaffold->selectedInstall(), m_scaffold->selectedApp() && valid);
}

void PushView::send() {
    const QString name = m_sendRow->presetName().isEmpty() ? QStringLiteral("Test") : m_sendRow->presetName();
    m_scaffold->performOnSelection(SimulatorActions::Kind::push(name, m_state.payload()));
}

void PushView::save() {
    const QString name = m_sendRow->presetName();
    m_scaffold->savePresetForSelection(name, SimulatorActions::Kind::push(name, m_state.payload()));
    m_sendRow->setPresetName(QString());
}

} // namespace quorvex
