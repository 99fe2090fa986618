#include "app/Updates.h"

#include "support/LoopbackHttpServer.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <deque>

namespace quorvex {
namespace {

QByteArray feedWith(std::initializer_list<const char*> versions) {
    QByteArray xml =
        R"(<rss version="2.0" xmlns:sparkle="http://www.andymatuschak.org/xml-namespaces/sparkle"><channel>)";
    for (const char* version : versions) {
        xml += QByteArray("<item><title>v") + version + "</title><sparkle:version>" + version +
               "</sparkle:version><link>https://example.org/releases/" + version + "</link></item>";
    }
    return xml + "</channel></rss>";
}

struct UpdatesTest : ::testing::Test {
    // A proxy from the developer's environment must not carry the loopback requests away.
    void SetUp() override { qputenv("no_proxy", "127.0.0.1,localhost"); }

    std::unique_ptr<Updates> make(QVariantMap info) {
        Updates::Ui ui;
        ui.activate = [this] { events.push_back("activate"); };
        ui.runAlert = [this](const Updates::Alert& alert) {
            events.push_back("alert");
            alerts.push_back(alert);
            const int answer = answers.empty() ? 0 : answers.front();
            if (!answers.empty())
                answers.pop_front();
            return answer;
        };
        ui.openUrl = [this](const QUrl& url) { opened.push_back(url); };
        return std::make_unique<Updates>(std::move(info), ui);
    }

    static QVariantMap configured(const QString& feed, const QString& version = "1.0") {
        return {{"SUPublicEDKey", "k3y"},
                {"SUFeedURL", feed},
                {"CFBundleVersion", version},
                {"CFBundleShortVersionString", version},
                {"CFBundleName", "Quorvex"}};
    }

    // Runs one check to its end (the alert answered).
    void check(Updates& updates) {
        QSignalSpy finished(&updates, &Updates::checkFinished);
        updates.checkForUpdates();
        if (finished.isEmpty()) {
            ASSERT_TRUE(finished.wait(20000));
        }
    }

    QString fileFeed(const QByteArray& xml) {
        const QString path = dir.filePath("appcast.xml");
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(xml);
        return QUrl::fromLocalFile(path).toString();
    }

    QTemporaryDir dir;
    std::vector<std::string> events;
    std::vector<Updates::Alert> alerts;
    std::deque<int> answers;
    std::vector<QUrl> opened;
};

TEST_F(UpdatesTest, IsConfiguredNeedsANonEmptySigningKeyTextAndAFeedOfAnyType) {
    struct Case {
        const char* name;
        QVariantMap info;
        bool configured;
    };
    const Case cases[] = {
        {"both set", {{"SUPublicEDKey", "abc"}, {"SUFeedURL", "https://example.org/appcast.xml"}}, true},
        {"feed of another type", {{"SUPublicEDKey", "abc"}, {"SUFeedURL", 42}}, true},
        {"empty key", {{"SUPublicEDKey", ""}, {"SUFeedURL", "https://example.org/a.xml"}}, false},
        {"key not text", {{"SUPublicEDKey", 7}, {"SUFeedURL", "https://example.org/a.xml"}}, false},
        {"no feed", {{"SUPublicEDKey", "abc"}}, false},
        {"nothing", {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(make(c.info)->isConfigured(), c.configured);
    }
}

TEST_F(UpdatesTest, TheShippedBuildIsNotConfiguredAndSaysSoWhenAsked) {
    const QVariantMap shipped = Updates::mainBundleInfo();
    EXPECT_EQ(shipped.value("CFBundleIdentifier").toString(), "com.zelmora.Quorvex");
    EXPECT_FALSE(shipped.value("CFBundleVersion").toString().isEmpty());

    auto updates = make(shipped);
    EXPECT_FALSE(updates->isConfigured());
    updates->start();
    EXPECT_FALSE(updates->isStarted());
    check(*updates);
    EXPECT_EQ(events, (std::vector<std::string>{"activate", "alert"}));
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].message, "Updates aren’t set up yet");
    EXPECT_EQ(alerts[0].informativeText, "This build has no update signing key (SUPublicEDKey).");
    EXPECT_TRUE(alerts[0].buttons.isEmpty());
}

TEST_F(UpdatesTest, ANewerVersionInTheFeedIsOfferedWithAButtonThatOpensItsPage) {
    auto updates = make(configured(fileFeed(feedWith({"1.0", "1.2", "1.10", "1.9"}))));
    updates->start();
    EXPECT_TRUE(updates->isStarted());
    answers = {0};
    check(*updates);
    EXPECT_EQ(events, (std::vector<std::string>{"activate", "alert"}));
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].message, "Quorvex 1.10 is available");
    EXPECT_EQ(alerts[0].informativeText, "You have 1.0. Open its page to download it.");
    EXPECT_EQ(alerts[0].buttons, (QStringList{"Open Page", "Later"}));
    EXPECT_EQ(opened, std::vector<QUrl>{QUrl("https://example.org/releases/1.10")});

    answers = {1};
    check(*updates);
    EXPECT_EQ(opened.size(), 1u) << "Later opens nothing";
}

TEST_F(UpdatesTest, NoNewerVersionMeansUpToDate) {
    for (const char* current : {"1.10", "2.0"}) {
        alerts.clear();
        auto updates = make(configured(fileFeed(feedWith({"1.9", "1.10"})), current));
        check(*updates);
        ASSERT_EQ(alerts.size(), 1u);
        EXPECT_EQ(alerts[0].message, "You’re up to date");
        EXPECT_EQ(alerts[0].informativeText,
                  QString("Quorvex %1 is the newest version available.").arg(current));
        EXPECT_TRUE(opened.empty());
    }
}

TEST_F(UpdatesTest, TheFeedIsFetchedOverHttpFollowingRedirects) {
    test::LoopbackHttpServer server;
    server.route("/old", {302, "", {"Location: /appcast.xml"}});
    server.route("/appcast.xml", {200, feedWith({"3.1"}).toStdString(), {}});
    auto updates = make(configured(QString::fromStdString(server.url("/old"))));
    answers = {1};
    check(*updates);
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].message, "Quorvex 3.1 is available");
    EXPECT_EQ(server.requests(), (std::vector<std::string>{"/old", "/appcast.xml"}));
}

TEST_F(UpdatesTest, FailuresAreReportedAsCouldNotCheck) {
    test::LoopbackHttpServer server;
    server.route("/broken.xml", {200, "<rss><channel><item>", {}});
    server.route("/empty.xml", {200, "<rss><channel></channel></rss>", {}});
    server.route("/error", {500, "oops", {}});
    struct Case {
        const char* name;
        QVariant feed;
        const char* detail;
    };
    const Case cases[] = {
        {"missing page", QString::fromStdString(server.url("/missing.xml")), "status 404"},
        {"server error", QString::fromStdString(server.url("/error")), "status 500"},
        {"broken xml", QString::fromStdString(server.url("/broken.xml")), "not valid XML"},
        {"no versions", QString::fromStdString(server.url("/empty.xml")), "lists no versions"},
        {"missing file", QUrl::fromLocalFile(dir.filePath("none.xml")).toString(), "could not be loaded"},
        {"unsupported scheme", "ftp://example.org/appcast.xml", "SUFeedURL"},
        {"not text", 42, "SUFeedURL"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        alerts.clear();
        QVariantMap info = configured({});
        info["SUFeedURL"] = c.feed;
        auto updates = make(info);
        check(*updates);
        ASSERT_EQ(alerts.size(), 1u);
        EXPECT_EQ(alerts[0].message, "Couldn’t check for updates");
        EXPECT_TRUE(alerts[0].informativeText.contains(c.detail)) << alerts[0].informativeText.toStdString();
        EXPECT_TRUE(alerts[0].buttons.isEmpty());
    }
    EXPECT_TRUE(opened.empty());
}

TEST_F(UpdatesTest, ASecondRequestWhileACheckRunsIsIgnored) {
    test::LoopbackHttpServer server;
    server.route("/appcast.xml", {200, feedWith({"0.5"}).toStdString(), {}});
    auto updates = make(configured(QString::fromStdString(server.url("/appcast.xml"))));
    QSignalSpy finished(updates.get(), &Updates::checkFinished);
    updates->checkForUpdates();
    EXPECT_TRUE(updates->isChecking());
    updates->checkForUpdates();
    ASSERT_TRUE(finished.wait(20000));
    EXPECT_FALSE(updates->isChecking());
    EXPECT_EQ(finished.size(), 1);
    EXPECT_EQ(alerts.size(), 1u);
    EXPECT_EQ(server.requests().size(), 1u);
}

TEST_F(UpdatesTest, TheAboutCreditsAreOneCentredSmallSecondaryLine) {
    const AboutPanelOptions options = Updates::aboutPanelOptions();
    EXPECT_TRUE(options.credits.contains("network throttling", Qt::CaseInsensitive));
    EXPECT_TRUE(options.credits.endsWith('.'));
    EXPECT_EQ(options.alignment, Qt::AlignHCenter);
    EXPECT_LT(options.color.alphaF(), 1.0);
    EXPECT_TRUE(options.creditsHtml().startsWith("<p align=\"center\""));
}

} // namespace
} // namespace quorvex
