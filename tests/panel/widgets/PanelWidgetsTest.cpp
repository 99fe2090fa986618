#include "panel/widgets/ActionRow.h"
#include "panel/widgets/DropHighlight.h"
#include "panel/widgets/HoverHint.h"
#include "panel/widgets/PanelButtonStyle.h"
#include "panel/widgets/Segments.h"
#include "panel/widgets/SettingsGroup.h"
#include "panel/widgets/SettingsRow.h"
#include "panel/widgets/Spinner.h"
#include "panel/widgets/ToolButton.h"
#include "panel/widgets/ToolMenuButton.h"
#include "panel/widgets/ValueMenu.h"
#include "support/FakeClock.h"
#include "support/KeyboardAudit.h"

#include <QAccessible>
#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace quorvex {
namespace {

TEST(PanelWidgetsTest, PanelButtonDimsWhenPressedOrDisabled) {
    EXPECT_EQ(PanelButtonStyle::opacity(false, true), 1.0);
    EXPECT_EQ(PanelButtonStyle::opacity(true, true), 0.75);
    EXPECT_EQ(PanelButtonStyle::opacity(false, false), 0.5);
    PanelButtonStyle plain("Open"), prominent("Install", true);
    EXPECT_FALSE(plain.isProminent());
    EXPECT_EQ(prominent.font().weight(), QFont::DemiBold);
    EXPECT_EQ(plain.sizeHint().width(), QFontMetrics(plain.font()).horizontalAdvance("Open") + 20);
}

// A hint on a small control, with the pointer entering and leaving it.
struct HoverHintFixture : ::testing::Test {
    test::FakeClock clock;
    QWidget control;
    HoverHint* hint = nullptr;

    void SetUp() override {
        control.resize(40, 20);
        hint = new HoverHint(&control, "Take Screenshot", Qt::AlignLeft, HoverHint::Placement::below, clock);
    }
    void pointer(QEvent::Type type) {
        QEvent event(type);
        QApplication::sendEvent(&control, &event);
    }
};

TEST_F(HoverHintFixture, ItShowsOnlyAfterTheRestAndHidesOnLeaving) {
    pointer(QEvent::Enter);
    clock.advance(0.3);
    pointer(QEvent::Leave);
    clock.advance(1.0);
    EXPECT_FALSE(hint->isShown()) << "a quick pass shows nothing";

    pointer(QEvent::Enter);
    clock.advance(0.5);
    EXPECT_TRUE(hint->isShown());
    EXPECT_TRUE(hint->bubble()->testAttribute(Qt::WA_TransparentForMouseEvents)) << "clicks go through";
    pointer(QEvent::Leave);
    EXPECT_FALSE(hint->isShown()) << "hidden at once";
}

TEST_F(HoverHintFixture, ItFadesInAndOutEasingOut) {
    pointer(QEvent::Enter);
    clock.advance(HoverHint::kDelay);
    EXPECT_TRUE(hint->isShown());
    EXPECT_EQ(hint->opacity(), 0.0) << "fades in from nothing";
    clock.advance(HoverHint::kFade / 2);
    EXPECT_GT(hint->opacity(), 0.5) << "ease-out: more than half way at half the time";
    EXPECT_LT(hint->opacity(), 1.0);
    EXPECT_NEAR(hint->bubble()->windowOpacity(), hint->opacity(), 1.0 / 255) << "what the window draws";
    clock.advance(HoverHint::kFade);
    EXPECT_EQ(hint->opacity(), 1.0);

    pointer(QEvent::Leave);
    EXPECT_FALSE(hint->isShown());
    clock.advance(HoverHint::kFade / 2);
    EXPECT_LT(hint->opacity(), 0.5);
    EXPECT_TRUE(hint->bubble()->isVisible()) << "still fading out";
    clock.advance(HoverHint::kFade);
    EXPECT_EQ(hint->opacity(), 0.0);
    EXPECT_FALSE(hint->bubble()->isVisible());
    EXPECT_EQ(clock.pendingCount(), 0u) << "no frame once the fade is over";
}

TEST(PanelWidgetsTest, HoverHintBubblesHangBelowOrSitLeftOfTheControl) {
    const QRect control(0, 100, 40, 20);
    const QSize bubble(80, 24);
    using P = HoverHint::Placement;
    EXPECT_EQ(HoverHint::bubbleFrame(control, bubble, P::below, Qt::AlignLeft), QRect(0, 126, 80, 24));
    EXPECT_EQ(HoverHint::bubbleFrame(control, bubble, P::below, Qt::AlignHCenter), QRect(-20, 126, 80, 24));
    EXPECT_EQ(HoverHint::bubbleFrame(control, bubble, P::below, Qt::AlignRight), QRect(-40, 126, 80, 24));
    // At the panel's left edge the leading bubble still lies left of the control, outside it.
    EXPECT_EQ(HoverHint::bubbleFrame(control, bubble, P::leading, Qt::AlignLeft), QRect(-86, 98, 80, 24));
}

TEST(PanelWidgetsTest, SettingsRowsKeepTheCommonMeasures) {
    SettingsRow plain(std::nullopt, "Language", std::nullopt, false);
    SettingsRow withSubtitle("globe", "Language", "English (United States)", true);
    EXPECT_FALSE(plain.hasSymbol()) << "no empty icon column";
    EXPECT_TRUE(withSubtitle.hasSymbol());
    EXPECT_GE(plain.minimumHeight(), 36);
    EXPECT_GE(withSubtitle.minimumHeight(), 44);
    EXPECT_TRUE(plain.hasDivider());
    EXPECT_FALSE(withSubtitle.hasDivider()) << "the last row has none";

    SettingsRow longTitle(std::nullopt, "A very long title that cannot possibly fit into this row",
                          std::nullopt, true);
    longTitle.resize(160, 36);
    longTitle.show();
    const auto* title = longTitle.findChildren<QLabel*>().front();
    EXPECT_TRUE(title->text().contains(QChar(0x2026)));
    EXPECT_TRUE(title->text().startsWith("A very")) << "cut in the middle";
    EXPECT_TRUE(title->text().endsWith("row"));

    int runs = 0;
    ActionRow action("trash", "Erase", true, [&] { ++runs; });
    emit action.clicked();
    EXPECT_EQ(runs, 1);
    SettingsGroup group;
    group.addRow(new SettingsRow(std::nullopt, "One", std::nullopt, true));
    EXPECT_NEAR(SettingsGroup::cardColour(Qt::black).alphaF(), 0.06, 0.001);
    EXPECT_NEAR(SettingsGroup::cardColour(Qt::white).alphaF(), 0.7, 0.001);
}

TEST(PanelWidgetsTest, SegmentsSelectByValueAndReportEveryClick) {
    std::vector<QVariant> picked;
    Segments segments({{"Light", "light"}, {"Dark", "dark"}}, std::nullopt,
                      [&](const QVariant& value) { picked.push_back(value); });
    EXPECT_EQ(segments.selectedIndex(), std::nullopt);
    segments.setSelection(QVariant("sepia"));
    EXPECT_EQ(segments.selectedIndex(), std::nullopt) << "a value that is no option selects nothing";
    segments.setSelection(QVariant("dark"));
    EXPECT_EQ(segments.selectedIndex(), 1u);
    segments.button(1)->click();
    segments.button(1)->click();
    EXPECT_EQ(picked, (std::vector<QVariant>{"dark", "dark"})) << "the selected option reports again";
}

TEST(PanelWidgetsTest, AValueMenuAlwaysShowsItsWholeValue) {
    ValueMenu menu("English (United Kingdom) with a long region name");
    EXPECT_GE(menu.minimumWidth(), QFontMetrics(menu.font()).horizontalAdvance(menu.text()));
    EXPECT_EQ(menu.sizePolicy().horizontalPolicy(), QSizePolicy::Fixed);
}

TEST(PanelWidgetsTest, DropHighlightSaysWhatTheDeviceTakes) {
    struct Case {
        std::optional<QString> device;
        bool physical;
        QString headline;
    };
    for (const Case& c : std::vector<Case>{{"Work iPhone", true, "Drop links on Work iPhone"},
                                           {std::nullopt, true, "Drop links on the device"},
                                           {"iPhone 15", false, "Drop on iPhone 15"},
                                           {std::nullopt, false, "Drop on the simulator"}}) {
        EXPECT_EQ(DropHighlight::headline(c.device, c.physical), c.headline);
    }
    EXPECT_EQ(DropHighlight::caption(true), "They open on the device. Files need a simulator.");
    EXPECT_EQ(DropHighlight::caption(false),
              "Push payloads, certificates, photos and videos, apps, or links");
    DropHighlight overlay("iPhone 15", false);
    EXPECT_TRUE(overlay.testAttribute(Qt::WA_TransparentForMouseEvents));
}

TEST(PanelWidgetsTest, AToolButtonRunsItsActionAndCarriesItsHelp) {
    test::FakeClock clock;
    int runs = 0;
    ToolButton button("camera", "Take Screenshot", true, Qt::AlignLeft, clock, [&] { ++runs; });
    button.click();
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(button.size(), QSize(34, 34));
    EXPECT_EQ(button.accessibleName(), "Take Screenshot");
    EXPECT_FALSE(ToolButton::toolIcon("camera", true, button.palette()).isNull());
}

// Every control of the kit shows where the keyboard is, also on an accent fill, where a ring in
// the accent colour would vanish.
TEST(PanelWidgetsTest, EachControlShowsTheFocusRingAlsoOnItsAccentFill) {
    test::FakeClock clock;
    QWidget window;
    auto* layout = new QHBoxLayout(&window);
    auto* field = new QLineEdit; // somewhere else for the focus to go
    auto* segments = new Segments({{"Wi-Fi", "wifi"}, {"5G", "5g"}}, QVariant("5g"), {});
    auto* row = new SettingsRow(std::nullopt, "Show All 13", std::nullopt, true);
    row->setActivatable(true);
    auto* menuTool =
        new ToolMenuButton("camera", "Screenshot", Qt::AlignLeft, clock, QToolButton::DelayedPopup);
    menuTool->setMenu(new QMenu(menuTool));
    const std::vector<std::pair<const char*, QWidget*>> controls = {
        {"tool off", new ToolButton("tortoise", "Slow animations", false, Qt::AlignLeft, clock, {})},
        {"tool on", new ToolButton("globe", "Language and region", true, Qt::AlignLeft, clock, {})},
        {"menu tool", menuTool},
        {"value menu", new ValueMenu("English")},
        {"plain button", new PanelButtonStyle("Restore")},
        {"prominent button", new PanelButtonStyle("Apply & Relaunch", true)},
        {"row", row},
        {"segment", segments->button(0)},
        {"chosen segment", segments->button(1)},
    };
    for (const auto& [name, control] : controls)
        if (!control->parentWidget())
            layout->addWidget(control);
    layout->addWidget(segments);
    layout->addWidget(field);
    ASSERT_TRUE(test::showActive(&window));
    for (const auto& [name, control] : controls) {
        EXPECT_TRUE(control->focusPolicy() & Qt::TabFocus) << name;
        EXPECT_TRUE(test::focusIsVisible(control, field)) << name;
    }
}

TEST(PanelWidgetsTest, ValueMenusSegmentsAndSpinnersTellAScreenReaderTheirState) {
    ValueMenu menu("No Limit");
    menu.setAccessibleName("Other Speeds");
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(&menu);
    EXPECT_EQ(face->role(), QAccessible::ButtonMenu);
    EXPECT_EQ(test::accessibleValue(&menu), "No Limit");
    menu.setValue("LTE");
    EXPECT_EQ(test::accessibleValue(&menu), "LTE");

    Segments segments({{"Wi-Fi", "wifi"}, {"5G", "5g"}}, std::nullopt, {});
    segments.setSelection(QVariant("5g"));
    QAccessibleInterface* wifi = QAccessible::queryAccessibleInterface(segments.button(0));
    QAccessibleInterface* fiveG = QAccessible::queryAccessibleInterface(segments.button(1));
    EXPECT_EQ(fiveG->role(), QAccessible::RadioButton);
    EXPECT_TRUE(fiveG->state().checked);
    EXPECT_FALSE(wifi->state().checked);
    segments.button(0)->click();
    EXPECT_TRUE(fiveG->state().checked) << "only the selection moves the choice, not the click";
    segments.setSelection(std::nullopt);
    EXPECT_FALSE(fiveG->state().checked);
    EXPECT_EQ(test::accessibleValue(&segments), "");

    QWidget card;
    auto* spinner = new Spinner(&card);
    spinner->setAccessibleName("Downloading…");
    card.show();
    QAccessibleInterface* busy = QAccessible::queryAccessibleInterface(spinner);
    EXPECT_EQ(busy->role(), QAccessible::ProgressBar);
    EXPECT_TRUE(busy->state().busy);
    spinner->hide();
    EXPECT_FALSE(busy->state().busy);
}

} // namespace
} // namespace quorvex
