#pragma once
// Talking to the test web server (tests/server/server.py) from Wine tests,
// over plain Winsock so that reading the journal does not depend on the
// client under test.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace orvo::testing {

inline int webPort() {
    wchar_t buf[16] = {};
    if (::GetEnvironmentVariableW(L"ORVO_WEB_PORT", buf, 16) == 0) return 18080;
    return _wtoi(buf);
}

inline std::string webBase() { return "http://127.0.0.1:" + std::to_string(webPort()); }

inline int webTlsPort() {
    wchar_t buf[16] = {};
    if (::GetEnvironmentVariableW(L"ORVO_WEB_TLS_PORT", buf, 16) == 0) return 18443;
    return _wtoi(buf);
}

// The TLS port by the name its certificates carry (an IP address never
// passes Wine's name check).
inline std::string secureBase() { return "https://localhost:" + std::to_string(webTlsPort()); }

struct WinsockScope {
    WinsockScope() {
        WSADATA data;
        ::WSAStartup(MAKEWORD(2, 2), &data);
    }
    ~WinsockScope() { ::WSACleanup(); }
};

// One request with "Connection: close"; returns the reply body (headers cut).
inline std::string rawRequest(const std::string& method, const std::string& path) {
    WinsockScope ws;
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<u_short>(webPort()));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string reply;
    if (::connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
        std::string request = method + " " + path +
                              " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\nContent-Length: 0\r\n\r\n";
        ::send(s, request.data(), static_cast<int>(request.size()), 0);
        char buf[65536];
        for (int n; (n = ::recv(s, buf, sizeof buf, 0)) > 0;) reply.append(buf, static_cast<size_t>(n));
    }
    ::closesocket(s);
    size_t at = reply.find("\r\n\r\n");
    return at == std::string::npos ? std::string() : reply.substr(at + 4);
}

inline void resetJournal() { rawRequest("POST", "/_reset"); }

// The certificate the TLS port gives new connections ("localhost" is the
// good one; /_reset restores it).
inline void serveCertificate(const std::string& name) { rawRequest("POST", "/_tls?cert=" + name); }

inline nlohmann::json journal() {
    std::string body = rawRequest("GET", "/_journal");
    return nlohmann::json::parse(body.empty() ? std::string("[]") : body);
}

inline std::string headerOf(const nlohmann::json& entry, const std::string& name) {
    for (const auto& pair : entry.at("headers"))
        if (_stricmp(pair[0].get<std::string>().c_str(), name.c_str()) == 0) return pair[1].get<std::string>();
    return {};
}

// Byte i of every generated body (/gen/<bytes>/<name>).
inline std::uint8_t generatedByte(std::uint64_t i) {
    return static_cast<std::uint8_t>((i % 251 + 13 * (i / 251)) & 0xFF);
}

inline std::vector<std::uint8_t> generatedBody(std::uint64_t size) {
    std::vector<std::uint8_t> out(static_cast<size_t>(size));
    for (std::uint64_t i = 0; i < size; ++i) out[static_cast<size_t>(i)] = generatedByte(i);
    return out;
}

}  // namespace orvo::testing
