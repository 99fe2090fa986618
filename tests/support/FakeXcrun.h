#pragma once

#include <nlohmann/json.hpp>

#include <filesystem>
#include <string>
#include <vector>

namespace quorvex::test {

/// Points the program's tool paths (xcrun, xcode-select, qlmanage) at the fake tool for the life
/// of the object, with rules added by the test and a log of every call.
class FakeXcrun final {
public:
    struct Call {
        std::string tool;
        std::vector<std::string> args;
    };

    FakeXcrun();
    ~FakeXcrun();
    FakeXcrun(const FakeXcrun&) = delete;
    FakeXcrun& operator=(const FakeXcrun&) = delete;

    /// Adds a rule (see the fake's own header for its fields); rules match in the order added.
    FakeXcrun& rule(nlohmann::json rule);
    /// Shorthand: these arguments answer `out` with exit status `exit`.
    FakeXcrun& on(const std::vector<std::string>& args, const std::string& out = {}, int exit = 0);

    /// Drops every rule, so the fake answers as a failing tool until new rules are added.
    FakeXcrun& clearRules();

    std::vector<Call> calls() const;
    /// The argument lists of the calls made to one tool ("xcrun" unless told).
    std::vector<std::vector<std::string>> argumentLists(const std::string& tool = "xcrun") const;
    void clearLog();

    const std::filesystem::path& folder() const { return m_folder; }
    std::filesystem::path rulesPath() const { return m_folder / "rules.json"; }
    std::filesystem::path logPath() const { return m_folder / "calls.log"; }

private:
    void writeRules() const;

    std::filesystem::path m_folder;
    nlohmann::json m_rules = nlohmann::json::array();
};

} // namespace quorvex::test
