#include "storage/engine/VisibleEntries.h"

#include "tools/PathText.h"

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

QString fileNameText(const fs::path& path) {
    return pathText(path.filename());
}

} // namespace quorvex
