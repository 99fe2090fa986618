#include "app/StatusMenuDialogs.h"
#include "app/BlockedHostsSubmenuBuilder.h"

#include "app/MenuTestWorld.h"
#include "panel/sections/RecentURLs.h"
#include "support/FakeDialogs.h"
#include "support/FakeXcrun.h"
#include "tools/Environment.h"

#include <QComboBox>
#include <QSettings>

#include <gtest/gtest.h>

namespace quorvex {
namespace {

const PhysicalDevice kPhone{"00008110-AAAA", "Ana’s iPhone", std::nullopt, std::nullopt, {}};

QStringList storedURLs() {
    return sharedDefaults().value(RecentURLs::kSettingsKey).toStringList();
}

TEST(StatusMenuDialogsTest, OpenURLRefusesTextWithoutASchemeAndRemembersWhatItOpened) {
    struct Case {
        const char* name;
        QString typed;
        QStringList stored; // afterwards
        std::vector<ToastMessage> toasts;
        bool opens;
    };
    const ToastMessage refused{"That isn’t a URL", QString("Include the scheme, like myapp:// or https://"),
                               "link", true};
    const std::vector<Case> cases = {
        {"a bare host and path", "example.com/path", {"https://old.example"}, {refused}, false},
        {"only spaces", "   ", {"https://old.example"}, {refused}, false},
        {"a scheme that starts with a dash", "-x://y", {"https://old.example"}, {refused}, false},
        {"a custom scheme, trimmed",
         " \tmyapp://settings\t ",
         {"myapp://settings", "https://old.example"},
         {{"Opened on Ana’s iPhone", std::nullopt, "checkmark.circle", false}},
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sharedDefaults().setValue(RecentURLs::kSettingsKey, QStringList{"https://old.example"});
        test::FakeXcrun fake;
        fake.on({"devicectl", "device", "process", "openURL", "**"});
        test::FakeDialogs dialogs;
        dialogs.queueAnswer([&](const Alert& alert) {
            auto* box = qobject_cast<QComboBox*>(alert.accessory);
            EXPECT_EQ(box->currentText(), "https://old.example");
            box->setEditText(c.typed);
            return Dialogs::kFirstButton;
        });
        QSignalSpy toasts(&Toast::presenter(), &ToastPresenter::toastShown);
        ASSERT_TRUE(test::finishes(promptOpenURL(kPhone)));
        EXPECT_EQ(dialogs.alerts().at(0).message, "Open a URL on Ana’s iPhone");
        EXPECT_EQ(storedURLs(), c.stored);
        EXPECT_EQ(test::toastsOf(toasts), c.toasts);
        if (c.opens)
            EXPECT_EQ(fake.argumentLists(), (std::vector<std::vector<std::string>>{
                                                {"devicectl", "device", "process", "openURL", "--device",
                                                 "00008110-AAAA", "myapp://settings", "-q"}}));
        else
            EXPECT_TRUE(fake.argumentLists().empty());
    }
    sharedDefaults().remove(RecentURLs::kSettingsKey);
}

TEST(StatusMenuDialogsTest, CancellingADialogStartsNothing) {
    test::FakeXcrun fake;
    test::FakeDialogs dialogs;
    test::MenuTestWorld world;
    const SimulatorDevice simulator{"UDID-PHONE", "iPhone 15 Pro", std::nullopt};
    sharedDefaults().remove(RecentURLs::kSettingsKey);
    dialogs.queueAnswer(Dialogs::kFirstButton + 1);
    ASSERT_TRUE(test::finishes(promptOpenURL(kPhone)));
    dialogs.queueAnswer(Dialogs::kFirstButton + 1);
    ASSERT_TRUE(test::finishes(confirmKeychainReset(world.controller(), simulator)));
    ASSERT_TRUE(test::finishes(chooseProfile(kPhone)));                                // panel cancelled
    ASSERT_TRUE(test::finishes(chooseRootCertificate(world.controller(), simulator))); // panel cancelled
    EXPECT_TRUE(fake.argumentLists().empty());
    EXPECT_FALSE(sharedDefaults().contains(RecentURLs::kSettingsKey));
    ASSERT_EQ(dialogs.alerts().size(), 2u);
    EXPECT_EQ(dialogs.alerts()[1].message, "Reset the keychain of iPhone 15 Pro?");
    EXPECT_EQ(dialogs.alerts()[1].style, Alert::Style::Warning);
    EXPECT_EQ(dialogs.alerts()[1].destructive, (std::vector<bool>{true, false}));
    ASSERT_EQ(dialogs.panels().size(), 2u);
    EXPECT_EQ(dialogs.panels()[0].message, "Choose a configuration profile to install on Ana’s iPhone");
}

TEST(StatusMenuDialogsTest, ConfirmedSimulatorDialogsRunTheirCommandAndReport) {
    test::FakeXcrun fake;
    fake.on({"simctl", "keychain", "**"});
    test::FakeDialogs dialogs;
    test::MenuTestWorld world;
    const SimulatorDevice simulator{"UDID-PHONE", "iPhone 15 Pro", std::nullopt};
    QSignalSpy toasts(&Toast::presenter(), &ToastPresenter::toastShown);
    ASSERT_TRUE(test::finishes(confirmKeychainReset(world.controller(), simulator)));
    dialogs.queuePanelAnswer({"/tmp/Proxy CA.pem"});
    ASSERT_TRUE(test::finishes(chooseRootCertificate(world.controller(), simulator)));
    EXPECT_EQ(fake.argumentLists(),
              (std::vector<std::vector<std::string>>{
                  {"simctl", "keychain", "UDID-PHONE", "reset"},
                  {"simctl", "keychain", "UDID-PHONE", "add-root-cert", "/tmp/Proxy CA.pem"}}));
    EXPECT_EQ(
        test::toastsOf(toasts),
        (std::vector<ToastMessage>{{"Keychain reset", QString("iPhone 15 Pro"), "checkmark", false},
                                   {"Trusted Proxy CA.pem", QString("iPhone 15 Pro"), "checkmark", false}}));
}

TEST(StatusMenuDialogsTest, DeleteKeychainItemsSaysHowManyItemsGo) {
    struct Case {
        std::int64_t count;
        const char* start;
    };
    for (const Case& c :
         {Case{1, "1 item (passwords"}, Case{0, "0 items (passwords"}, Case{12, "12 items (passwords"}}) {
        SCOPED_TRACE(c.count);
        EXPECT_TRUE(deleteKeychainItemsText("Shop", c.count).startsWith(QString::fromUtf8(c.start)));
    }
    test::FakeDialogs dialogs;
    dialogs.queueAnswer(Dialogs::kFirstButton + 1);
    test::MenuTestWorld world;
    SimulatorApp shop;
    shop.id = "com.example.shop";
    shop.name = "Shop";
    const SimulatorInstall install{"UDID-PHONE", "iPhone 15 Pro", "/apps/Shop.app", {}, {}};
    ASSERT_TRUE(test::finishes(confirmDeleteKeychainItems(world.controller(), shop, install, 3)));
    ASSERT_EQ(dialogs.alerts().size(), 1u);
    EXPECT_EQ(dialogs.alerts()[0].message, "Delete Shop’s keychain items on iPhone 15 Pro?");
    EXPECT_EQ(
        dialogs.alerts()[0].informativeText,
        "3 items (passwords, tokens, keys) in Shop’s own access group are deleted for good, for example to "
        "test a fresh login. The app is stopped first. Other apps and shared keychain groups aren’t "
        "affected.");
}

TEST(StatusMenuDialogsTest, UninstallWhileAnotherLongTaskRunsOnlySaysPleaseWait) {
    test::FakeXcrun fake;
    test::FakeDialogs dialogs;
    test::MenuTestWorld world;
    SimulatorApp shop;
    shop.id = "com.example.shop";
    shop.name = "Shop";
    shop.installs = {{"UDID-PHONE", "iPhone 15 Pro", "/a", {}, {}}, {"UDID-PAD", "iPad Air", "/b", {}, {}}};
    Cleanup::shared().setWorking(true);
    QSignalSpy toasts(&Toast::presenter(), &ToastPresenter::toastShown);
    ASSERT_TRUE(test::finishes(confirmUninstall(world.controller(), shop)));
    EXPECT_TRUE(Cleanup::shared().isWorking());
    Cleanup::shared().setWorking(false);
    ASSERT_EQ(dialogs.alerts().size(), 1u);
    EXPECT_EQ(dialogs.alerts()[0].informativeText,
              "Shop and its data are removed from iPhone 15 Pro, iPad Air. Snapshots you saved are kept.");
    ASSERT_EQ(toasts.size(), 1);
    EXPECT_EQ(test::toastsOf(toasts)[0].title, "Please wait");
    EXPECT_TRUE(fake.argumentLists().empty());
}

TEST(StatusMenuDialogsTest, BlockHostAlertClosesOnlyOnAHostThatCanBeBlocked) {
    test::MenuTestWorld world;
    test::FakeDialogs dialogs;
    dialogs.queueAnswer([](const Alert&) { return Dialogs::kFirstButton; }); // empty field: refused
    dialogs.queueAnswer([](const Alert& alert) {
        alert.initialFocus->setProperty("text", "  api.example.com ");
        return Dialogs::kFirstButton;
    });
    BlockedHostsSubmenuBuilder::addBlockedHost(world.neighbours.network);
    EXPECT_EQ(dialogs.refusedFirstButtons(), 1);
    EXPECT_EQ(dialogs.alerts().at(0).message, "Block a host");
    EXPECT_EQ(world.neighbours.network.addedHosts, QStringList{"api.example.com"});
    dialogs.queueAnswer(Dialogs::kFirstButton + 1);
    BlockedHostsSubmenuBuilder::addBlockedHost(world.neighbours.network);
    EXPECT_EQ(world.neighbours.network.addedHosts.size(), 1);
}

} // namespace
} // namespace quorvex
