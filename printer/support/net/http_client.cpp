#include "support/net/http_client.h"

#include <winhttp.h>

#include <algorithm>
#include <memory>

#include "support/net/secure_failure.h"
#include "support/portable/http_url.h"
#include "support/win32/win_error.h"
#include "support/win32/win_text.h"

namespace orvo {
namespace {

constexpr DWORD kChunkBytes = 64 * 1024;
// An error reply is kept for its message (JSON, usually); more than this is
// not worth holding.
constexpr std::uint64_t kMaxErrorBodyBytes = 1 << 20;
constexpr std::uint64_t kUpfrontReserveBytes = 64ull << 20;
constexpr int kWorkCoalesceKey = 1;
constexpr DWORD kTls12 = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2;
constexpr DWORD kTls12And13 = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3;
// Windows 10 2004 and later: a revocation server that cannot be reached (a
// closed network, a server down) is not taken for a revoked certificate.
constexpr DWORD kOptionIgnoreRevocationOffline = 155;

std::string gbk(const wchar_t* text) { return wideToGbk(text); }

std::string describeSystemCode(DWORD code) {
    const wchar_t* text = nullptr;
    switch (code) {
    case ERROR_WINHTTP_TIMEOUT: text = L"操作超时"; break;
    case ERROR_WINHTTP_NAME_NOT_RESOLVED: text = L"无法解析服务器名称"; break;
    case ERROR_WINHTTP_CANNOT_CONNECT: text = L"无法与服务器建立连接"; break;
    case ERROR_WINHTTP_CONNECTION_ERROR: text = L"与服务器的连接已中断"; break;
    case ERROR_WINHTTP_INVALID_SERVER_RESPONSE: text = L"服务器的回应无效"; break;
    case ERROR_WINHTTP_OPERATION_CANCELLED: text = L"操作已取消"; break;
    case ERROR_WINHTTP_INVALID_URL: text = L"网址无效"; break;
    case ERROR_NOT_ENOUGH_MEMORY: text = L"内存不足"; break;
    default: break;
    }
    std::string description = text ? gbk(text) : std::string();
    if (description.empty() && (code < WINHTTP_ERROR_BASE || code > WINHTTP_ERROR_BASE + 999)) description = systemMessage(code);
    std::string number = std::to_string(code);
    return description.empty() ? gbk(L"错误 ") + number : description + gbk(L"（错误 ") + number + gbk(L"）");
}

[[noreturn]] void fail(HttpError::Kind kind, const wchar_t* what, DWORD code) {
    throw HttpError(kind, gbk(what) + describeSystemCode(code), code);
}

// One place for each failure text.
[[noreturn]] void failToConnect(DWORD code) { fail(HttpError::Kind::Connect, L"无法连接服务器：", code); }
[[noreturn]] void failToReadUpload(DWORD code) { fail(HttpError::Kind::LocalFile, L"无法读取要上传的文件：", code); }
[[noreturn]] void failToReceive(DWORD code) { fail(HttpError::Kind::Transfer, L"接收数据失败：", code); }
[[noreturn]] void failTooLarge(std::uint64_t limit) {
    throw HttpError(HttpError::Kind::TooLarge,
                    gbk(L"服务器返回的内容过大，上限 ") + std::to_string(limit) + gbk(L" 字节"));
}
[[noreturn]] void failIncomplete(std::uint64_t received, std::uint64_t announced) {
    throw HttpError(HttpError::Kind::Transfer, gbk(L"数据接收不完整：收到 ") + std::to_string(received) +
                                                   gbk(L" 字节，应为 ") + std::to_string(announced) + gbk(L" 字节"));
}

bool hasLineBreakOrControl(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        unsigned char u = static_cast<unsigned char>(c);
        return u < 0x20 || u == 0x7F;
    });
}

std::wstring ascii(std::string_view text) { return std::wstring(text.begin(), text.end()); }

// The server's reason phrase is its own text: keep printable ASCII only.
std::string printableAscii(std::wstring_view text, std::size_t limit) {
    std::string out;
    for (wchar_t c : text) {
        if (out.size() >= limit) break;
        out += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '?';
    }
    return out;
}

std::wstring queryHeaderText(HINTERNET request, DWORD info) {
    DWORD size = 0;
    ::WinHttpQueryHeaders(request, info, WINHTTP_HEADER_NAME_BY_INDEX, nullptr, &size, WINHTTP_NO_HEADER_INDEX);
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0 || size > 64 * 1024) return {};
    std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
    if (!::WinHttpQueryHeaders(request, info, WINHTTP_HEADER_NAME_BY_INDEX, text.data(), &size,
                               WINHTTP_NO_HEADER_INDEX))
        return {};
    text.resize(size / sizeof(wchar_t));
    return text;
}

// Content-Length as a number; false when absent or not a plain decimal.
bool parseContentLength(std::wstring_view text, std::uint64_t& value) {
    while (!text.empty() && text.front() == L' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == L' ') text.remove_suffix(1);
    if (text.empty() || text.size() > 19) return false;
    value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return false;
        value = value * 10 + static_cast<std::uint64_t>(c - L'0');
    }
    return true;
}

bool containsChunked(std::wstring text) {
    for (wchar_t& c : text) c = static_cast<wchar_t>(::towlower(c));
    return text.find(L"chunked") != std::wstring::npos;
}

std::string statusMessage(int status, const std::string& reason) {
    std::string message;
    if (status >= 300 && status < 400)
        message = gbk(L"服务器要求转向其他网址，不予跟随：HTTP ");
    else
        message = gbk(L"服务器返回错误：HTTP ");
    message += std::to_string(status);
    if (!reason.empty()) message += " " + reason;
    return message;
}

const wchar_t* describeUrlProblem(UrlProblem problem) {
    switch (problem) {
    case UrlProblem::Empty: return L"网址为空";
    case UrlProblem::TooLong: return L"网址过长";
    case UrlProblem::ControlCharacter: return L"网址含有控制字符";
    case UrlProblem::NotHttp: return L"只能使用 http 或 https 网址";
    case UrlProblem::MissingHost: return L"网址缺少服务器名";
    case UrlProblem::BadHost: return L"网址中的服务器名无效";
    case UrlProblem::UserInfo: return L"网址不能含有用户名";
    case UrlProblem::BadPort: return L"网址中的端口无效";
    }
    return L"网址无效";
}

HttpUrl checkedUrl(const std::string& gbkUrl) {
    try {
        return parseHttpUrl(wideToUtf8(gbkToWide(gbkUrl)));
    } catch (const UrlError& e) {
        throw HttpError(HttpError::Kind::Refused, gbk(describeUrlProblem(e.problem())));
    }
}

std::string toUtf8(const std::string& gbkText) { return wideToUtf8(gbkToWide(gbkText)); }

// The server as the user knows it from the address.
std::string serverName(const HttpUrl& url) {
    std::string name = url.host;
    if (name.find(':') != std::string::npos) name = '[' + name + ']';  // IPv6
    if (url.port != (url.secure ? 443 : 80)) name.append(1, ':').append(std::to_string(url.port));
    return name;
}

// Windows tells why a certificate failed only through this notification,
// sent on the calling thread during WinHttpSendRequest.
void CALLBACK noteSecureFailure(HINTERNET, DWORD_PTR context, DWORD status, void* info, DWORD infoLength) {
    if (status == WINHTTP_CALLBACK_STATUS_SECURE_FAILURE && context && info && infoLength >= sizeof(DWORD))
        *reinterpret_cast<DWORD*>(context) |= *static_cast<const DWORD*>(info);
}

// Revocation is checked too; the certificate checks themselves are on by
// default and nothing here or elsewhere sets WINHTTP_OPTION_SECURITY_FLAGS.
// The flags land in the DWORD whose address is the request's context value
// (given to WinHttpSendRequest).
void watchCertificate(HINTERNET request) {
    ::WinHttpSetStatusCallback(request, &noteSecureFailure, WINHTTP_CALLBACK_FLAG_SECURE_FAILURE, 0);
    DWORD revocation = WINHTTP_ENABLE_SSL_REVOCATION;
    if (!::WinHttpSetOption(request, WINHTTP_OPTION_ENABLE_FEATURE, &revocation, sizeof revocation))
        fail(HttpError::Kind::Connect, L"无法开启证书吊销检查：", ::GetLastError());
    BOOL ignoreOffline = TRUE;
    ::WinHttpSetOption(request, kOptionIgnoreRevocationOffline, &ignoreOffline, sizeof ignoreOffline);
}

}  // namespace

// What a request sends: bytes in memory, optionally followed by a file's
// bytes and more bytes in memory.
struct HttpClient::Body {
    std::string contentType;
    std::string head;
    HANDLE file = INVALID_HANDLE_VALUE;
    std::uint64_t fileSize = 0;
    std::string tail;

    bool empty() const { return head.empty() && file == INVALID_HANDLE_VALUE && tail.empty(); }
    std::uint64_t total() const { return head.size() + fileSize + tail.size(); }
};

TransferProgress forwardToUi(UiQueue& queue, TransferProgress onUiThread) {
    auto ui = std::make_shared<TransferProgress>(std::move(onUiThread));
    auto checkCancelled = [&queue] {
        if (queue.cancelRequested()) throw HttpError(HttpError::Kind::Cancelled, gbk(L"传输已取消"));
    };
    TransferProgress worker;
    worker.begin = [&queue, ui, checkCancelled](std::uint64_t expected) {
        checkCancelled();
        if (ui->begin) queue.post([ui, expected] { ui->begin(expected); });
    };
    worker.work = [&queue, ui, checkCancelled](std::uint64_t transferred) {
        checkCancelled();
        if (ui->work) queue.post([ui, transferred] { ui->work(transferred); }, kWorkCoalesceKey);
    };
    return worker;
}

HttpClient::HttpClient(HttpSettings settings) : settings_(std::move(settings)) {
    if (hasLineBreakOrControl(settings_.accept) || hasLineBreakOrControl(settings_.userAgent))
        throw HttpError(HttpError::Kind::Refused, gbk(L"请求头含有控制字符"));
    session_.reset(::WinHttpOpen(gbkToWide(settings_.userAgent).c_str(), WINHTTP_ACCESS_TYPE_NO_PROXY,
                                 WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session_) fail(HttpError::Kind::Connect, L"无法初始化网络：", ::GetLastError());
    // 0 means "no time-out" to WinHTTP as it does to us.
    const int connect = static_cast<int>(std::min<unsigned>(settings_.connectTimeoutMs, 0x7FFFFFFF));
    const int read = static_cast<int>(std::min<unsigned>(settings_.readTimeoutMs, 0x7FFFFFFF));
    if (!::WinHttpSetTimeouts(session_.get(), 0, connect, read, read))
        fail(HttpError::Kind::Connect, L"无法设置网络超时：", ::GetLastError());
    DWORD never = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
    ::WinHttpSetOption(session_.get(), WINHTTP_OPTION_REDIRECT_POLICY, &never, sizeof never);
    // A WinHTTP that does not know TLS 1.3 refuses the whole value.
    DWORD protocols = kTls12And13;
    tlsProtocolsSet_ = ::WinHttpSetOption(session_.get(), WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols);
    if (!tlsProtocolsSet_) {
        protocols = kTls12;
        tlsProtocolsSet_ = ::WinHttpSetOption(session_.get(), WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols);
    }
}

std::vector<std::uint8_t> HttpClient::get(const std::string& url, const TransferProgress& progress) {
    Body body;
    return execute(url, L"GET", body, progress);
}

std::vector<std::uint8_t> HttpClient::postForm(const std::string& url, const std::vector<FormField>& fields,
                                               const TransferProgress& progress) {
    std::vector<FormField> utf8;
    utf8.reserve(fields.size());
    for (const FormField& f : fields) utf8.push_back({toUtf8(f.name), toUtf8(f.value)});
    Body body;
    body.contentType = kUrlEncodedContentType;
    body.head = encodeUrlEncodedForm(utf8);
    return execute(url, L"POST", body, progress);
}

std::vector<std::uint8_t> HttpClient::postMultipart(const std::string& url, const std::vector<FormField>& fields,
                                                    const MultipartUpload* file, const TransferProgress& progress) {
    MultipartBody multipart;
    for (const FormField& f : fields) multipart.addField(toUtf8(f.name), toUtf8(f.value));
    Body body;
    if (file) {
        if (hasLineBreakOrControl(file->contentType) || !isPlainMediaType(file->contentType))
            throw HttpError(HttpError::Kind::Refused, gbk(L"文件类型无效"));
        multipart.setFile({toUtf8(file->fieldName), toUtf8(file->fileName), file->contentType});
        LARGE_INTEGER size{};
        if (file->file == INVALID_HANDLE_VALUE || file->file == nullptr || !::GetFileSizeEx(file->file, &size))
            failToReadUpload(::GetLastError());
        body.file = file->file;
        body.fileSize = static_cast<std::uint64_t>(size.QuadPart);
    }
    body.contentType = multipart.contentType();
    body.head = multipart.head();
    body.tail = multipart.tail();
    return execute(url, L"POST", body, progress);
}

std::vector<std::uint8_t> HttpClient::execute(const std::string& url, const wchar_t* verb, Body& body,
                                              const TransferProgress& progress) {
    const HttpUrl target = checkedUrl(url);
    // Without TLS 1.2 at least (an old WinHTTP) the older protocols would be
    // spoken: that is no secure exchange.
    if (target.secure && !tlsProtocolsSet_)
        throw HttpError(HttpError::Kind::Insecure, gbk(L"本机的网络组件不支持 TLS 1.2，无法与服务器 ") +
                                                       serverName(target) + gbk(L" 建立安全连接。"));
    // Outlives the request handle, whose notifications write to it.
    DWORD certificateFlags = 0;
    UniqueInternet connection(::WinHttpConnect(session_.get(), ascii(target.host).c_str(), target.port, 0));
    if (!connection) failToConnect(::GetLastError());
    const UniqueInternet request = openRequest(connection.get(), target, verb, body.contentType);
    if (target.secure) watchCertificate(request.get());
    try {
        sendRequest(request.get(), verb, body, progress, reinterpret_cast<DWORD_PTR>(&certificateFlags));
        return readReply(request.get(), progress);
    } catch (const HttpError& e) {
        if (!target.secure || !isSecureFailure(e.systemCode())) throw;
        throw HttpError(HttpError::Kind::Insecure, secureFailureText(serverName(target), e.systemCode(), certificateFlags),
                        e.systemCode());
    }
}

UniqueInternet HttpClient::openRequest(HINTERNET connection, const HttpUrl& target, const wchar_t* verb,
                                       const std::string& contentType) {
    // The target is already escaped as it must go on the wire.
    const DWORD flags = WINHTTP_FLAG_ESCAPE_DISABLE | WINHTTP_FLAG_ESCAPE_DISABLE_QUERY | (target.secure ? WINHTTP_FLAG_SECURE : 0);
    UniqueInternet request(::WinHttpOpenRequest(connection, verb, ascii(target.target).c_str(),
                                                settings_.http10 ? L"HTTP/1.0" : nullptr, WINHTTP_NO_REFERER,
                                                WINHTTP_DEFAULT_ACCEPT_TYPES, flags));
    if (!request) failToConnect(::GetLastError());
    DWORD never = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
    if (!::WinHttpSetOption(request.get(), WINHTTP_OPTION_REDIRECT_POLICY, &never, sizeof never))
        fail(HttpError::Kind::Connect, L"无法关闭网址转向：", ::GetLastError());
    // The wait for the reply headers has a time-out of its own (90 s by
    // default); it follows the read time-out, so "none" really is none.
    DWORD responseTimeout = settings_.readTimeoutMs ? settings_.readTimeoutMs : INFINITE;
    ::WinHttpSetOption(request.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &responseTimeout, sizeof responseTimeout);

    std::wstring headers = L"Accept: " + gbkToWide(settings_.accept) + L"\r\n";
    if (!contentType.empty()) headers += L"Content-Type: " + ascii(contentType) + L"\r\n";
    if (!::WinHttpAddRequestHeaders(request.get(), headers.c_str(), static_cast<DWORD>(headers.size()),
                                    WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_REPLACE))
        fail(HttpError::Kind::Connect, L"无法设置请求头：", ::GetLastError());
    return request;
}

void HttpClient::sendRequest(HINTERNET request, const wchar_t* verb, Body& body, const TransferProgress& progress,
                             DWORD_PTR context) {
    const std::uint64_t total = body.total();
    if (total > 0xFFFFFFFFull) throw HttpError(HttpError::Kind::LocalFile, gbk(L"要上传的文件过大"));
    if (!::WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0,
                              static_cast<DWORD>(total), context))
        failToConnect(::GetLastError());
    if (std::wstring_view(verb) == L"GET") return;

    if (progress.begin) progress.begin(total);
    std::uint64_t sent = 0;
    auto write = [&](const void* data, DWORD size) {
        DWORD written = 0;
        if (size && !::WinHttpWriteData(request, data, size, &written))
            fail(HttpError::Kind::Transfer, L"发送数据失败：", ::GetLastError());
        sent += size;
        if (progress.work) progress.work(sent);
    };
    auto writeText = [&](const std::string& text) {
        for (std::size_t at = 0; at < text.size(); at += kChunkBytes)
            write(text.data() + at, static_cast<DWORD>(std::min<std::size_t>(kChunkBytes, text.size() - at)));
    };
    writeText(body.head);
    if (body.file != INVALID_HANDLE_VALUE) {
        LARGE_INTEGER start{};
        if (!::SetFilePointerEx(body.file, start, nullptr, FILE_BEGIN)) failToReadUpload(::GetLastError());
        std::vector<char> chunk(kChunkBytes);
        std::uint64_t left = body.fileSize;
        while (left > 0) {
            DWORD want = static_cast<DWORD>(std::min<std::uint64_t>(kChunkBytes, left));
            DWORD got = 0;
            if (!::ReadFile(body.file, chunk.data(), want, &got, nullptr)) failToReadUpload(::GetLastError());
            // The announced length can no longer be met.
            if (got == 0) throw HttpError(HttpError::Kind::LocalFile, gbk(L"要上传的文件在发送时变短了"));
            write(chunk.data(), got);
            left -= got;
        }
    }
    writeText(body.tail);
}

std::vector<std::uint8_t> HttpClient::readReply(HINTERNET request, const TransferProgress& progress) {
    if (!::WinHttpReceiveResponse(request, nullptr))
        fail(HttpError::Kind::Transfer, L"没有收到服务器的回应：", ::GetLastError());

    DWORD status = 0;
    DWORD statusSize = sizeof status;
    if (!::WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                               WINHTTP_HEADER_NAME_BY_INDEX, &status, &statusSize, WINHTTP_NO_HEADER_INDEX))
        fail(HttpError::Kind::Transfer, L"服务器的回应无效：", ::GetLastError());
    const bool success = status >= 200 && status < 300;

    std::uint64_t announced = 0;
    bool lengthKnown = parseContentLength(queryHeaderText(request, WINHTTP_QUERY_CONTENT_LENGTH), announced);
    if (containsChunked(queryHeaderText(request, WINHTTP_QUERY_TRANSFER_ENCODING))) lengthKnown = false;
    const std::uint64_t limit = success ? settings_.maxBodyBytes : std::min(settings_.maxBodyBytes, kMaxErrorBodyBytes);

    std::vector<std::uint8_t> received;
    if (success) {
        if (progress.begin) progress.begin(lengthKnown ? announced : 0);
        if (lengthKnown && announced > limit) failTooLarge(limit);
        // The announced size, so the buffer is not copied to grow; but no
        // more than a usual report up front, since any server can announce
        // a gigabyte and then send nothing.
        if (lengthKnown) received.reserve(static_cast<std::size_t>(std::min(announced, kUpfrontReserveBytes)));
    }

    // An error reply's body is only kept for its message: a failure while
    // reading it ends the reading, and the status is the failure reported.
    for (;;) {
        if (lengthKnown && received.size() >= announced) {
            // Everything announced is in: look for the end without growing
            // the buffer past its exact size.
            char probe[512];
            DWORD extra = 0;
            if (!::WinHttpReadData(request, probe, sizeof probe, &extra)) {
                if (!success) break;
                failToReceive(::GetLastError());
            }
            if (extra == 0) break;
            received.insert(received.end(), probe, probe + extra);
            lengthKnown = false;  // the server sent more than it announced
            announced = 0;
            if (received.size() > limit) {
                if (!success) break;
                failTooLarge(limit);
            }
            continue;
        }
        // Ask what has arrived first: a read for more than that waits until
        // its buffer is full, and the progress bar would stand still.
        DWORD available = 0;
        if (!::WinHttpQueryDataAvailable(request, &available)) {
            if (!success) break;
            failToReceive(::GetLastError());
        }
        if (available == 0) break;
        std::uint64_t room = std::min<std::uint64_t>(kChunkBytes, available);
        if (lengthKnown) room = std::min<std::uint64_t>(room, announced - received.size());
        const std::size_t at = received.size();
        received.resize(at + static_cast<std::size_t>(room));
        DWORD got = 0;
        if (!::WinHttpReadData(request, received.data() + at, static_cast<DWORD>(room), &got)) {
            const DWORD code = ::GetLastError();
            received.resize(at);
            if (!success) break;
            failToReceive(code);
        }
        received.resize(at + got);
        if (got == 0) break;
        if (received.size() > limit) {
            if (!success) {
                received.resize(static_cast<std::size_t>(limit));
                break;
            }
            failTooLarge(limit);
        }
        if (success && progress.work) progress.work(received.size());
    }

    if (!success) {
        std::string reason = printableAscii(queryHeaderText(request, WINHTTP_QUERY_STATUS_TEXT), 100);
        throw HttpError(static_cast<int>(status), statusMessage(static_cast<int>(status), reason),
                        std::string(received.begin(), received.end()));
    }
    if (lengthKnown && received.size() != announced) failIncomplete(received.size(), announced);
    return received;
}

std::string contentTypeForFile(const std::string& gbkFileName) {
    static const std::string kFallback = "application/octet-stream";
    const std::wstring name = gbkToWide(gbkFileName);
    const std::size_t dot = name.find_last_of(L".\\/:");
    if (dot == std::wstring::npos || name[dot] != L'.' || dot + 1 == name.size()) return kFallback;
    const std::wstring extension = name.substr(dot);
    wchar_t value[256];
    DWORD size = sizeof value;
    if (::RegGetValueW(HKEY_CLASSES_ROOT, extension.c_str(), L"Content Type", RRF_RT_REG_SZ, nullptr, value, &size) !=
        ERROR_SUCCESS)
        return kFallback;
    std::string type;
    for (const wchar_t* p = value; *p; ++p) {
        if (*p >= 0x80) return kFallback;
        type += static_cast<char>(*p);
    }
    return isPlainMediaType(type) ? type : kFallback;
}

}  // namespace orvo
