#include "extension/ServerNameReader.h"

#include <gtest/gtest.h>

#include <string>

namespace quorvex {
namespace {

using Outcome = ServerNameReader::Outcome;

void put16(std::string& bytes, std::size_t value) {
    bytes.push_back(static_cast<char>(value >> 8));
    bytes.push_back(static_cast<char>(value));
}

std::string withLength16(const std::string& body) {
    std::string bytes;
    put16(bytes, body.size());
    return bytes + body;
}

// A ClientHello handshake message; `name` empty leaves the server_name extension out.
std::string clientHello(const std::string& name, std::uint8_t kind = 1) {
    std::string extensions;
    put16(extensions, 0x002b); // supported_versions, before the name
    extensions += withLength16(std::string("\x02\x03\x04", 3));
    if (!name.empty()) {
        put16(extensions, 0);
        extensions += withLength16(withLength16(std::string(1, '\0') + withLength16(name)));
    }
    std::string hello("\x03\x03", 2);
    hello += std::string(32, 'r');
    hello += std::string("\x20", 1) + std::string(32, 's'); // a session id
    hello += withLength16(std::string("\x13\x01\x13\x02", 4));
    hello += std::string("\x01\x00", 2);
    hello += withLength16(extensions);
    std::string handshake(1, static_cast<char>(kind));
    handshake.push_back(static_cast<char>(hello.size() >> 16));
    put16(handshake, hello.size());
    return handshake + hello;
}

std::string record(const std::string& fragment) {
    return std::string("\x16\x03\x01", 3) + withLength16(fragment);
}

TEST(ServerNameReaderTest, ReadsTheNameOfAClientHelloOrAnHttpRequest) {
    const std::string hello = clientHello("API.Blocked.Test.");
    const std::string complete = record(hello);
    const std::string split = record(hello.substr(0, 40)) + record(hello.substr(40));
    std::string corrupt = complete;
    corrupt[5 + 4 + 2 + 32 + 1 + 32 + 6 + 2 + 1] = '\x7f'; // the extensions' length, far too long
    const std::string longHeaders =
        "GET / HTTP/1.1\r\nX-Filler: " + std::string(ServerNameReader::maximumBytes, 'a');
    const struct {
        const char* name;
        std::string bytes;
        Outcome outcome;
        std::string host;
    } cases[] = {
        {"a ClientHello", complete, Outcome::Name, "api.blocked.test"},
        {"a ClientHello over two records", split, Outcome::Name, "api.blocked.test"},
        {"the first of two records", split.substr(0, 45), Outcome::NeedMore, ""},
        {"a record header alone", complete.substr(0, 3), Outcome::NeedMore, ""},
        {"a ClientHello without a name", record(clientHello("")), Outcome::NoName, ""},
        {"another handshake message", record(clientHello("x.test", 2)), Outcome::NoName, ""},
        {"a ClientHello whose lengths lie", corrupt, Outcome::NoName, ""},
        {"an alert record", std::string("\x15\x03\x03\x00\x02\x02\x28", 7), Outcome::NoName, ""},
        {"a request with a port", "GET / HTTP/1.1\r\nHost: Example.COM:8080\r\n\r\n", Outcome::Name,
         "example.com"},
        {"a bracketed IPv6 host", "POST /x HTTP/1.1\r\nUser-Agent: t\r\nhost:[2001:DB8::1]:443\r\n\r\n",
         Outcome::Name, "2001:db8::1"},
        {"an absolute target without Host", "GET http://name.test/a HTTP/1.0\r\n\r\n", Outcome::Name,
         "name.test"},
        {"headers not ended yet", "GET / HTTP/1.1\r\nHost: example.com\r\n", Outcome::NeedMore, ""},
        {"a method not ended yet", "GE", Outcome::NeedMore, ""},
        {"a request without a host", "GET / HTTP/1.1\r\nAccept: */*\r\n\r\n", Outcome::NoName, ""},
        {"a host that is no host", "GET / HTTP/1.1\r\nHost: bad_host\r\n\r\n", Outcome::NoName, ""},
        {"another protocol", "SSH-2.0-OpenSSH_9.2\r\n", Outcome::NoName, ""},
        {"HTTP/2 prior knowledge", "PRI * HTTP/2.0\r\n\r\nSM\r\n\r\n", Outcome::NoName, ""},
        {"headers past the bound", longHeaders, Outcome::NoName, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto result = ServerNameReader::read(c.bytes);
        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_EQ(result.name, c.host);
    }
}

} // namespace
} // namespace quorvex
