// Stands in for xcrun (and for xcode-select or qlmanage when started under those names).
//
// Every call appends {"tool": <name>, "args": [...]} as one line to $QUORVEX_FAKE_LOG, then answers
// with the first rule of $QUORVEX_FAKE_RULES (a JSON array) whose "tool" (default "xcrun") and
// "args" patterns match. A pattern is a glob per argument; "*" matches any one argument and "**"
// any number of them. A rule may give "stdout" (text), "stdoutFile", "stderr", "exit" (default
// 0), "delay" in seconds, and "effects" applied before answering:
//   {"create": i, "content": "..."}   write a file at argument i
//   {"copy": [i, j]}                  copy the file at argument i to argument j (j may
//                                     also be a path given as a string)
//   {"mkdir": i}                      create the folder at argument i
//   {"remove": i}                     remove the file or folder at argument i
// Where an effect names an argument i, a string instead gives a fixed path, so a rule can keep
// state between calls (a preferences domain that export reads, delete removes, import writes).
// With no matching rule the fake prints nothing and exits 1.
#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fnmatch.h>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <sys/file.h>
#include <thread>
#include <unistd.h>
#include <vector>

using nlohmann::json;

namespace {

bool matches(const std::vector<std::string>& patterns, size_t p, const std::vector<std::string>& args,
             size_t a) {
    if (p == patterns.size())
        return a == args.size();
    if (patterns[p] == "**") {
        for (size_t skip = a; skip <= args.size(); ++skip)
            if (matches(patterns, p + 1, args, skip))
                return true;
        return false;
    }
    if (a == args.size())
        return false;
    if (patterns[p] != "*" && fnmatch(patterns[p].c_str(), args[a].c_str(), 0) != 0)
        return false;
    return matches(patterns, p + 1, args, a + 1);
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void appendLog(const std::string& tool, const std::vector<std::string>& args) {
    const char* path = std::getenv("QUORVEX_FAKE_LOG");
    if (!path || !*path)
        return;
    json line = {{"tool", tool}, {"args", args}};
    const std::string text = line.dump(-1, ' ', false, json::error_handler_t::replace) + "\n";
    FILE* file = std::fopen(path, "a");
    if (!file)
        return;
    ::flock(fileno(file), LOCK_EX);
    std::fwrite(text.data(), 1, text.size(), file);
    std::fflush(file);
    ::flock(fileno(file), LOCK_UN);
    std::fclose(file);
}

void applyEffects(const json& effects, const std::vector<std::string>& args) {
    namespace fs = std::filesystem;
    auto arg = [&](const json& index) -> std::string {
        if (index.is_string())
            return index.get<std::string>();
        const auto i = index.get<size_t>();
        return i < args.size() ? args[i] : std::string();
    };
    for (const json& effect : effects) {
        std::error_code ignored;
        if (effect.contains("create")) {
            std::ofstream(arg(effect["create"]), std::ios::binary) << effect.value("content", std::string());
        } else if (effect.contains("copy")) {
            fs::copy(arg(effect["copy"][0]), arg(effect["copy"][1]),
                     fs::copy_options::overwrite_existing | fs::copy_options::recursive, ignored);
        } else if (effect.contains("mkdir")) {
            fs::create_directories(arg(effect["mkdir"]), ignored);
        } else if (effect.contains("remove")) {
            fs::remove_all(arg(effect["remove"]), ignored);
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    const std::string tool = std::filesystem::path(argv[0]).filename().string();
    const std::vector<std::string> args(argv + 1, argv + argc);
    appendLog(tool, args);

    const char* rulesPath = std::getenv("QUORVEX_FAKE_RULES");
    if (!rulesPath || !*rulesPath)
        return 1;
    json rules = json::parse(readFile(rulesPath), nullptr, false);
    if (!rules.is_array())
        return 1;

    for (const json& rule : rules) {
        if (rule.value("tool", std::string("xcrun")) != tool)
            continue;
        if (!matches(rule.value("args", std::vector<std::string>{}), 0, args, 0))
            continue;
        if (const double delay = rule.value("delay", 0.0); delay > 0)
            std::this_thread::sleep_for(std::chrono::duration<double>(delay));
        if (rule.contains("effects"))
            applyEffects(rule["effects"], args);
        std::string out = rule.value("stdout", std::string());
        if (rule.contains("stdoutFile"))
            out = readFile(rule["stdoutFile"].get<std::string>());
        std::fwrite(out.data(), 1, out.size(), stdout);
        const std::string err = rule.value("stderr", std::string());
        std::fwrite(err.data(), 1, err.size(), stderr);
        std::fflush(stdout);
        return rule.value("exit", 0);
    }
    return 1;
}
