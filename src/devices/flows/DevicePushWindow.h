#pragma once

#include "devices/core/Apns.h"
#include "devices/core/ApnsClient.h"
#include "devices/core/DeviceApp.h"
#include "devices/core/PhysicalDevice.h"

#include <QFuture>
#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QToolButton;

namespace quorvex {

/// The "Send Push Notification" window: picks an app on a connected device, takes its device
/// token, environment and payload, and sends one notification through APNs with the user's key,
/// which it also imports and removes. Remembers token and environment per app and the last app.
/// One window for the whole process, hidden when closed. GUI thread.
///
/// The key box says only what the keychain confirmed: the stored key is read back (without
/// waiting on the GUI thread) whenever the window is shown and after every change, and the box
/// tells when it is missing or the keychain cannot be asked. Sends, imports and removals ask the
/// keychain asynchronously too; its bound keeps a keyring that hangs from holding them up.
class DevicePushWindow final : public QWidget {
    Q_OBJECT
public:
    /// Gives the device's apps (container access not required) off the GUI thread.
    using AppLoader = std::function<QFuture<std::vector<DeviceApp>>(const QString& deviceID)>;

    static const QString kDefaultPayload;
    static const QString kTokenHelpCode;

    explicit DevicePushWindow(ApnsClient& client, AppLoader loader = {}, QWidget* parent = nullptr);
    ~DevicePushWindow() override;

    /// Shows the window for the device and loads its apps; the previous list, token and payload
    /// stay until replaced.
    void show(const PhysicalDevice& device);
    /// "Add Key…" / "Change…": open panel, check, Key ID and Team ID, save.
    void importKey();
    /// "Remove": forgets the key without asking.
    void removeKey();
    /// "Send Push".
    void send();

    // The state, for the views and for tests.
    const std::optional<PhysicalDevice>& device() const { return m_device; }
    const std::vector<DeviceApp>& apps() const { return m_apps; }
    bool isLoadingApps() const { return m_loadingApps; }
    const std::optional<QString>& appID() const { return m_appID; }
    void setAppID(const std::optional<QString>& appID);
    QString token() const;
    void setToken(const QString& token);
    Apns::Environment environment() const { return m_environment; }
    void setEnvironment(Apns::Environment environment);
    QString payload() const;
    void setPayload(const QString& payload);
    const std::optional<Apns::Credentials>& credentials() const { return m_credentials; }
    bool isSending() const { return m_sending; }
    /// What the keychain said of the stored key.
    enum class KeyCheck { none, checking, stored, missing, unreachable };
    KeyCheck keyCheck() const { return m_keyCheck; }
    /// The key box's two lines, as shown.
    QString keyTitle() const;
    QString keyDetail() const;
    /// An import or removal is waiting for the keychain.
    bool isChangingKey() const { return m_changingKey; }

    /// "Paste the app’s device token", "Device tokens are at least 64 hex characters", or none.
    std::optional<QString> tokenHint() const;
    std::optional<QString> payloadMessage() const;
    bool canSend() const;
    QPushButton* sendButton() const { return m_sendButton; }

signals:
    void appsLoaded();
    void sendFinished();
    /// The keychain has answered about the stored key (see keyCheck), or an import or removal
    /// has ended.
    void keyChanged();

private:
    void build();
    void refresh();
    void refreshKeyBox();
    void applyApps(std::vector<DeviceApp> apps);
    void finishSend(const ApnsClient::Response& response, const DeviceApp& app, const PhysicalDevice& device);
    void failSend(const QString& title, const std::optional<QString>& detail);
    void checkKey();
    void chooseKeyFile();
    void showTokenHelp();

    ApnsClient& m_client;
    AppLoader m_loader;
    quint64 m_loadGeneration = 0;

    std::optional<PhysicalDevice> m_device;
    std::vector<DeviceApp> m_apps;
    bool m_loadingApps = false;
    std::optional<QString> m_appID;
    Apns::Environment m_environment = Apns::Environment::sandbox;
    std::optional<Apns::Credentials> m_credentials;
    KeyCheck m_keyCheck = KeyCheck::none;
    QString m_keyProblem; // why the key cannot be read, when it cannot
    quint64 m_keyCheckNumber = 0;
    bool m_changingKey = false;
    bool m_sending = false;
    bool m_updatingViews = false;

    QLabel* m_keyIcon = nullptr;
    QLabel* m_keyTitle = nullptr;
    QLabel* m_keyDetail = nullptr;
    QPushButton* m_keyButton = nullptr;
    QPushButton* m_removeButton = nullptr;
    QComboBox* m_appPicker = nullptr;
    QProgressBar* m_appsProgress = nullptr;
    QLineEdit* m_tokenField = nullptr;
    QToolButton* m_helpButton = nullptr;
    QLabel* m_tokenHint = nullptr;
    QButtonGroup* m_environmentGroup = nullptr;
    QPlainTextEdit* m_payloadEditor = nullptr;
    QLabel* m_payloadMessage = nullptr;
    QProgressBar* m_sendProgress = nullptr;
    QPushButton* m_sendButton = nullptr;
};

} // namespace quorvex
