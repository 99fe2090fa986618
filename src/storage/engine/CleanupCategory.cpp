#include "storage/engine/CleanupCategory.h"

#include <QStringList>

namespace quorvex {

namespace {

using Kind = CleanupCategory::Kind;
using Tag = CleanupItem::Tag;

struct Row {
    const char* raw;
    const char* title;
    const char* symbol;
    CleanupCategory::Tint tint;
    CleanupSafety safety;
    const char* explanation;
    const char* consequence;
    std::vector<QuickSelection> chips;
};

const Row& rowOf(Kind kind) {
    using T = CleanupCategory::Tint;
    using S = CleanupSafety;
    const auto chip = [](const char* title, const char* symbol, Tag tag) {
        return QuickSelection{QString::fromUtf8(title), QString::fromUtf8(symbol), tag};
    };
    static const Row rows[] = {
        {"derivedData",
         "DerivedData",
         "hammer.fill",
         T::blue,
         S::safe,
         "Build products, indexes, and logs Xcode keeps per project.",
         "Rebuilt on the next build, which takes longer once. Projects you’re actively working on rebuild "
         "from scratch.",
         {chip("Not built in 30 days", "clock", Tag::old)}},
        {"simulators",
         "Simulators",
         "iphone.gen3",
         T::indigo,
         S::review,
         "Simulated devices, each with its own installed apps and data.",
         "The device and everything installed on it are deleted for good (this can’t go to the Trash). You "
         "can create a new one in Xcode any time.",
         {chip("Unavailable", "xmark.octagon", Tag::unavailable),
          chip("Orphaned folders", "questionmark.folder", Tag::orphaned),
          chip("Not used in 90 days", "clock", Tag::old)}},
        {"runtimes",
         "Simulator Runtimes",
         "square.stack.3d.down.right.fill",
         T::purple,
         S::verify,
         "The iOS, watchOS, tvOS, and visionOS system images simulators run on.",
         "Simulators on a deleted runtime become unavailable. Getting it back means re-downloading it in "
         "Xcode › Settings › Components (5–8 GB).",
         {chip("Not the newest per platform", "clock", Tag::old)}},
        {"archives",
         "Archives",
         "archivebox.fill",
         T::brown,
         S::review,
         "Builds made with Product › Archive, including the dSYMs used to symbolicate crash reports.",
         "Builds already uploaded to App Store Connect keep their dSYMs there. Keep archives you haven’t "
         "uploaded or still need for crash reports.",
         {chip("Uploaded to App Store Connect", "icloud.and.arrow.up", Tag::uploaded),
          chip("Older than 6 months", "clock", Tag::old)}},
        {"deviceSupport",
         "Device Support",
         "cable.connector",
         T::teal,
         S::safe,
         "Debug symbols Xcode copies from each OS version of the devices you connect.",
         "Copied again (a few minutes) the next time you connect a device on that version. Keep the "
         "versions your devices run today.",
         {chip("Older than the last 2 versions", "clock", Tag::old)}},
        {"xcodes",
         "Xcode Versions",
         "hammer.circle.fill",
         T::cyan,
         S::verify,
         "Xcode apps installed side by side, e.g. betas or older versions.",
         "Only remove versions you no longer build with. Reinstalling means downloading 3–10 GB again. The "
         "active Xcode is protected.",
         {chip("All but the active one", "checkmark.circle", Tag::old)}},
        {"documentation",
         "Documentation",
         "book.closed.fill",
         T::pink,
         S::safe,
         "Documentation Xcode downloaded for its developer documentation window, and legacy docsets.",
         "Xcode downloads current documentation again when you open it. Older versions are leftovers from "
         "previous Xcode releases.",
         {chip("Older versions", "clock", Tag::old)}},
        {"logs",
         "Logs",
         "doc.text.magnifyingglass",
         T::green,
         S::safe,
         "Simulator and Xcode logs, device logs, and crash reports of Xcode’s own tools.",
         "Logs are only useful while debugging a problem. Deleted logs are gone for good; new ones are "
         "written as you work.",
         {chip("Older than 30 days", "clock", Tag::old),
          chip("From deleted simulators", "iphone.slash", Tag::orphaned)}},
        {"packageCaches",
         "Package Caches",
         "shippingbox.fill",
         T::orange,
         S::safe,
         "Downloaded CocoaPods and Swift packages, shared by all projects.",
         "Downloaded again on the next `pod install` or package resolve, which is slow on a slow "
         "connection.",
         {chip("All", "checkmark.circle", Tag::recommended)}},
        {"caches",
         "Other Caches",
         "tray.full.fill",
         T::gray,
         S::safe,
         "Previews, test clones, built products, and other caches Xcode recreates when needed.",
         "Recreated automatically the next time Xcode needs them.",
         {chip("All", "checkmark.circle", Tag::recommended)}},
    };
    return rows[static_cast<int>(kind)];
}

} // namespace

const std::array<Kind, 10> CleanupCategory::allKinds = {
    Kind::derivedData, Kind::simulators,    Kind::runtimes, Kind::archives,      Kind::deviceSupport,
    Kind::xcodes,      Kind::documentation, Kind::logs,     Kind::packageCaches, Kind::caches};

QString CleanupCategory::rawValue(Kind kind) {
    return QString::fromLatin1(rowOf(kind).raw);
}

std::optional<Kind> CleanupCategory::kindFromRawValue(const QString& raw) {
    for (Kind kind : allKinds)
        if (rawValue(kind) == raw)
            return kind;
    return std::nullopt;
}

CleanupCategory::CleanupCategory(Kind categoryKind)
    : kind(categoryKind) {
    const Row& row = rowOf(categoryKind);
    title = QString::fromUtf8(row.title);
    symbol = QString::fromUtf8(row.symbol);
    tint = row.tint;
    safety = row.safety;
    explanation = QString::fromUtf8(row.explanation);
    consequence = QString::fromUtf8(row.consequence);
    quickSelections = row.chips;
}

QString runtimeDisplayName(const QString& identifier) {
    const QString last = identifier.section(QLatin1Char('.'), -1);
    QStringList parts = last.split(QLatin1Char('-'));
    if (parts.size() < 2)
        return last;
    QString platform = parts.takeFirst();
    platform.replace(QStringLiteral("xrOS"), QStringLiteral("visionOS"));
    return platform + QLatin1Char(' ') + parts.join(QLatin1Char('.'));
}

} // namespace quorvex
