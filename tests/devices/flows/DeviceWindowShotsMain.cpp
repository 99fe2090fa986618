// Saves pictures of the status-bar preview at 0 to 4 cellular bars, and of the device push
// window when no Secret Service runs: the key box and the message of "Change…". Runs on a real X
// display with a session bus of its own that has no Secret Service on it.
// Usage: DISPLAY=:n quorvex-device-window-shots <output folder>
#include "devices/core/Apns.h"
#include "devices/flows/DevicePushWindow.h"
#include "platform/data/SystemClock.h"
#include "support/PrivateSessionBus.h"
#include "tools/Environment.h"
#include "windows/StatusBarWindow.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QtConcurrent/QtConcurrentRun>

#include <filesystem>
#include <iostream>

using namespace quorvex;
namespace fs = std::filesystem;

namespace {

void save(const QImage& image, const fs::path& file) {
    image.save(QString::fromStdString(file.string()));
    std::cout << file.string() << "\n";
}

// The preview strip, enlarged four times so its bars can be told apart by eye.
QImage strip(QWidget* window) {
    QWidget* preview = window->findChild<QWidget*>("preview");
    const QImage image = preview->grab().toImage();
    return image.scaled(image.size() * 4, Qt::KeepAspectRatio, Qt::FastTransformation);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: quorvex-device-window-shots <output folder>\n";
        return 2;
    }
    const fs::path out = fs::absolute(argv[1]);
    fs::create_directories(out);
    QTemporaryDir scratch;
    ::setenv("HOME", scratch.path().toUtf8().constData(), 1);
    // Before anything touches the session bus, which Qt connects to once.
    test::PrivateSessionBus bus(test::PrivateSessionBus::Secrets::none);
    if (!bus.skipReason().empty()) {
        std::cerr << bus.skipReason() << "\n";
        return 1;
    }
    QApplication app(argc, argv);

    StatusBarWindow statusBar;
    statusBar.show({{"UDID-1", "iPhone 16 Pro", std::nullopt}}, std::nullopt);
    for (int bars = 0; bars <= 4; ++bars) {
        DeviceTools::StatusBar settings;
        settings.cellularBars = bars;
        settings.wifiBars = std::min(bars, 3);
        settings.operatorName = "Carrier";
        settings.network = DeviceTools::StatusBar::Network::lte;
        statusBar.state().setSettings(settings);
        QTest::qWait(1500); // the spring settles
        save(strip(statusBar.window()), out / ("status-bar-preview-" + std::to_string(bars) + "-bars.png"));
    }
    save(statusBar.window()->grab().toImage(), out / "status-bar-window-4-bars.png");
    statusBar.window()->hide();

    // A key imported earlier, when a keyring still ran.
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
    if (!QTest::qWaitFor([&] { return !push.isChangingKey(); }, 10000)) {
        std::cerr << "the keychain did not answer\n";
        return 1;
    }
    QTest::qWait(400); // the toast fades in
    save(QGuiApplication::primaryScreen()->grabWindow(0).toImage(),
         out / "push-window-no-secret-service.png");
    std::cout << "key box: " << push.keyDetail().toStdString() << "\n";
    return 0;
}
