#include "app/HostField.h"

#include "network/plan/ThrottlePlan.h"
#include "ui/Fonts.h"
#include "ui/Palette.h"

#include <QApplication>
#include <QHostAddress>
#include <QLabel>
#include <QLineEdit>

#include <cmath>

namespace quorvex {
namespace {

// Whether a host names this computer itself: "localhost" (only that name, not one that starts
// with it), 127.0.0.0/8, ::1 or an IPv4-mapped loopback address. A text prefix would refuse real
// hosts such as "localhost.example.com" or "127.example.com".
bool isLoopbackHost(QString host) {
    host = host.toLower();
    if (host.startsWith(u'[') && host.endsWith(u']'))
        host = host.mid(1, host.size() - 2);
    if (host.endsWith(u'.'))
        host.chop(1);
    if (host == QLatin1String("localhost"))
        return true;
    const QHostAddress address(host);
    if (address.isNull())
        return false;
    bool mapped = false;
    const quint32 ipv4 = address.toIPv4Address(&mapped);
    if (mapped)
        return (ipv4 >> 24) == 127;
    return address.isLoopback();
}

// The host of a bare "host:port" the plan's parser refuses (a single label such as
// "localhost:8080"). A URL is left whole: its host is what the parser makes of it.
QString typedHost(QString text) {
    if (text.contains(QLatin1String("://")))
        return text;
    text = text.section(u'/', 0, 0);
    if (text.startsWith(u'['))
        return text.section(u']', 0, 0) + u']';
    if (text.count(u':') == 1)
        return text.section(u':', 0, 0);
    return text;
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
    // The local test comes first and looks at the parsed host: "127.0.0.1" or "[::1]:8080" parse
    // as hosts, and a URL can hide a local host behind its scheme.
    if ((host && isLoopbackHost(*host)) || isLoopbackHost(typedHost(text)))
        return QStringLiteral(
            "Local addresses can’t be blocked: simulator traffic to this computer doesn’t go through the "
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
