// Download throughput and peak memory of the HTTP client against a plain
// WinHttpReadData loop, in the same Wine. One mode per process, so that each
// peak working set belongs to that mode alone.
//   http_bench.exe plain|plain-store|client URL
// plain:        64 KiB reads, bytes dropped (what the transport alone gives)
// plain-store:  reads of what has arrived, kept in a vector reserved up front
//               (what holding the report in memory costs)
// client:       HttpClient::get with a progress callback
// An https URL gives the plain loops the client's TLS settings: TLS 1.2 and
// 1.3 (1.2 alone where 1.3 is refused) and the revocation check.
#include <windows.h>
#include <psapi.h>
#include <winhttp.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "support/net/http_client.h"
#include "support/portable/http_url.h"
#include "support/win32/win_text.h"

namespace {

using Clock = std::chrono::steady_clock;

std::uint64_t plainDownload(const std::string& url, std::vector<char>* keep) {
    const bool query = keep != nullptr;
    orvo::HttpUrl u = orvo::parseHttpUrl(url);
    std::wstring host(u.host.begin(), u.host.end()), target(u.target.begin(), u.target.end());
    HINTERNET session = WinHttpOpen(L"bench", WINHTTP_ACCESS_TYPE_NO_PROXY, nullptr, nullptr, 0);
    if (u.secure) {
        DWORD protocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3;
        if (!WinHttpSetOption(session, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols)) {
            protocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2;
            WinHttpSetOption(session, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols);
        }
    }
    HINTERNET connect = WinHttpConnect(session, host.c_str(), u.port, 0);
    HINTERNET request = WinHttpOpenRequest(connect, L"GET", target.c_str(), nullptr, nullptr, nullptr,
                                           u.secure ? WINHTTP_FLAG_SECURE : 0);
    if (request && u.secure) {
        DWORD revocation = WINHTTP_ENABLE_SSL_REVOCATION;
        WinHttpSetOption(request, WINHTTP_OPTION_ENABLE_FEATURE, &revocation, sizeof revocation);
    }
    std::uint64_t total = 0;
    if (request && WinHttpSendRequest(request, nullptr, 0, nullptr, 0, 0, 0) && WinHttpReceiveResponse(request, nullptr)) {
        std::vector<char> buffer(64 * 1024);
        for (;;) {
            DWORD want = static_cast<DWORD>(buffer.size());
            if (query) {
                DWORD available = 0;
                if (!WinHttpQueryDataAvailable(request, &available) || !available) break;
                if (available < want) want = available;
            }
            DWORD got = 0;
            if (!WinHttpReadData(request, buffer.data(), want, &got) || !got) break;
            total += got;
            if (keep) keep->insert(keep->end(), buffer.data(), buffer.data() + got);
        }
    }
    WinHttpCloseHandle(request);
    WinHttpCloseHandle(connect);
    WinHttpCloseHandle(session);
    return total;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: http_bench plain|plain-store|client URL\n");
        return 2;
    }
    const std::string mode = argv[1], url = argv[2];
    PROCESS_MEMORY_COUNTERS start{};
    GetProcessMemoryInfo(GetCurrentProcess(), &start, sizeof start);
    auto begin = Clock::now();
    std::uint64_t bytes = 0;
    try {
        if (mode == "client") {
            orvo::HttpClient client;
            std::uint64_t seen = 0;
            orvo::TransferProgress progress{nullptr, [&](std::uint64_t n) { seen = n; }};
            bytes = client.get(url, progress).size();
            if (seen != bytes) std::fprintf(stderr, "progress ended at %llu\n", static_cast<unsigned long long>(seen));
        } else {
            std::vector<char> kept;
            const bool store = mode == "plain-store";
            if (store) kept.reserve(256u << 20);
            bytes = plainDownload(url, store ? &kept : nullptr);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "failed: %s\n", e.what());
        return 1;
    }
    double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
    PROCESS_MEMORY_COUNTERS end{};
    GetProcessMemoryInfo(GetCurrentProcess(), &end, sizeof end);
    const double mb = 1024.0 * 1024.0;
    std::printf("%-11s %8.1f MB in %6.3f s = %7.1f MB/s; peak working set %7.1f MB (at start %5.1f MB, growth %.2f x body)\n",
                mode.c_str(), bytes / mb, seconds, bytes / mb / seconds, end.PeakWorkingSetSize / mb,
                start.WorkingSetSize / mb, (end.PeakWorkingSetSize - start.WorkingSetSize) / static_cast<double>(bytes ? bytes : 1));
    return 0;
}
