#include "devices/core/ApnsClient.h"

#include "devices/core/SigningKey.h"
#include "devices/core/TestKeys.h"
#include "devices/flows/ApnsTestServer.h"
#include "devices/flows/DevicePushWindow.h"
#include "support/FakeKeychain.h"
#include "support/QtPrinters.h"
#include "support/ToastLog.h"
#include "tools/Environment.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QTest>
#include <QtConcurrent/QtConcurrentRun>

#include <gtest/gtest.h>

#include <cstdio>

namespace quorvex {
namespace {

const QString kGoodToken = QString(64, QLatin1Char('a'));
const Apns::Credentials kCredentials{"ABCDE12345", "TEAM123456", "AuthKey_ABCDE12345.p8"};

ApnsClient::Response await(QFuture<ApnsClient::Response> future) {
    // The client has its own 60 s bound; the test's is shorter so a stuck exchange fails fast.
    if (!QTest::qWaitFor([&] { return future.isFinished(); }, 20'000))
        return {0, {}, QStringLiteral("timed out in the test"), false};
    return future.result();
}

class ApnsClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (m_server.failure().size())
            GTEST_SKIP() << m_server.failure().toStdString();
        Apns::dropCachedToken();
    }
    void TearDown() override { sharedDefaults().clear(); }

    Apns::Request request(const QString& token,
                          const QString& payload = QStringLiteral(R"({"aps":{"alert":"hi"}})")) {
        const QString jwt =
            Apns::makeProviderToken(kCredentials.keyID, kCredentials.teamID,
                                    SigningKey::fromPem(m_key.privatePem), QDateTime::currentDateTimeUtc());
        return *Apns::request(token, QStringLiteral("com.demo.app"), payload, Apns::Environment::production,
                              jwt);
    }

    test::TestKey m_key = test::makeP256Key();
    test::ApnsTestServer m_server{m_key.publicPem};
};

TEST_F(ApnsClientTest, SendsExactlyTheFourHeadersOverOneReusedHttp2Connection) {
    ApnsClient client(m_server.options());
    QJsonObject first;
    for (int i = 0; i < 2; ++i) {
        const ApnsClient::Response response = await(client.send(request(kGoodToken)));
        ASSERT_TRUE(response.error.isEmpty()) << response.error.toStdString();
        EXPECT_EQ(response.status, 200);
        EXPECT_TRUE(response.http2);
        const QJsonObject seen = QJsonDocument::fromJson(response.body).object();
        if (i == 0)
            first = seen;
        EXPECT_EQ(seen.value("sessions").toInt(), 1) << "the connection was not reused";
    }
    EXPECT_EQ(first.value("method").toString(), "POST");
    EXPECT_EQ(first.value("path").toString(), "/3/device/" + kGoodToken);
    EXPECT_EQ(first.value("authority").toString(), "api.push.apple.com");
    QStringList names;
    for (const QJsonValue name : first.value("names").toArray())
        names << name.toString();
    names.sort();
    EXPECT_EQ(names, (QStringList{"apns-priority", "apns-push-type", "apns-topic", "authorization"}));
    EXPECT_EQ(first.value("body").toString(), R"({"aps":{"alert":"hi"}})");
    const QJsonObject token = first.value("token").toObject();
    EXPECT_EQ(token.value("header").toString(), R"({"alg":"ES256","kid":"ABCDE12345"})");
    EXPECT_TRUE(token.value("claims").toString().startsWith(R"({"iat":)"));
}

TEST_F(ApnsClientTest, BackgroundPayloadsGoOutWithTheirTypeAndPriority) {
    ApnsClient client(m_server.options());
    struct Case {
        const char* payload;
        const char* type;
        const char* priority;
    };
    for (const Case& c : {Case{R"({"aps":{"content-available":1}})", "background", "5"},
                          Case{R"({"aps":{"content-available":1,"badge":1}})", "alert", "10"}}) {
        const QJsonObject seen =
            QJsonDocument::fromJson(
                await(client.send(request(kGoodToken, QString::fromUtf8(c.payload)))).body)
                .object();
        EXPECT_EQ(seen.value("pushType").toString(), c.type);
        EXPECT_EQ(seen.value("priority").toString(), c.priority);
    }
}

TEST_F(ApnsClientTest, AnUntrustedCertificateIsATransportError) {
    ApnsClient client(m_server.options(false));
    const ApnsClient::Response response = await(client.send(request(kGoodToken)));
    EXPECT_EQ(response.status, 0);
    EXPECT_FALSE(response.error.isEmpty());
}

TEST_F(ApnsClientTest, NothingOfTheRequestLeavesForAServerWithoutHttp2) {
    test::ApnsTestServer http1(m_key.publicPem, true);
    ASSERT_TRUE(http1.failure().isEmpty()) << http1.failure().toStdString();
    auto client = std::make_unique<ApnsClient>(http1.options());
    const ApnsClient::Response response = await(client->send(request(kGoodToken)));
    EXPECT_FALSE(response.http2);
    EXPECT_EQ(response.status, 0);
    EXPECT_EQ(response.error, "The server doesn’t offer HTTP/2, so nothing was sent.");
    // The bearer token and the payload never went out: the connection closed with no byte sent
    // over it after the handshake.
    client.reset();
    QStringList requests;
    EXPECT_EQ(http1.bytesOfClosedConnection(&requests), 0);
    EXPECT_TRUE(requests.isEmpty()) << requests.join(", ").toStdString();
}

TEST_F(ApnsClientTest, QuittingWithARequestInFlightTakesUnderASecond) {
    // The reference: a client with nothing to do.
    QElapsedTimer idle;
    auto unused = std::make_unique<ApnsClient>(m_server.options());
    idle.start();
    unused.reset();
    const double idleTook = double(idle.nsecsElapsed()) / 1e6;

    auto client = std::make_unique<ApnsClient>(m_server.options());
    QFuture<ApnsClient::Response> inFlight = client->send(request(QString(64, QLatin1Char('d'))));
    QFuture<ApnsClient::Response> queued = client->send(request(kGoodToken));
    // The server holds the request: it will never answer within the client's 60 s.
    ASSERT_TRUE(m_server.nextLine(QStringLiteral("held ")));
    QElapsedTimer quitting;
    quitting.start();
    client.reset();
    const double took = double(quitting.nsecsElapsed()) / 1e6;
    RecordProperty("quitMilliseconds", QString::number(took, 'f', 3).toStdString());
    std::printf("destroying the client with a request in flight took %.3f ms (an idle one %.3f ms)\n", took,
                idleTook);
    EXPECT_LT(took, 1000.0);
    for (QFuture<ApnsClient::Response>* future : {&inFlight, &queued}) {
        ASSERT_TRUE(future->isFinished()) << "nobody waits on an abandoned push";
        EXPECT_EQ(future->result().error, ApnsClient::kStopped);
    }
}

// The push window against the server: what the user is told for each answer.
class DevicePushSendTest : public ApnsClientTest {
protected:
    void SetUp() override {
        ApnsClientTest::SetUp();
        if (IsSkipped())
            return;
        auto saved = Apns::saveKey(m_key.privatePem, kCredentials);
        ASSERT_TRUE(QTest::qWaitFor([&] { return saved.isFinished(); }, 10'000));
    }

    void sendWith(ApnsClient& client, const QString& token) {
        DevicePushWindow window(client, [](const QString&) {
            return QtConcurrent::run([] {
                return std::vector<DeviceApp>{{"com.demo.app", "Demo", std::nullopt, std::nullopt}};
            });
        });
        window.show(PhysicalDevice{"D1", "Ana’s iPhone", {}, {}, {}});
        ASSERT_TRUE(QTest::qWaitFor([&] { return !window.isLoadingApps(); }, 10'000));
        window.setToken(token);
        window.send();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !window.isSending(); }, 20'000));
        window.hide();
    }

    test::FakeKeychain m_keychain;
    test::ToastLog m_toasts;
};

TEST_F(DevicePushSendTest, EachAnswerBecomesItsMessage) {
    ApnsClient client(m_server.options());
    struct Case {
        QString token;
        ToastMessage expected;
    };
    const QString slash = QStringLiteral("bell.slash");
    const Case cases[] = {
        {kGoodToken, {"Push sent", QStringLiteral("Demo on Ana’s iPhone"), "bell.badge", false}},
        {QString(64, QLatin1Char('b')),
         {"APNs rejected the push: BadDeviceToken", Apns::hint("BadDeviceToken"), slash, true}},
        {QString(64, QLatin1Char('c')), {"APNs rejected the push: forbidden", std::nullopt, slash, true}},
        {QString(63, QLatin1Char('a')),
         {"APNs rejected the push: BadDeviceToken", Apns::hint("BadDeviceToken"), slash, true}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.token.toStdString());
        sendWith(client, c.token);
        ASSERT_FALSE(m_toasts.messages().empty());
        EXPECT_EQ(m_toasts.messages().back(), c.expected);
        // Remembered whatever the outcome.
        EXPECT_EQ(sharedDefaults().value("apns.token.com.demo.app").toString(), c.token);
        EXPECT_EQ(sharedDefaults().value("apns.lastApp").toString(), "com.demo.app");
    }
    ApnsClient untrusted(m_server.options(false));
    sendWith(untrusted, kGoodToken);
    EXPECT_EQ(m_toasts.messages().back().title, "Couldn’t send the push");
}

TEST_F(DevicePushSendTest, ARefusedProviderTokenIsNotReused) {
    // A server that knows another key refuses every token.
    const test::TestKey other = test::makeP256Key();
    test::ApnsTestServer strict(other.publicPem);
    ASSERT_TRUE(strict.failure().isEmpty());
    ApnsClient client(strict.options());
    const long long before = SigningKey::signatureCount();
    sendWith(client, kGoodToken);
    EXPECT_EQ(m_toasts.messages().back().title, "APNs rejected the push: InvalidProviderToken");
    sendWith(client, kGoodToken);
    EXPECT_EQ(SigningKey::signatureCount() - before, 2);
}

} // namespace
} // namespace quorvex
