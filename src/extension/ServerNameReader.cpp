#include "extension/ServerNameReader.h"

#include "network/plan/ThrottlePlan.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <optional>

namespace quorvex {

namespace {

using Outcome = ServerNameReader::Outcome;
using Result = ServerNameReader::Result;

Result named(std::string_view text) {
    if (auto host = ThrottlePlan::normalizeHost(text))
        return {Outcome::Name, std::move(*host)};
    return {};
}

// Reads big-endian numbers and byte strings from a bounded view; any read past its end fails.
class Cursor final {
public:
    explicit Cursor(std::string_view bytes)
        : m_bytes(bytes) {}
    std::optional<std::size_t> number(std::size_t width) {
        if (m_bytes.size() < width)
            return std::nullopt;
        std::size_t value = 0;
        for (std::size_t index = 0; index < width; ++index)
            value = value << 8 | static_cast<unsigned char>(m_bytes[index]);
        m_bytes.remove_prefix(width);
        return value;
    }
    std::optional<std::string_view> bytes(std::size_t size) {
        if (m_bytes.size() < size)
            return std::nullopt;
        const auto taken = m_bytes.substr(0, size);
        m_bytes.remove_prefix(size);
        return taken;
    }
    // A string whose length comes first, in `width` bytes.
    std::optional<std::string_view> prefixed(std::size_t width) {
        const auto size = number(width);
        return size ? bytes(*size) : std::nullopt;
    }

private:
    std::string_view m_bytes;
};

std::optional<std::string> serverName(std::string_view hello) {
    Cursor cursor(hello);
    if (!cursor.bytes(2 + 32) || !cursor.prefixed(1) || !cursor.prefixed(2) || !cursor.prefixed(1))
        return std::nullopt; // version and random, session id, cipher suites, compression methods
    auto extensions = cursor.prefixed(2);
    if (!extensions)
        return std::nullopt;
    Cursor list(*extensions);
    while (const auto type = list.number(2)) {
        const auto data = list.prefixed(2);
        if (!data)
            return std::nullopt;
        if (*type != 0)
            continue;
        Cursor names(*data);
        const auto entries = names.prefixed(2);
        if (!entries)
            return std::nullopt;
        Cursor entry(*entries);
        while (const auto kind = entry.number(1)) {
            const auto name = entry.prefixed(2);
            if (!name)
                return std::nullopt;
            if (*kind == 0)
                return std::string(*name);
        }
        return std::nullopt;
    }
    return std::nullopt;
}

Result readTls(std::string_view bytes) {
    // The handshake message, gathered from as many handshake records as it spans.
    std::string handshake;
    Cursor records(bytes);
    for (;;) {
        const auto type = records.number(1);
        const auto major = records.number(1);
        if (!type || !major)
            return {Outcome::NeedMore, {}};
        if (*type != 0x16 || *major != 3)
            return {};
        if (!records.number(1))
            return {Outcome::NeedMore, {}};
        const auto length = records.number(2);
        if (!length)
            return {Outcome::NeedMore, {}};
        if (*length == 0 || *length > 16384 + 2048)
            return {};
        const auto fragment = records.bytes(*length);
        if (!fragment)
            return {Outcome::NeedMore, {}};
        handshake.append(*fragment);
        Cursor message(handshake);
        const auto kind = message.number(1);
        const auto size = message.number(3);
        if (kind && *kind != 1)
            return {}; // not a ClientHello
        if (!size)
            continue;
        const auto hello = message.bytes(*size);
        if (!hello)
            continue; // the rest is in the next record
        const auto name = serverName(*hello);
        return name ? named(*name) : Result{};
    }
}

Result readHttp(std::string_view bytes) {
    static constexpr std::array<std::string_view, 9> methods = {
        "GET ", "POST ", "HEAD ", "PUT ", "DELETE ", "OPTIONS ", "PATCH ", "CONNECT ", "TRACE "};
    const bool isRequest = std::any_of(methods.begin(), methods.end(), [&](std::string_view method) {
        return bytes.substr(0, method.size()) == method.substr(0, std::min(method.size(), bytes.size()));
    });
    if (!isRequest)
        return {};
    const auto end = bytes.find("\r\n\r\n");
    if (end == std::string_view::npos)
        return {Outcome::NeedMore, {}};
    std::string_view headers = bytes.substr(0, end + 2);
    const auto firstLine = headers.find("\r\n");
    const std::string_view requestLine = headers.substr(0, firstLine);
    if (requestLine.find(" HTTP/1.") == std::string_view::npos)
        return {};
    headers.remove_prefix(firstLine + 2);
    while (!headers.empty()) {
        const auto lineEnd = headers.find("\r\n");
        const std::string_view line = headers.substr(0, lineEnd);
        headers.remove_prefix(lineEnd + 2);
        constexpr std::string_view host = "host:";
        if (line.size() < host.size() ||
            !std::equal(host.begin(), host.end(), line.begin(), [](char wanted, char seen) {
                return wanted == std::tolower(static_cast<unsigned char>(seen));
            }))
            continue;
        return named(line.substr(host.size()));
    }
    // HTTP/1.0 without a Host: the target may be absolute ("GET http://name/ HTTP/1.0").
    const auto target = requestLine.substr(requestLine.find(' ') + 1);
    if (target.find("://") != std::string_view::npos)
        return named(target.substr(0, target.find(' ')));
    return {};
}

} // namespace

ServerNameReader::Result ServerNameReader::read(std::string_view bytes) {
    if (bytes.empty())
        return {Outcome::NeedMore, {}};
    auto result = static_cast<unsigned char>(bytes.front()) == 0x16 ? readTls(bytes) : readHttp(bytes);
    if (result.outcome == Outcome::NeedMore && bytes.size() >= maximumBytes)
        return {};
    return result;
}

} // namespace quorvex
