// Shows the push, open-URL and status-bar windows and a framed screenshot with its thumbnail
// against the demo world on a real X display, and saves what they look like as PNGs.
// Usage: DISPLAY=:n quorvex-windows-showcase <output folder>
#include "actions/SimulatorActions.h"
#include "platform/data/SystemClock.h"
#include "platform/gui/Clipboard.h"
#include "platform/gui/Workspace.h"
#include "simulator/SimulatorApps.h"
#include "support/DemoWorld.h"
#include "support/FakeXcrun.h"
#include "tools/Environment.h"
#include "windows/ActionWindowsController.h"
#include "windows/ChromeFixture.h"
#include "windows/ScreenshotThumbnail.h"

#include <QApplication>
#include <QLineEdit>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <iostream>

using namespace quorvex;
using nlohmann::json;
namespace fs = std::filesystem;

namespace {

// A phone frame: a dark ring with rounded corners around a 393 x 852-point screen.
void writeFrame(const fs::path& file) {
    QPdfWriter writer(QString::fromStdString(file.string()));
    writer.setResolution(72);
    writer.setPageSize(QPageSize(QSizeF(417, 876), QPageSize::Point));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    QPainter painter(&writer);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath outer;
    outer.addRoundedRect(QRectF(0, 0, 417, 876), 66, 66);
    QPainterPath inner;
    inner.addRoundedRect(QRectF(12, 12, 393, 852), 55, 55);
    painter.fillPath(outer.subtracted(inner), QColor(28, 28, 30));
    QPainterPath island;
    island.addRoundedRect(QRectF(148, 23, 121, 36), 18, 18);
    painter.fillPath(island, Qt::black);
}

QImage homeScreen(QSize size) {
    QImage image(size, QImage::Format_ARGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient gradient(0, 0, size.width(), size.height());
    gradient.setColorAt(0, QColor(38, 84, 200));
    gradient.setColorAt(1, QColor(214, 92, 150));
    painter.fillRect(image.rect(), gradient);
    painter.setPen(Qt::white);
    QFont font = painter.font();
    font.setPixelSize(48);
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(QRect(90, 60, 300, 90), Qt::AlignLeft | Qt::AlignVCenter, "9:41");
    const QColor tiles[] = {QColor(52, 199, 89), QColor(255, 149, 0), QColor(0, 122, 255),
                            QColor(255, 59, 48)};
    for (int row = 0; row < 5; ++row)
        for (int column = 0; column < 4; ++column) {
            QPainterPath tile;
            tile.addRoundedRect(QRectF(90 + column * 270, 330 + row * 300, 180, 180), 40, 40);
            painter.fillPath(tile, tiles[(row + column) % 4]);
        }
    return image;
}

void save(const QImage& image, const fs::path& file) {
    image.save(QString::fromStdString(file.string()));
    std::cout << file.string() << "\n";
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: quorvex-windows-showcase <output folder>\n";
        return 2;
    }
    const fs::path out = fs::absolute(argv[1]);
    fs::create_directories(out);
    QTemporaryDir scratch;
    const fs::path root = scratch.path().toStdString();
    const fs::path home = root / "home";
    fs::create_directories(home);
    ::setenv("HOME", home.c_str(), 1);
    QApplication app(argc, argv);

    test::FixtureHome world(home);
    test::DemoWorld::build(world);
    test::FakeXcrun fake;
    world.answer(fake);

    // The phone's device type, its chrome and what its screen shows.
    test::ChromeFixture chrome(root);
    const fs::path bundle = chrome.addChrome(
        "phone15pro",
        json{{"images",
              {{"sizing", {{"leftWidth", 12}, {"rightWidth", 12}, {"topHeight", 12}, {"bottomHeight", 12}}},
               {"composite", "frame"}}},
             {"devicePadding", {{"left", 3}, {"right", 3}}},
             {"inputs",
              {{{"image", "button"}, {"anchor", "left"}, {"offsets", {{"normal", {{"x", 1}, {"y", 180}}}}}},
               {{"image", "button"}, {"anchor", "left"}, {"offsets", {{"normal", {{"x", 1}, {"y", 250}}}}}},
               {{"image", "power"}, {"offsets", {{"normal", {{"x", -1}, {"y", 230}}}}}}}}},
        {{"button", {4, 50}, QColor(50, 50, 54), 2}, {"power", {4, 90}, QColor(50, 50, 54), 2}});
    writeFrame(bundle / "Contents" / "Resources" / "frame.pdf");
    const fs::path type = chrome.addDeviceType(
        "iPhone 15 Pro",
        {test::ChromeFixture::display("iPhone 15 Pro", 1179, 2556, "com.example.phone15pro", "mask")},
        std::nullopt, {{"mask", {393, 852}, Qt::black, 55}});
    const fs::path screen = root / "screen.png";
    homeScreen({1179, 2556}).save(QString::fromStdString(screen.string()));
    fake.on({"simctl", "list", "devices", "-j"},
            json{{"devices",
                  {{"com.apple.CoreSimulator.SimRuntime.iOS-17-0",
                    {{{"udid", test::DemoWorld::kPhone}, {"deviceTypeIdentifier", "type.iphone15pro"}}}}}}}
                .dump());
    fake.on(
        {"simctl", "list", "devicetypes", "-j"},
        json{{"devicetypes", {{{"identifier", "type.iphone15pro"}, {"bundlePath", type.string()}}}}}.dump());
    fake.rule({{"args", {"simctl", "io", "*", "screenshot", "*", "*"}},
               {"effects", {{{"copy", {screen.string(), 5}}}}}});
    fake.on({"**"});

    SimulatorApps apps(systemClock());
    QFuture<void> scanned = apps.refresh();
    if (!QTest::qWaitFor([&] { return scanned.isFinished(); }, 10000))
        return 1;
    QCoreApplication::processEvents();
    if (apps.apps().empty()) {
        std::cerr << "the demo world has no apps\n";
        return 1;
    }
    const SimulatorApp orders = apps.apps().front();

    SimulatorActions actions;
    actions.savePreset(
        {QUuid::createUuid(), "Order shipped",
         SimulatorActions::Kind::push("Order shipped", SimulatorActions::pushTemplates()[3].payload)},
        orders.id);
    actions.savePreset(
        {QUuid::createUuid(), "Order 12345", SimulatorActions::Kind::deepLink("myapp://orders/12345")},
        orders.id);
    actions.perform(SimulatorActions::Kind::push("Test", SimulatorActions::pushTemplates()[0].payload),
                    orders, orders.installs.front());
    actions.perform(SimulatorActions::Kind::deepLink("myapp://orders/12345"), orders,
                    orders.installs.front());

    ScreenshotThumbnail thumbnail(systemClock(), Workspace::system());
    ActionWindowsController windows(
        apps, actions, [] { return std::optional<QString>(test::DemoWorld::kPhone); }, systemClock(),
        Clipboard::system(), thumbnail);

    windows.openPushWindow(orders);
    QTest::qWait(600);
    save(windows.pushWindow().window()->grab().toImage(), out / "push-window.png");

    windows.openDeepLinkWindow(orders);
    windows.deepLinkWindow().state().setUrl("myapp://orders/12345");
    QTest::qWait(600);
    save(windows.deepLinkWindow().window()->grab().toImage(), out / "open-url-window.png");

    std::vector<SimulatorDevice> devices = apps.devices();
    DeviceTools::StatusBar settings;
    settings.operatorName = "Carrier";
    settings.network = DeviceTools::StatusBar::Network::fiveG;
    settings.batteryLevel = 75;
    settings.battery = DeviceTools::StatusBar::Battery::charging;
    windows.statusBarWindow().state().setSettings(settings);
    windows.showStatusBarWindow(devices, devices.front());
    QTest::qWait(600);
    save(windows.statusBarWindow().window()->grab().toImage(), out / "status-bar-window.png");

    // An invalid time: the hint shows and Apply is off.
    settings.time = "24:00";
    windows.statusBarWindow().state().setSettings(settings);
    QTest::qWait(600);
    save(windows.statusBarWindow().window()->grab().toImage(), out / "status-bar-window-invalid-time.png");

    for (QWidget* window : {windows.pushWindow().window(), windows.deepLinkWindow().window(),
                            windows.statusBarWindow().window()})
        window->hide();
    sharedDefaults().setValue(QStringLiteral("screenshot.folder"),
                              QString::fromStdString((root / "Shots").string()));
    windows.screenshot(test::DemoWorld::kPhone, false);
    if (!QTest::qWaitFor([&] { return thumbnail.file().has_value(); }, 20000)) {
        std::cerr << "the screenshot was not saved\n";
        return 1;
    }
    std::cout << "saved as " << thumbnail.file()->filename().string() << "\n";
    fs::copy_file(*thumbnail.file(), out / "framed-screenshot.png", fs::copy_options::overwrite_existing);
    QTest::qWait(800); // the thumbnail slides in over 0.3 s
    save(QGuiApplication::primaryScreen()->grabWindow(0).toImage(), out / "thumbnail-on-screen.png");
    return 0;
}
