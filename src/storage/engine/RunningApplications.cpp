#include "storage/engine/RunningApplications.h"

#include "platform/data/PlistSettingsFormat.h"

#include <QFile>
#include <QVariantMap>

#include <filesystem>
#include <functional>

#include <signal.h>
#include <sys/types.h>
#include <unistd.h>

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

// Calls `visit` with the pid and bundle of every process started from a bundle named `bundleID`.
void forEachProcess(const QString& bundleID, const std::function<void(pid_t, const fs::path&)>& visit) {
    std::error_code error;
    fs::directory_iterator it("/proc", error);
    for (const fs::directory_iterator end; !error && it != end; it.increment(error)) {
        const std::string pid = it->path().filename().string();
        if (pid.empty() || pid.size() > 9 || pid.find_first_not_of("0123456789") != std::string::npos)
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
            visit(static_cast<pid_t>(std::stol(pid)), bundle);
    }
}

class ProcRunningApplications final : public RunningApplications {
public:
    std::set<std::string> bundlePaths(const QString& bundleID) const override {
        std::set<std::string> bundles;
        forEachProcess(bundleID, [&](pid_t, const fs::path& bundle) { bundles.insert(bundle.string()); });
        return bundles;
    }
    void requestQuit(const QString& bundleID) override {
        // Our own process is never asked: a bundle identifier of ours must not end the program.
        const pid_t self = getpid();
        forEachProcess(bundleID, [self](pid_t pid, const fs::path&) {
            if (pid > 1 && pid != self)
                kill(pid, SIGTERM);
        });
    }
};

} // namespace

RunningApplications& RunningApplications::fromProc() {
    static ProcRunningApplications applications;
    return applications;
}

} // namespace quorvex
