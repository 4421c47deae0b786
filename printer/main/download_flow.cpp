// The report download of the main window: the fetch into FDownloadStream
// (once per run), its progress on FlatGauge, the status texts, and what the
// bytes become: a time-stamped temp file or the container stream.
#include <algorithm>
#include <new>

#include "main/frm_Main.h"
#include "main/temp_name.h"
#include "support/portable/container_stream.h"
#include "support/net/http_failure_log.h"
#include "support/win32/files.h"
#include "support/win32/helpdesk_log.h"
#include "support/win32/win_error.h"
#include "support/win32/win_text.h"

namespace orvo {
namespace {

constexpr unsigned kConnectTimeoutMs = 5000;

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
    helpdesk::logServer("report", url);
    try {
        // The client hands back the whole body or nothing, so a broken
        // transfer leaves the buffer empty and the next print fetches again.
        FDownloadStream = runPumpedResult<MemoryBuffer>(
            [&](UiQueue& queue) { return client.get(url, forwardToUi(queue, onUi)); });
    } catch (const HttpError& e) {
        helpdesk::log("download: " + httpFailureForLog(e));
        Label1.setCaption(std::wstring(L"下载报表文件失败，请重试..."));
        return false;
    } catch (const WaitCancelled&) {
        helpdesk::log("download: cancelled");
        Label1.setCaption(std::wstring(L"下载报表文件失败，请重试..."));
        return false;
    } catch (const std::bad_alloc&) {
        // A report too large for this machine is a failed download too.
        helpdesk::log("download: out of memory");
        Label1.setCaption(std::wstring(L"下载报表文件失败，请重试..."));
        return false;
    }
    helpdesk::log("download: ok, " + std::to_string(FDownloadStream.size()) + " bytes");
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
        writeWholeFile(FLocalFile, FDownloadStream);
    } else {
        BuildPreviewStream();
    }
    return true;
}

std::string TfrmMain::TimestampedFileName() {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    const LocalTimestamp stamp{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
    return timestampedFileName(stamp, FFileExt);
}

void TfrmMain::BuildPreviewStream() {
    const auto header = containerStreamHeader(FDownloadStream.size());
    FPreviewStream.clear();
    FPreviewStream.reserve(header.size() + FDownloadStream.size());
    FPreviewStream.insert(FPreviewStream.end(), header.begin(), header.end());
    FPreviewStream.insert(FPreviewStream.end(), FDownloadStream.begin(), FDownloadStream.end());
}

}  // namespace orvo
