#include "shots/Shots.h"

#include "actions/Permissions.h"
#include "network/model/NetworkService.h"
#include "panel/controller/QuietNetwork.h"
#include "panel/sections/AppActionsSection.h"
#include "panel/sections/AppHeader.h"
#include "panel/sections/AppPanelWorld.h"
#include "panel/sections/DeviceAppDataCard.h"
#include "panel/sections/DeviceHubPanelView.h"
#include "panel/sections/FakeDeviceSection.h"
#include "panel/sections/LanguageSection.h"
#include "panel/sections/LanguageTools.h"
#include "panel/sections/NetworkSection.h"
#include "panel/sections/PanelFooter.h"
#include "panel/sections/PanelViewWorld.h"
#include "panel/sections/PermissionsSection.h"
#include "panel/sections/PhysicalDeviceSection.h"
#include "panel/sections/SimulatorBar.h"
#include "panel/widgets/SettingsGroup.h"
#include "panel/widgets/ValueMenu.h"
#include "support/FakeClock.h"
#include "support/RecordingWorkspace.h"
#include "tools/Environment.h"
#include "windows/ActionWindowsService.h"

#include <QDragEnterEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <QThreadPool>
#include <QVBoxLayout>

namespace quorvex::shots {
namespace {

using test::PanelViewWorld;

constexpr int kPanelWidth = 316;

class ShotNetwork final : public test::QuietNetwork {
public:
    bool isActive() const override { return true; }
    bool isBusy() const override { return busy; }
    NetworkProfile profile(const SimulatorApp&) const override { return current; }
    void setProfile(const NetworkProfile& profile, const SimulatorApp&) override { current = profile; }

    NetworkProfile current = NetworkProfile::builtIn("5g").value();
    bool busy = false;
};

class ShotLanguageTools final : public LanguageTools {
public:
    DeviceTools::LanguageAndRegion languageAndRegion(const QString&) override {
        return {QString("en-AU"), QString("GB")};
    }
    bool setLanguageAndRegion(const QString&, const QString&, const QString&) override { return true; }
    bool terminateApp(const QString&, const QString&) override { return true; }
    bool launchApp(const QString&, const QString&) override { return true; }
};

SimulatorApp shop() {
    SimulatorApp app;
    app.id = "com.example.shop";
    app.name = "Shop";
    app.devices = {"U1"};
    return app;
}

const SimulatorDevice kPhone{"U1", "iPhone 15", QDateTime::fromSecsSinceEpoch(10)};
const SimulatorDevice kPad{"U2", "iPad Air", QDateTime::fromSecsSinceEpoch(20)};

// Lays `content` out on a panel-coloured page as wide as the panel, padded as the panel does.
QImage onPanel(QWidget* content, int padding = 12) {
    QWidget page;
    QPalette palette = page.palette();
    palette.setColor(QPalette::Window, DeviceHubPanelView::panelColour(false));
    page.setPalette(palette);
    page.setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(&page);
    layout->setContentsMargins(padding, padding, padding, padding);
    layout->addWidget(content);
    layout->addStretch(1);
    page.setFixedWidth(kPanelWidth);
    page.adjustSize();
    page.show();
    QCoreApplication::processEvents();
    return page.grab().toImage();
}

QPalette darkPalette() {
    QPalette dark;
    for (const auto& [role, colour] : std::vector<std::pair<QPalette::ColorRole, QColor>>{
             {QPalette::Window, QColor(40, 40, 40)},
             {QPalette::WindowText, Qt::white},
             {QPalette::Base, QColor(30, 30, 30)},
             {QPalette::Text, Qt::white},
             {QPalette::Button, QColor(55, 55, 55)},
             {QPalette::ButtonText, Qt::white},
             {QPalette::PlaceholderText, QColor(160, 160, 160)}})
        dark.setColor(role, colour);
    return dark;
}

QImage deviceCards(Card card) {
    test::FakeClock clock;
    test::FakeDeviceSection services;
    const PhysicalDevice phone{"PHONE-1", "Ana’s iPhone", {}, {}, {}};
    const DeviceApp maps{"com.demo.maps", "Maps", {}, {}};
    services.deviceApps[phone.id] = {maps, {"com.demo.notes", "Notes", {}, {}}};
    services.savedSnapshots[maps.id] = {{QUuid::createUuid(),
                                         "Logged in",
                                         maps.id,
                                         phone.name,
                                         QDateTime(QDate(2026, 12, 9), QTime(14, 5), Qt::UTC),
                                         1'234'567,
                                         {}},
                                        {QUuid::createUuid(),
                                         "Fresh install",
                                         maps.id,
                                         phone.name,
                                         QDateTime(QDate(2026, 12, 1), QTime(9, 30), Qt::UTC),
                                         48'000,
                                         {}}};
    QImage picture;
    if (card == Card::physicalDevice) {
        QTemporaryDir folder;
        QSettings defaults(folder.filePath("defaults.ini"), QSettings::IniFormat);
        defaults.setValue(
            PhysicalDeviceSection::kRecentKey,
            QStringList{"myapp://orders/42", "https://demo.example/welcome", "myapp://settings"});
        auto* section = new PhysicalDeviceSection(phone, services, defaults, clock);
        QSignalSpy loaded(section->appDataCard(), &DeviceAppDataCard::appsLoaded);
        loaded.wait(5000);
        section->findChild<QLineEdit*>("urlField")->setText("myapp://cart");
        picture = onPanel(section);
    } else if (card == Card::appDataDownloading) {
        // A download running: its spinner in its own row, every other row dimmed.
        auto* downloading = new DeviceAppDataCard(phone, services, clock);
        QSignalSpy loaded(downloading, &DeviceAppDataCard::appsLoaded);
        loaded.wait(5000);
        auto* download = downloading->group()->findChild<QWidget*>("downloadRow");
        QTest::mouseClick(download, Qt::LeftButton, {}, QPoint(4, download->height() / 2));
        picture = onPanel(downloading);
    } else if (card == Card::appDataLoading) {
        services.holdApps("PAD-2");
        picture = onPanel(new DeviceAppDataCard({"PAD-2", "Studio iPad", {}, {}, {}}, services, clock));
    } else {
        auto* empty = new DeviceAppDataCard({"POD-3", "Old iPod", {}, {}, {}}, services, clock);
        QSignalSpy loaded(empty, &DeviceAppDataCard::appsLoaded);
        loaded.wait(5000);
        picture = onPanel(empty);
    }
    services.releaseAll();
    QThreadPool::globalInstance()->waitForDone();
    return picture;
}

} // namespace

QImage panelView(PanelState state) {
    PanelViewWorld world;
    test::QuietActionWindows actionWindows;
    test::FakeDeviceSection deviceSections;
    world.services->actionWindows = &actionWindows;
    world.services->deviceSections = &deviceSections;
    world.services->drop = [](const QByteArray&) {};
    const SimulatorApp notes = PanelViewWorld::app("org.demo.notes", "Notes", {"U1"});
    const PhysicalDevice phone{"D1", "Ana’s iPhone", QStringLiteral("iPhone 14"), {}, {}};
    struct Setup {
        std::vector<SimulatorDevice> booted;
        std::vector<PhysicalDevice> connected;
        std::vector<SimulatorApp> apps;
        std::optional<QString> pick;
        QSize size;
    };
    const Setup setups[] = {
        {{}, {}, {}, std::nullopt, {316, 520}},          // noSimulator
        {{kPhone}, {}, {}, std::nullopt, {316, 520}},    // noApps
        {{kPhone, kPad}, {}, {notes}, "U1", {316, 520}}, // app
        {{kPhone}, {phone}, {notes}, "D1", {316, 520}},  // connectedDevice
        {{kPhone}, {}, {notes}, std::nullopt, {26, 72}}, // collapsed
        {{kPhone}, {}, {notes}, "U1", {316, 520}},       // dragging
        {{kPhone, kPad}, {}, {notes}, "U1", {316, 520}}, // appDark
        {{kPhone, kPad}, {}, {notes}, "U1", {316, 640}}, // keyboardFocus
    };
    const Setup& setup = setups[int(state)];
    world.booted = setup.booted;
    world.connected = setup.connected;
    world.apps = setup.apps;
    world.panel->setCollapsed(state == PanelState::collapsed);
    world.panel->setDeviceOverride(setup.pick);
    DeviceHubPanelView view(*world.services);
    if (state == PanelState::appDark)
        view.setPalette(darkPalette());
    view.resize(setup.size);
    view.show();
    QMimeData link;
    link.setText("https://example.com");
    if (state == PanelState::dragging) {
        QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &link, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&view, &enter);
        world.clock.advance(1);
    }
    if (state == PanelState::keyboardFocus) {
        // Where Tab has gone shows only in an active window.
        view.simulatorBar()->setShowsLanguage(true);
        view.activateWindow();
        (void)QTest::qWaitForWindowActive(&view);
        QCoreApplication::processEvents();
        if (auto* tool = view.findChild<QWidget*>("shakeTool"))
            tool->setFocus(Qt::TabFocusReason);
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    QImage picture = view.grab().toImage();
    if (state == PanelState::keyboardFocus) {
        // A second picture beside it: the focus on a card row further down.
        if (auto* row = view.findChild<QWidget*>("openURLRow"))
            row->setFocus(Qt::TabFocusReason);
        QCoreApplication::processEvents();
        const QImage rowPicture = view.grab().toImage();
        QImage both(picture.width() * 2 + 16 * picture.devicePixelRatio(), picture.height(),
                    picture.format());
        both.setDevicePixelRatio(picture.devicePixelRatio());
        both.fill(Qt::transparent);
        QPainter painter(&both);
        painter.drawImage(QPoint(0, 0), picture);
        painter.drawImage(QPointF(picture.width() / picture.devicePixelRatio() + 16, 0), rowPicture);
        painter.end();
        picture = both;
    }
    deviceSections.releaseAll();
    return picture;
}

QImage panelCard(Card card) {
    switch (card) {
    case Card::network5g:
    case Card::networkMenu:
    case Card::networkTrainBusy: {
        ShotNetwork network;
        if (card != Card::network5g)
            network.current = NetworkProfile::builtIn("train").value();
        network.busy = card == Card::networkTrainBusy;
        auto* section = new NetworkSection(shop(), network);
        if (card != Card::networkMenu)
            return onPanel(section);
        QMenu* menu = section->otherSpeeds()->items();
        menu->ensurePolished();
        menu->adjustSize();
        QImage picture = menu->grab().toImage();
        delete section;
        return picture;
    }
    case Card::permissionsShort:
    case Card::permissionsAll: {
        sharedDefaults().remove(QStringLiteral("permissionActions"));
        test::FakeClock clock;
        Permissions permissions([](auto...) { return true; });
        QSignalSpy finished(&permissions, &Permissions::applyFinished);
        permissions.apply(PermissionAction::grant, PermissionService::camera, shop());
        permissions.apply(PermissionAction::revoke, PermissionService::location, shop());
        permissions.apply(PermissionAction::reset, PermissionService::siri, shop());
        while (finished.count() < 3 && finished.wait(5000)) {
        }
        auto* section = new PermissionsSection(shop(), permissions, clock);
        section->setShowsAll(card == Card::permissionsAll);
        QImage picture = onPanel(section);
        sharedDefaults().remove(QStringLiteral("permissionActions"));
        return picture;
    }
    case Card::languagePending: {
        ShotLanguageTools tools;
        auto* language = new LanguageSection(std::nullopt, shop(), tools);
        QSignalSpy read(language, &LanguageSection::readFinished);
        language->setTargetUDID(QString("U1"));
        if (read.isEmpty())
            read.wait(5000);
        language->setLanguage("de");
        QImage picture = onPanel(language);
        QThreadPool::globalInstance()->waitForDone();
        return picture;
    }
    case Card::physicalDevice:
    case Card::appDataDownloading:
    case Card::appDataLoading:
    case Card::appDataNoApps:
        return deviceCards(card);
    case Card::appHeaderActionsFooter: {
        test::AppPanelWorld world;
        world.apps = {test::AppPanelWorld::app("org.demo.maps", "Maps", QString("2.1 (45)")),
                      test::AppPanelWorld::app("org.demo.notes", "Notes")};
        (void)world.probe({"org.demo.notes"});
        world.panel->setApp(world.apps[0]);
        auto* column = new QWidget;
        auto* layout = new QVBoxLayout(column);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        layout->addWidget(new AppHeader(*world.panel, world.simulators));
        auto* cards = new QWidget;
        auto* cardsLayout = new QVBoxLayout(cards);
        cardsLayout->setContentsMargins(12, 0, 12, 12);
        test::QuietActionWindows windows;
        test::RecordingWorkspace workspace;
        cardsLayout->addWidget(
            new AppActionsSection(*world.panel, world.apps[0], windows, nullptr, workspace));
        layout->addWidget(cards);
        layout->addWidget(new PanelFooter(false));
        return onPanel(column, 0);
    }
    case Card::footerDevice:
        return onPanel(new PanelFooter(true), 0);
    }
    return {};
}

QImage simulatorBarWithoutAccessibility() {
    PanelViewWorld world(false);
    world.booted = {kPhone};
    SimulatorBar bar(*world.services);
    bar.show();
    bar.resize(kPanelWidth, bar.sizeHint().height());
    QCoreApplication::processEvents();
    return bar.grab().toImage();
}

} // namespace quorvex::shots
