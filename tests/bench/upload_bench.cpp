// Upload throughput and peak memory: the upload worker's steps (wait for the
// file, hash it, send it as the multipart upload through a new client)
// against a plain WinHTTP POST of the same multipart body, written in 64 KiB
// pieces, in the same Wine: the server does the same work for both.
// One mode per process, so that each peak working set is that mode's alone.
//   upload_bench.exe plain|worker FILE URL
#include <windows.h>
#include <psapi.h>
#include <winhttp.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "main/upload_worker.h"
#include "support/net/http_client.h"
#include "support/portable/http_url.h"
#include "support/portable/multipart.h"
#include "support/win32/files.h"
#include "support/win32/win_text.h"

namespace {

using Clock = std::chrono::steady_clock;
double hashSeconds = 0;

std::uint64_t plainPost(const std::wstring& path, const std::string& url) {
    orvo::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    LARGE_INTEGER size{};
    if (!file || !::GetFileSizeEx(file.get(), &size)) return 0;
    const orvo::HttpUrl u = orvo::parseHttpUrl(url);
    const std::wstring host(u.host.begin(), u.host.end()), target(u.target.begin(), u.target.end());
    orvo::UniqueInternet session(WinHttpOpen(L"bench", WINHTTP_ACCESS_TYPE_NO_PROXY, nullptr, nullptr, 0));
    orvo::UniqueInternet connect(WinHttpConnect(session.get(), host.c_str(), u.port, 0));
    orvo::UniqueInternet request(WinHttpOpenRequest(connect.get(), L"POST", target.c_str(), nullptr, nullptr, nullptr, 0));
    orvo::MultipartBody body;
    body.setFile({"uploaded_file", orvo::wideToUtf8(path), "application/octet-stream"});
    const std::string head = body.head(), tail = body.tail();
    const std::wstring type = L"Content-Type: " + orvo::utf8ToWide(body.contentType());
    std::uint64_t sent = 0;
    DWORD written = 0;
    if (request && WinHttpSendRequest(request.get(), type.c_str(), static_cast<DWORD>(-1), nullptr, 0,
                                      static_cast<DWORD>(body.totalSize(size.QuadPart)), 0) &&
        WinHttpWriteData(request.get(), head.data(), static_cast<DWORD>(head.size()), &written)) {
        std::vector<char> chunk(64 * 1024);
        DWORD got = 0;
        while (::ReadFile(file.get(), chunk.data(), static_cast<DWORD>(chunk.size()), &got, nullptr) && got &&
               WinHttpWriteData(request.get(), chunk.data(), got, &written))
            sent += got;
        if (!WinHttpWriteData(request.get(), tail.data(), static_cast<DWORD>(tail.size()), &written) ||
            !WinHttpReceiveResponse(request.get(), nullptr))
            sent = 0;
    }
    return sent;
}

// What the worker does between the wait and the reply.
std::uint64_t workerUpload(const std::wstring& path, const std::string& url) {
    const std::string gbkPath = orvo::wideToGbk(path);
    if (orvo::IsFileInUse(gbkPath)) return 0;
    orvo::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    LARGE_INTEGER size{};
    if (!file || !::GetFileSizeEx(file.get(), &size)) return 0;
    const auto hashStart = Clock::now();
    const std::string digest = orvo::FileMD5(file.get());
    hashSeconds = std::chrono::duration<double>(Clock::now() - hashStart).count();
    orvo::HttpSettings settings;
    settings.http10 = true;
    orvo::HttpClient client(settings);
    const orvo::MultipartUpload part{"uploaded_file", gbkPath, orvo::contentTypeForFile(gbkPath), file.get()};
    client.postMultipart(url + "?fileguid=bench&filemd5=" + digest, {}, &part);
    return static_cast<std::uint64_t>(size.QuadPart);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: upload_bench plain|worker FILE URL\n");
        return 2;
    }
    const std::string mode = argv[1], url = argv[3];
    const std::wstring path = orvo::utf8ToWide(argv[2]);
    PROCESS_MEMORY_COUNTERS start{};
    GetProcessMemoryInfo(GetCurrentProcess(), &start, sizeof start);
    const auto begin = Clock::now();
    std::uint64_t bytes = 0;
    try {
        bytes = mode == "worker" ? workerUpload(path, url) : plainPost(path, url);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "failed: %s\n", e.what());
        return 1;
    }
    if (bytes == 0) {
        std::fprintf(stderr, "failed: nothing sent\n");
        return 1;
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
    PROCESS_MEMORY_COUNTERS end{};
    GetProcessMemoryInfo(GetCurrentProcess(), &end, sizeof end);
    const double mb = 1024.0 * 1024.0;
    std::printf("upload %-6s %8.1f MB in %6.3f s (hash %5.3f s) = %7.1f MB/s; peak working set %7.1f MB (at start %5.1f MB)\n",
                mode.c_str(), bytes / mb, seconds, hashSeconds, bytes / mb / seconds, end.PeakWorkingSetSize / mb,
                start.WorkingSetSize / mb);
    return 0;
}
