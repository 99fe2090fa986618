#include "storage/cleaner/ConfirmationSheet.h"

#include "CleanerModelFixture.h"
#include "storage/cleaner/CleanerLook.h"
#include "storage/cleaner/CleanerMotion.h"
#include "storage/cleaner/CleanerSelectionTexts.h"
#include "storage/cleaner/Disclaimer.h"
#include "storage/cleaner/SelectionBar.h"
#include "support/FakeClock.h"
#include "ui/Animator.h"
#include "ui/Palette.h"
#include "ui/RollingLabel.h"

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>

#include <gtest/gtest.h>

namespace quorvex {
namespace {

using Kind = CleanupCategory::Kind;
using Mode = StorageCleanerModel::Mode;
using test::cleanupItem;

class ConfirmationSheetTest : public test::CleanerModelFixture {
protected:
    void SetUp() override {
        table[Kind::derivedData] = {cleanupItem("App-abc", 4'000'000), cleanupItem("Kit-def", 1'000'000)};
        table[Kind::simulators] = {cleanupItem("iPhone 15", 2'000'000, CleanupRemoval::ofSimulator("U"))};
        scanAll();
    }

    std::vector<Mode> confirmed;
    int cancels = 0;
    int reviews = 0;
};

template <typename T> T* child(QWidget& parent, const char* name) {
    T* found = parent.findChild<T*>(name);
    EXPECT_NE(found, nullptr) << name;
    return found;
}

QString labelText(QWidget& parent, const char* name) {
    return child<QWidget>(parent, name)->findChild<QLabel*>("text")->text();
}

// The selected size rolls up on the bar's own spring (damping 0.85) when the count changes, and
// on the spring of the change that brought it otherwise (a rescan: damping 1); both stop their
// timer once arrived.
TEST_F(ConfirmationSheetTest, TheBarsSizeRollsOnTheSpringKeyedOnTheCount) {
    test::FakeClock clock;
    Animator& animator = CleanerMotion::install(model, clock).animator();
    animator.setReduceMotion(false);
    SelectionBar bar(model, {});
    bar.setAttribute(Qt::WA_DontShowOnScreen);
    bar.show();
    select({"App-abc"});
    clock.advance(2);
    const auto* bytes = child<RollingLabel>(bar, "selectionBytes");

    struct Case {
        const char* change;
        std::function<void()> make;
        Motion motion;
    };
    const Case cases[] = {
        {"a second item", [&] { select({"Kit-def"}); }, CleanerMotion::selectionSpring()},
        {"a rescan that grows it",
         [&] {
             table[Kind::derivedData] = {cleanupItem("App-abc", 8'000'000),
                                         cleanupItem("Kit-def", 1'000'000)};
             scanAll();
         },
         CleanerMotion::contentSpring()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.change);
        const QString before = bytes->text();
        c.make();
        ASSERT_NE(bytes->text(), before);
        double now = 0;
        for (const double t : {0.0, 0.1, 0.25}) {
            clock.advance(t - now);
            now = t;
            EXPECT_NEAR(bytes->rollingText().progress(), c.motion.progress(t), 1e-9) << t;
        }
        clock.advance(2);
        EXPECT_EQ(bytes->rollingText().progress(), 1.0);
        EXPECT_EQ(clock.pendingCount(), 0u);
    }
}

TEST_F(ConfirmationSheetTest, TheBarAsksForASelectionAndIsDisabledWhileACleanRuns) {
    SelectionBar bar(model, [this] { ++reviews; });
    auto* review = child<QPushButton>(bar, "reviewButton");
    EXPECT_FALSE(review->isEnabled());
    EXPECT_TRUE(child<QWidget>(bar, "selectionHint")->isVisibleTo(&bar));

    select({"App-abc"});
    EXPECT_EQ(child<QLabel>(bar, "selectionCount")->text(), "1 item selected");
    select({"Kit-def"});
    EXPECT_EQ(child<QLabel>(bar, "selectionCount")->text(), "2 items selected");
    ASSERT_TRUE(review->isEnabled());
    review->click();
    EXPECT_EQ(reviews, 1);

    gate.busy = true; // another long task: the clean is refused and the button stays
    model.clean(Mode::trash);
    EXPECT_TRUE(review->isEnabled());
    gate.busy = false;
    model.clean(Mode::trash);
    EXPECT_FALSE(review->isEnabled()); // cleaning, even with a selection
    settle();
}

TEST_F(ConfirmationSheetTest, TheSheetStartsAtTrashAndDeleteTurnsTheExplanationRed) {
    select({"App-abc", "iPhone 15"});
    ConfirmationSheet sheet(
        model, [this](Mode mode) { confirmed.push_back(mode); }, [this] { ++cancels; });
    EXPECT_EQ(child<QLabel>(sheet, "sheetSummary")->text(), "2 items in 2 categories");
    EXPECT_EQ(child<QPushButton>(sheet, "confirmButton")->text(), "Move to Trash");
    EXPECT_TRUE(child<QPushButton>(sheet, "modeTrash")->isChecked());
    const QString note = "1 simulator or runtime can’t go to the Trash and is deleted with simctl.";
    EXPECT_EQ(labelText(sheet, "simctlNote"), note);

    QTest::mouseClick(child<QPushButton>(sheet, "modeDelete"), Qt::LeftButton);
    EXPECT_EQ(sheet.mode(), Mode::remove);
    EXPECT_EQ(child<QPushButton>(sheet, "confirmButton")->text(), "Delete");
    auto* explanation = child<QWidget>(sheet, "modeExplanation")->findChild<QLabel*>("text");
    EXPECT_EQ(explanation->text(), "Files are deleted right away and can’t be recovered.");
    EXPECT_EQ(explanation->palette().color(QPalette::WindowText), Palette::red());
    EXPECT_EQ(labelText(sheet, "simctlNote"), note); // in both modes

    QTest::keyClick(&sheet, Qt::Key_Return);
    EXPECT_EQ(confirmed, std::vector<Mode>{Mode::remove});
    QTest::keyClick(&sheet, Qt::Key_Escape);
    EXPECT_EQ(cancels, 1);
}

TEST_F(ConfirmationSheetTest, CardsFollowTheKindsOrderAndShowEachKindsSize) {
    select({"iPhone 15", "Kit-def", "App-abc"});
    ConfirmationSheet sheet(model, {}, {});
    const auto cards = sheet.findChildren<QWidget*>("categoryCard");
    ASSERT_EQ(cards.size(), 2);
    EXPECT_EQ(cards[0]->property("kind").toString(), "derivedData");
    EXPECT_EQ(cards[0]->findChild<QLabel*>("cardTitles")->text(), "App-abc, Kit-def");
    EXPECT_EQ(cards[0]->findChild<QLabel*>("cardSize")->text(), sizeText(5'000'000));
    EXPECT_EQ(cards[1]->property("kind").toString(), "simulators");
}

// A rescan under an open sheet may take every selected item away; the sheet then says so and
// its confirm is disabled rather than starting a clean of nothing.
TEST_F(ConfirmationSheetTest, ASheetWhoseSelectionVanishesDisablesConfirm) {
    select({"App-abc"});
    ConfirmationSheet sheet(model, [this](Mode mode) { confirmed.push_back(mode); }, {});
    auto* confirm = child<QPushButton>(sheet, "confirmButton");
    EXPECT_TRUE(confirm->isEnabled());
    {
        std::lock_guard lock(mutex);
        table[Kind::derivedData].clear();
    }
    scanAll();
    EXPECT_EQ(child<QLabel>(sheet, "sheetSummary")->text(), "0 items in 0 categories");
    EXPECT_TRUE(sheet.findChildren<QWidget*>("categoryCard").isEmpty());
    EXPECT_FALSE(confirm->isEnabled());
    QTest::keyClick(&sheet, Qt::Key_Return);
    EXPECT_TRUE(confirmed.empty());
}

} // namespace
} // namespace quorvex
