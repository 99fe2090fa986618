#include "devices/flows/DevicePushWindow.h"

#include "devices/core/TestKeys.h"
#include "support/FakeDialogs.h"
#include "support/FakeKeychain.h"
#include "support/KeyboardAudit.h"
#include "support/QtPrinters.h"
#include "support/ToastLog.h"
#include "tools/Environment.h"

#include <QAccessible>
#include <QApplication>
#include <QLineEdit>
#include <QProgressBar>
#include <QPromise>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <map>

namespace quorvex {
namespace {

const PhysicalDevice kPhone{"P1", "Ana’s iPhone", {}, {}, {}};
const PhysicalDevice kPad{"P2", "Ana’s iPad", {}, {}, {}};
DeviceApp app(const char* id, const char* name) {
    return {id, name, std::nullopt, std::nullopt};
}

// App loads the test finishes by hand, in any order.
class ControlledLoads {
public:
    DevicePushWindow::AppLoader loader() {
        return [this](const QString& deviceID) {
            auto promise = std::make_shared<QPromise<std::vector<DeviceApp>>>();
            promise->start();
            m_pending.push_back({deviceID, promise});
            return promise->future();
        };
    }
    void finish(const QString& deviceID, std::vector<DeviceApp> apps) {
        for (auto it = m_pending.begin(); it != m_pending.end(); ++it)
            if (it->first == deviceID) {
                it->second->addResult(std::move(apps));
                it->second->finish();
                m_pending.erase(it);
                QCoreApplication::processEvents();
                return;
            }
        ADD_FAILURE() << "no load pending for " << deviceID.toStdString();
    }

private:
    std::vector<std::pair<QString, std::shared_ptr<QPromise<std::vector<DeviceApp>>>>> m_pending;
};

template <typename T> T awaited(QFuture<T> future) {
    EXPECT_TRUE(QTest::qWaitFor([&] { return future.isFinished(); }, 10'000));
    return future.isFinished() && future.resultCount() > 0 ? future.result() : T{};
}

class DevicePushWindowTest : public ::testing::Test {
protected:
    // Runs the import and waits for its end: the keychain answers asynchronously.
    void import(DevicePushWindow& window) {
        window.importKey();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !window.isChangingKey(); }, 10'000));
    }
    void TearDown() override {
        m_window.hide();
        sharedDefaults().clear();
    }
    test::FakeKeychain m_keychain;
    test::FakeDialogs m_dialogs;
    test::ToastLog m_toasts;
    ApnsClient m_client;
    ControlledLoads m_loads;
    DevicePushWindow m_window{m_client, m_loads.loader()};
};

TEST_F(DevicePushWindowTest, ALateLoadForThePreviousDeviceDoesNotReplaceTheList) {
    m_window.show(kPhone);
    m_window.show(kPad);
    m_loads.finish("P2", {app("com.pad.only", "Pad App")});
    m_loads.finish("P1", {app("com.phone.only", "Phone App")});
    ASSERT_EQ(m_window.apps().size(), 1u);
    EXPECT_EQ(m_window.apps()[0].id, "com.pad.only");
    EXPECT_EQ(m_window.appID(), "com.pad.only");
    EXPECT_FALSE(m_window.isLoadingApps());
    EXPECT_EQ(m_window.windowTitle(), "Send Push Notification to Ana’s iPad");
}

TEST_F(DevicePushWindowTest, ChoosesTheLastAppAndRestoresItsSettings) {
    QSettings& defaults = sharedDefaults();
    defaults.setValue("apns.lastApp", "com.demo.b");
    defaults.setValue("apns.token.com.demo.b", "<b token>");
    defaults.setValue("apns.environment.com.demo.b", "production");
    m_window.show(kPhone);
    EXPECT_TRUE(m_window.isLoadingApps());
    m_loads.finish("P1", {app("com.demo.a", "A"), app("com.demo.b", "B")});
    EXPECT_EQ(m_window.appID(), "com.demo.b");
    EXPECT_EQ(m_window.token(), "<b token>");
    EXPECT_EQ(m_window.environment(), Apns::Environment::production);

    // Another app without saved settings empties the token; switching back restores it.
    m_window.setAppID("com.demo.a");
    EXPECT_EQ(m_window.token(), "");
    EXPECT_EQ(m_window.environment(), Apns::Environment::sandbox);
    m_window.setAppID("com.demo.b");
    EXPECT_EQ(m_window.token(), "<b token>");

    // The chosen app stays when the next device has it too; an empty list clears the choice.
    m_window.show(kPad);
    m_loads.finish("P2", {app("com.demo.b", "B"), app("com.demo.c", "C")});
    EXPECT_EQ(m_window.appID(), "com.demo.b");
    m_window.show(kPhone);
    m_loads.finish("P1", {});
    EXPECT_FALSE(m_window.appID());
    EXPECT_FALSE(m_window.canSend());
}

TEST_F(DevicePushWindowTest, SendIsEnabledOnlyWithAValidPayloadTokenAppAndKey) {
    awaited(
        Apns::saveKey(test::makeP256Key().privatePem, {"ABCDE12345", "TEAM123456", "AuthKey_ABCDE12345.p8"}));
    DevicePushWindow window(m_client, m_loads.loader());
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return window.keyCheck() == DevicePushWindow::KeyCheck::stored; }, 10'000));
    window.show(kPhone);
    m_loads.finish("P1", {app("com.demo.a", "A")});
    EXPECT_EQ(window.tokenHint(), "Paste the app’s device token");
    window.setToken(QString(63, QLatin1Char('a')));
    EXPECT_EQ(window.tokenHint(), "Device tokens are at least 64 hex characters");
    window.setToken("<" + QString(32, QLatin1Char('A')) + " " + QString(32, QLatin1Char('b')) + ">");
    EXPECT_FALSE(window.tokenHint());
    EXPECT_EQ(window.payload(), DevicePushWindow::kDefaultPayload);
    EXPECT_EQ(DevicePushWindow::kDefaultPayload.size(), 116);
    EXPECT_EQ(DevicePushWindow::kTokenHelpCode.size(), 217);
    EXPECT_TRUE(window.canSend());
    EXPECT_TRUE(window.sendButton()->isEnabled());
    window.setPayload("{}");
    EXPECT_EQ(window.payloadMessage(), "The payload needs an \"aps\" dictionary.");
    EXPECT_FALSE(window.sendButton()->isEnabled());
    window.setPayload(DevicePushWindow::kDefaultPayload);
    window.removeKey();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.isChangingKey(); }, 10'000));
    EXPECT_FALSE(window.credentials());
    EXPECT_FALSE(window.canSend());
    EXPECT_TRUE(m_keychain.items().empty());
    window.hide();
}

TEST_F(DevicePushWindowTest, ReturnInAFieldSendsOnceAndNothingWhileSendIsOff) {
    awaited(
        Apns::saveKey(test::makeP256Key().privatePem, {"ABCDE12345", "TEAM123456", "AuthKey_ABCDE12345.p8"}));
    // Nothing listens on this port: each send ends at once with a refused connection.
    ApnsClient::Options nowhere;
    nowhere.connectTo = "::127.0.0.1:1";
    ApnsClient client(nowhere);
    DevicePushWindow window(client, m_loads.loader());
    window.show(kPhone);
    m_loads.finish("P1", {app("com.demo.a", "A")});
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return window.keyCheck() == DevicePushWindow::KeyCheck::stored; }, 10'000));
    QSignalSpy sent(&window, &DevicePushWindow::sendFinished);
    auto* token = window.findChild<QLineEdit*>("tokenField");
    ASSERT_TRUE(token);
    QTest::keyClicks(token, QString(64, QLatin1Char('a')));
    QTest::keyClick(token, Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return sent.count() == 1; }, 10'000));
    QTest::keyClick(token, Qt::Key_Enter, Qt::KeypadModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return sent.count() == 2; }, 10'000));
    // A token too short turns Send off: Return sends nothing.
    QTest::keyClick(token, Qt::Key_Backspace);
    EXPECT_FALSE(window.sendButton()->isEnabled());
    QTest::keyClick(token, Qt::Key_Return);
    QTest::qWait(50);
    EXPECT_EQ(sent.count(), 2);
    EXPECT_FALSE(window.isSending());
    window.hide();
}

TEST_F(DevicePushWindowTest, ImportingAKeyChecksTheFileAndTheIdentifiers) {
    QTemporaryDir folder;
    const auto write = [&](const char* name, const QByteArray& text) {
        const std::filesystem::path path = std::filesystem::path(folder.path().toStdString()) / name;
        std::ofstream(path, std::ios::binary) << text.toStdString();
        return path;
    };
    const test::TestKey key = test::makeP256Key();
    const auto keyFile = write("AuthKey_abcde12345.p8", key.privatePem);
    const auto answerWith = [this](const QString& keyID, const QString& teamID) {
        m_dialogs.queueAnswer([keyID, teamID](const Alert& alert) {
            if (!keyID.isNull())
                alert.accessory->findChild<QLineEdit*>("keyID")->setText(keyID);
            alert.accessory->findChild<QLineEdit*>("teamID")->setText(teamID);
            return Dialogs::kFirstButton;
        });
    };
    struct Case {
        const char* what;
        std::filesystem::path file;
        QString keyID; // null: keep the prefilled one
        QString teamID;
        std::optional<QString> toast;
    };
    const Case cases[] = {
        {"not a key", write("notes.p8", "hello"), {}, {}, QStringLiteral("That isn’t an APNs key")},
        {"not UTF-8", write("binary.p8", QByteArray("\xff\xfe\x00", 3)), {}, {}, std::nullopt},
        {"short team ID", keyFile, {}, "TEAM", QStringLiteral("Key ID and Team ID have 10 characters each")},
        {"saved", keyFile, {}, "  team123456 ", QStringLiteral("Push key saved")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const size_t before = m_toasts.messages().size();
        m_dialogs.queuePanelAnswer({c.file});
        if (c.file == keyFile) // the other files never reach the alert
            answerWith(c.keyID, c.teamID);
        import(m_window);
        if (c.toast) {
            ASSERT_EQ(m_toasts.messages().size(), before + 1);
            EXPECT_EQ(m_toasts.messages().back().title, *c.toast);
        } else {
            EXPECT_EQ(m_toasts.messages().size(), before);
        }
    }
    const Apns::Credentials expected{"ABCDE12345", "TEAM123456", "AuthKey_abcde12345.p8"};
    EXPECT_EQ(m_window.credentials(), expected);
    EXPECT_EQ(Apns::loadCredentials(), expected);
    EXPECT_EQ(m_keychain.item(Apns::kKeychainService, "ABCDE12345"), key.privatePem);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return m_window.keyCheck() == DevicePushWindow::KeyCheck::stored; }, 10'000));
    EXPECT_EQ(m_window.keyDetail(), "AuthKey_abcde12345.p8, stored in your Keychain");

    // A failing keychain leaves the stored key and the shown one as they were, and its own
    // reason is in the message.
    m_keychain.setFailWrites(true, "The collection is read-only.");
    m_dialogs.queuePanelAnswer({write("AuthKey_ZZZZZ99999.p8", test::makeP256Key().privatePem)});
    answerWith({}, "TEAM123456");
    import(m_window);
    EXPECT_EQ(m_toasts.messages().back(),
              (ToastMessage{
                  "Couldn’t save the key",
                  QStringLiteral("Couldn’t save the key in the Keychain (7). The collection is read-only."),
                  "key", true}));
    EXPECT_EQ(m_window.credentials(), expected);
    EXPECT_EQ(m_keychain.item(Apns::kKeychainService, "ABCDE12345"), key.privatePem);
}

TEST_F(DevicePushWindowTest, WithoutAKeychainTheImportSaysWhyBeforeAskingForAFile) {
    m_keychain.setUnavailable(
        QStringLiteral("No secrets service, such as GNOME Keyring or KWallet, is running."));
    import(m_window);
    EXPECT_TRUE(m_dialogs.panels().empty()) << "no file was asked for";
    EXPECT_TRUE(m_dialogs.alerts().empty());
    ASSERT_EQ(m_toasts.messages().size(), 1u);
    EXPECT_EQ(
        m_toasts.messages().back(),
        (ToastMessage{"Couldn’t reach your Keychain",
                      QStringLiteral("No secrets service, such as GNOME Keyring or KWallet, is running."),
                      "key", true}));
    EXPECT_FALSE(m_window.credentials());
}

TEST_F(DevicePushWindowTest, TheKeyBoxSaysOnlyWhatTheKeychainHolds) {
    const Apns::Credentials credentials{"ABCDE12345", "TEAM123456", "AuthKey_ABCDE12345.p8"};
    ASSERT_EQ(awaited(Apns::saveKey(test::makeP256Key().privatePem, credentials)), std::nullopt);
    struct Case {
        const char* what;
        std::function<void()> arrange;
        DevicePushWindow::KeyCheck check;
        QString detail;
        bool canSend;
    };
    const Case cases[] = {
        {"stored", [] {}, DevicePushWindow::KeyCheck::stored,
         "AuthKey_ABCDE12345.p8, stored in your Keychain", true},
        {"keychain unreachable",
         [&] { m_keychain.setUnavailable(QStringLiteral("No secrets service is running.")); },
         DevicePushWindow::KeyCheck::unreachable,
         "AuthKey_ABCDE12345.p8: the Keychain can’t be read. No secrets service is running.", true},
        // The credentials outlived the item (the keyring was reset): no claim that it is stored.
        {"item gone",
         [&] {
             m_keychain.setUnavailable(std::nullopt);
             awaited(m_keychain.removeAll(Apns::kKeychainService));
         },
         DevicePushWindow::KeyCheck::missing,
         "AuthKey_ABCDE12345.p8 isn’t in your Keychain any more; add it again.", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.arrange();
        DevicePushWindow window(m_client, m_loads.loader());
        window.show(kPhone);
        m_loads.finish("P1", {app("com.demo.a", "A")});
        window.setToken(QString(64, QLatin1Char('a')));
        ASSERT_TRUE(QTest::qWaitFor([&] { return window.keyCheck() == c.check; }, 10'000));
        EXPECT_EQ(window.keyTitle(), "Key ABCDE12345 · Team TEAM123456");
        EXPECT_EQ(window.keyDetail(), c.detail);
        EXPECT_EQ(window.canSend(), c.canSend);
        window.hide();
    }
}

// A window with a stored key, one app and a valid token: every control is on, Send included.
class DevicePushKeyboardTest : public DevicePushWindowTest {
protected:
    void SetUp() override {
        awaited(Apns::saveKey(test::makeP256Key().privatePem,
                              {"ABCDE12345", "TEAM123456", "AuthKey_ABCDE12345.p8"}));
        m_nowhere.connectTo = "::127.0.0.1:1"; // a send ends at once, refused
        m_refusing = std::make_unique<ApnsClient>(m_nowhere);
        m_push = std::make_unique<DevicePushWindow>(*m_refusing, m_loads.loader());
        m_push->show(kPhone);
        m_loads.finish("P1", {app("com.demo.a", "A"), app("com.demo.b", "B")});
        m_push->setToken(QString(64, QLatin1Char('a')));
        ASSERT_TRUE(QTest::qWaitFor([&] { return m_push->keyCheck() == DevicePushWindow::KeyCheck::stored; },
                                    10'000));
        ASSERT_TRUE(test::showActive(m_push.get()));
    }
    void TearDown() override {
        m_push->hide();
        DevicePushWindowTest::TearDown();
    }
    template <typename T = QWidget> T* find(const char* name) { return m_push->findChild<T*>(name); }

    ApnsClient::Options m_nowhere;
    std::unique_ptr<ApnsClient> m_refusing;
    std::unique_ptr<DevicePushWindow> m_push;
};

TEST_F(DevicePushKeyboardTest, TabReachesEveryControlInReadingOrderAndFocusShows) {
    // The environment is one stop, at its chosen segment; the arrows move between the two.
    const std::vector<QWidget*> walked = test::walkTabOrder(find("keyButton"));
    EXPECT_EQ(test::objectNames(walked),
              (QStringList{"keyButton", "removeKey", "appPicker", "tokenField", "tokenHelp", "development",
                           "templatesMenu", "payloadEditor", "sendButton"}));
    QStringList stops = test::objectNames(test::tabStops(m_push.get()));
    stops.removeAll("production");
    QStringList seen = test::objectNames(walked);
    stops.sort();
    seen.sort();
    EXPECT_EQ(seen, stops);
    for (QWidget* stop : test::tabStops(m_push.get()))
        EXPECT_TRUE(test::focusIsVisible(stop)) << stop->objectName().toStdString();
}

// A focused button answers for itself; a field, a picker or an environment segment (a choice,
// taken with Space or the arrows) hands Return to "Send Push"; the payload editor keeps Return for
// its lines; Escape does nothing in this window.
TEST_F(DevicePushKeyboardTest, KeysDoWhatTheFocusedControlSays) {
    enum class Effect { send, nothing, import, remove, production, help };
    struct Case {
        const char* focus;
        Qt::Key key;
        Effect effect;
    };
    const Case cases[] = {
        {"tokenField", Qt::Key_Return, Effect::send},       {"appPicker", Qt::Key_Return, Effect::send},
        {"sendButton", Qt::Key_Return, Effect::send},       {"sendButton", Qt::Key_Space, Effect::send},
        {"payloadEditor", Qt::Key_Return, Effect::nothing}, {"tokenField", Qt::Key_Escape, Effect::nothing},
        {"keyButton", Qt::Key_Return, Effect::import},      {"keyButton", Qt::Key_Space, Effect::import},
        {"production", Qt::Key_Return, Effect::send},       {"production", Qt::Key_Space, Effect::production},
        {"development", Qt::Key_Right, Effect::production}, {"tokenHelp", Qt::Key_Return, Effect::help},
        {"tokenHelp", Qt::Key_Space, Effect::help},         {"removeKey", Qt::Key_Return, Effect::remove},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.focus) + " " + QTest::toString(c.key));
        m_push->setEnvironment(Apns::Environment::sandbox);
        m_push->setPayload(DevicePushWindow::kDefaultPayload);
        ASSERT_TRUE(test::showActive(m_push.get()));
        const size_t panels = m_dialogs.panels().size();
        QWidget* focus = find(c.focus);
        ASSERT_NE(focus, nullptr);
        focus->setFocus(Qt::TabFocusReason);
        QSignalSpy finished(m_push.get(), &DevicePushWindow::sendFinished);
        bool helpShown = false;
        QTimer::singleShot(0, [&helpShown] {
            if (QWidget* popover = QApplication::activePopupWidget()) {
                helpShown = popover->objectName() == "tokenHelpPopover";
                popover->close();
            }
        });
        QTest::keyClick(focus, c.key);
        const bool sending = m_push->isSending();
        if (sending) {
            ASSERT_TRUE(finished.wait(10'000));
        }
        EXPECT_TRUE(QTest::qWaitFor([&] { return !m_push->isChangingKey(); }, 10'000));
        QCoreApplication::processEvents();
        EXPECT_EQ(sending, c.effect == Effect::send);
        EXPECT_EQ(m_dialogs.panels().size() - panels, c.effect == Effect::import ? 1u : 0u);
        EXPECT_EQ(m_push->credentials().has_value(), c.effect != Effect::remove);
        EXPECT_EQ(m_push->environment(), c.effect == Effect::production ? Apns::Environment::production
                                                                        : Apns::Environment::sandbox);
        EXPECT_EQ(helpShown, c.effect == Effect::help);
        EXPECT_TRUE(m_push->isVisible());
    }
}

// The help opens on the Copy button, Escape closes it and the focus is back where it was.
TEST_F(DevicePushKeyboardTest, TheTokenHelpIsReadAndLeftWithTheKeyboard) {
    auto* help = find("tokenHelp");
    help->setFocus(Qt::TabFocusReason);
    QTest::keyClick(help, Qt::Key_Space);
    QWidget* popover = QApplication::activePopupWidget();
    ASSERT_NE(popover, nullptr);
    EXPECT_EQ(test::accessibleName(popover), "Where do I find the device token?");
    EXPECT_EQ(test::describe(test::accessibilityProblems(popover)), QString());
    ASSERT_NE(QApplication::focusWidget(), nullptr);
    EXPECT_EQ(QApplication::focusWidget()->objectName(), "copyCode");
    EXPECT_EQ(test::accessibleName(QApplication::focusWidget()), "Copy code");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == help; }, 2000));
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
}

TEST_F(DevicePushKeyboardTest, EveryControlIsNamedAndTheStatesAreAnnounced) {
    EXPECT_EQ(test::describe(test::accessibilityProblems(m_push.get())), QString());
    const auto description = [](QWidget* widget) {
        return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Description);
    };
    auto* editor = find("payloadEditor");
    auto* token = find("tokenField");
    EXPECT_EQ(test::accessibleName(editor), "Payload");
    EXPECT_EQ(test::accessibleName(token), "Device token");
    EXPECT_EQ(test::accessibleName(find("tokenHelp")), "Where do I find the device token?");
    EXPECT_EQ(test::labelOf(find("appPicker")), "App");
    EXPECT_EQ(test::labelOf(token), "Device token");
    EXPECT_EQ(description(editor), "Valid payload");
    m_push->setPayload("{}");
    EXPECT_EQ(description(editor), "The payload needs an \"aps\" dictionary.");
    m_push->setToken("abc");
    EXPECT_EQ(description(token), "Device tokens are at least 64 hex characters");
    // The environment is a choice of two: the chosen one says so.
    auto* production = find<QPushButton>("production");
    EXPECT_TRUE(QAccessible::queryAccessibleInterface(find("development"))->state().checked);
    EXPECT_FALSE(QAccessible::queryAccessibleInterface(production)->state().checked);

    // While the apps load, the indicator says what it waits for.
    m_push->show(kPad);
    auto* loading = find<QProgressBar>("appsLoading");
    ASSERT_NE(loading, nullptr);
    EXPECT_TRUE(loading->isVisible());
    EXPECT_EQ(test::accessibleName(loading), "Loading apps");
    m_loads.finish("P2", {});
}

// The Key ID and Team ID fields of the key dialog are named after their labels.
TEST_F(DevicePushWindowTest, TheKeyDialogsFieldsAreNamed) {
    QTemporaryDir folder;
    const std::filesystem::path path = std::filesystem::path(folder.path().toStdString()) / "AuthKey_A.p8";
    std::ofstream(path, std::ios::binary) << test::makeP256Key().privatePem.toStdString();
    m_dialogs.queuePanelAnswer({path});
    QStringList names;
    m_dialogs.queueAnswer([&names](const Alert& alert) {
        names << test::accessibleName(alert.accessory->findChild<QLineEdit*>("keyID"))
              << test::accessibleName(alert.accessory->findChild<QLineEdit*>("teamID"));
        return Dialogs::kFirstButton + 1;
    });
    import(m_window);
    EXPECT_EQ(names, (QStringList{"Key ID", "Team ID"}));
}

} // namespace
} // namespace quorvex
