#include "panel/controller/QuietNetwork.h"
#include "panel/sections/LanguageSection.h"
#include "panel/sections/LanguageTools.h"
#include "panel/sections/NetworkSection.h"
#include "panel/sections/PermissionsSection.h"

#include "actions/Permissions.h"
#include "network/model/NetworkService.h"
#include "panel/widgets/ValueMenu.h"
#include "support/FakeClock.h"
#include "tools/Environment.h"

#include <QDir>
#include <QMenu>
#include <QSettings>
#include <QSignalSpy>
#include <QThreadPool>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace quorvex {
namespace {

// Pictures of the three cards in the panel's colours, for looking at (never compared). Runs only
// when QUORVEX_SHOTS_DIR names a folder.
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

void save(QWidget* card, const QString& name) {
    QWidget frame;
    QPalette palette = frame.palette();
    palette.setColor(QPalette::Window, QColor::fromRgbF(0.925f, 0.925f, 0.925f));
    frame.setPalette(palette);
    frame.setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(&frame);
    layout->setContentsMargins(12, 12, 12, 12);
    card->setParent(&frame);
    layout->addWidget(card);
    frame.resize(316, frame.sizeHint().height()); // the panel's width
    frame.show();
    QCoreApplication::processEvents();
    const QString path = QDir(qEnvironmentVariable("QUORVEX_SHOTS_DIR")).filePath(name);
    EXPECT_TRUE(frame.grab().save(path)) << path.toStdString();
}

TEST(PanelSectionsShots, SavesEachCard) {
    if (qEnvironmentVariableIsEmpty("QUORVEX_SHOTS_DIR"))
        GTEST_SKIP() << "QUORVEX_SHOTS_DIR is not set";
    QDir().mkpath(qEnvironmentVariable("QUORVEX_SHOTS_DIR"));

    ShotNetwork network;
    save(new NetworkSection(shop(), network), "network-5g.png");
    network.current = NetworkProfile::builtIn("train").value();
    {
        NetworkSection open(shop(), network);
        QMenu* menu = open.otherSpeeds()->items();
        menu->ensurePolished();
        menu->adjustSize();
        const QString path = QDir(qEnvironmentVariable("QUORVEX_SHOTS_DIR")).filePath("network-menu.png");
        EXPECT_TRUE(menu->grab().save(path));
    }
    network.busy = true;
    save(new NetworkSection(shop(), network), "network-train-busy.png");

    sharedDefaults().remove(QStringLiteral("permissionActions"));
    test::FakeClock clock;
    Permissions permissions([](auto...) { return true; });
    {
        QSignalSpy finished(&permissions, &Permissions::applyFinished);
        permissions.apply(PermissionAction::grant, PermissionService::camera, shop());
        permissions.apply(PermissionAction::revoke, PermissionService::location, shop());
        permissions.apply(PermissionAction::reset, PermissionService::siri, shop());
        while (finished.count() < 3)
            ASSERT_TRUE(finished.wait(5000));
    }
    save(new PermissionsSection(shop(), permissions, clock), "permissions-short.png");
    auto* all = new PermissionsSection(shop(), permissions, clock);
    all->setShowsAll(true);
    save(all, "permissions-all.png");

    ShotLanguageTools tools;
    auto* language = new LanguageSection(std::nullopt, shop(), tools);
    QSignalSpy read(language, &LanguageSection::readFinished);
    language->setTargetUDID(QString("U1"));
    if (read.isEmpty()) {
        ASSERT_TRUE(read.wait(5000));
    }
    language->setLanguage("de");
    save(language, "language-pending.png");
    QThreadPool::globalInstance()->waitForDone();
    sharedDefaults().remove(QStringLiteral("permissionActions"));
}

} // namespace
} // namespace quorvex
