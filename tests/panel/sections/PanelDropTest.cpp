#include "panel/sections/PanelDrop.h"

#include "actions/ActionsTestSupport.h"
#include "actions/SimulatorActions.h"
#include "panel/controller/PanelTarget.h"
#include "platform/data/PlistSettingsFormat.h"
#include "simulator/SimulatorApps.h"
#include "support/FakeClock.h"
#include "support/FakeDialogs.h"
#include "support/FakeXcrun.h"
#include "support/FixtureHome.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QTest>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>

namespace quorvex {
// Failed expectations show the toast's texts.
void PrintTo(const ToastMessage& message, std::ostream* out) {
    *out << '{' << message.title.toStdString() << " | "
         << message.detail.value_or(QStringLiteral("-")).toStdString() << " | "
         << message.symbol.toStdString() << (message.failed ? " | failed}" : "}");
}
} // namespace quorvex

using namespace quorvex;
using Kind = PanelDrop::Kind;
using ArgumentLists = std::vector<std::vector<std::string>>;

namespace {

const QString kDropSymbol = QStringLiteral("tray.and.arrow.down");
const QString kUnsupportedDetail =
    QStringLiteral("Drop push payloads, certificates, photos, videos, apps, or links.");
const QString kDevice = QStringLiteral("Anna\u2019s iPhone");
const QString kDeviceDetail =
    QStringLiteral("Files need a simulator; Anna\u2019s iPhone is a physical device.");

ToastMessage toast(const QString& title, std::optional<QString> detail, const QString& symbol, bool failed) {
    return ToastMessage{title, std::move(detail), symbol, failed};
}

class FakeTarget final : public PanelTarget {
public:
    std::optional<PhysicalDevice> physicalDevice() const override { return device; }
    std::optional<SimulatorDevice> simulator() const override { return booted; }
    std::optional<SimulatorApp> app() const override { return panelApp; }

    std::optional<PhysicalDevice> device;
    std::optional<SimulatorDevice> booted;
    std::optional<SimulatorApp> panelApp;
};

// One booted simulator "iPhone 15" with the app "Demo" (com.example.demo), the inventory read
// from it through the fake xcrun, and a panel that targets both.
class PanelDropTest : public ::testing::Test {
protected:
    PanelDropTest() {
        test::FixtureApp demo;
        demo.bundleID = "com.example.demo";
        demo.displayName = "Demo";
        home.addSimulator("UDID-A", "iPhone 15");
        home.installApp("UDID-A", demo);
        home.answer(fake);
        const QFuture<void> refreshed = apps.refresh();
        EXPECT_TRUE(QTest::qWaitFor([&] { return refreshed.isFinished(); }, 10'000));
        target.booted = apps.devices().at(0);
        target.panelApp = apps.apps().at(0);
        std::filesystem::create_directories(drops);
        fake.clearLog();
    }

    // A file in the drop folder with these bytes.
    QUrl file(const std::string& name, const std::string& bytes = "x") {
        std::ofstream(drops / name, std::ios::binary) << bytes;
        return QUrl::fromLocalFile(QString::fromStdString((drops / name).string()));
    }
    std::string path(const std::string& name) const { return (drops / name).string(); }

    void dropAndWait(const QList<QUrl>& urls) {
        drop.handle(urls);
        ASSERT_TRUE(QTest::qWaitFor([&] { return drop.pendingTasks() == 0; }, 10'000));
    }

    // The tool calls of the drop, without the inventory's own listing.
    ArgumentLists toolCalls() const {
        ArgumentLists calls;
        for (auto& args : fake.argumentLists())
            if (args.size() < 2 || (args[1] != "list" && args[1] != "listapps"))
                calls.push_back(args);
        return calls;
    }
    static ArgumentLists sorted(ArgumentLists lists) {
        std::sort(lists.begin(), lists.end());
        return lists;
    }

    // First, so the actions below start with an empty history.
    const bool storesCleared = [] {
        test::clearStores();
        return true;
    }();
    test::FixtureHome home;
    test::FakeXcrun fake;
    test::FakeDialogs dialogs;
    test::FakeClock clock;
    test::ScopedTemporaryFolder temporary;
    test::ToastLog toasts;
    SimulatorApps apps{clock};
    SimulatorActions actions;
    FakeTarget target;
    PanelDrop drop{target, clock, apps, actions};
    const std::filesystem::path drops = test::FixtureHome::home() / "Drops";
};

} // namespace

TEST(PanelDropClassifyTest, FilesCountByTheirExtensionInAnyCaseAndLinksByTheirScheme) {
    struct Case {
        const char* item; // a path starting with "/" is a file
        Kind kind;
    };
    const Case cases[] = {
        {"/d/alert.apns", Kind::push},
        {"/d/ALERT.APNS", Kind::push},
        {"/d/proxy.PEM", Kind::certificate},
        {"/d/a.cer", Kind::certificate},
        {"/d/a.crt", Kind::certificate},
        {"/d/a.der", Kind::certificate},
        {"/d/Demo.app", Kind::app},
        {"/d/Demo.APP/", Kind::app}, // a folder counts by its name, like a file
        {"/d/photo.JPG", Kind::media},
        {"/d/photo.heic", Kind::media},
        {"/d/clip.MOV", Kind::media},
        {"/d/clip.mp4", Kind::media},
        {"/d/Contacts.VCF", Kind::media},
        {"/d/notes.txt.png", Kind::media}, // only the last extension counts
        {"/d/photo.jpg.txt", Kind::unsupported},
        {"/d/notes.txt", Kind::unsupported},
        {"/d/doc.pdf", Kind::unsupported},
        {"/d/archive.zip", Kind::unsupported},
        {"/d/README", Kind::unsupported},
        {"/d/.jpg", Kind::unsupported}, // a hidden name, not an extension
        {"/d/photo.", Kind::unsupported},
        {"/d/x.unknownextension", Kind::unsupported},
        {"myapp://orders/1", Kind::link},
        {"myapp:", Kind::link},
        {"https://example.com/a?b=c", Kind::link},
        {"mailto:someone@example.com", Kind::link},
        {"javascript:alert(1)", Kind::unsupported},
        {"JavaScript:alert(1)", Kind::unsupported},
        {"data:,hello", Kind::unsupported},
        {"DATA:text/plain;base64,aGk=", Kind::unsupported},
        {"orders/1", Kind::unsupported}, // no scheme
        {"", Kind::unsupported},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.item);
        const QString item = QString::fromUtf8(c.item);
        const QUrl url = item.startsWith(QLatin1Char('/')) ? QUrl::fromLocalFile(item) : QUrl(item);
        EXPECT_EQ(static_cast<int>(PanelDrop::classify(url)), static_cast<int>(c.kind));
    }
}

TEST(PanelDropClassifyTest, ContentsAreNeverLookedAt) {
    test::FixtureHome home;
    const auto folder = test::FixtureHome::home();
    QImage picture(4, 4, QImage::Format_RGB32);
    picture.fill(Qt::red);
    ASSERT_TRUE(picture.save(QString::fromStdString((folder / "picture.txt").string()), "PNG"));
    std::ofstream(folder / "words.png") << "plain words";
    EXPECT_EQ(
        PanelDrop::classify(QUrl::fromLocalFile(QString::fromStdString((folder / "picture.txt").string()))),
        Kind::unsupported);
    EXPECT_EQ(
        PanelDrop::classify(QUrl::fromLocalFile(QString::fromStdString((folder / "words.png").string()))),
        Kind::media);
}

TEST(PanelDropClassifyTest, TargetBundleIsATopLevelString) {
    struct Case {
        const char* payload;
        std::optional<QString> bundle;
    };
    const Case cases[] = {
        {R"({"aps":{},"Simulator Target Bundle":"com.example.other"})", QStringLiteral("com.example.other")},
        {R"({"aps":{}})", std::nullopt},
        {R"({"aps":{},"Simulator Target Bundle":7})", std::nullopt},
        {R"({"aps":{"Simulator Target Bundle":"com.example.other"}})", std::nullopt},
        {R"([{"Simulator Target Bundle":"com.example.other"}])", std::nullopt},
        {"not json", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.payload);
        EXPECT_EQ(PanelDrop::targetBundle(QByteArray(c.payload)), c.bundle);
    }
}

TEST_F(PanelDropTest, OnePlainTextFileIsRefusedAtOnceByItsName) {
    drop.handle({file("notes.txt")});
    EXPECT_EQ(toasts.messages(),
              (std::vector<ToastMessage>{toast(QStringLiteral("Can\u2019t use \u201Cnotes.txt\u201D"),
                                               kUnsupportedDetail, kDropSymbol, true)}));
    EXPECT_EQ(drop.pendingTasks(), 0);
    EXPECT_EQ(clock.pendingCount(), 0u);
    EXPECT_TRUE(toolCalls().empty());
}

TEST_F(PanelDropTest, ScriptAndDataLinksAreNeverOpened) {
    drop.handle(
        {QUrl(QStringLiteral("javascript:alert(1)")), QUrl(QStringLiteral("DATA:text/html,<b>hi</b>"))});
    EXPECT_EQ(toasts.messages(),
              (std::vector<ToastMessage>{toast(QStringLiteral("Can\u2019t use 2 of the files"),
                                               kUnsupportedDetail, kDropSymbol, true)}));
    EXPECT_EQ(drop.pendingTasks(), 0);
    EXPECT_TRUE(toolCalls().empty());
}

TEST_F(PanelDropTest, ThreeUnsupportedFilesAndAPhotoAddThePhotoThenTellAboutTheRest) {
    fake.on({"simctl", "addmedia", "UDID-A", "**"});
    dropAndWait({file("notes.txt"), file("doc.pdf"), file("Beach.JPG"), file("archive.zip")});
    EXPECT_EQ(toolCalls(), (ArgumentLists{{"simctl", "addmedia", "UDID-A", path("Beach.JPG")}}));
    const auto added = toast(QStringLiteral("Added 1 item to iPhone 15"), std::nullopt,
                             QStringLiteral("photo.stack"), false);
    EXPECT_EQ(toasts.messages(), std::vector<ToastMessage>{added});

    clock.advance(2.4);
    EXPECT_EQ(toasts.messages().size(), 1u);
    clock.advance(0.1);
    EXPECT_EQ(toasts.messages(),
              (std::vector<ToastMessage>{added, toast(QStringLiteral("Can\u2019t use 3 of the files"),
                                                      kUnsupportedDetail, kDropSymbol, true)}));
}

TEST_F(PanelDropTest, MediaGoInOneCommandAndAFailureSaysSo) {
    dropAndWait({file("a.png"), file("b.mov"), file("card.vcf")});
    EXPECT_EQ(toolCalls(), (ArgumentLists{{"simctl", "addmedia", "UDID-A", path("a.png"), path("b.mov"),
                                           path("card.vcf")}}));
    EXPECT_EQ(toasts.messages(),
              (std::vector<ToastMessage>{toast(QStringLiteral("Couldn\u2019t do that on the simulator"),
                                               std::nullopt, QStringLiteral("photo.stack"), true)}));

    fake.on({"simctl", "addmedia", "**"});
    dropAndWait({file("a.png"), file("b.mov")});
    EXPECT_EQ(toasts.messages().back(), toast(QStringLiteral("Added 2 items to iPhone 15"), std::nullopt,
                                              QStringLiteral("photo.stack"), false));
}

TEST_F(PanelDropTest, PushFilesReachTheirAppOrSayWhyNot) {
    fake.on({"simctl", "push", "UDID-A", "com.example.demo", "*"});
    const std::string payload = R"({"aps":{"alert":"Hi"}})";
    const QString bellSlash = QStringLiteral("bell.slash");
    std::filesystem::create_directories(drops / "folder.apns");
    // A FIFO would block a reader that opened it for reading.
    ASSERT_EQ(::mkfifo((drops / "pipe.apns").c_str(), 0600), 0);
    struct Case {
        const char* name;
        std::string bytes; // empty: the item is not written
        bool panelApp;
        ToastMessage shown;
        bool delivered;
    };
    const Case cases[] = {
        {"ALERT.APNS", R"({"aps":{"alert":"Hi"},"Simulator Target Bundle":"com.example.demo"})", false,
         toast(QStringLiteral("Send Push \u201CALERT\u201D"), QStringLiteral("Demo on iPhone 15"),
               QStringLiteral("bell.badge"), false),
         true},
        {"plain.apns", payload, true,
         toast(QStringLiteral("Send Push \u201Cplain\u201D"), QStringLiteral("Demo on iPhone 15"),
               QStringLiteral("bell.badge"), false),
         true},
        {"plain.apns", payload, false,
         toast(QStringLiteral("The app isn\u2019t installed on iPhone 15"), std::nullopt, bellSlash, true),
         false},
        {"other.apns", R"({"aps":{},"Simulator Target Bundle":"com.example.other"})", true,
         toast(QStringLiteral("com.example.other isn\u2019t installed on iPhone 15"), std::nullopt, bellSlash,
               true),
         false},
        {"bad.apns", R"({"alert":"Hi"})", true,
         toast(QStringLiteral("\u201Cbad.apns\u201D isn\u2019t a valid payload"),
               QStringLiteral("The payload needs an \"aps\" dictionary."), bellSlash, true),
         false},
        {"latin.apns", "{\"aps\":{\"alert\":\"caf\xE9\"}}", true,
         toast(QStringLiteral("Couldn\u2019t read \u201Clatin.apns\u201D"), std::nullopt, bellSlash, true),
         false},
        {"folder.apns", "", true,
         toast(QStringLiteral("Couldn\u2019t read \u201Cfolder.apns\u201D"), std::nullopt, bellSlash, true),
         false},
        {"pipe.apns", "", true,
         toast(QStringLiteral("Couldn\u2019t read \u201Cpipe.apns\u201D"), std::nullopt, bellSlash, true),
         false},
        {"missing.apns", "", true,
         toast(QStringLiteral("Couldn\u2019t read \u201Cmissing.apns\u201D"), std::nullopt, bellSlash, true),
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fake.clearLog();
        const size_t before = actions.history().size();
        if (!c.panelApp)
            target.panelApp.reset();
        else
            target.panelApp = apps.apps().at(0);
        const QUrl url = c.bytes.empty() ? QUrl::fromLocalFile(QString::fromStdString(path(c.name)))
                                         : file(c.name, c.bytes);
        dropAndWait({url});
        ASSERT_FALSE(toasts.messages().empty());
        EXPECT_EQ(toasts.messages().back(), c.shown);
        const auto calls = toolCalls();
        if (c.delivered) {
            ASSERT_EQ(calls.size(), 1u);
            EXPECT_EQ(std::vector<std::string>(calls[0].begin(), calls[0].end() - 1),
                      (std::vector<std::string>{"simctl", "push", "UDID-A", "com.example.demo"}));
            EXPECT_EQ(actions.history().size(), before + 1);
        } else {
            EXPECT_TRUE(calls.empty());
            EXPECT_EQ(actions.history().size(), before);
        }
    }
}

TEST_F(PanelDropTest, LinkBecomesADeepLinkOfThePanelAppOrOpensWithoutOne) {
    const QUrl link(QStringLiteral("myapp://orders/1"));
    const ArgumentLists opened{{"simctl", "openurl", "UDID-A", "myapp://orders/1"}};
    fake.on({"simctl", "openurl", "UDID-A", "myapp://orders/1"});

    drop.handle({link});
    EXPECT_TRUE(toolCalls().empty()); // delivered after the drop has returned
    ASSERT_TRUE(QTest::qWaitFor([&] { return drop.pendingTasks() == 0; }, 10'000));
    EXPECT_EQ(toolCalls(), opened);
    EXPECT_EQ(toasts.messages().back(),
              toast(QStringLiteral("Open myapp://orders/1"), QStringLiteral("Demo on iPhone 15"),
                    QStringLiteral("link"), false));
    ASSERT_EQ(actions.history().size(), 1u);
    EXPECT_EQ(actions.history().front().kind,
              SimulatorActions::Kind::deepLink(QStringLiteral("myapp://orders/1")));

    // Without an app on this simulator the link is opened as it is, and not recorded.
    target.panelApp.reset();
    fake.clearLog();
    dropAndWait({link});
    EXPECT_EQ(toolCalls(), opened);
    EXPECT_EQ(toasts.messages().back(),
              toast(QStringLiteral("Opened myapp://orders/1"), std::nullopt, QStringLiteral("link"), false));
    EXPECT_EQ(actions.history().size(), 1u);

    fake.clearRules();
    dropAndWait({link});
    EXPECT_EQ(toasts.messages().back(), toast(QStringLiteral("Couldn\u2019t do that on the simulator"),
                                              std::nullopt, QStringLiteral("link"), true));
}

TEST_F(PanelDropTest, CertificatesAreTrustedOnlyAfterAConfirmationAskedOutsideTheDrop) {
    fake.on({"simctl", "keychain", "UDID-A", "add-root-cert", "*"});
    drop.handle({file("Proxy.PEM"), file("corp.cer")});
    // The drop has returned without asking: the alert comes from the event loop.
    EXPECT_TRUE(dialogs.alerts().empty());
    ASSERT_TRUE(QTest::qWaitFor([&] { return drop.pendingTasks() == 0; }, 10'000));

    ASSERT_EQ(dialogs.alerts().size(), 1u);
    const auto& alert = dialogs.alerts()[0];
    EXPECT_EQ(alert.message, QStringLiteral("Trust \u201CProxy\u201D, \u201Ccorp\u201D on iPhone 15?"));
    EXPECT_EQ(alert.informativeText,
              QStringLiteral(
                  "The simulator trusts everything signed by these certificates, for every app. Only add "
                  "certificates you know, like your proxy\u2019s (Proxyman, Charles, mitmproxy)."));
    EXPECT_EQ(alert.style, Alert::Style::Warning);
    EXPECT_EQ(alert.buttons, (QStringList{QStringLiteral("Trust"), QStringLiteral("Cancel")}));
    EXPECT_EQ(sorted(toolCalls()),
              (ArgumentLists{{"simctl", "keychain", "UDID-A", "add-root-cert", path("Proxy.PEM")},
                             {"simctl", "keychain", "UDID-A", "add-root-cert", path("corp.cer")}}));
    std::vector<QString> titles;
    for (const auto& message : toasts.messages())
        titles.push_back(message.title);
    std::sort(titles.begin(), titles.end());
    EXPECT_EQ(titles, (std::vector<QString>{QStringLiteral("Trusted \u201CProxy\u201D"),
                                            QStringLiteral("Trusted \u201Ccorp\u201D")}));

    // "Cancel" adds nothing and says nothing.
    fake.clearLog();
    dialogs.clear();
    const size_t shown = toasts.messages().size();
    dialogs.queueAnswer(Dialogs::kFirstButton + 1);
    dropAndWait({file("one.crt")});
    ASSERT_EQ(dialogs.alerts().size(), 1u);
    EXPECT_TRUE(dialogs.alerts()[0].informativeText.contains(QStringLiteral("signed by this certificate,")));
    EXPECT_TRUE(toolCalls().empty());
    EXPECT_EQ(toasts.messages().size(), shown);
}

TEST_F(PanelDropTest, AppIsInstalledLaunchedAndReportedOnceTheInventoryKnowsIt) {
    const auto bundle = drops / "Dropped.app";
    std::filesystem::create_directories(bundle);
    std::ofstream(bundle / "Info.plist", std::ios::binary)
        << variantToPlistXml(QVariantMap{{"CFBundleIdentifier", "com.example.dropped"}}).toStdString();
    const QUrl url = QUrl::fromLocalFile(QString::fromStdString(bundle.string()));
    const auto installing = toast(QStringLiteral("Installing Dropped\u2026"), std::nullopt,
                                  QStringLiteral("square.and.arrow.down"), false);

    dropAndWait({url});
    EXPECT_EQ(toolCalls(), (ArgumentLists{{"simctl", "install", "UDID-A", bundle.string()}}));
    EXPECT_EQ(toasts.messages(),
              (std::vector<ToastMessage>{installing, toast(QStringLiteral("Couldn\u2019t install Dropped"),
                                                           QStringLiteral("Is it built for the simulator?"),
                                                           QStringLiteral("square.and.arrow.down"), true)}));

    fake.on({"simctl", "install", "UDID-A", "*"}).on({"simctl", "launch", "UDID-A", "com.example.dropped"});
    fake.clearLog();
    dropAndWait({url});
    EXPECT_EQ(toolCalls(), (ArgumentLists{{"simctl", "install", "UDID-A", bundle.string()},
                                          {"simctl", "launch", "UDID-A", "com.example.dropped"}}));
    // The inventory was asked again before the result was told.
    EXPECT_EQ(fake.argumentLists().back(), (std::vector<std::string>{"simctl", "listapps", "UDID-A"}));
    EXPECT_EQ(toasts.messages().back(),
              toast(QStringLiteral("Installed Dropped"), QStringLiteral("on iPhone 15"),
                    QStringLiteral("checkmark.circle"), false));
}

TEST_F(PanelDropTest, WithoutASimulatorNothingIsUsedNotEvenLinks) {
    target.booted.reset();
    drop.handle({QUrl(QStringLiteral("myapp://orders/1")), file("Beach.jpg")});
    EXPECT_EQ(toasts.messages(),
              (std::vector<ToastMessage>{toast(QStringLiteral("No simulator running"),
                                               QStringLiteral("Start a simulator to drop files on it."),
                                               kDropSymbol, true)}));
    EXPECT_EQ(drop.pendingTasks(), 0);
    EXPECT_TRUE(toolCalls().empty());
}

TEST_F(PanelDropTest, OneDropOfEveryKindReachesXcrunWithTheExactCommandLines) {
    target.panelApp.reset();
    const auto bundle = drops / "Dropped.app";
    std::filesystem::create_directories(bundle);
    std::ofstream(bundle / "Info.plist", std::ios::binary)
        << variantToPlistXml(QVariantMap{{"CFBundleIdentifier", "com.example.dropped"}}).toStdString();
    fake.on({"simctl", "**"});

    dropAndWait({file("Beach.jpg"), file("proxy.pem"),
                 QUrl::fromLocalFile(QString::fromStdString(bundle.string())),
                 QUrl(QStringLiteral("https://example.com/orders?id=1"))});
    EXPECT_EQ(sorted(toolCalls()), sorted({
                                       {"simctl", "addmedia", "UDID-A", path("Beach.jpg")},
                                       {"simctl", "keychain", "UDID-A", "add-root-cert", path("proxy.pem")},
                                       {"simctl", "install", "UDID-A", bundle.string()},
                                       {"simctl", "launch", "UDID-A", "com.example.dropped"},
                                       {"simctl", "openurl", "UDID-A", "https://example.com/orders?id=1"},
                                   }));
    EXPECT_EQ(dialogs.alerts().size(), 1u);
    EXPECT_EQ(clock.pendingCount(), 0u);
}

// ---- A connected device takes links only ----

class PanelDropDeviceTest : public PanelDropTest {
protected:
    PanelDropDeviceTest() { target.device = PhysicalDevice{QStringLiteral("DEV-1"), kDevice, {}, {}, {}}; }

    static std::vector<std::string> openOnDevice(const std::string& url) {
        return {"devicectl", "device", "process", "openURL", "--device", "DEV-1", url, "-q"};
    }
    std::vector<QString> titles() const {
        std::vector<QString> out;
        for (const auto& message : toasts.messages())
            out.push_back(message.title);
        return out;
    }
};

TEST_F(PanelDropDeviceTest, ThreeLinksAndAPhotoOpenTheLinksThenSayFilesNeedASimulator) {
    fake.on({"devicectl", "device", "process", "openURL", "--device", "DEV-1", "*", "-q"});
    drop.handle({QUrl(QStringLiteral("myapp://a")), file("Beach.jpg"), QUrl(QStringLiteral("myapp://b")),
                 QUrl(QStringLiteral("https://example.com/c"))});
    // The notice waits for the opens, however long the clock runs meanwhile.
    clock.advance(5);
    EXPECT_TRUE(toasts.messages().empty());
    ASSERT_TRUE(QTest::qWaitFor([&] { return drop.pendingTasks() == 0; }, 10'000));

    EXPECT_EQ(sorted(toolCalls()), sorted({openOnDevice("myapp://a"), openOnDevice("myapp://b"),
                                           openOnDevice("https://example.com/c")}));
    ASSERT_EQ(toasts.messages().size(), 3u);
    for (const auto& message : toasts.messages()) {
        EXPECT_EQ(message.title, QStringLiteral("Opened on Anna\u2019s iPhone"));
        EXPECT_EQ(message.symbol, QStringLiteral("link"));
        EXPECT_FALSE(message.failed);
    }
    clock.advance(2.4);
    EXPECT_EQ(toasts.messages().size(), 3u);
    clock.advance(0.1);
    EXPECT_EQ(toasts.messages().back(),
              toast(QStringLiteral("Opened the links only"), kDeviceDetail, kDropSymbol, true));
}

TEST_F(PanelDropDeviceTest, APhotoAloneIsRefusedAtOnceAndLinksAloneNeedNoNotice) {
    drop.handle({file("Beach.jpg")});
    EXPECT_EQ(toasts.messages(),
              (std::vector<ToastMessage>{toast(QStringLiteral("Drop links on Anna\u2019s iPhone"),
                                               kDeviceDetail, kDropSymbol, true)}));
    EXPECT_TRUE(toolCalls().empty());

    fake.on({"devicectl", "**"});
    dropAndWait({QUrl(QStringLiteral("myapp://a"))});
    EXPECT_EQ(toasts.messages().back(), toast(QStringLiteral("Opened on Anna\u2019s iPhone"),
                                              QStringLiteral("myapp://a"), QStringLiteral("link"), false));
    EXPECT_EQ(toolCalls(), ArgumentLists{openOnDevice("myapp://a")});
    EXPECT_EQ(clock.pendingCount(), 0u);

    drop.handle({});
    EXPECT_EQ(toasts.messages().size(), 2u);
}

TEST_F(PanelDropDeviceTest, FailedOpensAreNeverCoveredByTheLinksOnlyNotice) {
    struct Case {
        const char* name;
        bool secondOpens;
    };
    for (const Case c : {Case{"every open failed", false}, Case{"one of two failed", true}}) {
        SCOPED_TRACE(c.name);
        fake.clearRules();
        if (c.secondOpens)
            fake.on(openOnDevice("myapp://b"));
        const size_t before = toasts.messages().size();
        dropAndWait(
            {QUrl(QStringLiteral("myapp://a")), file("Beach.jpg"), QUrl(QStringLiteral("myapp://b"))});
        EXPECT_EQ(clock.pendingCount(), 0u);
        clock.advance(10);
        const auto all = titles();
        const std::vector<QString> shown(all.begin() + static_cast<std::ptrdiff_t>(before), all.end());
        EXPECT_EQ(shown.size(), 2u);
        EXPECT_EQ(
            std::count(shown.begin(), shown.end(), QStringLiteral("Didn\u2019t work on Anna\u2019s iPhone")),
            c.secondOpens ? 1 : 2);
        EXPECT_EQ(std::count(shown.begin(), shown.end(), QStringLiteral("Opened the links only")), 0);
    }
    EXPECT_EQ(toasts.messages().front().detail, QStringLiteral("Is it unlocked and connected?"));
}

TEST_F(PanelDropTest, ADroppedLinkIsPassedOnExactlyAsDropped) {
    const std::string links[] = {
        "myapp://Orders/12345",
        "MyApp://Orders/12345?Tab=Details&ID=AbC",
        "https://Example.COM/Path?Key=Value",
    };
    for (const std::string& link : links) {
        SCOPED_TRACE(link);
        const QString text = QString::fromStdString(link);
        fake.on({"simctl", "openurl", "UDID-A", link});

        // With the panel's app: a deep link, recorded in the history as dropped.
        target.panelApp = apps.apps().at(0);
        fake.clearLog();
        drop.handleUriList(QByteArray::fromStdString("# a comment\r\n" + link + "\r\n"));
        ASSERT_TRUE(QTest::qWaitFor([&] { return drop.pendingTasks() == 0; }, 10'000));
        EXPECT_EQ(toolCalls(), (ArgumentLists{{"simctl", "openurl", "UDID-A", link}}));
        EXPECT_EQ(toasts.messages().back().title, QStringLiteral("Open ") + text);
        ASSERT_FALSE(actions.history().empty());
        EXPECT_EQ(actions.history().front().kind, SimulatorActions::Kind::deepLink(text));

        // Without one: opened as it is.
        target.panelApp.reset();
        fake.clearLog();
        drop.handleUriList(QByteArray::fromStdString(link + "\n"));
        ASSERT_TRUE(QTest::qWaitFor([&] { return drop.pendingTasks() == 0; }, 10'000));
        EXPECT_EQ(toolCalls(), (ArgumentLists{{"simctl", "openurl", "UDID-A", link}}));
        EXPECT_EQ(toasts.messages().back().title, QStringLiteral("Opened ") + text);
    }
}
