#include "panel/sections/PhysicalDeviceSection.h"

#include "panel/sections/DeviceAppDataCard.h"
#include "panel/sections/FakeDeviceSection.h"
#include "panel/sections/RecentURLs.h"
#include "panel/widgets/PanelButtonStyle.h"
#include "panel/widgets/SettingsRow.h"
#include "support/FakeClock.h"
#include "support/ToastLog.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSemaphore>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>

#include <gtest/gtest.h>

namespace quorvex {
namespace {

const PhysicalDevice kPhone{"PHONE-1", "Ana’s iPhone", {}, {}, {}};
const PhysicalDevice kPad{"PAD-2", "Studio iPad", {}, {}, {}};

TEST(PhysicalDeviceSectionRulesTest, OnlyAListOfStringsIsAStoredHistory) {
    struct Case {
        const char* name;
        QVariant stored;
        QStringList recent;
    };
    const std::vector<Case> cases = {
        {"absent", QVariant(), {}},
        {"a string", QVariant(QStringLiteral("myapp://a")), {}},
        {"a number", QVariant(3), {}},
        {"strings", QVariant(QStringList{"myapp://a", "https://b"}), {"myapp://a", "https://b"}},
        {"a list of strings", QVariant(QVariantList{QStringLiteral("myapp://a")}), {"myapp://a"}},
        {"a list with a number", QVariant(QVariantList{QStringLiteral("myapp://a"), 4}), {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(PhysicalDeviceSection::storedRecent(c.stored), c.recent);
    }
}

TEST(PhysicalDeviceSectionRulesTest, TwoEntriesShowUntilUnfoldedAndTheFoldRowNeedsAThird) {
    struct Case {
        qsizetype count;
        bool showsAll;
        qsizetype shown;
        std::optional<QString> fold;
    };
    const std::vector<Case> cases = {
        {0, false, 0, std::nullopt},          {1, false, 1, std::nullopt},
        {2, false, 2, std::nullopt},          {2, true, 2, std::nullopt},
        {3, false, 2, QString("Show More…")}, {3, true, 3, QString("Show Less")},
        {8, false, 2, QString("Show More…")}, {8, true, 8, QString("Show Less")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.count << (c.showsAll ? " unfolded" : " folded"));
        QStringList recent;
        for (int i = 0; i < c.count; ++i)
            recent << QStringLiteral("myapp://%1").arg(i);
        EXPECT_EQ(PhysicalDeviceSection::shownRecent(recent, c.showsAll), recent.mid(0, c.shown));
        EXPECT_EQ(PhysicalDeviceSection::foldTitle(c.count, c.showsAll), c.fold);
    }
}

TEST(PhysicalDeviceSectionRulesTest, TheToastNamesTheDeviceAndHintsWhenItFailed) {
    EXPECT_EQ(PhysicalDeviceSection::openedToast("Ana’s iPhone", true),
              (ToastMessage{"Opened on Ana’s iPhone", std::nullopt, "link", false}));
    EXPECT_EQ(PhysicalDeviceSection::openedToast("Ana’s iPhone", false),
              (ToastMessage{"Didn’t work on Ana’s iPhone", QString("Is it unlocked and connected?"), "link",
                            true}));
}

class PhysicalDeviceSectionTest : public ::testing::Test {
protected:
    void TearDown() override {
        m_services.releaseAll();
        m_section.reset();
        QThreadPool::globalInstance()->waitForDone();
    }
    PhysicalDeviceSection& make(const PhysicalDevice& device = kPhone) {
        m_section = std::make_unique<PhysicalDeviceSection>(device, m_services, m_defaults, m_clock);
        return *m_section;
    }
    QLineEdit* field() const { return m_section->findChild<QLineEdit*>("urlField"); }
    PanelButtonStyle* openButton() const { return m_section->findChild<PanelButtonStyle*>("openButton"); }
    QPushButton* clearButton() const { return m_section->findChild<QPushButton*>("clearRecent"); }
    // The recent rows and the fold row as shown, by title.
    QStringList shownRows() const {
        QStringList titles;
        for (SettingsRow* row : m_section->findChild<QWidget*>("recentRows")->findChildren<SettingsRow*>())
            if (row->isVisibleTo(m_section.get()))
                titles << row->title();
        return titles;
    }
    SettingsRow* shownRow(const QString& title) const {
        for (SettingsRow* row : m_section->findChild<QWidget*>("recentRows")->findChildren<SettingsRow*>())
            if (row->isVisibleTo(m_section.get()) && row->title() == title)
                return row;
        return nullptr;
    }
    void click(QWidget* widget) {
        ASSERT_NE(widget, nullptr);
        QTest::mouseClick(widget, Qt::LeftButton, {}, QPoint(4, widget->height() / 2));
    }
    // Waits for the toast of an open. Input events may already have delivered it.
    ToastMessage toastAfter(const std::function<void()>& action) {
        QSignalSpy spy(&Toast::presenter(), &ToastPresenter::toastShown);
        action();
        EXPECT_TRUE(spy.count() > 0 || spy.wait(5000));
        return m_toasts.messages().empty() ? ToastMessage{} : m_toasts.messages().back();
    }
    QStringList storedRecent() const {
        return m_defaults.value(PhysicalDeviceSection::kRecentKey).toStringList();
    }

    QTemporaryDir m_folder;
    QSettings m_defaults{m_folder.filePath("defaults.ini"), QSettings::IniFormat};
    test::FakeClock m_clock;
    test::FakeDeviceSection m_services;
    test::ToastLog m_toasts;
    std::unique_ptr<PhysicalDeviceSection> m_section;
};

TEST_F(PhysicalDeviceSectionTest, ReturnOpensTheTrimmedURLAndPutsItFirstInTheHistory) {
    m_defaults.setValue(PhysicalDeviceSection::kRecentKey, QStringList{"https://a.example", "myapp://x"});
    make();
    EXPECT_EQ(m_section->recent(), (QStringList{"https://a.example", "myapp://x"}));

    field()->setText("  myapp://x \t");
    EXPECT_TRUE(openButton()->isEnabled());
    EXPECT_TRUE(openButton()->isProminent());
    const ToastMessage toast = toastAfter([&] { QTest::keyClick(field(), Qt::Key_Return); });
    EXPECT_EQ(toast, (ToastMessage{"Opened on Ana’s iPhone", std::nullopt, "link", false}));
    EXPECT_EQ(m_services.opened(), QStringList{"PHONE-1 myapp://x"});
    EXPECT_EQ(m_section->recent(), (QStringList{"myapp://x", "https://a.example"})) << "moved, not repeated";
    EXPECT_EQ(storedRecent(), m_section->recent());
    EXPECT_EQ(field()->text(), "  myapp://x \t") << "the field keeps its text";
}

TEST_F(PhysicalDeviceSectionTest, TextWithoutASchemeCannotBeOpened) {
    make();
    for (const QString& text : {QString(), QString("example.com"), QString("   "), QString("-x://y")}) {
        SCOPED_TRACE(text.toStdString());
        field()->setText(text);
        EXPECT_FALSE(openButton()->isEnabled());
        EXPECT_FALSE(openButton()->isProminent());
        QTest::keyClick(field(), Qt::Key_Return);
    }
    QThreadPool::globalInstance()->waitForDone();
    EXPECT_TRUE(m_services.opened().isEmpty());
    EXPECT_TRUE(m_section->recent().isEmpty());
    EXPECT_FALSE(m_defaults.contains(PhysicalDeviceSection::kRecentKey));
}

TEST_F(PhysicalDeviceSectionTest, AFailedOpenTellsTheUserAndStillEntersTheHistory) {
    m_services.opens = false;
    make();
    field()->setText("myapp://locked");
    const ToastMessage toast = toastAfter([&] { click(openButton()); });
    EXPECT_EQ(toast, PhysicalDeviceSection::openedToast("Ana’s iPhone", false));
    EXPECT_EQ(m_section->recent(), QStringList{"myapp://locked"});
}

TEST_F(PhysicalDeviceSectionTest, TheToastNamesTheDeviceTheURLWentToEvenAfterTheSectionIsGone) {
    make(kPhone);
    m_services.holdOpens();
    field()->setText("myapp://x");
    QSignalSpy spy(&Toast::presenter(), &ToastPresenter::toastShown);
    click(openButton());
    m_section->setDevice(kPad);
    m_section.reset(); // the panel moved on for good: the open still reports
    m_services.releaseOpens();
    ASSERT_TRUE(spy.wait(5000));
    EXPECT_EQ(m_toasts.messages().back().title, "Opened on Ana’s iPhone");
    EXPECT_EQ(m_services.opened(), QStringList{"PHONE-1 myapp://x"});
}

TEST_F(PhysicalDeviceSectionTest, ThreeEntriesFoldToTwoAndClearEmptiesTheHistoryAndTheKey) {
    m_defaults.setValue(PhysicalDeviceSection::kRecentKey, QStringList{"myapp://1", "myapp://2"});
    make();
    EXPECT_EQ(shownRows(), (QStringList{"myapp://1", "myapp://2"})) << "no fold row for two";
    EXPECT_TRUE(clearButton()->isVisibleTo(m_section.get()));

    field()->setText("myapp://3");
    toastAfter([&] { click(openButton()); });
    EXPECT_EQ(shownRows(), (QStringList{"myapp://3", "myapp://1", "Show More…"}));
    click(shownRow("Show More…"));
    EXPECT_EQ(shownRows(), (QStringList{"myapp://3", "myapp://1", "myapp://2", "Show Less"}));

    // A recent row opens its URL as stored.
    toastAfter([&] { click(shownRow("myapp://2")); });
    EXPECT_EQ(m_services.opened().last(), "PHONE-1 myapp://2");
    EXPECT_EQ(m_section->recent().first(), "myapp://2");

    click(clearButton());
    EXPECT_TRUE(shownRows().isEmpty());
    EXPECT_FALSE(clearButton()->isVisibleTo(m_section.get()));
    EXPECT_FALSE(m_defaults.contains(PhysicalDeviceSection::kRecentKey));
}

TEST_F(PhysicalDeviceSectionTest, NineURLsLeaveTheLastEightNewestFirst) {
    make();
    QStringList opened;
    for (int i = 1; i <= 9; ++i) {
        field()->setText(QStringLiteral("myapp://%1").arg(i));
        toastAfter([&] { QTest::keyClick(field(), Qt::Key_Return); });
        opened.prepend(QStringLiteral("myapp://%1").arg(i));
    }
    EXPECT_EQ(m_section->recent(), opened.mid(0, RecentURLs::kMaxCount));
    EXPECT_EQ(storedRecent(), m_section->recent());
}

TEST_F(PhysicalDeviceSectionTest, PushOpensTheWindowForTheDeviceShown) {
    make(kPhone);
    m_section->setDevice(kPad);
    click(m_section->findChild<SettingsRow*>("pushRow"));
    EXPECT_EQ(m_services.calls, QStringList{"push PAD-2"});
    EXPECT_EQ(m_section->appDataCard()->device(), kPad);
}

// At quit the hub destroys the device services while a section's commands may still wait in the
// pool's queue: they must run without them.
TEST(PhysicalDeviceSectionQuitTest, CommandsStillQueuedWhenTheServicesAreGoneRunWithoutThem) {
    QTemporaryDir folder;
    QSettings defaults(folder.filePath("defaults.ini"), QSettings::IniFormat);
    test::FakeClock clock;
    test::ToastLog toasts;
    auto services = std::make_unique<test::FakeDeviceSection>();
    const auto openOnce = [&] {
        auto section = std::make_unique<PhysicalDeviceSection>(kPhone, *services, defaults, clock);
        section->findChild<QLineEdit*>("urlField")->setText("myapp://x");
        QTest::keyClick(section->findChild<QLineEdit*>("urlField"), Qt::Key_Return);
        return section;
    };
    // Once through, so the symbols are drawn: drawing uses the global pool, which comes next.
    openOnce().reset();
    QThreadPool& pool = *QThreadPool::globalInstance();
    pool.waitForDone();
    QCoreApplication::processEvents();

    QSemaphore workersBusy;
    const int workers = pool.maxThreadCount();
    for (int i = 0; i < workers; ++i)
        pool.start([&workersBusy] { workersBusy.acquire(); });
    openOnce().reset(); // its app list and its open wait in the queue
    services.reset();

    QSignalSpy shown(&Toast::presenter(), &ToastPresenter::toastShown);
    workersBusy.release(workers);
    ASSERT_TRUE(shown.wait(5000));
    EXPECT_EQ(toasts.messages().back().title, "Opened on Ana’s iPhone");
    pool.waitForDone();
}

} // namespace
} // namespace quorvex
