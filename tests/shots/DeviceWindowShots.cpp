#include "shots/Shots.h"

#include "devices/core/Apns.h"
#include "devices/core/ApnsClient.h"
#include "devices/flows/DevicePushWindow.h"
#include "tools/Environment.h"
#include "windows/StatusBarWindow.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QTest>
#include <QWidget>
#include <QtConcurrent/QtConcurrentRun>

namespace quorvex::shots {

QImage statusBarPreview(std::optional<int> bars) {
    StatusBarWindow statusBar;
    statusBar.show({{"UDID-1", "iPhone 16 Pro", std::nullopt}}, std::nullopt);
    const int shown = bars.value_or(4);
    DeviceTools::StatusBar settings;
    settings.cellularBars = shown;
    settings.wifiBars = std::min(shown, 3);
    settings.operatorName = "Carrier";
    settings.network = DeviceTools::StatusBar::Network::lte;
    statusBar.state().setSettings(settings);
    QTest::qWait(1500); // the spring settles
    QImage image;
    if (bars) {
        // The strip alone, enlarged four times so its bars can be told apart by eye.
        image = statusBar.window()->findChild<QWidget*>("preview")->grab().toImage();
        image = image.scaled(image.size() * 4, Qt::KeepAspectRatio, Qt::FastTransformation);
    } else {
        image = statusBar.window()->grab().toImage();
    }
    statusBar.window()->hide();
    return image;
}

QImage pushWindowWithoutSecretService() {
    // A key imported earlier, when a keyring still ran; the session bus of quorvex-shots has none.
    sharedDefaults().setValue(
        Apns::kCredentialsKey,
        Apns::Credentials{"ABCDE12345", "TEAM123456", "AuthKey_ABCDE12345.p8"}.encode());
    ApnsClient client;
    DevicePushWindow push(client, [](const QString&) {
        return QtConcurrent::run([] {
            return std::vector<DeviceApp>{{"com.demo.orders", "Orders", {}, {}}};
        });
    });
    push.move(200, 120);
    push.show(PhysicalDevice{"D1", "Ana’s iPhone", {}, {}, {}});
    push.importKey();
    if (!QTest::qWaitFor([&] { return !push.isChangingKey(); }, 10000))
        return {};
    QTest::qWait(400); // the toast fades in
    const QImage screen = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
    sharedDefaults().remove(Apns::kCredentialsKey);
    return screen;
}

} // namespace quorvex::shots
