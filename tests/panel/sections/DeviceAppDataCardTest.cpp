#include "panel/sections/DeviceAppDataCard.h"

#include "panel/sections/FakeDeviceSection.h"
#include "panel/widgets/ActionRow.h"
#include "panel/widgets/PanelButtonStyle.h"
#include "panel/widgets/SettingsGroup.h"
#include "panel/widgets/Spinner.h"
#include "panel/widgets/ValueMenu.h"
#include "support/FakeClock.h"
#include "ui/ByteCountFormatter.h"
#include "ui/Formatters.h"

#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QThreadPool>
#include <QToolButton>

#include <gtest/gtest.h>

namespace quorvex {
namespace {

const PhysicalDevice kPhone{"PHONE-1", "Ana’s iPhone", {}, {}, {}};
const PhysicalDevice kPad{"PAD-2", "Studio iPad", {}, {}, {}};
const DeviceApp kMaps{"com.demo.maps", "Maps", {}, {}};
const DeviceApp kNotes{"com.demo.notes", "Notes", {}, {}};

DeviceSnapshot snapshot(const QString& name, const QString& bundleID, std::int64_t size = 2048) {
    return {QUuid::createUuid(),
            name,
            bundleID,
            kPhone.name,
            QDateTime(QDate(2026, 12, 9), QTime(14, 5), Qt::UTC),
            size,
            {}};
}

// A row of the card as the user sees it: its title, whether a divider follows it, a spinner in it.
struct Row {
    QString name;
    QString title;
    bool last;
    bool spinning;
    bool enabled;
    bool operator==(const Row&) const = default;
};

void PrintTo(const Row& row, std::ostream* out) {
    *out << row.name.toStdString() << " \"" << row.title.toStdString() << "\"" << (row.last ? " last" : "")
         << (row.spinning ? " spinning" : "") << (row.enabled ? "" : " disabled");
}

class DeviceAppDataCardTest : public ::testing::Test {
protected:
    void TearDown() override {
        m_services.releaseAll();
        m_card.reset();
        QThreadPool::globalInstance()->waitForDone();
    }

    DeviceAppDataCard& make(const PhysicalDevice& device = kPhone) {
        m_card = std::make_unique<DeviceAppDataCard>(device, m_services, m_clock);
        return *m_card;
    }
    DeviceAppDataCard& loaded(const PhysicalDevice& device = kPhone) {
        make(device);
        QSignalSpy spy(m_card.get(), &DeviceAppDataCard::appsLoaded);
        EXPECT_TRUE(spy.wait(5000));
        return *m_card;
    }
    std::vector<Row> rows() const {
        std::vector<Row> result;
        for (SettingsRow* row : m_card->group()->findChildren<SettingsRow*>(Qt::FindDirectChildrenOnly))
            result.push_back({row->objectName(), row->title(), !row->hasDivider(),
                              row->findChild<Spinner*>() != nullptr, row->isEnabled()});
        return result;
    }
    SettingsRow* row(const QString& name, int index = 0) const {
        const auto found = m_card->group()->findChildren<SettingsRow*>(name, Qt::FindDirectChildrenOnly);
        return index < found.size() ? found[index] : nullptr;
    }
    void click(QWidget* widget) {
        ASSERT_NE(widget, nullptr);
        QTest::mouseClick(widget, Qt::LeftButton, {}, QPoint(4, widget->height() / 2));
    }
    void waitForDelete() {
        m_services.finishFlow();
        ASSERT_TRUE(QTest::qWaitFor([this] { return rows().back().enabled; }, 5000));
    }
    void waitForFlowEnd() {
        QSignalSpy spy(m_card.get(), &DeviceAppDataCard::flowEnded);
        m_services.finishFlow();
        ASSERT_TRUE(spy.wait(5000));
    }

    test::FakeClock m_clock;
    test::FakeDeviceSection m_services;
    std::unique_ptr<DeviceAppDataCard> m_card;
};

TEST(DeviceAppDataCardRulesTest, TheCurrentAppIsThePickWhileTheListHasItElseTheFirst) {
    struct Case {
        const char* name;
        std::vector<DeviceApp> apps;
        std::optional<QString> appID;
        std::optional<QString> current;
    };
    const std::vector<Case> cases = {
        {"no apps", {}, std::nullopt, std::nullopt},
        {"no apps, a pick", {}, QString("com.demo.maps"), std::nullopt},
        {"no pick", {kMaps, kNotes}, std::nullopt, QString("com.demo.maps")},
        {"picked", {kMaps, kNotes}, QString("com.demo.notes"), QString("com.demo.notes")},
        {"picked app gone", {kMaps, kNotes}, QString("com.demo.gone"), QString("com.demo.maps")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto current = DeviceAppDataCard::currentApp(c.apps, c.appID);
        EXPECT_EQ(current ? std::optional(current->id) : std::nullopt, c.current);
    }
}

TEST(DeviceAppDataCardRulesTest, ADownloadSpinsInItsOwnRowEveryOtherFlowInTheAppDataRow) {
    using Spinners = DeviceAppDataCard::Spinners;
    EXPECT_EQ(DeviceAppDataCard::spinners(std::nullopt), (Spinners{false, false}));
    EXPECT_EQ(DeviceAppDataCard::spinners(DeviceAppDataCard::kDownloading), (Spinners{false, true}));
    EXPECT_EQ(DeviceAppDataCard::spinners(DeviceAppDataCard::kSaving), (Spinners{true, false}));
    EXPECT_EQ(DeviceAppDataCard::spinners(DeviceAppDataCard::kRestoring), (Spinners{true, false}));
}

TEST(DeviceAppDataCardRulesTest, ASnapshotIsSubtitledWithItsDateAndSize) {
    const DeviceSnapshot saved = snapshot("Logged in", kMaps.id, 1'234'567);
    EXPECT_EQ(DeviceAppDataCard::snapshotSubtitle(saved), Formatters::abbreviatedDateTime(saved.date) +
                                                              QStringLiteral(" · ") +
                                                              ByteCountFormatter::file(1'234'567));
}

TEST_F(DeviceAppDataCardTest, ADeviceWithoutDeveloperAppsSaysSoOnceTheListArrives) {
    make();
    EXPECT_EQ(rows(), (std::vector<Row>{{"appDataRow", "App Data", true, true, true}}));
    QSignalSpy spy(m_card.get(), &DeviceAppDataCard::appsLoaded);
    ASSERT_TRUE(spy.wait(5000));
    EXPECT_EQ(rows(), (std::vector<Row>{{"appDataRow", "App Data", true, false, true}}));
    EXPECT_EQ(DeviceAppDataCard::placeholderSubtitle(true), "Loading apps…");
    EXPECT_EQ(DeviceAppDataCard::placeholderSubtitle(false), "Apps you run from Xcode show up here.");
    EXPECT_EQ(m_services.calls, QStringList{}) << "nothing to act on";
}

TEST_F(DeviceAppDataCardTest, SavingASnapshotAddsItAsTheLastRowAfterTheFlowEnds) {
    m_services.deviceApps[kPhone.id] = {kMaps, kNotes};
    loaded();
    EXPECT_EQ(rows(), (std::vector<Row>{{"appDataRow", "App Data", false, false, true},
                                        {"saveSnapshotRow", "Save Snapshot", false, false, true},
                                        {"downloadRow", "Download", true, false, true}}));
    EXPECT_EQ(m_card->group()->findChild<ValueMenu*>("appMenu")->text(), "Maps");

    // A cancelled name starts nothing.
    click(row("saveSnapshotRow"));
    EXPECT_EQ(m_services.calls, QStringList{"prompt com.demo.maps PHONE-1"});
    EXPECT_FALSE(m_card->working());

    m_services.snapshotName = "Logged in";
    click(row("saveSnapshotRow"));
    EXPECT_EQ(m_services.calls.last(), "save PHONE-1 com.demo.maps Logged in");
    EXPECT_EQ(m_card->working(), DeviceAppDataCard::kSaving);
    EXPECT_EQ(rows(), (std::vector<Row>{{"appDataRow", "App Data", false, true, true},
                                        {"saveSnapshotRow", "Save Snapshot", false, false, false},
                                        {"downloadRow", "Download", true, false, false}}));

    m_services.savedSnapshots[kMaps.id] = {snapshot("Logged in", kMaps.id)};
    waitForFlowEnd();
    EXPECT_FALSE(m_card->working());
    EXPECT_EQ(rows(), (std::vector<Row>{{"appDataRow", "App Data", false, false, true},
                                        {"saveSnapshotRow", "Save Snapshot", false, false, true},
                                        {"downloadRow", "Download", false, false, true},
                                        {"snapshotRow", "Logged in", true, false, true}}));
}

TEST_F(DeviceAppDataCardTest, ADownloadSpinsInTheDownloadRowAndBlocksEveryOtherButton) {
    m_services.deviceApps[kPhone.id] = {kMaps};
    m_services.savedSnapshots[kMaps.id] = {snapshot("Clean", kMaps.id)};
    loaded();
    click(row("downloadRow"));
    EXPECT_EQ(m_services.calls, QStringList{"download PHONE-1 com.demo.maps"});
    EXPECT_EQ(rows(), (std::vector<Row>{{"appDataRow", "App Data", false, false, true},
                                        {"saveSnapshotRow", "Save Snapshot", false, false, false},
                                        {"downloadRow", "Download", false, true, false},
                                        {"snapshotRow", "Clean", true, false, false}}));
    // Disabled rows take no clicks: no second flow from the card.
    click(row("downloadRow"));
    click(row("saveSnapshotRow"));
    EXPECT_EQ(m_services.calls.size(), 1);
    waitForFlowEnd();
    EXPECT_TRUE(row("downloadRow")->isEnabled());

    // A card closed while its flow runs hears nothing of its end: it lists no snapshots for it.
    click(row("downloadRow"));
    m_card.reset();
    const int lists = m_services.snapshotLists;
    m_services.finishFlow();
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(m_services.snapshotLists, lists);
}

TEST_F(DeviceAppDataCardTest, RestoreRunsOnlyWhenConfirmedAndDeleteListsTheSnapshotsAgainAtOnce) {
    m_services.deviceApps[kPhone.id] = {kMaps};
    m_services.savedSnapshots[kMaps.id] = {snapshot("Newer", kMaps.id), snapshot("Older", kMaps.id)};
    loaded();

    m_services.confirmsRestore = false;
    row("snapshotRow", 1)->findChild<PanelButtonStyle*>("restoreButton")->click();
    EXPECT_EQ(m_services.calls, QStringList{"confirm Older com.demo.maps PHONE-1"});
    EXPECT_FALSE(m_card->working());

    m_services.confirmsRestore = true;
    row("snapshotRow", 1)->findChild<PanelButtonStyle*>("restoreButton")->click();
    EXPECT_EQ(m_services.calls.last(), "restore Older com.demo.maps PHONE-1");
    EXPECT_EQ(m_card->working(), DeviceAppDataCard::kRestoring);
    EXPECT_TRUE(row("appDataRow")->findChild<Spinner*>());
    waitForFlowEnd();

    // Deleting the last snapshot makes "Download" the last row again.
    row("snapshotRow", 1)->findChild<QToolButton*>("deleteSnapshotButton")->click();
    row("snapshotRow", 0)->findChild<QToolButton*>("deleteSnapshotButton")->click();
    EXPECT_EQ(m_services.calls.mid(m_services.calls.size() - 2),
              (QStringList{"delete Older com.demo.maps PHONE-1", "delete Newer com.demo.maps PHONE-1"}));
    EXPECT_EQ(rows().back(), (Row{"downloadRow", "Download", true, false, true}));
}

TEST_F(DeviceAppDataCardTest, TheRunningCopyCancelsFromTheAppDataRowAndADeleteSpinsInItsRow) {
    m_services.deviceApps[kPhone.id] = {kMaps};
    m_services.savedSnapshots[kMaps.id] = {snapshot("Newer", kMaps.id), snapshot("Older", kMaps.id)};
    loaded();
    EXPECT_FALSE(row("appDataRow")->findChild<PanelButtonStyle*>("cancelCopyButton"));
    click(row("downloadRow"));
    auto* cancel = row("appDataRow")->findChild<PanelButtonStyle*>("cancelCopyButton");
    ASSERT_TRUE(cancel);
    EXPECT_TRUE(cancel->isEnabled());
    cancel->click();
    EXPECT_EQ(m_services.calls.last(), "cancel copy");
    waitForFlowEnd();
    EXPECT_FALSE(row("appDataRow")->findChild<PanelButtonStyle*>("cancelCopyButton"));

    // A snapshot being deleted spins and takes no clicks until its delete has ended.
    m_services.holdDeletes = true;
    row("snapshotRow", 1)->findChild<QToolButton*>("deleteSnapshotButton")->click();
    EXPECT_EQ(rows().back(), (Row{"snapshotRow", "Older", true, true, false}));
    EXPECT_EQ(rows()[3], (Row{"snapshotRow", "Newer", false, false, true}));
    waitForDelete();
    EXPECT_EQ(rows().back(), (Row{"snapshotRow", "Newer", true, false, true}));
}

TEST_F(DeviceAppDataCardTest, PickingAnotherAppListsItsSnapshots) {
    m_services.deviceApps[kPhone.id] = {kMaps, kNotes};
    m_services.savedSnapshots[kNotes.id] = {snapshot("Draft", kNotes.id)};
    loaded();
    EXPECT_TRUE(m_card->snapshots().empty());
    QMenu* menu = m_card->group()->findChild<ValueMenu*>("appMenu")->items();
    ASSERT_EQ(menu->actions().size(), 2);
    EXPECT_EQ(menu->actions()[1]->text(), "Notes");
    menu->actions()[1]->trigger();
    EXPECT_EQ(m_card->currentApp()->id, kNotes.id);
    EXPECT_EQ(m_card->group()->findChild<ValueMenu*>("appMenu")->text(), "Notes");
    EXPECT_EQ(rows().back(), (Row{"snapshotRow", "Draft", true, false, true}));
}

TEST_F(DeviceAppDataCardTest, ASlowListForTheDeviceLeftBehindIsDropped) {
    m_services.deviceApps[kPhone.id] = {kMaps};
    m_services.deviceApps[kPad.id] = {kNotes};
    m_services.holdApps(kPhone.id);
    make(kPhone);
    QSignalSpy loadedSpy(m_card.get(), &DeviceAppDataCard::appsLoaded);
    m_card->setDevice(kPad);
    ASSERT_TRUE(loadedSpy.wait(5000));
    ASSERT_EQ(m_card->apps().size(), 1u);
    EXPECT_EQ(m_card->apps()[0].id, kNotes.id);

    // The phone's answer arrives last and must not replace the pad's apps.
    m_services.release(kPhone.id);
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(loadedSpy.count(), 1);
    EXPECT_EQ(m_card->apps()[0].id, kNotes.id);
    EXPECT_FALSE(m_card->isLoading());
}

TEST_F(DeviceAppDataCardTest, AnotherDeviceKeepsTheOldListUntilItsOwnArrivesAndForgetsAPickItLacks) {
    m_services.deviceApps[kPhone.id] = {kMaps, kNotes};
    m_services.deviceApps[kPad.id] = {kMaps};
    loaded(kPhone);
    m_card->setAppID(kNotes.id);
    m_services.holdApps(kPad.id);
    m_card->setDevice(kPad);
    EXPECT_TRUE(m_card->isLoading());
    EXPECT_EQ(m_card->apps().size(), 2u) << "the old list stays while the new one loads";

    QSignalSpy spy(m_card.get(), &DeviceAppDataCard::appsLoaded);
    m_services.release(kPad.id);
    ASSERT_TRUE(spy.wait(5000));
    EXPECT_EQ(m_card->currentApp()->id, kMaps.id);

    // The same device again under a new name reads nothing again.
    PhysicalDevice renamed = kPad;
    renamed.name = "Renamed iPad";
    m_card->setDevice(renamed);
    EXPECT_FALSE(m_card->isLoading());
    m_services.snapshotName = "x";
    click(row("saveSnapshotRow"));
    EXPECT_EQ(m_services.calls.last(), "save PAD-2 com.demo.maps x");
}

} // namespace
} // namespace quorvex
