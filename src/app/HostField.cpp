#include "app/HostField.h"

#include "network/ThrottlePlan.h"
#include "ui/Fonts.h"
#include "ui/Palette.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>

#include <cmath>

namespace quorvex {
namespace {

bool isLocalAddress(const QString& text) {
    const QString lower = text.toLower();
    return lower.startsWith(QLatin1String("localhost")) || lower.startsWith(QLatin1String("127.")) ||
           lower == QLatin1String("::1") || lower.startsWith(QLatin1String("[::1]"));
}

} // namespace

HostField::HostField(QWidget* parent)
    : QWidget(parent)
    , m_field(new QLineEdit(this))
    , m_error(new QLabel(this)) {
    setObjectName(QStringLiteral("hostField"));
    setFixedSize(kWidth, 24);
    m_field->setObjectName(QStringLiteral("host"));
    m_field->setPlaceholderText(kExampleHost);
    m_field->setGeometry(0, 0, kWidth, 24);
    m_error->setObjectName(QStringLiteral("error"));
    m_error->setWordWrap(true);
    m_error->setTextFormat(Qt::PlainText);
    m_error->setFont(Fonts::caption());
    QPalette palette = m_error->palette();
    palette.setColor(QPalette::WindowText, Palette::red());
    m_error->setPalette(palette);
    m_error->hide();
}

std::optional<QString> HostField::rejection(const QString& input) {
    const QString text = input.trimmed();
    const std::optional<std::string> normalized = ThrottlePlan::normalizeHost(text.toStdString());
    const std::optional<QString> host =
        normalized ? std::optional<QString>(QString::fromStdString(*normalized)) : std::nullopt;
    // The local test comes first and looks at the parsed host too: "127.0.0.1" or "[::1]:8080"
    // parse as hosts, and a URL can hide a local host behind its scheme.
    if (isLocalAddress(text) || (host && isLocalAddress(*host)))
        return QStringLiteral(
            "Local addresses can’t be blocked: simulator traffic to your Mac doesn’t go through the "
            "network extension. Stop the local server instead.");
    if (host)
        return std::nullopt;
    if (text.isEmpty())
        return QStringLiteral("Enter a host name.");
    return QStringLiteral("That isn’t a host name. Try %1, a URL, or an IP address.").arg(kExampleHost);
}

bool HostField::validate() {
    const std::optional<QString> message = rejection(m_field->text());
    if (!message)
        return true;
    showError(*message);
    m_field->setFocus(Qt::OtherFocusReason);
    m_field->selectAll();
    QApplication::beep();
    return false;
}

void HostField::showError(const QString& message) {
    m_error->setText(message);
    const int h = static_cast<int>(std::ceil(m_error->heightForWidth(kWidth)));
    setFixedSize(kWidth, h + 30);
    m_field->setGeometry(0, h + 6, kWidth, 24);
    m_error->setGeometry(0, 0, kWidth, h);
    m_error->show();
    if (QWidget* alert = window(); alert != this)
        alert->adjustSize();
}

} // namespace quorvex
