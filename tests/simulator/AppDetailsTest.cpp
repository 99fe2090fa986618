#include "simulator/AppDetails.h"

#include "platform/data/PlistSettingsFormat.h"
#include "simulator/SimulatorApp.h"
#include "tools/Environment.h"

#include <gtest/gtest.h>

#include <plist/plist.h>

#include <QDateTime>
#include <QTimeZone>

#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <random>

using namespace quorvex;
namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

namespace {

// ---- Synthetic Mach-O images ------------------------------------------------------------------

void put32(Bytes& b, std::size_t at, std::uint32_t v, bool bigEndian = false) {
    if (b.size() < at + 4)
        b.resize(at + 4);
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<std::uint8_t>(bigEndian ? v >> (24 - 8 * i) : v >> (8 * i));
}

void put64(Bytes& b, std::size_t at, std::uint64_t v) {
    put32(b, at, static_cast<std::uint32_t>(v));
    put32(b, at + 4, static_cast<std::uint32_t>(v >> 32));
}

void putName(Bytes& b, std::size_t at, const std::string& name) {
    if (b.size() < at + 16)
        b.resize(at + 16);
    std::copy(name.begin(),
              name.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(name.size(), 16)),
              b.begin() + static_cast<std::ptrdiff_t>(at));
}

struct Section {
    std::string name;
    QByteArray data;
    std::optional<std::uint32_t> offset =
        std::nullopt; // relative to the image; by default the data's real place
    std::optional<std::uint64_t> size = std::nullopt; // by default the data's size
};

struct Segment {
    std::string name;
    std::vector<Section> sections;
    std::optional<std::uint32_t> commandSize = std::nullopt;  // by default the real size
    std::optional<std::uint32_t> sectionCount = std::nullopt; // by default the real count
    std::uint32_t command = 0x19;
};

// A 64-bit little-endian image: header, one load command per segment, then the section data.
Bytes image(const std::vector<Segment>& segments, std::optional<std::uint32_t> commandCount = {}) {
    Bytes b(32, 0);
    put32(b, 0, 0xFEEDFACF);
    put32(b, 4, 0x0100000C); // arm64
    put32(b, 16, commandCount.value_or(static_cast<std::uint32_t>(segments.size())));
    std::size_t commandsEnd = 32;
    for (const Segment& s : segments)
        commandsEnd += 72 + 80 * s.sections.size();
    std::size_t dataAt = commandsEnd;
    std::size_t p = 32;
    std::vector<std::pair<std::size_t, QByteArray>> data;
    for (const Segment& segment : segments) {
        const std::size_t size = 72 + 80 * segment.sections.size();
        put32(b, p, segment.command);
        put32(b, p + 4, segment.commandSize.value_or(static_cast<std::uint32_t>(size)));
        putName(b, p + 8, segment.name);
        put32(b, p + 64, segment.sectionCount.value_or(static_cast<std::uint32_t>(segment.sections.size())));
        for (std::size_t j = 0; j < segment.sections.size(); ++j) {
            const Section& section = segment.sections[j];
            const std::size_t s = p + 72 + 80 * j;
            putName(b, s, section.name);
            putName(b, s + 16, segment.name);
            put64(b, s + 40, section.size.value_or(static_cast<std::uint64_t>(section.data.size())));
            put32(b, s + 48, section.offset.value_or(static_cast<std::uint32_t>(dataAt)));
            data.emplace_back(dataAt, section.data);
            dataAt += static_cast<std::size_t>(section.data.size());
        }
        p += size;
    }
    b.resize(std::max(b.size(), dataAt));
    for (const auto& [at, bytes] : data)
        std::copy(bytes.begin(), bytes.end(), b.begin() + static_cast<std::ptrdiff_t>(at));
    return b;
}

// A 32-bit fat file holding the images, each at a 16-byte aligned offset after the header.
Bytes fat(const std::vector<Bytes>& images, std::optional<std::uint32_t> announced = {}) {
    const std::uint32_t count = announced.value_or(static_cast<std::uint32_t>(images.size()));
    Bytes b;
    put32(b, 0, 0xCAFEBABE, true);
    put32(b, 4, count, true);
    std::size_t at = (8 + 20 * std::max<std::size_t>(count, images.size()) + 15) / 16 * 16;
    for (std::size_t i = 0; i < images.size(); ++i) {
        const std::size_t entry = 8 + 20 * i;
        put32(b, entry, 0x0100000C, true);
        put32(b, entry + 8, static_cast<std::uint32_t>(at), true);
        put32(b, entry + 12, static_cast<std::uint32_t>(images[i].size()), true);
        b.resize(at);
        b.insert(b.end(), images[i].begin(), images[i].end());
        at = (b.size() + 15) / 16 * 16;
    }
    b.resize(std::max(b.size(), 8 + 20 * static_cast<std::size_t>(std::min<std::uint32_t>(count, 64))));
    return b;
}

QByteArray xml(const QVariantMap& entitlements) {
    return variantToPlistXml(entitlements);
}

QByteArray binary(const QVariantMap& entitlements) {
    plist_t root = nullptr;
    const QByteArray text = xml(entitlements);
    plist_from_xml(text.constData(), static_cast<uint32_t>(text.size()), &root);
    char* bin = nullptr;
    uint32_t length = 0;
    plist_to_bin(root, &bin, &length);
    QByteArray out(bin, static_cast<qsizetype>(length));
    std::free(bin);
    plist_free(root);
    return out;
}

// An executable image with the usual segments around the one that carries the entitlements.
Bytes withEntitlements(const QByteArray& payload) {
    return image({{"__PAGEZERO", {}},
                  {"__TEXT", {{"__text", QByteArray(16, '\x90')}, {"__entitlements", payload}}},
                  {"__LINKEDIT", {}}});
}

Bytes withoutEntitlements() {
    return image({{"__PAGEZERO", {}}, {"__TEXT", {{"__text", QByteArray(16, '\x90')}}}});
}

const QVariantMap kEntitlements{
    {"application-identifier", "ABCDE12345.com.example.app"},
    {"com.apple.security.application-groups", QVariantList{"group.com.example.b", "group.com.example.a"}},
    {"keychain-access-groups", QVariantList{"ABCDE12345.com.example.shared", "ABCDE12345.com.example.app"}},
    {"get-task-allow", true},
    {"aps-environment", "development"},
};

SimulatorInstall install(std::map<QString, fs::path> groups = {}) {
    SimulatorInstall result;
    result.udid = QStringLiteral("UDID");
    result.bundle = homeDirectoryURL() / "Bundle/Example.app";
    result.groupContainers = std::move(groups);
    return result;
}

AppDetails details(const Bytes& executable, const SimulatorInstall& where = install()) {
    return AppDetails::fromExecutable(executable, where);
}

QStringList names(const AppDetails& d) {
    QStringList result;
    for (const auto& e : d.entitlements)
        result.append(e.name);
    return result;
}

} // namespace

// ---- Mach-O reading ---------------------------------------------------------------------------

TEST(MachOReaderTest, PrimitivesReadOnlyInsideTheBuffer) {
    const Bytes b{0x01, 0x02, 0x03, 0x04, 0x05};
    EXPECT_EQ(readUInt32(b, 0), 0x04030201u);
    EXPECT_EQ(readUInt32(b, 0, true), 0x01020304u);
    EXPECT_EQ(readUInt32(b, 1), 0x05040302u);
    EXPECT_EQ(readUInt32(b, 2), std::nullopt);
    EXPECT_EQ(readUInt32(b, -1), std::nullopt);
    EXPECT_EQ(readUInt32(b, INT64_MAX), std::nullopt);
    EXPECT_EQ(readUInt64(b, 0), std::nullopt);
    EXPECT_EQ(readUInt32(Bytes{}, 0), std::nullopt);

    Bytes names(20, 0);
    putName(names, 0, "__TEXT");
    names[7] = 'x'; // bytes after the first zero do not count
    EXPECT_EQ(readFixedName(names, 0), QStringLiteral("__TEXT"));
    putName(names, 4, "0123456789abcdef"); // all 16 bytes used
    EXPECT_EQ(readFixedName(names, 4), QStringLiteral("0123456789abcdef"));
    EXPECT_EQ(readFixedName(names, 5), std::nullopt);
    EXPECT_EQ(readFixedName(names, -4), std::nullopt);
}

TEST(MachOReaderTest, ImageOffsetsOfThinAndFatFiles) {
    struct Case {
        const char* name;
        Bytes file;
        std::vector<std::uint64_t> expected;
    };
    Bytes fatWithZero = fat({withoutEntitlements()});
    put32(fatWithZero, 4, 0, true);
    Bytes truncatedTable = fat({withoutEntitlements(), withoutEntitlements()});
    truncatedTable.resize(8 + 20 + 11); // the second entry's offset field is cut
    const Case cases[] = {
        {"thin", withoutEntitlements(), {0}},
        {"empty", {}, {}},
        {"three bytes", {0xCF, 0xFA, 0xED}, {}},
        {"32-bit thin", {0xCE, 0xFA, 0xED, 0xFE, 0, 0, 0, 0}, {}},
        {"big-endian 64-bit", {0xFE, 0xED, 0xFA, 0xCF, 0, 0, 0, 0}, {}},
        {"64-bit fat", {0xCA, 0xFE, 0xBA, 0xBF, 0, 0, 0, 1}, {}},
        {"fat announcing none", fatWithZero, {}},
        {"fat header only", {0xCA, 0xFE, 0xBA, 0xBE}, {}},
        {"fat with a cut table", truncatedTable, {48}},
        {"fat of two", fat({withoutEntitlements(), withoutEntitlements()}), {48, 48 + 256}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto offsets = machOImageOffsets(c.file);
        if (std::string(c.name) == "fat of two") {
            ASSERT_EQ(offsets.size(), 2u);
            EXPECT_EQ(offsets[0], 48u);
            EXPECT_GT(offsets[1], offsets[0]);
        } else {
            EXPECT_EQ(offsets, c.expected);
        }
    }
}

TEST(MachOReaderTest, FatHeaderIsReadForItsFirstSixteenEntriesOnly) {
    std::vector<Bytes> images(17, withoutEntitlements());
    images[16] = withEntitlements(xml({{"late", true}}));
    const Bytes file = fat(images, 40);
    EXPECT_EQ(machOImageOffsets(file).size(), 16u);
    EXPECT_EQ(AppDetails::entitlementsDictionary(file), std::nullopt);

    images[15] = withEntitlements(xml({{"sixteenth", true}}));
    const auto found = AppDetails::entitlementsDictionary(fat(images, 40));
    ASSERT_TRUE(found);
    EXPECT_TRUE(found->contains("sixteenth"));
}

TEST(MachOReaderTest, SectionLookupSurvivesInconsistentImages) {
    const QByteArray payload("payload");
    struct Case {
        const char* name;
        Bytes file;
        std::optional<QByteArray> expected;
    };
    auto textSegment = [&](Section section) { return Segment{"__TEXT", {std::move(section)}}; };
    Bytes cutInCommand = withEntitlements(payload);
    cutInCommand.resize(32 + 72 + 10);
    const Case cases[] = {
        {"plain", image({textSegment({"__entitlements", payload})}), payload},
        {"empty section", image({textSegment({"__entitlements", QByteArray()})}), QByteArray()},
        {"zero command size", image({{"__PAGEZERO", {}, 0}, textSegment({"__entitlements", payload})}),
         std::nullopt},
        {"command past the end", image({{"__TEXT", {{"__entitlements", payload}}, 0xFFFFFFF0}}),
         std::nullopt},
        {"section past the end", image({textSegment({"__entitlements", payload, 0xFFFFFFFF})}), std::nullopt},
        {"section reaching one byte too far",
         image({textSegment({"__entitlements", payload, std::nullopt, payload.size() + 1})}), std::nullopt},
        {"section larger than the file",
         image({textSegment({"__entitlements", payload, 0xFFFFFFFF, UINT64_MAX})}), std::nullopt},
        {"size that wraps the offset",
         image({textSegment({"__entitlements", payload, 200, UINT64_MAX - 100})}), std::nullopt},
        {"file cut inside the commands", cutInCommand, std::nullopt},
        {"no commands", image({textSegment({"__entitlements", payload})}, 0), std::nullopt},
        {"wanted segment without the section, then one with it",
         image({{"__TEXT", {{"__text", QByteArray("x")}}}, textSegment({"__entitlements", payload})}),
         payload},
        {"section in another segment", image({{"__DATA", {{"__entitlements", payload}}}}), std::nullopt},
        {"not a 64-bit segment command",
         image({{"__TEXT", {{"__entitlements", payload}}, std::nullopt, std::nullopt, 0x1}}), std::nullopt},
        {"section count beyond the command",
         image({{"__TEXT", {{"__entitlements", payload}}, std::nullopt, 100000}}), payload},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(findSection(c.file, 0, "__TEXT", "__entitlements"), c.expected);
    }
    EXPECT_EQ(findSection(withEntitlements(payload), UINT64_MAX - 2, "__TEXT", "__entitlements"),
              std::nullopt);
}

TEST(MachOReaderTest, OnlySixtyFourSectionsAreExamined) {
    Segment many{"__TEXT", {}};
    for (int i = 0; i < 64; ++i)
        many.sections.push_back({"__s" + std::to_string(i), QByteArray("x")});
    many.sections.push_back({"__entitlements", QByteArray("late")});
    EXPECT_EQ(findSection(image({many}), 0, "__TEXT", "__entitlements"), std::nullopt);
    many.sections.erase(many.sections.begin());
    EXPECT_EQ(findSection(image({many}), 0, "__TEXT", "__entitlements"), QByteArray("late"));
}

// ---- Entitlements of thin and fat executables -------------------------------------------------

TEST(AppDetailsTest, ThinExecutableGivesTheWholeRecord) {
    for (const QByteArray& payload : {xml(kEntitlements), binary(kEntitlements)}) {
        const AppDetails d = details(withEntitlements(payload));
        EXPECT_EQ(names(d), (QStringList{"App Groups", "App ID", "Debuggable (get-task-allow)",
                                         "Keychain Sharing", "Push Notifications"}));
        EXPECT_EQ(d.appGroups, (QStringList{"group.com.example.a", "group.com.example.b"}));
        EXPECT_EQ(d.keychainGroups,
                  (QStringList{"ABCDE12345.com.example.app", "ABCDE12345.com.example.shared"}));
        EXPECT_EQ(d.teamID, QStringLiteral("ABCDE12345"));
        const auto push = std::find_if(d.entitlements.begin(), d.entitlements.end(),
                                       [](const auto& e) { return e.key == "aps-environment"; });
        ASSERT_NE(push, d.entitlements.end());
        EXPECT_EQ(push->values, QStringList{"development"});
    }
}

TEST(AppDetailsTest, FatExecutableIsSearchedImageByImage) {
    struct Case {
        const char* name;
        Bytes file;
        bool found;
    };
    Bytes zeroCommand = withEntitlements(xml({{"first", true}}));
    put32(zeroCommand, 32 + 4, 0); // the first load command claims size 0
    const Case cases[] = {
        {"section in the second image", fat({withoutEntitlements(), withEntitlements(xml(kEntitlements))}),
         true},
        {"first image has a zero command size", fat({zeroCommand, withEntitlements(xml(kEntitlements))}),
         true},
        {"first payload is not a dictionary",
         fat({withEntitlements(variantToPlistXml(QVariantList{1, 2})), withEntitlements(xml(kEntitlements))}),
         true},
        {"first payload is garbage",
         fat({withEntitlements("<plist"), withEntitlements(binary(kEntitlements))}), true},
        {"thin image with a zero command size", zeroCommand, false},
        {"image offset past the end",
         [] {
             Bytes f = fat({withEntitlements(xml(kEntitlements))});
             put32(f, 16, 0x7FFFFFF0, true);
             return f;
         }(),
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const AppDetails d = details(c.file, install({{"group.from.container", "/x"}}));
        if (c.found) {
            EXPECT_EQ(d.teamID, QStringLiteral("ABCDE12345"));
            EXPECT_EQ(d.entitlements.size(), 5u);
        } else {
            EXPECT_EQ(d, (AppDetails{{}, {"group.from.container"}, {}, std::nullopt}));
        }
    }
}

TEST(AppDetailsTest, GroupContainersStandInForMissingAppGroups) {
    const auto where = install({{"group.z", "/z"}, {"group.a", "/a"}});
    const AppDetails withoutGroups = details(withEntitlements(xml({{"get-task-allow", false}})), where);
    EXPECT_EQ(withoutGroups.appGroups, (QStringList{"group.a", "group.z"}));
    EXPECT_EQ(withoutGroups.entitlements.front().values, QStringList{"Disabled"});

    // A group list holding a non-string is no list of groups.
    const AppDetails mixed = details(
        withEntitlements(xml({{"com.apple.security.application-groups", QVariantList{"group.x", 5}}})),
        where);
    EXPECT_EQ(mixed.appGroups, (QStringList{"group.a", "group.z"}));
}

TEST(AppDetailsTest, LoadReadsTheExecutableNamedByInfoPlist) {
    const SimulatorInstall where = install({{"group.fallback", "/g"}});
    fs::create_directories(where.bundle);
    auto writeFile = [](const fs::path& path, const QByteArray& bytes) {
        std::ofstream(path, std::ios::binary).write(bytes.constData(), bytes.size());
    };
    auto writeBytes = [](const fs::path& path, const Bytes& bytes) {
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    };
    const AppDetails fallback{{}, {"group.fallback"}, {}, std::nullopt};

    EXPECT_EQ(AppDetails::load(where), fallback); // no Info.plist
    writeFile(where.bundle / "Info.plist", variantToPlistXml(QVariantMap{{"CFBundleExecutable", 7}}));
    EXPECT_EQ(AppDetails::load(where), fallback); // executable name is not a string
    writeFile(where.bundle / "Info.plist", variantToPlistXml(QVariantMap{{"CFBundleExecutable", "Example"}}));
    EXPECT_EQ(AppDetails::load(where), fallback); // no executable
    writeBytes(where.bundle / "Example", {});
    EXPECT_EQ(AppDetails::load(where), fallback); // empty executable
    ::mkfifo((where.bundle / "Fifo").c_str(), 0600);
    writeFile(where.bundle / "Info.plist", variantToPlistXml(QVariantMap{{"CFBundleExecutable", "Fifo"}}));
    EXPECT_EQ(AppDetails::load(where), fallback); // not a regular file, and no wait for a writer

    writeFile(where.bundle / "Info.plist", binary(QVariantMap{{"CFBundleExecutable", "Example"}}));
    writeBytes(where.bundle / "Example", fat({withoutEntitlements(), withEntitlements(xml(kEntitlements))}));
    const AppDetails loaded = AppDetails::load(where);
    EXPECT_EQ(loaded.teamID, QStringLiteral("ABCDE12345"));
    EXPECT_EQ(loaded.appGroups, (QStringList{"group.com.example.a", "group.com.example.b"}));
    fs::remove_all(homeDirectoryURL() / "Bundle");
}

// ---- Display texts ----------------------------------------------------------------------------

TEST(AppDetailsTest, DisplayNames) {
    struct Case {
        const char* key;
        const char* name;
    };
    const Case cases[] = {
        {"aps-environment", "Push Notifications"},
        {"com.apple.developer.team-identifier", "Team ID"},
        {"com.apple.developer.icloud-container-environment", "Icloud Container Environment"},
        {"com.apple.developer.foo_bar.baz-qux", "Foo Bar Baz Qux"},
        {"com.apple.security.network.client", "Network Client"},
        {"com.apple.private.thing", "Private Thing"},
        {"x.com.apple.developer.y", "X Y"}, // removed anywhere in the key
        {"..--__", ""},
        {"straße", "Straße"},
        {"ßig", "SSig"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(AppDetails::displayName(QString::fromUtf8(c.key)), QString::fromUtf8(c.name)) << c.key;
    EXPECT_EQ(AppDetails::knownEntitlementNames().size(), 39);
}

TEST(AppDetailsTest, DisplayValues) {
    struct Case {
        const char* name;
        QVariant value;
        QStringList expected;
    };
    const QDateTime date(QDate(2026, 1, 1), QTime(9, 41), QTimeZone::utc());
    const Case cases[] = {
        {"true", true, {"Enabled"}},
        {"false", false, {"Disabled"}},
        {"string", "development", {"development"}},
        {"integer", qlonglong(42), {"42"}},
        {"real", 1.5, {"1.5"}},
        {"whole real", 2.0, {"2.0"}},
        {"date", date, {"2026-01-01 09:41:00 +0000"}},
        {"data", QByteArray("abc"), {"3 bytes"}},
        {"empty list", QVariantList{}, {"None"}},
        {"empty dictionary", QVariantMap{}, {}},
        {"nested lists flatten",
         QVariantList{"a", QVariantList{"b", QVariantList{"c"}}, true},
         {"a", "b", "c", "Enabled"}},
        {"list of two dictionaries",
         QVariantList{QVariantMap{{"b", "2"}, {"a", QVariantList{"x", "y"}}}, QVariantMap{{"c", false}}},
         {"a: x, y", "b: 2", "c: Disabled"}},
        {"dictionary with an empty list", QVariantMap{{"k", QVariantList{}}}, {"k: None"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(AppDetails::displayValues(c.value), c.expected) << c.name;
}

TEST(AppDetailsTest, TeamIdentifier) {
    struct Case {
        QVariantMap entitlements;
        std::optional<QString> expected;
    };
    const Case cases[] = {
        {{{"application-identifier", "ABCDE12345.com.example"}}, "ABCDE12345"},
        {{{"application-identifier", ".ABCDE12345..com.example"}}, "ABCDE12345"},
        {{{"application-identifier", "ABCDE1234.com.example"}}, std::nullopt},   // nine characters
        {{{"application-identifier", "ABCDE123456.com.example"}}, std::nullopt}, // eleven
        {{{"application-identifier", "ABCDe12345.com.example"}}, std::nullopt},  // lower case
        {{{"application-identifier", 12}, {"com.apple.application-identifier", "XYZ0000001.a"}},
         "XYZ0000001"},
        {{{"application-identifier", "abc.def"}, {"com.apple.developer.team-identifier", "team"}}, "team"},
        {{{"application-identifier", "ABCDE12345.x"}, {"com.apple.developer.team-identifier", ""}},
         "ABCDE12345"},
        {{}, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(AppDetails::teamIDFrom(c.entitlements), c.expected);
}

TEST(AppDetailsTest, EntitlementsSortByNameIgnoringCaseWithTiesByKey) {
    const auto entitlements =
        AppDetails::entitlementsFrom({{"com.apple.developer.aps-environment", "production"},
                                      {"aps-environment", "development"},
                                      {"zeta", 1},
                                      {"com.apple.developer.beta", 1},
                                      {"alpha", 1}});
    QStringList keys;
    for (const auto& e : entitlements)
        keys.append(e.key);
    EXPECT_EQ(keys, (QStringList{"alpha", "com.apple.developer.beta", "aps-environment",
                                 "com.apple.developer.aps-environment", "zeta"}));
}

// ---- Random damage ----------------------------------------------------------------------------

// Damaged copies of valid thin and fat images: random bytes, fields set to extreme values and
// cuts at random places. The reader must return (a record or the fallback) on every one; under
// the sanitizer build any read outside the buffer fails the test.
TEST(AppDetailsTest, RandomlyDamagedImagesNeverReadOutsideTheBuffer) {
    std::mt19937_64 random(20261210);
    const std::vector<Bytes> originals{
        withEntitlements(xml(kEntitlements)), withEntitlements(binary(kEntitlements)),
        fat({withoutEntitlements(), withEntitlements(xml(kEntitlements))}),
        fat(std::vector<Bytes>(3, withEntitlements(binary(kEntitlements))), 40)};
    const std::uint32_t extremes[] = {0, 1, 0x19, 0x7FFFFFFF, 0x80000000, 0xFFFFFFF0, 0xFFFFFFFF};
    const auto where = install();
    int found = 0;
    for (int round = 0; round < 400000; ++round) {
        Bytes file = originals[random() % originals.size()];
        const int damages = 1 + static_cast<int>(random() % 4);
        for (int i = 0; i < damages && !file.empty(); ++i) {
            const std::size_t at = random() % file.size();
            switch (random() % 4) {
            case 0:
                file[at] = static_cast<std::uint8_t>(random());
                break;
            case 1:
                if (at + 4 <= file.size())
                    put32(file, at & ~std::size_t(3), extremes[random() % std::size(extremes)], random() % 2);
                break;
            case 2:
                file.resize(at);
                break;
            default:
                file[at] ^= static_cast<std::uint8_t>(1u << (random() % 8));
                break;
            }
        }
        // An exact-size heap copy, so a read past the end leaves the allocation.
        const std::unique_ptr<std::uint8_t[]> exact(new std::uint8_t[file.size() + (file.empty() ? 1 : 0)]);
        std::copy(file.begin(), file.end(), exact.get());
        const AppDetails d = AppDetails::fromExecutable(ByteSpan(exact.get(), file.size()), where);
        if (!d.entitlements.empty())
            ++found;
    }
    EXPECT_GT(found, 0); // some damage leaves the entitlements readable
}
