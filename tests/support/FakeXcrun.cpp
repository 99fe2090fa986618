#include "support/FakeXcrun.h"

#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace quorvex::test {
namespace fs = std::filesystem;

namespace {

const char* const kVariables[] = {"QUORVEX_XCRUN", "QUORVEX_XCODE_SELECT", "QUORVEX_QLMANAGE",
                                  "QUORVEX_FAKE_RULES", "QUORVEX_FAKE_LOG"};

} // namespace

FakeXcrun::FakeXcrun() {
    std::string pattern = (fs::temp_directory_path() / "quorvex-fake-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create the fake tool folder");
    m_folder = pattern;
    // The fake tells which tool it plays from its own name.
    for (const char* name : {"xcrun", "xcode-select", "qlmanage"})
        fs::create_symlink(QUORVEX_FAKE_XCRUN_PATH, m_folder / name);
    ::setenv("QUORVEX_XCRUN", (m_folder / "xcrun").c_str(), 1);
    ::setenv("QUORVEX_XCODE_SELECT", (m_folder / "xcode-select").c_str(), 1);
    ::setenv("QUORVEX_QLMANAGE", (m_folder / "qlmanage").c_str(), 1);
    ::setenv("QUORVEX_FAKE_RULES", rulesPath().c_str(), 1);
    ::setenv("QUORVEX_FAKE_LOG", logPath().c_str(), 1);
    writeRules();
}

FakeXcrun::~FakeXcrun() {
    for (const char* variable : kVariables)
        ::unsetenv(variable);
    std::error_code ignored;
    fs::remove_all(m_folder, ignored);
}

FakeXcrun& FakeXcrun::rule(nlohmann::json rule) {
    m_rules.push_back(std::move(rule));
    writeRules();
    return *this;
}

FakeXcrun& FakeXcrun::on(const std::vector<std::string>& args, const std::string& out, int exit) {
    return rule({{"args", args}, {"stdout", out}, {"exit", exit}});
}

FakeXcrun& FakeXcrun::clearRules() {
    m_rules = nlohmann::json::array();
    writeRules();
    return *this;
}

void FakeXcrun::writeRules() const {
    // Write beside and rename, so a tool started by another thread never reads half a file.
    const fs::path temporary = m_folder / "rules.json.new";
    std::ofstream(temporary, std::ios::binary) << m_rules.dump(2);
    fs::rename(temporary, rulesPath());
}

std::vector<FakeXcrun::Call> FakeXcrun::calls() const {
    std::vector<Call> result;
    std::ifstream in(logPath());
    for (std::string line; std::getline(in, line);) {
        const nlohmann::json entry = nlohmann::json::parse(line, nullptr, false);
        if (entry.is_object())
            result.push_back(
                {entry.value("tool", std::string()), entry.value("args", std::vector<std::string>{})});
    }
    return result;
}

std::vector<std::vector<std::string>> FakeXcrun::argumentLists(const std::string& tool) const {
    std::vector<std::vector<std::string>> result;
    for (const Call& call : calls())
        if (call.tool == tool)
            result.push_back(call.args);
    return result;
}

void FakeXcrun::clearLog() {
    std::error_code ignored;
    fs::remove(logPath(), ignored);
}

} // namespace quorvex::test
