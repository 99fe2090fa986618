#include "panel/sections/LanguageSection.h"

#include "panel/sections/LanguageCodes.h"
#include "panel/sections/LanguageTools.h"
#include "panel/widgets/PanelButtonStyle.h"
#include "panel/widgets/ValueMenu.h"
#include "support/KeyboardAudit.h"
#include "support/QtPrinters.h"
#include "support/Settle.h"
#include "support/ToastLog.h"

#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QThreadPool>

#include <gtest/gtest.h>

#include <future>
#include <map>
#include <mutex>

namespace quorvex {
namespace {

using Choice = LanguageSection::Choice;
using Read = DeviceTools::LanguageAndRegion;

// Answers per simulator, logs every command and, when a gate is set, holds the command until the
// test opens it. Safe to call from the pool's threads.
class FakeLanguageTools final : public LanguageTools {
public:
    Read languageAndRegion(const QString& udid) override {
        log("read " + udid);
        wait(QStringLiteral("read ") + udid);
        std::lock_guard guard(m_lock);
        return m_values[udid];
    }
    bool setLanguageAndRegion(const QString& language, const QString& region, const QString& udid) override {
        log("set " + language + " " + region + " " + udid);
        wait(QStringLiteral("set"));
        return setSucceeds;
    }
    bool terminateApp(const QString& bundleID, const QString& udid) override {
        log("terminate " + bundleID + " " + udid);
        return terminateSucceeds;
    }
    bool launchApp(const QString& bundleID, const QString& udid) override {
        log("launch " + bundleID + " " + udid);
        return launchSucceeds;
    }

    void setValues(const QString& udid, const Read& values) {
        std::lock_guard guard(m_lock);
        m_values[udid] = values;
    }
    /// Holds the command named `key` ("read U1", "set") until the returned promise is given.
    std::promise<bool>& hold(const QString& key) {
        std::lock_guard guard(m_lock);
        auto& gate = m_gates[key];
        gate.opened = gate.promise.get_future().share();
        return gate.promise;
    }
    void openAll() {
        std::lock_guard guard(m_lock);
        for (auto& [key, gate] : m_gates)
            test::settle(gate.promise, true);
    }
    QStringList calls() const {
        std::lock_guard guard(m_lock);
        return m_calls;
    }

    bool setSucceeds = true;
    bool terminateSucceeds = true;
    bool launchSucceeds = true;

private:
    struct Gate {
        std::promise<bool> promise;
        std::shared_future<bool> opened;
    };
    void log(const QString& call) {
        std::lock_guard guard(m_lock);
        m_calls << call;
    }
    void wait(const QString& key) {
        std::shared_future<bool> opened;
        {
            std::lock_guard guard(m_lock);
            const auto found = m_gates.find(key);
            if (found == m_gates.end())
                return;
            opened = found->second.opened;
        }
        opened.wait();
    }

    mutable std::mutex m_lock;
    std::map<QString, Read> m_values;
    std::map<QString, Gate> m_gates;
    QStringList m_calls;
};

SimulatorApp shop() {
    SimulatorApp app;
    app.id = "com.example.shop";
    app.name = "Shop";
    return app;
}

TEST(LanguageSectionTest, AReadTakesOfferedLanguagesAndKnownRegionsOnly) {
    const QStringList regions{"DE", "GB", "US"};
    const Choice shown{"fr", "DE"};
    struct Case {
        std::optional<QString> language;
        std::optional<QString> region;
        Choice result;
    };
    const std::vector<Case> cases = {
        {"en-AU", "GB", {"en", "GB"}},
        {"zh-Hans-CN", std::nullopt, {"zh-Hans", "DE"}},
        {"en-GB", "US", {"en-GB", "US"}},
        {"pt", "419", {"fr", "DE"}}, // neither pt-BR nor pt-PT; no two-letter region
        {"fil", "FR", {"fr", "DE"}}, // "fi" is no subtag of it; FR is not in this list
        {std::nullopt, std::nullopt, {"fr", "DE"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.language.value_or("(none)").toStdString());
        EXPECT_EQ(LanguageSection::afterRead(shown, Read{c.language, c.region}, regions), c.result);
    }
}

TEST(LanguageSectionTest, ChangesArePendingOnlyAgainstAKnownState) {
    struct Case {
        std::optional<Choice> applied;
        Choice shown;
        bool pending;
    };
    const std::vector<Case> cases = {
        {std::nullopt, {"de", "DE"}, false},
        {Choice{"de", "DE"}, {"de", "DE"}, false},
        {Choice{"de", "DE"}, {"fr", "DE"}, true},
        {Choice{"de", "DE"}, {"de", "AT"}, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LanguageSection::hasChanges(c.applied, c.shown), c.pending);
}

TEST(LanguageSectionTest, ApplyingWritesThenRelaunchesAndOnlyTheWritesAndTheLaunchCount) {
    const LanguageSection::Run run{"de", "DE", "U1", "com.example.shop", "Shop"};
    struct Case {
        const char* name;
        bool set, terminate, launch;
        QStringList calls;
        bool result;
    };
    const QStringList all{"set de DE U1", "terminate com.example.shop U1", "launch com.example.shop U1"};
    const std::vector<Case> cases = {
        {"all succeed", true, true, true, all, true},
        {"app was not running", true, false, true, all, true},
        {"launch fails", true, true, false, all, false},
        {"a write fails: the app is left alone", false, true, true, {"set de DE U1"}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeLanguageTools tools;
        tools.setSucceeds = c.set;
        tools.terminateSucceeds = c.terminate;
        tools.launchSucceeds = c.launch;
        EXPECT_EQ(LanguageSection::applyAndRelaunch(tools, run), c.result);
        EXPECT_EQ(tools.calls(), c.calls);
    }
}

TEST(LanguageSectionTest, TheToastNamesLanguageAndRegionOrSaysItFailed) {
    const LanguageSection::Run run{"de", "DE", "U1", "com.example.shop", "Shop"};
    EXPECT_EQ(LanguageSection::resultToast(run, true),
              (ToastMessage{"German, Germany", QString("Relaunched Shop"), "globe", false}));
    EXPECT_EQ(LanguageSection::resultToast(run, false),
              (ToastMessage{"Couldn’t change the language", std::nullopt, "globe", true}));
}

struct LanguageCard : ::testing::Test {
    FakeLanguageTools tools;
    test::ToastLog toasts;

    void TearDown() override {
        // Nothing may still be waiting on a gate, or the pool would outlive the fake.
        tools.openAll();
        QThreadPool::globalInstance()->waitForDone();
    }

    std::unique_ptr<LanguageSection> section;
    std::unique_ptr<QSignalSpy> reads;

    // Shows the card and then points it at `target`, so the spy is in place before the first read
    // can end (a read that ends at once reports from inside the call).
    void open(const std::optional<QString>& target) {
        section = std::make_unique<LanguageSection>(std::nullopt, shop(), tools);
        reads = std::make_unique<QSignalSpy>(section.get(), &LanguageSection::readFinished);
        section->show();
        section->setTargetUDID(target);
    }

    static void waitFor(QSignalSpy& spy, int count = 1) {
        while (spy.count() < count)
            ASSERT_TRUE(spy.wait(5000));
    }
    static QAction* item(ValueMenu* menu, const QString& code) {
        for (QAction* action : menu->items()->actions())
            if (action->data().toString() == code)
                return action;
        return nullptr;
    }
};

TEST_F(LanguageCard, TheReadFillsThePickersAndOnlyADifferentPickMakesTheButtonProminent) {
    tools.setValues("U1", {QString("en-AU"), QString("GB")});
    open(QString("U1"));
    waitFor(*reads);
    EXPECT_EQ(section->choice(), (Choice{"en", "GB"}));
    EXPECT_EQ(section->applied(), (Choice{"en", "GB"}));
    EXPECT_EQ(section->languageMenu()->text(), LanguageCodes::languageName("en"));
    EXPECT_EQ(section->regionMenu()->text(), LanguageCodes::regionName("GB"));
    EXPECT_FALSE(section->applyButton()->isProminent());
    EXPECT_TRUE(section->applyButton()->isEnabled());

    EXPECT_EQ(section->languageMenu()->items()->actions().size(), 29);
    item(section->languageMenu(), "de")->trigger();
    EXPECT_TRUE(section->applyButton()->isProminent());
    item(section->languageMenu(), "en")->trigger();
    EXPECT_FALSE(section->applyButton()->isProminent()) << "back to what was read";
    EXPECT_EQ(section->applyButton()->toolTip(),
              "Sets the language and region, then relaunches Shop. The Home Screen updates after the "
              "simulator restarts.");
}

TEST_F(LanguageCard, AReadThatGivesNothingKeepsTheDefaultsAsTheKnownState) {
    open(QString("U1"));
    waitFor(*reads);
    EXPECT_EQ(section->applied(), (Choice{"en", "US"}));
    EXPECT_FALSE(section->applyButton()->isProminent());
}

TEST_F(LanguageCard, WithoutATargetNothingIsReadAndTheButtonIsDisabled) {
    open(std::nullopt);
    EXPECT_FALSE(section->applyButton()->isEnabled());
    section->apply();
    EXPECT_FALSE(section->isApplying());
    QThreadPool::globalInstance()->waitForDone();
    EXPECT_TRUE(tools.calls().isEmpty());
    EXPECT_EQ(section->applied(), std::nullopt);
}

TEST_F(LanguageCard, ASlowReadOfASimulatorLeftBehindNeverReachesThePickers) {
    tools.setValues("U1", {QString("ja"), QString("JP")});
    tools.setValues("U2", {QString("de"), QString("DE")});
    std::promise<bool>& firstRead = tools.hold("read U1");
    open(QString("U1"));
    section->setTargetUDID(QString("U2"));
    waitFor(*reads);
    EXPECT_EQ(section->choice(), (Choice{"de", "DE"}));

    firstRead.set_value(true);
    waitFor(*reads, 2);
    EXPECT_EQ(section->choice(), (Choice{"de", "DE"})) << "the answer for U1 came last and was dropped";
    EXPECT_EQ(section->applied(), (Choice{"de", "DE"}));

    section->setTargetUDID(QString("U2"));
    QThreadPool::globalInstance()->waitForDone();
    QStringList calls = tools.calls();
    calls.sort(); // the two reads ran on separate threads
    EXPECT_EQ(calls, (QStringList{"read U1", "read U2"})) << "the same target reads nothing again";
}

TEST_F(LanguageCard, AReadAskedBeforeAnApplyDoesNotPutTheOldValuesBack) {
    tools.setValues("U1", {QString("en"), QString("US")});
    std::promise<bool>& slowRead = tools.hold("read U1");
    open(QString("U1"));
    item(section->languageMenu(), "de")->trigger();
    QSignalSpy finished(section.get(), &LanguageSection::applyFinished);
    section->apply();
    waitFor(finished);
    slowRead.set_value(true);
    waitFor(*reads);
    EXPECT_EQ(section->choice(), (Choice{"de", "US"}));
    EXPECT_EQ(section->applied(), (Choice{"de", "US"}));
}

TEST_F(LanguageCard, ApplyingShowsItsStateRelaunchesTheAppAndReportsSuccess) {
    tools.setValues("U1", {QString("en"), QString("US")});
    open(QString("U1"));
    waitFor(*reads);
    item(section->languageMenu(), "de")->trigger();
    item(section->regionMenu(), "DE")->trigger();

    std::promise<bool>& write = tools.hold("set");
    QSignalSpy finished(section.get(), &LanguageSection::applyFinished);
    QTest::mouseClick(section->applyButton(), Qt::LeftButton);
    EXPECT_EQ(section->applyButton()->text(), "Applying…");
    EXPECT_FALSE(section->applyButton()->isEnabled());
    // Picks and target changes during the run do not redirect it.
    item(section->languageMenu(), "fr")->trigger();
    section->setTargetUDID(QString("U2"));
    write.set_value(true);
    waitFor(finished);

    EXPECT_EQ(finished.at(0).at(0).toBool(), true);
    const QStringList calls = tools.calls();
    EXPECT_TRUE(calls.contains("set de DE U1"));
    EXPECT_TRUE(calls.contains("launch com.example.shop U1"));
    ASSERT_EQ(toasts.messages().size(), 1u);
    EXPECT_EQ(toasts.messages()[0].title,
              LanguageCodes::languageName("de") + ", " + LanguageCodes::regionName("DE"));
    EXPECT_EQ(toasts.messages()[0].detail, "Relaunched Shop");
    EXPECT_EQ(section->applyButton()->text(), "Apply & Relaunch");
}

// The button is off while it applies, which sends the keyboard elsewhere; when the run ends the
// focus comes back to it, unless the user moved it meanwhile.
class KeyboardApply : public LanguageCard, public ::testing::WithParamInterface<bool> {};

TEST_P(KeyboardApply, GivesTheFocusBackWhenItEndsUnlessItMoved) {
    const bool movedMeanwhile = GetParam();
    tools.setValues("U1", {QString("en"), QString("US")});
    open(QString("U1"));
    waitFor(*reads);
    ASSERT_TRUE(test::showActive(section.get()));
    item(section->languageMenu(), "de")->trigger();
    std::promise<bool>& write = tools.hold("set");
    QSignalSpy finished(section.get(), &LanguageSection::applyFinished);
    section->applyButton()->setFocus(Qt::TabFocusReason);
    QTest::keyClick(section->applyButton(), Qt::Key_Space);
    ASSERT_FALSE(section->applyButton()->isEnabled());
    if (movedMeanwhile) {
        // Anywhere but where the disabled button sent it.
        QWidget* elsewhere = section->languageMenu()->hasFocus()
                                 ? static_cast<QWidget*>(section->regionMenu())
                                 : section->languageMenu();
        elsewhere->setFocus(Qt::TabFocusReason);
    }
    write.set_value(true);
    waitFor(finished);
    EXPECT_EQ(section->applyButton()->hasFocus(), !movedMeanwhile);
}

INSTANTIATE_TEST_SUITE_P(LanguageCard, KeyboardApply, ::testing::Bool());

TEST_F(LanguageCard, AFailedApplyKeepsTheKnownStateSoTheButtonStaysProminent) {
    tools.setValues("U1", {QString("en"), QString("US")});
    open(QString("U1"));
    waitFor(*reads);
    item(section->languageMenu(), "ko")->trigger();
    tools.setSucceeds = false;

    QSignalSpy finished(section.get(), &LanguageSection::applyFinished);
    section->apply();
    waitFor(finished);
    EXPECT_EQ(section->applied(), (Choice{"en", "US"}));
    EXPECT_TRUE(section->applyButton()->isProminent());
    EXPECT_TRUE(section->applyButton()->isEnabled());
    ASSERT_EQ(toasts.messages().size(), 1u);
    EXPECT_TRUE(toasts.messages()[0].failed);
    EXPECT_FALSE(tools.calls().contains("launch com.example.shop U1"));
}

TEST_F(LanguageCard, AnApplyStillReportsWhenTheCardWasClosedMeanwhile) {
    open(QString("U1"));
    std::promise<bool>& write = tools.hold("set");
    section->apply();
    reads.reset();
    section.reset();
    write.set_value(true);
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    ASSERT_EQ(toasts.messages().size(), 1u);
    EXPECT_EQ(toasts.messages()[0].detail, "Relaunched Shop");
}

} // namespace
} // namespace quorvex
