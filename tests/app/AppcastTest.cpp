#include "app/Appcast.h"

#include <gtest/gtest.h>

namespace quorvex {
namespace {

TEST(AppcastTest, VersionsCompareAsFeedsMeanThem) {
    struct Case {
        const char* a;
        const char* b;
        int expected;
    };
    const Case cases[] = {
        {"1.0", "1.0", 0},      {"1.0", "1.0.0", 0},     {"1.0.1", "1.0", 1},    {"1.10", "1.9", 1},
        {"2", "10", -1},        {"1.0b1", "1.0", -1},    {"1.0", "1.0rc2", 1},   {"1.0b2", "1.0b10", -1},
        {"1.0a1", "1.0b1", -1}, {"1.0.1", "1.0b1", 1},   {"1.0.0b1", "1.0", -1}, {"007", "7", 0},
        {"123", "1234", -1},    {"1.2-beta", "1.2", -1}, {"", "1", -1},          {"0.1.0", "0.1.0", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " vs " + c.b);
        EXPECT_EQ(compareVersions(c.a, c.b), c.expected);
        EXPECT_EQ(compareVersions(c.b, c.a), -c.expected);
    }
}

constexpr const char* kFeed = R"xml(<?xml version="1.0" encoding="utf-8"?>
<rss version="2.0" xmlns:sparkle="http://www.andymatuschak.org/xml-namespaces/sparkle">
  <channel>
    <title>Quorvex</title>
    <link>https://example.org/channel</link>
    <item>
      <title>Version 1.9</title>
      <sparkle:version>1.9</sparkle:version>
      <link>https://example.org/1.9</link>
    </item>
    <item>
      <title>Version 1.10</title>
      <enclosure url="https://example.org/q-1.10.tar.gz" sparkle:version="1.10" sparkle:shortVersionString="1.10 (Autumn)"/>
    </item>
    <item>
      <title>Beta</title>
      <sparkle:version>2.0b1</sparkle:version>
      <sparkle:channel>beta</sparkle:channel>
    </item>
    <item>
      <title>No version at all</title>
    </item>
    <item>
      <title>Old</title>
      <sparkle:version>1.2</sparkle:version>
      <link>javascript:alert(1)</link>
      <sparkle:releaseNotesLink>https://example.org/notes/1.2</sparkle:releaseNotesLink>
    </item>
  </channel>
</rss>)xml";

TEST(AppcastTest, ParsesItemsSkipsBetasAndUnversionedItemsAndFindsTheNewest) {
    QString error;
    const auto appcast = Appcast::parse(kFeed, &error);
    ASSERT_TRUE(appcast) << error.toStdString();
    ASSERT_EQ(appcast->items.size(), 3u);
    EXPECT_EQ(appcast->items[0].page, QUrl("https://example.org/1.9"));
    EXPECT_EQ(appcast->items[0].displayVersion, "1.9");
    EXPECT_EQ(appcast->items[2].page, QUrl("https://example.org/notes/1.2")) << "only web pages are opened";

    const AppcastItem* newest = appcast->newest();
    ASSERT_TRUE(newest);
    EXPECT_EQ(newest->version, "1.10");
    EXPECT_EQ(newest->displayVersion, "1.10 (Autumn)");
    EXPECT_EQ(newest->title, "Version 1.10");
    EXPECT_EQ(newest->page, QUrl("https://example.org/q-1.10.tar.gz"));
}

TEST(AppcastTest, UnreadableFeedsAreErrorsAndAnEmptyChannelHasNoNewest) {
    for (const char* bad : {"", "<rss><channel><item>", "not xml at all", "<html><body/></html>"}) {
        QString error;
        EXPECT_FALSE(Appcast::parse(bad, &error)) << bad;
        EXPECT_FALSE(error.isEmpty());
    }
    const auto empty = Appcast::parse("<rss><channel><title>x</title></channel></rss>");
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->newest(), nullptr);
}

} // namespace
} // namespace quorvex
