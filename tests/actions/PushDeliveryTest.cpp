#include "actions/SimulatorActions.h"

#include "ActionsTestSupport.h"
#include "support/FakeXcrun.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

using namespace quorvex;
using Kind = SimulatorActions::Kind;

namespace {

const QString kInvalidJson = QStringLiteral("The payload isn\u2019t valid JSON.");
const QString kNotObject = QStringLiteral("The payload must be a JSON object.");
const QString kNoAps = QStringLiteral("The payload needs an \"aps\" dictionary.");

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

} // namespace

TEST(PushDeliveryTest, PayloadMustBeAnObjectWithAnApsObject) {
    struct Case {
        const char* payload;
        std::optional<QString> expected;
    };
    const Case cases[] = {
        {R"([{"aps":{}}])", kNotObject},
        {"[]", kNotObject},
        {"42", kInvalidJson}, // a top-level scalar is not a document
        {R"("aps")", kInvalidJson},
        {"null", kInvalidJson},
        {"", kInvalidJson},
        {R"({"aps":{}} trailing)", kInvalidJson},
        {R"({"aps":{}, /* note */ "a":1})", kInvalidJson},
        {R"({"aps":1})", kNoAps},
        {R"({"aps":[]})", kNoAps},
        {R"({"aps":null})", kNoAps},
        {R"({"APS":{}})", kNoAps},
        {"{}", kNoAps},
        {R"({"aps":{}})", std::nullopt},
        {"  {\n\"aps\": {\"alert\": \"h\u00E9\"}, \"x\": [1, 2.5e3]}\n", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.payload);
        EXPECT_EQ(SimulatorActions::validatePushPayload(QString::fromUtf8(c.payload)), c.expected);
    }
}

TEST(PushDeliveryTest, TemplatesAreTheFourPayloadsInMenuOrder) {
    const auto& templates = SimulatorActions::pushTemplates();
    ASSERT_EQ(templates.size(), 4u);
    EXPECT_EQ(templates[0].name, QStringLiteral("Alert"));
    EXPECT_EQ(templates[0].payload,
              QStringLiteral("{\n  \"aps\": {\n    \"alert\": { \"title\": \"Hello\", \"body\": \"This "
                             "is a test notification.\" },\n    \"sound\": \"default\"\n  }\n}"));
    EXPECT_EQ(templates[1].name, QStringLiteral("Alert with Badge"));
    EXPECT_EQ(templates[1].payload,
              QStringLiteral(
                  "{\n  \"aps\": {\n    \"alert\": { \"title\": \"3 new messages\", \"body\": \"Tap to read "
                  "them.\" },\n    \"badge\": 3,\n    \"sound\": \"default\"\n  }\n}"));
    EXPECT_EQ(templates[2].name, QStringLiteral("Silent Background"));
    EXPECT_EQ(templates[2].payload,
              QStringLiteral("{\n  \"aps\": { \"content-available\": 1 },\n  \"refresh\": true\n}"));
    EXPECT_EQ(templates[3].name, QStringLiteral("Custom Data"));
    EXPECT_TRUE(templates[3].payload.startsWith(
        QStringLiteral("{\n  \"aps\": { \"alert\": \"Your order shipped\", \"sound\": \"default\" },\n  "
                       "\"orderID\": \"12345\",\n  "
                       "\"deepLink\": \"")));
    EXPECT_TRUE(templates[3].payload.endsWith(QStringLiteral("\"\n}")));
    EXPECT_TRUE(templates[3].payload.contains(QStringLiteral("12345\"\n}")));
    for (const auto& row : templates)
        EXPECT_EQ(SimulatorActions::validatePushPayload(row.payload), std::nullopt) << row.name.toStdString();
}

TEST(PushDeliveryTest, UrlTextReachesSimctlUnchangedOrIsRefused) {
    test::FakeXcrun fake;
    fake.on({"simctl", "openurl", "**"});
    struct Case {
        const char* url;
        bool accepted;
    };
    const Case cases[] = {
        {"myapp:", true},
        {"myapp://orders/12345?ref=push#top", true},
        {"HTTPS://Example.com/%7Euser/caf\u00E9", true}, // not normalised on the way
        {"/orders/12345", false},                        // a bare path has no scheme
        {"orders", false},
        {"", false},
        {" myapp://x", false},
        {"myapp://x ", false},
        {"myapp://x/a b", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        fake.clearLog();
        const QString url = QString::fromUtf8(c.url);
        const auto result = SimulatorActions::send(Kind::deepLink(url), QStringLiteral("com.example.demo"),
                                                   QStringLiteral("UDID-A"));
        if (c.accepted) {
            EXPECT_EQ(result, std::nullopt);
            EXPECT_EQ(fake.argumentLists(),
                      (std::vector<std::vector<std::string>>{{"simctl", "openurl", "UDID-A", c.url}}));
        } else {
            EXPECT_EQ(result,
                      QStringLiteral("\u201C") + url + QStringLiteral("\u201D isn\u2019t a valid URL."));
            EXPECT_TRUE(fake.calls().empty());
        }
    }
}

TEST(PushDeliveryTest, PayloadFileIsPrivateAndNeverOutlivesTheCall) {
    test::FakeXcrun fake;
    test::ScopedTemporaryFolder temporary;
    const std::filesystem::path seen = fake.folder() / "seen.apns";
    const QString payload = QStringLiteral("{\"aps\":{\"alert\":\"h\u00E9\"}}");

    // simctl sees the exact payload bytes in a file only the user can read.
    fake.rule({{"args", {"simctl", "push", "UDID-A", "com.example.demo", "*"}},
               {"effects", nlohmann::json::array({{{"copy", nlohmann::json::array({4, seen.string()})}}})}});
    ASSERT_EQ(SimulatorActions::send(Kind::push(QStringLiteral("P"), payload),
                                     QStringLiteral("com.example.demo"), QStringLiteral("UDID-A")),
              std::nullopt);
    const auto calls = fake.argumentLists();
    ASSERT_EQ(calls.size(), 1u);
    const std::filesystem::path file = calls[0][4];
    EXPECT_EQ(file.parent_path(), temporary.path());
    const QRegularExpression name(
        QStringLiteral("^quorvex-push-[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\.apns$"));
    EXPECT_TRUE(name.match(QString::fromStdString(file.filename().string())).hasMatch()) << file;
    EXPECT_EQ(readFile(seen), payload.toStdString());
    struct stat info {};
    ASSERT_EQ(::stat(seen.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_TRUE(temporary.entries().empty());

    // Nor after simctl fails, nor after the payload check refuses (nothing is written or run).
    fake.clearLog();
    EXPECT_EQ(SimulatorActions::send(Kind::push(QStringLiteral("P"), payload),
                                     QStringLiteral("com.example.other"), QStringLiteral("UDID-A")),
              QStringLiteral("simctl couldn\u2019t deliver the notification."));
    EXPECT_EQ(fake.argumentLists().size(), 1u);
    EXPECT_TRUE(temporary.entries().empty());
    fake.clearLog();
    EXPECT_EQ(SimulatorActions::send(Kind::push(QStringLiteral("P"), QStringLiteral("{}")),
                                     QStringLiteral("com.example.demo"), QStringLiteral("UDID-A")),
              kNoAps);
    EXPECT_TRUE(fake.calls().empty());
    EXPECT_TRUE(temporary.entries().empty());
}

TEST(PushDeliveryTest, UnwritablePayloadFileFailsBeforeSimctlRuns) {
    test::FakeXcrun fake;
    fake.on({"simctl", "push", "**"});
    test::ScopedTemporaryFolder temporary;
    // A temporary folder that is gone (TMPDIR left pointing at a removed folder).
    ::setenv("TMPDIR", (temporary.path() / "gone").c_str(), 1);
    const auto error =
        SimulatorActions::send(Kind::push(QStringLiteral("P"), QStringLiteral(R"({"aps":{}})")),
                               QStringLiteral("com.example.demo"), QStringLiteral("UDID-A"));
    ASSERT_TRUE(error.has_value());
    EXPECT_TRUE(error->startsWith(QStringLiteral("The file \u201Cquorvex-push-"))) << error->toStdString();
    EXPECT_TRUE(error->endsWith(
        QStringLiteral("couldn\u2019t be saved in the folder \u201Cgone\u201D (No such file or directory).")))
        << error->toStdString();
    EXPECT_TRUE(fake.calls().empty());
    EXPECT_TRUE(temporary.entries().empty());
}
