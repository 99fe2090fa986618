#include "storage/RunningApplications.h"

#include "platform/PlistSettingsFormat.h"

#include <QFile>
#include <QVariantMap>

#include <filesystem>

namespace quorvex {
namespace fs = std::filesystem;

namespace {

QString identifierOf(const fs::path& bundle) {
    for (const fs::path& plist : {bundle / "Contents/Info.plist", bundle / "Info.plist"}) {
        QFile file(QFile::decodeName(plist.c_str()));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        bool ok = false;
        const QVariant root = plistToVariant(file.readAll(), &ok);
        const QVariant identifier = root.toMap().value(QStringLiteral("CFBundleIdentifier"));
        if (ok && identifier.typeId() == QMetaType::QString)
            return identifier.toString();
    }
    return {};
}

class ProcRunningApplications final : public RunningApplications {
public:
    std::set<std::string> bundlePaths(const QString& bundleID) const override {
        std::set<std::string> bundles;
        std::error_code error;
        fs::directory_iterator it("/proc", error);
        for (const fs::directory_iterator end; !error && it != end; it.increment(error)) {
            const std::string pid = it->path().filename().string();
            if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos)
                continue;
            std::error_code unreadable;
            const fs::path executable = fs::read_symlink(it->path() / "exe", unreadable);
            if (unreadable)
                continue;
            // The outermost folder ending in ".app" on the way to the executable is its bundle.
            fs::path bundle;
            for (const fs::path& part : executable) {
                bundle /= part;
                if (part.extension() == ".app")
                    break;
            }
            if (bundle.extension() == ".app" && identifierOf(bundle) == bundleID)
                bundles.insert(bundle.string());
        }
        return bundles;
    }
};

} // namespace

RunningApplications& RunningApplications::fromProc() {
    static ProcRunningApplications applications;
    return applications;
}

} // namespace quorvex
