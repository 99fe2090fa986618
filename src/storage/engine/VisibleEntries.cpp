#include "storage/engine/VisibleEntries.h"

#include "platform/data/PlistSettingsFormat.h"
#include "tools/PathText.h"

#include <fstream>
#include <iterator>

namespace quorvex {
namespace fs = std::filesystem;

std::vector<fs::path> visibleEntries(const fs::path& folder) {
    std::vector<fs::path> entries;
    std::error_code error;
    fs::directory_iterator it(folder, error);
    for (const fs::directory_iterator end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (!name.empty() && name.front() != '.')
            entries.push_back(it->path());
    }
    return entries;
}

QVariantMap propertyListAt(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return {};
    const std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    bool ok = false;
    const QVariant root = plistToVariant(QByteArray::fromStdString(bytes), &ok);
    return ok ? root.toMap() : QVariantMap();
}

QString fileNameText(const fs::path& path) {
    return pathText(path.filename());
}

} // namespace quorvex
