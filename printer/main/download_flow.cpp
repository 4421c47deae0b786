// The report download of the main window: the fetch into FDownloadStream
// (once per run), its progress on FlatGauge, the status texts, and what the
// bytes become: a time-stamped temp file or the container stream.
#include <algorithm>
#include <new>

#include "core/temp_name.h"
#include "main/frm_Main.h"
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

bool TfrmMain::DownloadReport(ReportRequest& request) {
    Label1.setCaption(std::wstring(L"正在生成报表..."));
    if (!request.FDownloadStream.empty()) return true;

    const std::string url = request.FFileUrl;
    HttpClient& client = httpClient();
    TransferProgress onUi;
    onUi.begin = [this](std::uint64_t expected) { IdHTTPWorkBegin(expected); };
    onUi.work = [this](std::uint64_t transferred) { IdHTTPWork(transferred); };
    helpdesk::logServer("report", url);
    try {
        // The client hands back the whole body or nothing, so a broken
        // transfer leaves the buffer empty and the next print fetches again.
        request.FDownloadStream = runPumpedResult<MemoryBuffer>(
            [&](UiQueue& queue) { return client.get(url, forwardToUi(queue, onUi)); });
    } catch (const HttpError& e) {
        helpdesk::log("download: " + httpFailureForLog(e));
        // A certificate problem is not cured by trying again: say which.
        if (e.kind() == HttpError::Kind::Insecure)
            Label1.setCaption(std::string(e.what()));
        else
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
    helpdesk::log("download: ok, " + std::to_string(request.FDownloadStream.size()) + " bytes");
    // Closed while the transfer ran: the program is ending, nothing follows.
    return hwnd() != nullptr;
}

bool TfrmMain::PrepareReport(ReportRequest& request, bool toFile) {
    auto running = flowGuard_.tryEnter();
    if (!running) return false;
    request.FLocalFile.clear();
    if (request.FFileUrl.size() < kMinFileUrlLength) return true;
    if (!DownloadReport(request)) {
        Label_Title.setCaption(std::wstring(L"正在读取文件失败，请重试..."));
        return false;
    }
    Label1.setCaption(std::wstring(L"正在预览..."));
    if (toFile) {
        request.FLocalFile = GetTempFolder() + TimestampedFileName(request);
        writeWholeFile(request.FLocalFile, request.FDownloadStream);
    } else {
        BuildPreviewStream(request);
    }
    return true;
}

std::string TfrmMain::TimestampedFileName(const ReportRequest& request) {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    const LocalTimestamp stamp{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
    return timestampedFileName(stamp, request.FFileExt);
}

void TfrmMain::BuildPreviewStream(ReportRequest& request) {
    const auto header = containerStreamHeader(request.FDownloadStream.size());
    request.FPreviewStream.clear();
    request.FPreviewStream.reserve(header.size() + request.FDownloadStream.size());
    request.FPreviewStream.insert(request.FPreviewStream.end(), header.begin(), header.end());
    request.FPreviewStream.insert(request.FPreviewStream.end(), request.FDownloadStream.begin(), request.FDownloadStream.end());
}

}  // namespace orvo
