// Host normalisation and blocked-host matching of ThrottlePlan: pure functions that both programs
// compile, so an entry the app stores matches the form the extension sees on a flow.
#include "network/plan/ThrottlePlan.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cctype>

namespace quorvex {

namespace {

std::string lowered(std::string_view text) {
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return result;
}

std::string_view trimmed(std::string_view text, std::string_view characters) {
    const auto first = text.find_first_not_of(characters);
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(characters);
    return text.substr(first, last - first + 1);
}

// Dotted decimal without leading zeros, or nothing when `text` is not four decimal parts of 0 to
// 255. Parts are decimal even with a leading zero ("010" is ten), as the user wrote them.
std::optional<std::string> canonicalIPv4(std::string_view text) {
    std::string result;
    int parts = 0;
    std::size_t start = 0;
    for (;;) {
        const auto end = text.find('.', start);
        const std::string_view part =
            text.substr(start, end == std::string_view::npos ? text.npos : end - start);
        if (part.empty() || part.size() > 8 || ++parts > 4)
            return std::nullopt;
        unsigned value = 0;
        for (char c : part) {
            if (c < '0' || c > '9')
                return std::nullopt;
            value = value * 10 + static_cast<unsigned>(c - '0');
        }
        if (value > 255)
            return std::nullopt;
        if (!result.empty())
            result += '.';
        result += std::to_string(value);
        if (end == std::string_view::npos)
            break;
        start = end + 1;
    }
    if (parts != 4)
        return std::nullopt;
    return result;
}

// The canonical text of an IPv6 address (inet_ntop's compressed lower-case form), with an
// IPv4-mapped address given as its dotted IPv4 form: a flow to such a peer is the IPv4 host.
std::optional<std::string> canonicalIPv6(const std::string& text) {
    in6_addr address{};
    if (::inet_pton(AF_INET6, text.c_str(), &address) != 1)
        return std::nullopt;
    if (IN6_IS_ADDR_V4MAPPED(&address)) {
        char buffer[INET_ADDRSTRLEN] = {};
        if (!::inet_ntop(AF_INET, &address.s6_addr[12], buffer, sizeof buffer))
            return std::nullopt;
        return std::string(buffer);
    }
    char buffer[46] = {};
    if (!::inet_ntop(AF_INET6, &address, buffer, sizeof buffer))
        return std::nullopt;
    return std::string(buffer);
}

bool isDigitsAndDots(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return (c >= '0' && c <= '9') || c == '.'; });
}

} // namespace

std::optional<std::string> ThrottlePlan::normalizeHost(std::string_view input) {
    std::string text = lowered(trimmed(input, " \t\n\r\v\f"));

    if (const auto scheme = text.find("://"); scheme != std::string::npos)
        text.erase(0, scheme + 3);
    if (const auto cut = text.find_first_of("/?#"); cut != std::string::npos)
        text.erase(cut);

    if (!text.empty() && text.front() == '[' && text.find(']') != std::string::npos) {
        text = text.substr(1, text.find(']') - 1);
    } else if (std::count(text.begin(), text.end(), ':') == 1) {
        text.erase(text.find(':'));
    }

    if (text.starts_with("*."))
        text.erase(0, 2);
    text = std::string(trimmed(text, "."));

    if (text.empty() ||
        text.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789-.:") != std::string::npos ||
        text.find_first_of(".:") == std::string::npos)
        return std::nullopt;

    if (isDigitsAndDots(text))
        return canonicalIPv4(text);
    if (text.find(':') != std::string::npos)
        return canonicalIPv6(text);
    return text;
}

bool ThrottlePlan::isBlocked(std::string_view host,
                             const std::optional<std::vector<std::string>>& blockedHosts) {
    if (!blockedHosts || blockedHosts->empty())
        return false;
    std::string h = std::string(trimmed(lowered(host), "."));
    if (h.find(':') != std::string::npos) {
        if (auto canonical = normalizeHost(h))
            h = std::move(*canonical);
    } else if (isDigitsAndDots(h)) {
        if (auto canonical = canonicalIPv4(h))
            h = std::move(*canonical);
    }
    for (const std::string& stored : *blockedHosts) {
        // An address entry written before entries were canonicalised still meets its flows.
        std::string_view entry = stored;
        std::optional<std::string> canonicalEntry;
        if (!entry.empty() && isDigitsAndDots(entry) && (canonicalEntry = canonicalIPv4(entry)))
            entry = *canonicalEntry;
        if (entry.empty())
            continue;
        if (h == entry)
            return true;
        if (h.size() > entry.size() && h.ends_with(entry) && h[h.size() - entry.size() - 1] == '.')
            return true;
    }
    return false;
}

} // namespace quorvex
