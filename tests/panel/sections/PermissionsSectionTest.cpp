#include "panel/sections/PermissionsSection.h"

#include "actions/Permissions.h"
#include "panel/widgets/HoverHint.h"
#include "panel/widgets/SettingsRow.h"
#include "panel/widgets/ValueMenu.h"
#include "support/FakeClock.h"
#include "support/Settle.h"
#include "tools/Environment.h"
#include "ui/Palette.h"

#include <QLabel>
#include <QMenu>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <future>
#include <mutex>

namespace quorvex {
namespace {

using Action = PermissionAction;
using Service = PermissionService;

SimulatorApp shop() {
    SimulatorApp app;
    app.id = "com.example.shop";
    app.name = "Shop";
    app.devices = {"U1"};
    app.installs.push_back({"U1", "iPhone 15", {}, {}, {}});
    return app;
}

TEST(PermissionsSectionTest, OnlyTheLastActionIsFilledInItsColour) {
    using Icon = PermissionsSection::ActionIcon;
    struct Case {
        Action action;
        std::optional<Action> last;
        Icon icon;
    };
    const std::vector<Case> cases = {
        {Action::grant, std::nullopt, {"checkmark.circle", std::nullopt}},
        {Action::grant, Action::grant, {"checkmark.circle.fill", Palette::green()}},
        {Action::grant, Action::revoke, {"checkmark.circle", std::nullopt}},
        {Action::revoke, Action::revoke, {"xmark.circle.fill", Palette::red()}},
        {Action::revoke, Action::reset, {"xmark.circle", std::nullopt}},
        {Action::reset, Action::reset, {"arrow.counterclockwise.circle.fill", Palette::blue()}},
        {Action::reset, std::nullopt, {"arrow.counterclockwise.circle", std::nullopt}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.icon.symbol.toStdString());
        EXPECT_EQ(PermissionsSection::actionIcon(c.action, c.last), c.icon);
    }
}

// A Permissions whose simulator commands are recorded and, when asked, held until released.
struct PermissionsCard : ::testing::Test {
    struct Call {
        Action action;
        std::optional<Service> service;
        QString bundleID;
        QString udid;
    };
    std::mutex lock;
    std::vector<Call> calls;
    bool holdCommands = false;
    std::promise<bool> release;
    std::shared_future<bool> released = release.get_future().share();
    test::FakeClock clock;
    std::unique_ptr<Permissions> permissions;

    void SetUp() override {
        sharedDefaults().remove(QStringLiteral("permissionActions"));
        const bool hold = holdCommands;
        permissions =
            std::make_unique<Permissions>([this, hold](Action action, std::optional<Service> service,
                                                       const QString& bundleID, const QString& udid) {
                {
                    std::lock_guard guard(lock);
                    calls.push_back({action, service, bundleID, udid});
                }
                if (hold)
                    released.wait();
                return true;
            });
    }
    void TearDown() override {
        test::settle(release, true);
        permissions.reset();
        sharedDefaults().remove(QStringLiteral("permissionActions"));
    }

    // The apply may end while the click's events are still being delivered, before a wait begins.
    static void waitFor(QSignalSpy& spy) {
        if (spy.isEmpty()) {
            ASSERT_TRUE(spy.wait(5000));
        }
    }

    // Clicks and waits until the apply it started has ended.
    void clickAndFinish(QAbstractButton* button) {
        ASSERT_NE(button, nullptr);
        QSignalSpy finished(permissions.get(), &Permissions::applyFinished);
        QTest::mouseClick(button, Qt::LeftButton);
        waitFor(finished);
    }

    static QStringList filled(const PermissionsSection& section) {
        QStringList result;
        for (const Service service : allPermissionServices())
            for (const Action action : {Action::grant, Action::revoke, Action::reset})
                if (const QToolButton* button = section.actionButton(service, action))
                    if (button->property("symbol").toString().endsWith(".fill"))
                        result << button->objectName();
        return result;
    }
};

TEST_F(PermissionsCard, AFreshAppShowsFiveOutlinedRowsAndTheToggleSwitchesToAllThirteen) {
    PermissionsSection section(shop(), *permissions, clock);
    section.show();
    const QStringList five{"Camera", "Photos", "Location (While Using)", "Contacts", "Microphone"};
    EXPECT_EQ(section.serviceTitles(), five);
    EXPECT_EQ(section.toggleRow()->title(), "Show All 13");
    EXPECT_TRUE(filled(section).isEmpty());
    EXPECT_EQ(section.actionButton(Service::siri, Action::grant), nullptr);

    QTest::mouseClick(section.toggleRow(), Qt::LeftButton);
    QStringList all;
    for (const Service service : allPermissionServices())
        all << title(service);
    EXPECT_EQ(section.serviceTitles(), all);
    EXPECT_EQ(section.toggleRow()->title(), "Show Fewer");

    QTest::mouseClick(section.toggleRow(), Qt::LeftButton);
    EXPECT_EQ(section.serviceTitles(), five);
    EXPECT_FALSE(section.showsAll());
}

TEST_F(PermissionsCard, ARowsButtonsApplyToTheirServiceAndTheLatestActionIsFilled) {
    PermissionsSection section(shop(), *permissions, clock);
    section.show();
    clickAndFinish(section.actionButton(Service::camera, Action::revoke));
    EXPECT_EQ(filled(section), QStringList{"revoke.camera"});
    clickAndFinish(section.actionButton(Service::camera, Action::grant));
    EXPECT_EQ(filled(section), QStringList{"grant.camera"});

    std::lock_guard guard(lock);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].action, Action::revoke);
    EXPECT_EQ(calls[0].service, Service::camera);
    EXPECT_EQ(calls[0].bundleID, "com.example.shop");
    EXPECT_EQ(calls[0].udid, "U1");
}

TEST_F(PermissionsCard, ResetAllMarksEveryServiceIncludingTheHiddenOnes) {
    PermissionsSection section(shop(), *permissions, clock);
    section.show();
    QStringList items;
    for (const QAction* item : section.allMenu()->items()->actions())
        items << item->text();
    EXPECT_EQ(items, (QStringList{"Grant All", "Revoke All", "Reset All"}));
    EXPECT_EQ(section.allMenu()->text(), "All");

    QSignalSpy finished(permissions.get(), &Permissions::applyFinished);
    section.allMenu()->items()->actions()[2]->trigger();
    waitFor(finished);
    {
        std::lock_guard guard(lock);
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].service, std::nullopt) << "one command for every service";
    }
    EXPECT_EQ(filled(section).size(), 5);
    section.setShowsAll(true);
    const QStringList marked = filled(section);
    EXPECT_EQ(marked.size(), 13);
    EXPECT_TRUE(marked.contains("reset.siri"));
}

TEST_F(PermissionsCard, HoveringAnActionButtonNamesTheActionAndTheService) {
    PermissionsSection section(shop(), *permissions, clock);
    section.setShowsAll(true);
    section.show();
    QToolButton* reset = section.actionButton(Service::siri, Action::reset);
    ASSERT_NE(reset, nullptr);
    auto* hint = reset->findChild<HoverHint*>();
    ASSERT_NE(hint, nullptr);
    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(reset, &enter);
    clock.advance(HoverHint::kDelay + 0.1);
    ASSERT_TRUE(hint->isShown());
    EXPECT_EQ(hint->bubble()->findChild<QLabel*>()->text(), "Reset Siri");
    EXPECT_LT(hint->bubble()->geometry().right(), reset->mapToGlobal(QPoint(0, 0)).x())
        << "left of the button";
}

struct BusyPermissionsCard : PermissionsCard {
    void SetUp() override {
        holdCommands = true;
        PermissionsCard::SetUp();
    }
};

TEST_F(BusyPermissionsCard, WhilePermissionsWorkNothingInTheCardReacts) {
    PermissionsSection section(shop(), *permissions, clock);
    section.show();
    QSignalSpy finished(permissions.get(), &Permissions::applyFinished);
    QTest::mouseClick(section.actionButton(Service::photos, Action::grant), Qt::LeftButton);
    ASSERT_TRUE(permissions->isWorking());
    EXPECT_EQ(filled(section), QStringList{"grant.photos"}) << "recorded at once, before the command ends";

    QTest::mouseClick(section.actionButton(Service::camera, Action::grant), Qt::LeftButton);
    QTest::mouseClick(section.toggleRow(), Qt::LeftButton);
    EXPECT_FALSE(section.allMenu()->isEnabled());
    EXPECT_FALSE(section.showsAll());

    release.set_value(true);
    waitFor(finished);
    EXPECT_TRUE(section.isEnabled());
    std::lock_guard guard(lock);
    EXPECT_EQ(calls.size(), 1u);
}

} // namespace
} // namespace quorvex
