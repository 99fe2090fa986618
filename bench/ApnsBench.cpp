// One warm push (cached provider token, reused HTTP/2 connection) against the local stand-in for
// the push service, side by side with the curl command line doing the same request in the same
// run. Prints the median and the 90th percentile of 200 pushes each. Loopback only.
#include "devices/core/Apns.h"
#include "devices/core/ApnsClient.h"
#include "devices/core/SigningKey.h"
#include "devices/core/TestKeys.h"
#include "devices/flows/ApnsTestServer.h"
#include "tools/ToolRunner.h"

#include <QCoreApplication>
#include <QDateTime>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

using namespace quorvex;
using SteadyClock = std::chrono::steady_clock;

namespace {

constexpr int kRounds = 200;

struct Summary {
    double median;
    double p90;
};

Summary summarise(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    return {samples[samples.size() / 2], samples[samples.size() * 9 / 10]};
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const test::TestKey key = test::makeP256Key();
    test::ApnsTestServer server(key.publicPem);
    if (!server.failure().isEmpty()) {
        std::fprintf(stderr, "server: %s\n", qPrintable(server.failure()));
        return 1;
    }
    const ApnsClient::Options options = server.options();
    ApnsClient client(options);
    const SigningKey signingKey = SigningKey::fromPem(key.privatePem);
    const Apns::Credentials credentials{"ABCDE12345", "TEAM123456", "AuthKey_ABCDE12345.p8"};
    const QString token(64, QLatin1Char('a'));
    const QString payload = QStringLiteral(R"({"aps":{"alert":"bench"}})");
    const auto push = [&] {
        const QString jwt = Apns::providerToken(credentials, signingKey, QDateTime::currentDateTimeUtc());
        auto request =
            Apns::request(token, QStringLiteral("com.demo.app"), payload, Apns::Environment::production, jwt);
        return client.send(std::move(*request)).result();
    };
    const long long signaturesBefore = SigningKey::signatureCount();
    if (push().status != 200) { // warms the token and the connection
        std::fprintf(stderr, "the warm-up push failed\n");
        return 1;
    }
    std::vector<double> ours;
    for (int i = 0; i < kRounds; ++i) {
        const auto start = SteadyClock::now();
        const ApnsClient::Response response = push();
        ours.push_back(std::chrono::duration<double, std::micro>(SteadyClock::now() - start).count());
        if (response.status != 200)
            return 1;
    }

    const QString jwt = Apns::providerToken(credentials, signingKey, QDateTime::currentDateTimeUtc());
    const std::vector<std::string> curlArguments = {"--http2",
                                                    "--silent",
                                                    "--fail",
                                                    "--output",
                                                    "/dev/null",
                                                    "--connect-to",
                                                    *options.connectTo,
                                                    "--cacert",
                                                    *options.caFile,
                                                    "--header",
                                                    ("authorization: bearer " + jwt).toStdString(),
                                                    "--header",
                                                    "apns-topic: com.demo.app",
                                                    "--header",
                                                    "apns-push-type: alert",
                                                    "--header",
                                                    "apns-priority: 10",
                                                    "--data",
                                                    payload.toStdString(),
                                                    "https://api.push.apple.com/3/device/" +
                                                        token.toStdString()};
    std::vector<double> curl;
    for (int i = 0; i < kRounds; ++i) {
        const auto start = SteadyClock::now();
        const bool ok = runTool("/usr/bin/curl", curlArguments).has_value();
        curl.push_back(std::chrono::duration<double, std::micro>(SteadyClock::now() - start).count());
        if (!ok) {
            std::fprintf(stderr, "curl failed\n");
            return 1;
        }
    }
    const Summary a = summarise(ours);
    const Summary b = summarise(curl);
    std::printf("%-34s %10s %10s\n", "warm push, 200 rounds", "median us", "p90 us");
    std::printf("%-34s %10.0f %10.0f\n", "ApnsClient (reused HTTP/2)", a.median, a.p90);
    std::printf("%-34s %10.0f %10.0f\n", "curl command line", b.median, b.p90);
    std::printf("signatures made for %d pushes: %lld\n", kRounds + 1,
                SigningKey::signatureCount() - signaturesBefore);
    return 0;
}
