#include "windows/SendRow.h"

#include "ui/Palette.h"
#include "ui/Symbols.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

namespace quorvex {

namespace {

bool isBlank(const QString& text) {
    for (const QChar c : text)
        if (c != u' ' && c != u'\t')
            return false;
    return true;
}

} // namespace

SendRow::SendRow(const QString& title, const QString& symbol, QWidget* parent)
    : QWidget(parent)
    , m_name(new QLineEdit(this))
    , m_save(new QPushButton(QStringLiteral("Save Preset"), this))
    , m_send(new QPushButton(title, this)) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    m_name->setObjectName(QStringLiteral("presetName"));
    m_name->setPlaceholderText(QStringLiteral("Preset name"));
    m_name->setAccessibleName(QStringLiteral("Preset name"));
    m_name->setFixedWidth(170);
    m_save->setObjectName(QStringLiteral("savePreset"));
    m_send->setObjectName(QStringLiteral("sendButton"));
    m_send->setIcon(QIcon(Symbols::pixmap(symbol, {16, 16}, Palette::blue())));
    m_send->setDefault(true);
    m_send->setAutoDefault(true);
    layout->addWidget(m_name);
    layout->addWidget(m_save);
    layout->addStretch(1);
    layout->addWidget(m_send);
    connect(m_name, &QLineEdit::textChanged, this, [this] {
        updateSave();
        emit presetNameChanged();
    });
    connect(m_save, &QPushButton::clicked, this, &SendRow::saveClicked);
    connect(m_send, &QPushButton::clicked, this, &SendRow::sendClicked);
    updateSave();
}

QString SendRow::presetName() const {
    return m_name->text();
}

void SendRow::setPresetName(const QString& name) {
    m_name->setText(name);
}

void SendRow::setStates(bool enabled, bool canSave) {
    m_send->setEnabled(enabled);
    m_canSave = canSave;
    updateSave();
}

void SendRow::updateSave() {
    m_save->setEnabled(m_canSave && !isBlank(m_name->text()));
}

} // namespace quorvex
