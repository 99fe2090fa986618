#include "devices/flows/DevicePushWindow.h"

#include "actions/SimulatorActions.h"
#include "devices/core/SigningKey.h"
#include "devices/core/UserFacingError.h"
#include "platform/gui/Dialogs.h"
#include "simulator/Toast.h"
#include "tools/Environment.h"
#include "ui/DefaultAction.h"
#include "ui/Fonts.h"
#include "ui/Symbols.h"

#include <QApplication>
#include <QButtonGroup>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFormLayout>
#include <QFutureWatcher>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QSettings>
#include <QStringDecoder>
#include <QToolButton>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

namespace quorvex {

const QString DevicePushWindow::kDefaultPayload =
    QStringLiteral("{\n"
                   "  \"aps\": {\n"
                   "    \"alert\": { \"title\": \"Hello\", \"body\": \"This is a test notification.\" },\n"
                   "    \"sound\": \"default\"\n"
                   "  }\n"
                   "}");

const QString DevicePushWindow::kTokenHelpCode =
    QStringLiteral("func application(_ application: UIApplication,\n"
                   "                 didRegisterForRemoteNotificationsWithDeviceToken deviceToken: Data) {\n"
                   "    print(\"APNs token:\", deviceToken.map { String(format: \"%02x\", $0) }.joined())\n"
                   "}");

namespace {

const QString kLastAppKey = QStringLiteral("apns.lastApp");

QString tokenKey(const QString& bundleID) {
    return QStringLiteral("apns.token.") + bundleID;
}

QString environmentKey(const QString& bundleID) {
    return QStringLiteral("apns.environment.") + bundleID;
}

QLabel* captionLabel(QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setFont(Fonts::caption());
    label->setForegroundRole(QPalette::PlaceholderText);
    label->setWordWrap(true);
    return label;
}

QProgressBar* smallSpinner(QWidget* parent, const QString& name, const QString& spoken) {
    auto* bar = new QProgressBar(parent);
    bar->setObjectName(name);
    // A bar without numbers: its name says what is being waited for.
    bar->setAccessibleName(spoken);
    bar->setRange(0, 0);
    bar->setTextVisible(false);
    bar->setFixedSize(40, 8);
    bar->hide();
    return bar;
}

QFont monospaced() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSizeF(Fonts::body().pointSizeF());
    return font;
}

} // namespace

DevicePushWindow::DevicePushWindow(ApnsClient& client, AppLoader loader, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_client(client)
    , m_loader(std::move(loader))
    , m_credentials(Apns::loadCredentials()) {
    if (!m_loader)
        m_loader = [](const QString& deviceID) {
            return QtConcurrent::run([deviceID] { return DeviceApp::listApps(deviceID, false); });
        };
    setWindowTitle(QStringLiteral("Send Push Notification"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    build();
    refresh();
    checkKey();
}

DevicePushWindow::~DevicePushWindow() = default;

void DevicePushWindow::build() {
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(20, 20, 20, 20);
    root->setSpacing(16);

    // Key box.
    auto* keyBox = new QFrame(this);
    keyBox->setObjectName(QStringLiteral("keyBox"));
    keyBox->setStyleSheet(
        QStringLiteral("#keyBox { background: rgba(128,128,128,0.08); border-radius: 10px; }"));
    auto* keyRow = new QHBoxLayout(keyBox);
    keyRow->setContentsMargins(12, 12, 12, 12);
    keyRow->setSpacing(10);
    m_keyIcon = new QLabel(keyBox);
    keyRow->addWidget(m_keyIcon);
    auto* keyTexts = new QVBoxLayout;
    keyTexts->setSpacing(1);
    m_keyTitle = new QLabel(keyBox);
    m_keyTitle->setFont(Fonts::callout(QFont::Medium));
    m_keyDetail = captionLabel(keyBox);
    keyTexts->addWidget(m_keyTitle);
    keyTexts->addWidget(m_keyDetail);
    keyRow->addLayout(keyTexts, 1);
    m_keyButton = new QPushButton(keyBox);
    m_keyButton->setObjectName(QStringLiteral("keyButton"));
    m_removeButton = new QPushButton(QStringLiteral("Remove"), keyBox);
    m_removeButton->setObjectName(QStringLiteral("removeKey"));
    keyRow->addWidget(m_keyButton);
    keyRow->addWidget(m_removeButton);
    connect(m_keyButton, &QPushButton::clicked, this, &DevicePushWindow::importKey);
    connect(m_removeButton, &QPushButton::clicked, this, &DevicePushWindow::removeKey);
    root->addWidget(keyBox);

    // App, token and environment.
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(10);
    const auto label = [this](const QString& text, QWidget* buddy) {
        auto* result = new QLabel(text, this);
        // The label names its control for a screen reader.
        result->setBuddy(buddy);
        buddy->setAccessibleName(text);
        result->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        return result;
    };
    auto* appRow = new QHBoxLayout;
    m_appPicker = new QComboBox(this);
    m_appPicker->setObjectName(QStringLiteral("appPicker"));
    m_appPicker->setMinimumWidth(260);
    grid->addWidget(label(QStringLiteral("App"), m_appPicker), 0, 0);
    m_appsProgress = smallSpinner(this, QStringLiteral("appsLoading"), QStringLiteral("Loading apps"));
    appRow->addWidget(m_appPicker);
    appRow->addWidget(m_appsProgress);
    appRow->addStretch();
    grid->addLayout(appRow, 0, 1);
    connect(m_appPicker, &QComboBox::activated, this, [this](int index) {
        if (index >= 0)
            setAppID(m_appPicker->itemData(index).toString());
    });

    auto* tokenColumn = new QVBoxLayout;
    tokenColumn->setSpacing(6);
    auto* tokenRow = new QHBoxLayout;
    tokenRow->setSpacing(6);
    m_tokenField = new QLineEdit(this);
    m_tokenField->setObjectName(QStringLiteral("tokenField"));
    grid->addWidget(label(QStringLiteral("Device token"), m_tokenField), 1, 0, Qt::AlignTop | Qt::AlignRight);
    m_tokenField->setPlaceholderText(QStringLiteral("a1b2c3…"));
    m_tokenField->setFont(monospaced());
    m_helpButton = new QToolButton(this);
    m_helpButton->setObjectName(QStringLiteral("tokenHelp"));
    m_helpButton->setAccessibleName(QStringLiteral("Where do I find the device token?"));
    m_helpButton->setAutoRaise(true);
    m_helpButton->setIcon(QIcon(Symbols::pixmap(QStringLiteral("questionmark.circle"), {15, 15},
                                                palette().color(QPalette::PlaceholderText))));
    m_helpButton->setToolTip(QStringLiteral("Where do I find the device token?"));
    tokenRow->addWidget(m_tokenField, 1);
    tokenRow->addWidget(m_helpButton);
    m_tokenHint = captionLabel(this);
    tokenColumn->addLayout(tokenRow);
    tokenColumn->addWidget(m_tokenHint);
    grid->addLayout(tokenColumn, 1, 1);
    connect(m_tokenField, &QLineEdit::textChanged, this, [this] { refresh(); });
    connect(m_helpButton, &QToolButton::clicked, this, &DevicePushWindow::showTokenHelp);

    auto* environmentLabel = new QLabel(QStringLiteral("Environment"), this);
    environmentLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    grid->addWidget(environmentLabel, 2, 0);
    auto* segments = new QHBoxLayout;
    segments->setSpacing(0);
    m_environmentGroup = new QButtonGroup(this);
    for (const Apns::Environment environment : Apns::kAllEnvironments) {
        auto* button =
            new QPushButton(environment == Apns::Environment::production ? QStringLiteral("Production")
                                                                         : QStringLiteral("Development"),
                            this);
        button->setObjectName(environment == Apns::Environment::production ? QStringLiteral("production")
                                                                           : QStringLiteral("development"));
        button->setAccessibleDescription(QStringLiteral("Environment"));
        button->setCheckable(true);
        m_environmentGroup->addButton(button, int(environment));
        segments->addWidget(button);
    }
    segments->addStretch();
    grid->addLayout(segments, 2, 1);
    connect(m_environmentGroup, &QButtonGroup::idClicked, this,
            [this](int id) { setEnvironment(Apns::Environment(id)); });
    grid->setColumnStretch(1, 1);
    root->addLayout(grid);

    // Payload.
    auto* payloadBlock = new QVBoxLayout;
    payloadBlock->setSpacing(8);
    auto* header = new QHBoxLayout;
    auto* payloadTitle = new QLabel(QStringLiteral("Payload"), this);
    QFont headline = font();
    headline.setWeight(QFont::DemiBold);
    payloadTitle->setFont(headline);
    auto* templates = new QToolButton(this);
    templates->setObjectName(QStringLiteral("templatesMenu"));
    templates->setText(QStringLiteral("Templates"));
    templates->setPopupMode(QToolButton::InstantPopup);
    auto* templateMenu = new QMenu(templates);
    for (const auto& row : SimulatorActions::pushTemplates()) {
        const QString text = row.payload;
        templateMenu->addAction(row.name, this, [this, text] { setPayload(text); });
    }
    templates->setMenu(templateMenu);
    header->addWidget(payloadTitle);
    header->addStretch();
    header->addWidget(templates);
    payloadBlock->addLayout(header);
    m_payloadEditor = new QPlainTextEdit(this);
    m_payloadEditor->setObjectName(QStringLiteral("payloadEditor"));
    m_payloadEditor->setAccessibleName(QStringLiteral("Payload"));
    // JSON is indented with spaces: Tab moves on, or a keyboard user could never leave the editor.
    m_payloadEditor->setTabChangesFocus(true);
    m_payloadEditor->setFont(monospaced());
    m_payloadEditor->setFixedHeight(150);
    m_payloadEditor->setPlainText(kDefaultPayload);
    payloadBlock->addWidget(m_payloadEditor);
    m_payloadMessage = new QLabel(this);
    m_payloadMessage->setFont(Fonts::caption());
    payloadBlock->addWidget(m_payloadMessage);
    root->addLayout(payloadBlock);
    connect(m_payloadEditor, &QPlainTextEdit::textChanged, this, [this] { refresh(); });

    // Footer.
    auto* footer = new QHBoxLayout;
    m_sendProgress = smallSpinner(this, QStringLiteral("sendProgress"), QStringLiteral("Sending"));
    footer->addWidget(m_sendProgress);
    footer->addStretch();
    m_sendButton = new QPushButton(QStringLiteral("Send Push"), this);
    m_sendButton->setObjectName(QStringLiteral("sendButton"));
    m_sendButton->setIcon(QIcon(
        Symbols::pixmap(QStringLiteral("bell.badge"), {16, 16}, palette().color(QPalette::ButtonText))));
    m_sendButton->setDefault(true);
    m_sendButton->setAutoDefault(true);
    footer->addWidget(m_sendButton);
    root->addLayout(footer);
    connect(m_sendButton, &QPushButton::clicked, this, &DevicePushWindow::send);
    DefaultAction::install(this, m_sendButton);

    setFixedWidth(540);
}

QString DevicePushWindow::keyTitle() const {
    if (!m_credentials)
        return QStringLiteral("Add your APNs key");
    return QStringLiteral("Key ") + m_credentials->keyID + QStringLiteral(" · Team ") + m_credentials->teamID;
}

QString DevicePushWindow::keyDetail() const {
    if (!m_credentials)
        return QStringLiteral("Real devices only receive pushes through Apple’s push service, "
                              "signed with your team’s .p8 key.");
    const QString file = m_credentials->fileName;
    switch (m_keyCheck) {
    case KeyCheck::none:
    case KeyCheck::checking:
        return file + QStringLiteral(", checking your Keychain…");
    case KeyCheck::stored:
        return file + QStringLiteral(", stored in your Keychain");
    case KeyCheck::missing:
        return file + QStringLiteral(" isn’t in your Keychain any more; add it again.");
    case KeyCheck::unreachable:
        return file + QStringLiteral(": the Keychain can’t be read. ") + m_keyProblem;
    }
    return {};
}

void DevicePushWindow::checkKey() {
    if (!m_credentials) {
        m_keyCheck = KeyCheck::none;
        refresh();
        return;
    }
    m_keyCheck = KeyCheck::checking;
    refresh();
    // Only the latest check may land: an older one may describe a key replaced since.
    const quint64 number = ++m_keyCheckNumber;
    Apns::loadSigningKey().then([self = QPointer(this), number](const Apns::LoadedKey& loaded) {
        if (!self || number != self->m_keyCheckNumber)
            return;
        self->m_keyCheck = loaded.key              ? KeyCheck::stored
                           : loaded.keychainFailed ? KeyCheck::unreachable
                                                   : KeyCheck::missing;
        self->m_keyProblem = loaded.error;
        self->refresh();
        emit self->keyChanged();
    });
}

void DevicePushWindow::refreshKeyBox() {
    const bool stored = m_credentials.has_value();
    const bool readable = stored && (m_keyCheck == KeyCheck::stored || m_keyCheck == KeyCheck::checking);
    const QColor tint = readable ? palette().color(QPalette::Highlight) : QColor(255, 149, 0);
    m_keyIcon->setPixmap(Symbols::pixmap(QStringLiteral("key.fill"), {18, 18}, tint, devicePixelRatioF()));
    m_keyTitle->setText(keyTitle());
    m_keyDetail->setText(keyDetail());
    m_keyButton->setText(stored ? QStringLiteral("Change…") : QStringLiteral("Add Key…"));
    m_keyButton->setEnabled(!m_changingKey);
    m_removeButton->setVisible(stored);
    m_removeButton->setEnabled(!m_changingKey);
}

void DevicePushWindow::refresh() {
    m_updatingViews = true;
    refreshKeyBox();
    m_appPicker->clear();
    for (const DeviceApp& app : m_apps)
        m_appPicker->addItem(app.name, app.id);
    m_appPicker->setEnabled(!m_apps.empty());
    if (m_appID)
        m_appPicker->setCurrentIndex(m_appPicker->findData(*m_appID));
    m_appsProgress->setVisible(m_loadingApps);
    const auto hint = tokenHint();
    m_tokenHint->setText(hint.value_or(QString()));
    m_tokenHint->setVisible(hint.has_value());
    // What the hint under the field says, read with the field.
    m_tokenField->setAccessibleDescription(hint.value_or(QString()));
    if (auto* button = m_environmentGroup->button(int(m_environment)))
        button->setChecked(true);
    const auto message = payloadMessage();
    const QString orange = QStringLiteral("#ff9500");
    m_payloadEditor->setStyleSheet(
        QStringLiteral("QPlainTextEdit { border: 1px solid %1; border-radius: 8px; padding: 6px; "
                       "background: rgba(128,128,128,0.08); }")
            .arg(message ? orange : QStringLiteral("rgba(128,128,128,0.25)")));
    m_payloadMessage->setText(
        message ? QStringLiteral("<span style='color:%1'>⚠</span> %2").arg(orange, message->toHtmlEscaped())
                : QStringLiteral("<span style='color:#34c759'>✔</span> Valid payload"));
    m_payloadEditor->setAccessibleDescription(message.value_or(QStringLiteral("Valid payload")));
    m_sendProgress->setVisible(m_sending);
    m_sendButton->setEnabled(canSend());
    m_updatingViews = false;
}

void DevicePushWindow::show(const PhysicalDevice& device) {
    m_device = device;
    setWindowTitle(QStringLiteral("Send Push Notification to ") + device.name);
    QWidget::show();
    raise();
    activateWindow();
    m_loadingApps = true;
    refresh();
    checkKey();
    // Loads for an earlier device may still arrive; only the latest may fill the list.
    const quint64 generation = ++m_loadGeneration;
    auto* watcher = new QFutureWatcher<std::vector<DeviceApp>>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, generation] {
        watcher->deleteLater();
        if (generation != m_loadGeneration)
            return;
        applyApps(watcher->future().isValid() && watcher->future().resultCount() > 0
                      ? watcher->result()
                      : std::vector<DeviceApp>{});
    });
    watcher->setFuture(m_loader(device.id));
}

void DevicePushWindow::applyApps(std::vector<DeviceApp> apps) {
    m_apps = std::move(apps);
    m_loadingApps = false;
    const auto has = [this](const QString& id) {
        return std::any_of(m_apps.begin(), m_apps.end(), [&](const DeviceApp& app) { return app.id == id; });
    };
    if (m_appID && has(*m_appID)) {
        // Kept.
    } else if (m_apps.empty()) {
        m_appID.reset();
    } else {
        const QString last = sharedDefaults().value(kLastAppKey).toString();
        setAppID(has(last) ? last : m_apps.front().id);
    }
    refresh();
    emit appsLoaded();
}

void DevicePushWindow::setAppID(const std::optional<QString>& appID) {
    const auto previous = m_appID;
    m_appID = appID;
    if (appID && appID != previous) {
        QSettings& defaults = sharedDefaults();
        m_tokenField->setText(defaults.value(tokenKey(*appID)).toString());
        m_environment = defaults.value(environmentKey(*appID)).toString() == QLatin1String("production")
                            ? Apns::Environment::production
                            : Apns::Environment::sandbox;
    }
    refresh();
}

QString DevicePushWindow::token() const {
    return m_tokenField->text();
}

void DevicePushWindow::setToken(const QString& token) {
    m_tokenField->setText(token);
}

void DevicePushWindow::setEnvironment(Apns::Environment environment) {
    m_environment = environment;
    refresh();
}

QString DevicePushWindow::payload() const {
    return m_payloadEditor->toPlainText();
}

void DevicePushWindow::setPayload(const QString& payload) {
    m_payloadEditor->setPlainText(payload);
}

std::optional<QString> DevicePushWindow::tokenHint() const {
    const QString normalized = Apns::normalizedToken(token());
    if (normalized.isEmpty())
        return QStringLiteral("Paste the app’s device token");
    if (!Apns::isValidToken(normalized))
        return QStringLiteral("Device tokens are at least 64 hex characters");
    return std::nullopt;
}

std::optional<QString> DevicePushWindow::payloadMessage() const {
    return SimulatorActions::validatePushPayload(payload());
}

bool DevicePushWindow::canSend() const {
    const bool hasApp = m_appID && std::any_of(m_apps.begin(), m_apps.end(),
                                               [this](const DeviceApp& app) { return app.id == *m_appID; });
    // A key the keychain says is gone cannot sign; one it could not be asked about may still.
    return !payloadMessage() && !tokenHint() && hasApp && m_credentials && m_keyCheck != KeyCheck::missing &&
           !m_sending;
}

void DevicePushWindow::send() {
    const auto found = std::find_if(m_apps.begin(), m_apps.end(),
                                    [this](const DeviceApp& app) { return m_appID && app.id == *m_appID; });
    if (found == m_apps.end() || !m_credentials || !m_device)
        return;
    const DeviceApp app = *found;
    const Apns::Credentials credentials = *m_credentials;
    const PhysicalDevice device = *m_device;
    const QString payloadText = payload();
    const QString tokenText = token();
    // Remembered before sending, whatever the outcome.
    QSettings& defaults = sharedDefaults();
    defaults.setValue(tokenKey(app.id), tokenText);
    defaults.setValue(environmentKey(app.id), Apns::rawValue(m_environment));
    defaults.setValue(kLastAppKey, app.id);
    defaults.sync();
    m_sending = true;
    refresh();

    const Apns::Environment environment = m_environment;
    Apns::loadSigningKey().then([self = QPointer(this), credentials, app, device, tokenText, payloadText,
                                 environment](const Apns::LoadedKey& loaded) {
        if (!self)
            return;
        if (!loaded.key) {
            self->failSend(QStringLiteral("Couldn’t send the push"), loaded.error);
            self->checkKey();
            return;
        }
        std::optional<Apns::Request> request;
        try {
            const QString providerToken =
                Apns::providerToken(credentials, *loaded.key, QDateTime::currentDateTimeUtc());
            request = Apns::request(tokenText, app.id, payloadText, environment, providerToken);
        } catch (const UserFacingError& error) {
            self->failSend(QStringLiteral("Couldn’t send the push"), error.message());
            return;
        }
        if (!request) {
            const QString reason = QStringLiteral("BadDeviceToken");
            self->failSend(QStringLiteral("APNs rejected the push: ") + reason, Apns::hint(reason));
            return;
        }
        auto* watcher = new QFutureWatcher<ApnsClient::Response>(self);
        connect(watcher, &QFutureWatcherBase::finished, self, [self, watcher, app, device] {
            watcher->deleteLater();
            self->finishSend(watcher->result(), app, device);
        });
        watcher->setFuture(self->m_client.send(std::move(*request)));
    });
}

void DevicePushWindow::failSend(const QString& title, const std::optional<QString>& detail) {
    Toast::show(title, detail, QStringLiteral("bell.slash"), true);
    m_sending = false;
    refresh();
    emit sendFinished();
}

void DevicePushWindow::finishSend(const ApnsClient::Response& response, const DeviceApp& app,
                                  const PhysicalDevice& device) {
    if (!response.error.isEmpty()) {
        Toast::show(QStringLiteral("Couldn’t send the push"), response.error, QStringLiteral("bell.slash"),
                    true);
    } else if (response.status == 200) {
        Toast::show(QStringLiteral("Push sent"), app.name + QStringLiteral(" on ") + device.name,
                    QStringLiteral("bell.badge"), false);
    } else {
        QString reason = Apns::statusText(int(response.status));
        const QJsonDocument answer = QJsonDocument::fromJson(response.body);
        if (answer.isObject() && answer.object().value(QLatin1String("reason")).isString())
            reason = answer.object().value(QLatin1String("reason")).toString();
        // A refused token must not be reused for the next 40 minutes.
        if (Apns::isTokenRejection(reason))
            Apns::dropCachedToken();
        Toast::show(QStringLiteral("APNs rejected the push: ") + reason, Apns::hint(reason),
                    QStringLiteral("bell.slash"), true);
    }
    m_sending = false;
    refresh();
    emit sendFinished();
}

void DevicePushWindow::importKey() {
    if (m_changingKey)
        return;
    m_changingKey = true;
    refresh();
    // Before asking for a file: with no keyring to keep the key in, the user is told why at once.
    Keychain::shared().unavailableReason().then([self =
                                                     QPointer(this)](const std::optional<QString>& reason) {
        if (!self)
            return;
        if (reason) {
            self->m_changingKey = false;
            self->refresh();
            Toast::show(QStringLiteral("Couldn’t reach your Keychain"), *reason, QStringLiteral("key"), true);
            emit self->keyChanged();
            return;
        }
        // The dialogs run their own loops: not inside the keychain's answer.
        QMetaObject::invokeMethod(self, &DevicePushWindow::chooseKeyFile, Qt::QueuedConnection);
    });
}

void DevicePushWindow::chooseKeyFile() {
    bool saving = false;
    const auto done = qScopeGuard([this, &saving] {
        if (saving)
            return;
        m_changingKey = false;
        refresh();
        emit keyChanged();
    });
    OpenPanel panel;
    panel.message = QStringLiteral(
        "Choose your APNs key (AuthKey_XXXXXXXXXX.p8) from Certificates, Identifiers & Profiles › Keys");
    panel.nameFilters = {QStringLiteral("*.p8")};
    const auto chosen = Dialogs::shared().runOpenPanel(panel);
    if (chosen.empty())
        return;
    const QString path = QString::fromStdString(chosen.front().string());
    QFile file(path);
    // A .p8 file is a few hundred bytes; anything huge is not one.
    if (!file.open(QIODevice::ReadOnly) || file.size() > 1 << 20)
        return;
    const QByteArray bytes = file.readAll();
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder(bytes);
    if (decoder.hasError())
        return;
    try {
        SigningKey::fromPem(text.trimmed().toUtf8());
    } catch (const UserFacingError&) {
        Toast::show(
            QStringLiteral("That isn’t an APNs key"),
            QStringLiteral(
                "Choose the .p8 file you downloaded for a key with Apple Push Notifications service."),
            QStringLiteral("key"), true);
        return;
    }

    const QString fileName = QFileInfo(path).fileName();
    QWidget accessory;
    auto* form = new QGridLayout(&accessory);
    form->setVerticalSpacing(8);
    auto* keyField = new QLineEdit(Apns::keyID(fileName).value_or(QString()), &accessory);
    keyField->setObjectName(QStringLiteral("keyID"));
    keyField->setPlaceholderText(QStringLiteral("Key ID (10 characters)"));
    keyField->setFixedWidth(200);
    auto* teamField = new QLineEdit(m_credentials ? m_credentials->teamID : QString(), &accessory);
    teamField->setObjectName(QStringLiteral("teamID"));
    teamField->setPlaceholderText(QStringLiteral("Team ID (10 characters)"));
    teamField->setFixedWidth(200);
    auto* keyLabel = new QLabel(QStringLiteral("Key ID:"), &accessory);
    keyLabel->setBuddy(keyField);
    keyField->setAccessibleName(QStringLiteral("Key ID"));
    auto* teamLabel = new QLabel(QStringLiteral("Team ID:"), &accessory);
    teamLabel->setBuddy(teamField);
    teamField->setAccessibleName(QStringLiteral("Team ID"));
    form->addWidget(keyLabel, 0, 0, Qt::AlignRight);
    form->addWidget(keyField, 0, 1);
    form->addWidget(teamLabel, 1, 0, Qt::AlignRight);
    form->addWidget(teamField, 1, 1);

    Alert alert;
    alert.message = QStringLiteral("Key details");
    alert.informativeText = QStringLiteral(
        "Find both on developer.apple.com: the Key ID next to the key, the Team ID under Membership.");
    alert.buttons = {{QStringLiteral("Save Key")}, {QStringLiteral("Cancel")}};
    alert.accessory = &accessory;
    alert.initialFocus = !keyField->text().isEmpty() && teamField->text().isEmpty() ? teamField : keyField;
    if (Dialogs::shared().runAlert(alert) != Dialogs::kFirstButton)
        return;
    const auto cleaned = [](const QString& value) {
        QString result = value;
        while (!result.isEmpty() &&
               (result.front() == QLatin1Char(' ') || result.front() == QLatin1Char('\t')))
            result.remove(0, 1);
        while (!result.isEmpty() && (result.back() == QLatin1Char(' ') || result.back() == QLatin1Char('\t')))
            result.chop(1);
        return result.toUpper();
    };
    const QString keyID = cleaned(keyField->text());
    const QString teamID = cleaned(teamField->text());
    if (keyID.size() != 10 || teamID.size() != 10) {
        Toast::show(QStringLiteral("Key ID and Team ID have 10 characters each"), std::nullopt,
                    QStringLiteral("key"), true);
        return;
    }
    const Apns::Credentials credentials{keyID, teamID, fileName};
    saving = true;
    Apns::saveKey(bytes, credentials)
        .then([self = QPointer(this), credentials](const std::optional<QString>& error) {
            if (!self)
                return;
            self->m_changingKey = false;
            if (error) {
                Toast::show(QStringLiteral("Couldn’t save the key"), *error, QStringLiteral("key"), true);
            } else {
                self->m_credentials = credentials;
                Toast::show(QStringLiteral("Push key saved"), QStringLiteral("Stored in your Keychain"),
                            QStringLiteral("key"), false);
            }
            // The box says what the keychain holds now, read back.
            self->checkKey();
            emit self->keyChanged();
        });
}

void DevicePushWindow::removeKey() {
    if (m_changingKey)
        return;
    m_changingKey = true;
    m_credentials.reset();
    checkKey();
    Apns::removeKey().then([self = QPointer(this)](const Keychain::Status& removed) {
        // A key left in the keyring is the user's secret still lying there: they hear of it.
        if (!removed.ok)
            Toast::show(QStringLiteral("Couldn’t remove the key from the Keychain"), removed.error,
                        QStringLiteral("key"), true);
        if (!self)
            return;
        self->m_changingKey = false;
        self->refresh();
        emit self->keyChanged();
    });
}

void DevicePushWindow::showTokenHelp() {
    auto* popover = new QFrame(this, Qt::Popup);
    popover->setObjectName(QStringLiteral("tokenHelpPopover"));
    popover->setAccessibleName(QStringLiteral("Where do I find the device token?"));
    popover->setAttribute(Qt::WA_DeleteOnClose);
    popover->setFixedWidth(420);
    auto* column = new QVBoxLayout(popover);
    column->setContentsMargins(16, 16, 16, 16);
    auto* title = new QLabel(QStringLiteral("Where do I find the device token?"), popover);
    title->setFont(Fonts::system(Fonts::callout().pointSizeF(), QFont::DemiBold));
    column->addWidget(title);
    auto* intro =
        new QLabel(QStringLiteral("Apple gives the token only to your app, so the app has to print it. Add "
                                  "this to your app delegate (or wherever you register for remote "
                                  "notifications):"),
                   popover);
    intro->setWordWrap(true);
    column->addWidget(intro);
    auto* codeRow = new QHBoxLayout;
    auto* code = new QLabel(kTokenHelpCode, popover);
    QFont codeFont = monospaced();
    codeFont.setPointSizeF(11);
    code->setFont(codeFont);
    code->setTextInteractionFlags(Qt::TextSelectableByMouse);
    code->setWordWrap(true);
    auto* copy = new QToolButton(popover);
    copy->setObjectName(QStringLiteral("copyCode"));
    copy->setAccessibleName(QStringLiteral("Copy code"));
    copy->setAutoRaise(true);
    copy->setIcon(
        QIcon(Symbols::pixmap(QStringLiteral("doc.on.doc"), {14, 14}, palette().color(QPalette::Text))));
    copy->setToolTip(QStringLiteral("Copy code"));
    connect(copy, &QToolButton::clicked, popover,
            [] { QGuiApplication::clipboard()->setText(kTokenHelpCode); });
    codeRow->addWidget(code, 1);
    codeRow->addWidget(copy, 0, Qt::AlignTop);
    column->addLayout(codeRow);
    auto* outro = captionLabel(popover);
    outro->setFont(Fonts::callout());
    outro->setText(QStringLiteral(
        "Run the app on the device from Xcode, allow notifications, and copy the token from Xcode’s console. "
        "For "
        "TestFlight or App Store builds, read it in Console.app (select the device, filter for “APNs "
        "token”). The "
        "token differs between Development and Production builds and changes after reinstalling."));
    column->addWidget(outro);
    popover->adjustSize();
    popover->move(m_helpButton->mapToGlobal(QPoint(0, m_helpButton->height())));
    // A popup takes the keys but gives its focus to no one by itself: Copy has it, and Escape
    // closes the popup and gives the focus back to the help button.
    copy->setFocus(Qt::PopupFocusReason);
    // Where the popup took the window's activation with it, closing it leaves no focus at all.
    connect(popover, &QObject::destroyed, m_helpButton, [help = m_helpButton] {
        if (!help->isVisible())
            return;
        help->activateWindow();
        help->setFocus(Qt::PopupFocusReason);
    });
    popover->show();
}

} // namespace quorvex
