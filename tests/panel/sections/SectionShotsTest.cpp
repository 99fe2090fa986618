// Pictures of the sections for looking at, never compared: each test saves PNGs into the folder
// QUORVEX_SHOTS_DIR names and is skipped when it names none.
#include "panel/sections/AppActionsSection.h"
#include "panel/sections/AppHeader.h"
#include "panel/sections/AppPanelWorld.h"
#include "panel/sections/DeviceAppDataCard.h"
#include "panel/sections/FakeDeviceSection.h"
#include "panel/sections/PanelFooter.h"
#include "panel/sections/PhysicalDeviceSection.h"
#include "panel/widgets/SettingsGroup.h"
#include "support/RecordingWorkspace.h"
#include "windows/ActionWindowsService.h"

#include <QDir>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QThreadPool>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace quorvex {
namespace {

constexpr int kPanelWidth = 316;

class NoWindows final : public ActionWindowsService {
public:
    void openDeepLinkWindow(const SimulatorApp&) override {}
    void openPushWindow(const SimulatorApp&) override {}
    void showStatusBarWindow(const std::vector<SimulatorDevice>&, const SimulatorDevice&) override {}
    void screenshot(const QString&, bool) override {}
};

class SectionShotsTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_folder = qEnvironmentVariable("QUORVEX_SHOTS_DIR");
        if (m_folder.isEmpty())
            GTEST_SKIP() << "QUORVEX_SHOTS_DIR names no folder";
        QDir().mkpath(m_folder);
    }
    void TearDown() override {
        m_services.releaseAll();
        QThreadPool::globalInstance()->waitForDone();
    }
    // Lays `content` out on a panel-coloured page as wide as the panel, padded as the panel does.
    void save(QWidget* content, const QString& name, int padding = 12) {
        QWidget page;
        page.setAutoFillBackground(true);
        auto* layout = new QVBoxLayout(&page);
        layout->setContentsMargins(padding, padding, padding, padding);
        layout->addWidget(content);
        layout->addStretch(1);
        page.setFixedWidth(kPanelWidth);
        page.adjustSize();
        page.show();
        QCoreApplication::processEvents();
        ASSERT_TRUE(page.grab().save(m_folder + QLatin1Char('/') + name + QStringLiteral(".png")));
        content->setParent(nullptr);
    }

    QString m_folder;
    test::FakeClock m_clock;
    test::FakeDeviceSection m_services;
};

TEST_F(SectionShotsTest, PhysicalDeviceSection) {
    const PhysicalDevice phone{"PHONE-1", "Ana’s iPhone", {}, {}, {}};
    const DeviceApp maps{"com.demo.maps", "Maps", {}, {}};
    m_services.deviceApps[phone.id] = {maps, {"com.demo.notes", "Notes", {}, {}}};
    m_services.savedSnapshots[maps.id] = {{QUuid::createUuid(),
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
    QTemporaryDir folder;
    QSettings defaults(folder.filePath("defaults.ini"), QSettings::IniFormat);
    defaults.setValue(PhysicalDeviceSection::kRecentKey,
                      QStringList{"myapp://orders/42", "https://demo.example/welcome", "myapp://settings"});
    auto* section = new PhysicalDeviceSection(phone, m_services, defaults, m_clock);
    QSignalSpy loaded(section->appDataCard(), &DeviceAppDataCard::appsLoaded);
    ASSERT_TRUE(loaded.wait(5000));
    section->findChild<QLineEdit*>("urlField")->setText("myapp://cart");
    save(section, "physical-device-section");
    delete section;

    // A download running: its spinner in its own row, every other row dimmed.
    auto* downloading = new DeviceAppDataCard(phone, m_services, m_clock);
    QSignalSpy cardLoaded(downloading, &DeviceAppDataCard::appsLoaded);
    ASSERT_TRUE(cardLoaded.wait(5000));
    auto* download = downloading->group()->findChild<QWidget*>("downloadRow");
    QTest::mouseClick(download, Qt::LeftButton, {}, QPoint(4, download->height() / 2));
    save(downloading, "device-app-data-card-downloading");
    delete downloading;

    // The card alone while the device's apps are still being read, and for a device without any.
    m_services.holdApps("PAD-2");
    auto* loading = new DeviceAppDataCard({"PAD-2", "Studio iPad", {}, {}, {}}, m_services, m_clock);
    save(loading, "device-app-data-card-loading");
    delete loading;
    auto* empty = new DeviceAppDataCard({"POD-3", "Old iPod", {}, {}, {}}, m_services, m_clock);
    QSignalSpy emptyLoaded(empty, &DeviceAppDataCard::appsLoaded);
    ASSERT_TRUE(emptyLoaded.wait(5000));
    save(empty, "device-app-data-card-no-apps");
    delete empty;
}

TEST_F(SectionShotsTest, AppHeaderActionsAndFooter) {
    test::AppPanelWorld world;
    world.apps = {test::AppPanelWorld::app("org.demo.maps", "Maps", QString("2.1 (45)")),
                  test::AppPanelWorld::app("org.demo.notes", "Notes")};
    ASSERT_TRUE(world.probe({"org.demo.notes"}));
    world.panel->setApp(world.apps[0]);

    auto* column = new QWidget;
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(new AppHeader(*world.panel, world.simulators));
    auto* cards = new QWidget;
    auto* cardsLayout = new QVBoxLayout(cards);
    cardsLayout->setContentsMargins(12, 0, 12, 12);
    NoWindows windows;
    test::RecordingWorkspace workspace;
    cardsLayout->addWidget(new AppActionsSection(*world.panel, world.apps[0], windows, nullptr, workspace));
    layout->addWidget(cards);
    layout->addWidget(new PanelFooter(false));
    save(column, "app-header-actions-footer", 0);
    delete column;

    auto* footer = new PanelFooter(true);
    save(footer, "panel-footer-device", 0);
    delete footer;
}

} // namespace
} // namespace quorvex
