// The report download of the main window: the fetch into FDownloadStream
// (once per run), its progress on FlatGauge, the status texts, and what the
// bytes become: a time-stamped temp file or the container stream.
#include <algorithm>
#include <new>

#include "main/frm_Main.h"
#include "main/temp_name.h"
#include "support/portable/container_stream.h"
#include "support/win32/win_error.h"
#include "support/win32/win_text.h"

namespace orvo {
namespace {

// Shorter addresses cannot name a report; the flows then do nothing.
constexpr size_t kMinFileUrlLength = 6;
constexpr unsigned kConnectTimeoutMs = 5000;
// WriteFile takes 32-bit counts; large reports go in pieces.
constexpr size_t kWriteChunkBytes = 1 << 20;

}  // namespace

HttpClient& TfrmMain::httpClient() {
    if (!IdHTTP) {
        HttpSettings settings;
        settings.accept = kDefaultAccept;
        settings.userAgent = kDefaultUserAgent;
        settings.connectTimeoutMs = kConnectTimeoutMs;
        settings.readTimeoutMs = 0;
        IdHTTP = std::make_unique<HttpClient>(settings);
    }
    return *IdHTTP;
}

void TfrmMain::IdHTTPWorkBegin(std::uint64_t expected) {
    FlatGauge.setProgress(0);
    FlatGauge.setMax(static_cast<std::int64_t>(std::min<std::uint64_t>(expected, INT64_MAX)));
}

void TfrmMain::IdHTTPWork(std::uint64_t transferred) {
    FlatGauge.setProgress(static_cast<std::int64_t>(std::min<std::uint64_t>(transferred, INT64_MAX)));
}

bool TfrmMain::DownloadReport() {
    Label1.setCaption(std::wstring(L"正在生成报表..."));
    if (!FDownloadStream.empty()) return true;

    const std::string url = FFileUrl;
    HttpClient& client = httpClient();
    TransferProgress onUi;
    onUi.begin = [this](std::uint64_t expected) { IdHTTPWorkBegin(expected); };
    onUi.work = [this](std::uint64_t transferred) { IdHTTPWork(transferred); };
    try {
        // The client hands back the whole body or nothing, so a broken
        // transfer leaves the buffer empty and the next print fetches again.
        FDownloadStream = runPumpedResult<MemoryBuffer>(
            [&](UiQueue& queue) { return client.get(url, forwardToUi(queue, onUi)); });
    } catch (const HttpError&) {
        Label1.setCaption(std::wstring(L"下载报表文件失败，请重试..."));
        return false;
    } catch (const WaitCancelled&) {
        Label1.setCaption(std::wstring(L"下载报表文件失败，请重试..."));
        return false;
    } catch (const std::bad_alloc&) {
        // A report too large for this machine is a failed download too.
        Label1.setCaption(std::wstring(L"下载报表文件失败，请重试..."));
        return false;
    }
    // Closed while the transfer ran: the program is ending, nothing follows.
    return hwnd() != nullptr;
}

bool TfrmMain::PrepareReport(bool toFile) {
    auto running = flowGuard_.tryEnter();
    if (!running) return false;
    FLocalFile.clear();
    if (FFileUrl.size() < kMinFileUrlLength) return true;
    if (!DownloadReport()) {
        Label_Title.setCaption(std::wstring(L"正在读取文件失败，请重试..."));
        return false;
    }
    Label1.setCaption(std::wstring(L"正在预览..."));
    if (toFile) {
        FLocalFile = GetTempFolder() + TimestampedFileName();
        WriteDownloadTo(FLocalFile);
    } else {
        BuildPreviewStream();
    }
    return true;
}

std::string TfrmMain::GetTempFolder() {
    wchar_t folder[MAX_PATH + 1] = {};
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, folder);
    throwLastErrorIf(length == 0, "GetTempPath");
    if (length > MAX_PATH) throw Win32Error(ERROR_BUFFER_OVERFLOW, "GetTempPath");
    return wideToGbk(std::wstring_view(folder, length));
}

std::string TfrmMain::TimestampedFileName() {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    const LocalTimestamp stamp{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
    return timestampedFileName(stamp, FFileExt);
}

void TfrmMain::WriteDownloadTo(const std::string& path) {
    const std::wstring widePath = gbkToWide(path);
    UniqueFile file(::CreateFileW(widePath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                  nullptr));
    throwLastErrorIf(!file, path);
    const std::uint8_t* data = FDownloadStream.data();
    size_t left = FDownloadStream.size();
    while (left > 0) {
        const DWORD want = static_cast<DWORD>(std::min(left, kWriteChunkBytes));
        DWORD written = 0;
        if (!::WriteFile(file.get(), data, want, &written, nullptr) || written != want) {
            const DWORD code = ::GetLastError();
            file.reset();
            // A cut-short copy would pass for the report: take it away.
            ::DeleteFileW(widePath.c_str());
            throw Win32Error(code ? code : ERROR_WRITE_FAULT, path);
        }
        data += written;
        left -= written;
    }
}

void TfrmMain::BuildPreviewStream() {
    const auto header = containerStreamHeader(FDownloadStream.size());
    FPreviewStream.clear();
    FPreviewStream.reserve(header.size() + FDownloadStream.size());
    FPreviewStream.insert(FPreviewStream.end(), header.begin(), header.end());
    FPreviewStream.insert(FPreviewStream.end(), FDownloadStream.begin(), FDownloadStream.end());
}

}  // namespace orvo
