#include "windows/DeviceScreen.h"

#include "support/FakeXcrun.h"
#include "windows/ChromeFixture.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

using namespace quorvex;
using nlohmann::json;
using test::ChromeFixture;

namespace {

const QColor kRed(255, 0, 0);
const QColor kGreen(0, 255, 0);
const QColor kBlue(0, 0, 255);

std::filesystem::path pathOf(const QTemporaryDir& dir) {
    return dir.path().toStdString();
}

QImage filled(QSize size, QColor colour) {
    QImage image(size, QImage::Format_ARGB32);
    image.fill(colour);
    return image;
}

// Compares colours with a little room for the antialiasing of the PDF renderer.
::testing::AssertionResult near(QColor actual, QColor expected) {
    const int d =
        std::max({std::abs(actual.red() - expected.red()), std::abs(actual.green() - expected.green()),
                  std::abs(actual.blue() - expected.blue()), std::abs(actual.alpha() - expected.alpha())});
    if (d <= 8)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got " << actual.name(QColor::HexArgb).toStdString() << ", want "
                                         << expected.name(QColor::HexArgb).toStdString();
}

json sizing(double left, double right, double top, double bottom) {
    return {{"leftWidth", left}, {"rightWidth", right}, {"topHeight", top}, {"bottomHeight", bottom}};
}

// A portrait device (1000 x 2000 pixels) with the given chrome bundle.
DeviceScreen portraitScreen(const std::filesystem::path& chrome, double scale,
                            std::optional<std::filesystem::path> mask = std::nullopt) {
    return {"Phone", 1000, 2000, scale, chrome, std::move(mask)};
}

} // namespace

TEST(DeviceScreenTest, CanvasIsTheFramePlusPaddingRoundedHalfAwayFromZero) {
    struct Case {
        const char* name;
        QSize shot;
        double scale;
        json sizing;
        json padding; // null: no devicePadding key
        QSize expected;
    };
    const std::vector<Case> cases = {
        {"no padding: frame only", {300, 600}, 3, sizing(10, 12, 20, 22), nullptr, {366, 726}},
        {"padding on all sides",
         {300, 600},
         3,
         sizing(10, 12, 20, 22),
         json{{"left", 5}, {"right", 7}, {"top", 3}, {"bottom", 1}},
         {402, 738}},
        {"padding that is no map of numbers counts 0",
         {300, 600},
         3,
         sizing(10, 12, 20, 22),
         json{{"left", "wide"}},
         {366, 726}},
        {"missing sizing keys count 0", {300, 600}, 3, json{{"leftWidth", 10}}, nullptr, {330, 600}},
        {"431.5 points at 3x is 1295 pixels",
         {300, 300},
         3,
         sizing(165.75, 165.75, 0, 0),
         nullptr,
         {1295, 300}},
        {"scale 2", {200, 400}, 2, sizing(1, 1, 1, 1), nullptr, {204, 404}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        ChromeFixture fixture(pathOf(dir));
        json chrome = {{"images", {{"sizing", c.sizing}, {"composite", "body"}}}};
        if (!c.padding.is_null())
            chrome["devicePadding"] = c.padding;
        const auto bundle = fixture.addChrome("phone", chrome, {{"body", {50, 50}, kRed}});
        const auto framed =
            DeviceScreen::framedBitmap(filled(c.shot, kGreen), portraitScreen(bundle, c.scale));
        ASSERT_TRUE(framed);
        EXPECT_EQ(framed->size(), c.expected);
        const auto png = DeviceScreen::framedImage(filled(c.shot, kGreen), portraitScreen(bundle, c.scale));
        ASSERT_TRUE(png);
        EXPECT_EQ(QImage::fromData(*png, "PNG").size(), c.expected);
    }
    EXPECT_EQ(DeviceScreen::rasterSize({431.5, 100}, 3), QSize(1295, 300));
    EXPECT_EQ(DeviceScreen::rasterSize({-0.5, 0.5}, 1), QSize(-1, 1));
}

TEST(DeviceScreenTest, InputsAreAnchoredToTheFrameEdges) {
    const QRectF frame(10, 20, 100, 200);
    const QSizeF size(6, 8);
    struct Case {
        QString anchor;
        QPointF origin;
    };
    const std::vector<Case> cases = {
        {"top", {20, 16}},     // minY - height + y
        {"bottom", {20, 216}}, // maxY - y: the vertical offset is subtracted
        {"left", {14, 24}},    // minX - width + x
        {"right", {120, 24}},  {"", {120, 24}}, {"side", {120, 24}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.anchor.toStdString());
        EXPECT_EQ(DeviceScreen::inputRect(c.anchor, {10, 4}, size, frame), QRectF(c.origin, size));
    }
}

TEST(DeviceScreenTest, InputsOnTopCoverTheScreenOthersLieBeneathTheComposite) {
    // Frame 10 points on every side of a 100 x 100 screen, 20 points of padding on the right.
    // One blue input sits inside the screen area, one outside the frame on the right.
    for (const bool onTop : {true, false}) {
        SCOPED_TRACE(onTop ? "onTop" : "beneath");
        QTemporaryDir dir;
        ChromeFixture fixture(pathOf(dir));
        json inside = {
            {"image", "button"}, {"anchor", "left"}, {"offsets", {{"normal", {{"x", 30}, {"y", 30}}}}}};
        if (onTop)
            inside["onTop"] = true;
        const json outside = {{"image", "button"}, {"offsets", {{"normal", {{"x", 2}}}}}};
        const json skipped = {{"image", "missing"}, {"onTop", true}, {"offsets", {{"normal", {{"x", 0}}}}}};
        const json chrome = {{"images", {{"sizing", sizing(10, 10, 10, 10)}, {"composite", "body"}}},
                             {"devicePadding", {{"right", 20}}},
                             {"inputs", {inside, outside, skipped}}};
        const auto bundle =
            fixture.addChrome("phone", chrome, {{"body", {50, 50}, kRed}, {"button", {10, 10}, kBlue}});
        const auto framed = DeviceScreen::framedBitmap(filled({100, 100}, kGreen), portraitScreen(bundle, 1));
        ASSERT_TRUE(framed);
        ASSERT_EQ(framed->size(), QSize(140, 120));
        EXPECT_TRUE(near(framed->pixelColor(25, 35), onTop ? kBlue : kGreen)); // input at (20, 30)
        EXPECT_TRUE(near(framed->pixelColor(126, 5), kBlue));                  // input at (122, 0)
        EXPECT_TRUE(near(framed->pixelColor(5, 60), kRed));
        EXPECT_TRUE(near(framed->pixelColor(60, 60), kGreen));
    }
}

TEST(DeviceScreenTest, MaskCutsTheScreenCornersAndAMissingMaskLeavesItWhole) {
    QTemporaryDir dir;
    ChromeFixture fixture(pathOf(dir));
    const json chrome = {{"images", {{"sizing", sizing(10, 10, 10, 10)}, {"composite", "body"}}}};
    const auto bundle = fixture.addChrome("phone", chrome, {{"body", {50, 50}, kRed}});
    const auto type = fixture.addDeviceType("Phone", {}, std::nullopt, {{"mask", {100, 100}, Qt::black, 30}});
    const auto mask = type / "Contents" / "Resources" / "mask.pdf";

    const auto masked =
        DeviceScreen::framedBitmap(filled({100, 100}, kGreen), portraitScreen(bundle, 1, mask));
    ASSERT_TRUE(masked);
    EXPECT_TRUE(near(masked->pixelColor(11, 11), kRed)); // the composite shows through the cut corner
    EXPECT_TRUE(near(masked->pixelColor(108, 108), kRed));
    EXPECT_TRUE(near(masked->pixelColor(60, 60), kGreen));
    EXPECT_TRUE(near(masked->pixelColor(60, 11), kGreen)); // edges between the corners are kept

    const auto unmasked = DeviceScreen::framedBitmap(filled({100, 100}, kGreen),
                                                     portraitScreen(bundle, 1, type / "absent.pdf"));
    ASSERT_TRUE(unmasked);
    EXPECT_TRUE(near(unmasked->pixelColor(11, 11), kGreen));
}

TEST(DeviceScreenTest, LandscapeShotOfAPortraitDeviceIsFramedTurnedAndComesBackLandscape) {
    QTemporaryDir dir;
    ChromeFixture fixture(pathOf(dir));
    // Only a top bar: after the turn back it must lie on the left of the landscape picture.
    const json chrome = {{"images", {{"sizing", sizing(0, 0, 30, 0)}, {"composite", "body"}}}};
    const auto bundle = fixture.addChrome("phone", chrome, {{"body", {50, 50}, kRed}});
    QImage landscape = filled({200, 100}, kGreen);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x)
            landscape.setPixelColor(x, y, kBlue);

    const auto framed = DeviceScreen::framedBitmap(landscape, portraitScreen(bundle, 1));
    ASSERT_TRUE(framed);
    EXPECT_EQ(framed->size(), QSize(230, 100));
    EXPECT_TRUE(near(framed->pixelColor(15, 50), kRed));
    EXPECT_TRUE(near(framed->pixelColor(60, 50), kBlue));
    EXPECT_TRUE(near(framed->pixelColor(200, 50), kGreen));

    const auto portrait = DeviceScreen::framedBitmap(filled({100, 200}, kGreen), portraitScreen(bundle, 1));
    ASSERT_TRUE(portrait);
    EXPECT_EQ(portrait->size(), QSize(100, 230));
    EXPECT_TRUE(near(portrait->pixelColor(50, 15), kRed));

    // A landscape device keeps a landscape shot as it is.
    const DeviceScreen wide{"Pad", 2000, 1000, 1, bundle, std::nullopt};
    const auto kept = DeviceScreen::framedBitmap(landscape, wide);
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->size(), QSize(200, 130));
}

TEST(DeviceScreenTest, MissingOrIncompleteChromeGivesNoFramedImage) {
    QTemporaryDir dir;
    ChromeFixture fixture(pathOf(dir));
    const std::vector<ChromeFixture::Piece> body = {{"body", {50, 50}, kRed}};
    struct Case {
        const char* name;
        std::optional<json> chrome; // nothing: no chrome.json at all
        std::vector<ChromeFixture::Piece> pieces;
    };
    const std::vector<Case> cases = {
        {"no chrome.json", std::nullopt, body},
        {"no images", json{{"devicePadding", {{"left", 1}}}}, body},
        {"no sizing", json{{"images", {{"composite", "body"}}}}, body},
        {"sizing not a map", json{{"images", {{"sizing", 3}, {"composite", "body"}}}}, body},
        {"no composite", json{{"images", {{"sizing", sizing(1, 1, 1, 1)}}}}, body},
        {"composite not text", json{{"images", {{"sizing", sizing(1, 1, 1, 1)}, {"composite", 7}}}}, body},
        {"composite artwork missing",
         json{{"images", {{"sizing", sizing(1, 1, 1, 1)}, {"composite", "gone"}}}}, body},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string name = "chrome" + std::to_string(n++);
        auto bundle = fixture.addChrome(name, c.chrome.value_or(json::object()), c.pieces);
        if (!c.chrome)
            std::filesystem::remove(bundle / "Contents" / "Resources" / "chrome.json");
        EXPECT_FALSE(DeviceScreen::framedImage(filled({30, 60}, kGreen), portraitScreen(bundle, 1)));
    }
    EXPECT_FALSE(DeviceScreen::framedImage(filled({30, 60}, kGreen), portraitScreen({}, 1)))
        << "no chrome at all";
    DeviceScreen none = portraitScreen({}, 1);
    none.chrome.reset();
    EXPECT_FALSE(DeviceScreen::framedImage(filled({30, 60}, kGreen), none));
}

TEST(DeviceScreenTest, ChromeIdentifierNamesAnInstalledBundleByItsLastPiece) {
    QTemporaryDir dir;
    ChromeFixture fixture(pathOf(dir));
    const auto installed = fixture.addChrome("phone13", json::object(), {});
    struct Case {
        QString identifier;
        std::optional<std::filesystem::path> expected;
    };
    const std::vector<Case> cases = {
        {"com.example.devicekit.phone13", installed},
        {"phone13", installed},
        {"com.example.phone13.", installed}, // empty pieces are dropped
        {"com.example.devicekit.phone14", std::nullopt},
        {"...", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.identifier.toStdString());
        EXPECT_EQ(DeviceScreen::chromeURL(c.identifier), c.expected);
    }
}

TEST(DeviceScreenTest, LoadKeepsIntegratedDisplaysAndFallsBackToTheProfile) {
    QTemporaryDir dir;
    ChromeFixture fixture(pathOf(dir));
    const auto chrome = fixture.addChrome("phone13", json::object(), {});
    QVariantMap own = ChromeFixture::display("Main", 1179, 2556, "x.y.phone13", "OwnMask");
    own.insert("scale", 2.5);
    QVariantMap external = ChromeFixture::display("TV", 1920, 1080);
    external["displayType"] = "external";
    QVariantMap fromProfile = ChromeFixture::display("Second", 100, 200);
    QVariantMap noWidth = ChromeFixture::display("Broken", 100, 200);
    noWidth["width"] = "wide";
    const auto type =
        fixture.addDeviceType("Phone", {own, external, fromProfile, noWidth, QString("junk")},
                              QVariantMap{{"chromeIdentifier", "a.phone13"}, {"framebufferMask", "PM"}});
    const auto resources = type / "Contents" / "Resources";

    const std::vector<DeviceScreen> expected = {
        {"Main", 1179, 2556, 2.5, chrome, resources / "OwnMask.pdf"},
        {"Second", 100, 200, 3.0, chrome, resources / "PM.pdf"},
    };
    EXPECT_EQ(DeviceScreen::load(type), expected);
    EXPECT_TRUE(DeviceScreen::load(pathOf(dir) / "nothing").empty());

    // Without a profile nothing falls back; a chrome that is not installed is absent.
    const auto bare =
        fixture.addDeviceType("Bare", {ChromeFixture::display("Main", 10, 20, "a.notInstalled")});
    const std::vector<DeviceScreen> bareExpected = {{"Main", 10, 20, 3.0, std::nullopt, std::nullopt}};
    EXPECT_EQ(DeviceScreen::load(bare), bareExpected);
}

TEST(DeviceScreenTest, BlankMeansNoColourChannelAboveThree) {
    struct Case {
        const char* name;
        QColor background;
        std::optional<QColor> onePixel;
        bool blank;
    };
    const std::vector<Case> cases = {
        {"black", QColor(0, 0, 0), std::nullopt, true},
        {"all channels at 3", QColor(3, 3, 3), std::nullopt, true},
        {"one red at 4", QColor(3, 3, 3), QColor(4, 0, 0), false},
        {"one green at 4", QColor(0, 0, 0), QColor(0, 4, 0), false},
        {"one blue at 4", QColor(0, 0, 0), QColor(0, 0, 4), false},
        {"transparent white counts as nothing drawn", QColor(255, 255, 255, 0), std::nullopt, true},
        {"white", QColor(255, 255, 255), std::nullopt, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QImage image = filled({40, 30}, c.background);
        if (c.onePixel)
            image.setPixelColor(39, 29, *c.onePixel);
        EXPECT_EQ(DeviceScreen::isBlank(image), c.blank);
    }
    EXPECT_FALSE(DeviceScreen::isBlank(QImage()));
}

class DeviceScreenCaptureTest : public ::testing::Test {
protected:
    void SetUp() override {
        DeviceScreen::forgetDeviceTypes();
        m_work = pathOf(m_dir) / "work";
        std::filesystem::create_directories(m_work);
    }
    void TearDown() override { DeviceScreen::forgetDeviceTypes(); }

    // simctl knows the simulator and its device type, with these displays.
    void knowDeviceType(const QVariantList& displays) {
        const auto type = m_fixture.addDeviceType("Phone", displays);
        m_fake.on({"simctl", "list", "devices", "-j"},
                  json{{"devices",
                        {{"runtime-a", json::array()},
                         {"runtime-b", {{{"udid", kUdid}, {"deviceTypeIdentifier", "type.phone"}}}}}}}
                      .dump());
        m_fake.on(
            {"simctl", "list", "devicetypes", "-j"},
            json{{"devicetypes", {{{"identifier", "type.phone"}, {"bundlePath", type.string()}}}}}.dump());
    }
    // The screenshot of one display is a picture of this size and colour.
    void answerDisplay(const std::string& display, QSize size, QColor colour) {
        const auto source = pathOf(m_dir) / ("source-" + display + ".png");
        ChromeFixture::writePng(source, size, colour);
        m_fake.rule({{"args", {"simctl", "io", kUdid, "screenshot", "--display=" + display, "*"}},
                     {"effects", {{{"copy", {source.string(), 5}}}}}});
    }
    bool workFolderIsEmpty() const { return std::filesystem::is_empty(m_work); }

    static constexpr const char* kUdid = "UDID-1";
    QTemporaryDir m_dir;
    ChromeFixture m_fixture{pathOf(m_dir)};
    test::FakeXcrun m_fake;
    std::filesystem::path m_work;
};

TEST_F(DeviceScreenCaptureTest, UnknownDeviceTypeIsCapturedOnceAsPrimaryWithoutAScreen) {
    answerDisplay("primary", {30, 60}, kGreen);
    const auto capture = DeviceScreen::capture(kUdid, m_work);
    ASSERT_TRUE(capture);
    EXPECT_EQ(capture->image.size(), QSize(30, 60));
    EXPECT_FALSE(capture->screen);
    const auto shots = m_fake.argumentLists();
    ASSERT_EQ(shots.size(), 2u); // the device listing, one screenshot
    EXPECT_EQ(shots[1][4], "--display=primary");
    EXPECT_EQ(std::filesystem::path(shots[1][5]).parent_path(), m_work);
    EXPECT_TRUE(std::filesystem::path(shots[1][5]).filename().string().starts_with(".capture-"));
    EXPECT_TRUE(workFolderIsEmpty());
}

TEST_F(DeviceScreenCaptureTest, LargestNonBlankDisplayWinsAndTheFirstWinsATie) {
    struct Case {
        const char* name;
        QSize first, second;
        QColor firstColour, secondColour;
        std::string winner;
    };
    const std::vector<Case> cases = {
        {"second is larger", {30, 60}, {60, 120}, kGreen, kGreen, "Outer"},
        {"equal areas: first listed", {30, 60}, {60, 30}, kGreen, kGreen, "Inner"},
        {"larger one is blank", {30, 60}, {60, 120}, kGreen, Qt::black, "Inner"},
        {"all blank: the first capture", {30, 60}, {60, 120}, Qt::black, Qt::black, "Inner"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DeviceScreen::forgetDeviceTypes();
        m_fake.clearRules();
        knowDeviceType({ChromeFixture::display("Inner", 30, 60), ChromeFixture::display("Outer", 60, 120)});
        answerDisplay("Inner", c.first, c.firstColour);
        answerDisplay("Outer", c.second, c.secondColour);
        const auto capture = DeviceScreen::capture(kUdid, m_work);
        ASSERT_TRUE(capture);
        ASSERT_TRUE(capture->screen);
        EXPECT_EQ(capture->screen->name.toStdString(), c.winner);
        EXPECT_EQ(capture->image.size(), c.winner == "Inner" ? c.first : c.second);
        EXPECT_TRUE(workFolderIsEmpty());
    }
}

TEST_F(DeviceScreenCaptureTest, FailedDisplaysAreSkippedAndNoCaptureAtAllGivesNothing) {
    knowDeviceType({ChromeFixture::display("Inner", 30, 60), ChromeFixture::display("Outer", 60, 120)});
    // The tool "succeeds" for Inner but writes no picture; Outer fails outright after writing one.
    m_fake.rule({{"args", {"simctl", "io", kUdid, "screenshot", "--display=Inner", "*"}},
                 {"effects", {{{"create", 5}, {"content", "not a png"}}}}});
    m_fake.rule({{"args", {"simctl", "io", kUdid, "screenshot", "--display=Outer", "*"}},
                 {"effects", {{{"create", 5}, {"content", "x"}}}},
                 {"exit", 1}});
    EXPECT_FALSE(DeviceScreen::capture(kUdid, m_work));
    EXPECT_TRUE(workFolderIsEmpty());
}

TEST_F(DeviceScreenCaptureTest, DeviceTypesAreListedOnceAndModelsKeepTheFirstType) {
    m_fake.on({"simctl", "list", "devicetypes", "-j"},
              json{{"devicetypes",
                    {{{"identifier", "type.a"}, {"modelIdentifier", "Phone1,1"}, {"bundlePath", "/types/a"}},
                     {{"identifier", "type.b"}, {"modelIdentifier", "Phone1,1"}, {"bundlePath", "/types/b"}},
                     {{"identifier", "type.c"}}}}}
                  .dump());
    EXPECT_EQ(DeviceScreen::deviceTypeBundle(QString("type.b"), std::nullopt),
              std::filesystem::path("/types/b"));
    EXPECT_EQ(DeviceScreen::deviceTypeBundle(std::nullopt, QString("Phone1,1")),
              std::filesystem::path("/types/a"));
    EXPECT_EQ(DeviceScreen::deviceTypeBundle(QString("type.x"), QString("Phone1,1")),
              std::filesystem::path("/types/a"));
    EXPECT_FALSE(DeviceScreen::deviceTypeBundle(QString("type.c"), std::nullopt));
    EXPECT_EQ(m_fake.argumentLists().size(), 1u);

    // An empty listing is not kept: the next lookup lists again.
    DeviceScreen::forgetDeviceTypes();
    m_fake.clearRules();
    m_fake.clearLog();
    m_fake.on({"simctl", "list", "devicetypes", "-j"}, "not json");
    EXPECT_FALSE(DeviceScreen::deviceTypeBundle(QString("type.a"), std::nullopt));
    EXPECT_FALSE(DeviceScreen::deviceTypeBundle(QString("type.a"), std::nullopt));
    EXPECT_EQ(m_fake.argumentLists().size(), 2u);
}
