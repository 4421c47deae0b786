#include "support/net/secure_failure.h"

#include <winhttp.h>

#include "support/win32/win_text.h"

namespace orvo {
namespace {

enum class CertificateProblem { Untrusted, Expired, WrongName, Revoked, RevocationUnknown, Unknown };

// The notification's flags are the finer answer (Windows sends
// ERROR_WINHTTP_SECURE_FAILURE with them); older paths, and Wine, give a
// code of its own or only the general channel error.
CertificateProblem classify(DWORD code, DWORD flags) {
    if (flags & WINHTTP_CALLBACK_STATUS_FLAG_CERT_REVOKED) return CertificateProblem::Revoked;
    if (flags & WINHTTP_CALLBACK_STATUS_FLAG_INVALID_CA) return CertificateProblem::Untrusted;
    if (flags & WINHTTP_CALLBACK_STATUS_FLAG_CERT_CN_INVALID) return CertificateProblem::WrongName;
    if (flags & WINHTTP_CALLBACK_STATUS_FLAG_CERT_DATE_INVALID) return CertificateProblem::Expired;
    if (flags & WINHTTP_CALLBACK_STATUS_FLAG_CERT_REV_FAILED) return CertificateProblem::RevocationUnknown;
    switch (code) {
    case ERROR_WINHTTP_SECURE_CERT_REVOKED: return CertificateProblem::Revoked;
    case ERROR_WINHTTP_SECURE_INVALID_CA: return CertificateProblem::Untrusted;
    case ERROR_WINHTTP_SECURE_CERT_CN_INVALID: return CertificateProblem::WrongName;
    case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID: return CertificateProblem::Expired;
    case ERROR_WINHTTP_SECURE_CERT_REV_FAILED: return CertificateProblem::RevocationUnknown;
    default: return CertificateProblem::Unknown;
    }
}

}  // namespace

bool isSecureFailure(DWORD code) noexcept {
    switch (code) {
    case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
    case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
    case ERROR_WINHTTP_SECURE_INVALID_CA:
    case ERROR_WINHTTP_SECURE_CERT_REV_FAILED:
    case ERROR_WINHTTP_SECURE_CHANNEL_ERROR:
    case ERROR_WINHTTP_SECURE_INVALID_CERT:
    case ERROR_WINHTTP_SECURE_CERT_REVOKED:
    case ERROR_WINHTTP_SECURE_FAILURE:
    case ERROR_WINHTTP_SECURE_CERT_WRONG_USAGE:
        return true;
    default:
        return false;
    }
}

std::string secureFailureText(const std::string& server, DWORD code, DWORD flags) {
    const std::wstring name = gbkToWide(server);
    std::wstring text;
    switch (classify(code, flags)) {
    case CertificateProblem::Untrusted: text = L"服务器 " + name + L" 的安全证书不受信任"; break;
    case CertificateProblem::Expired: text = L"服务器 " + name + L" 的安全证书已过期或尚未生效"; break;
    case CertificateProblem::WrongName: text = L"服务器 " + name + L" 的安全证书是颁发给其他网站的"; break;
    case CertificateProblem::Revoked: text = L"服务器 " + name + L" 的安全证书已被吊销"; break;
    case CertificateProblem::RevocationUnknown: text = L"无法确认服务器 " + name + L" 的安全证书是否已被吊销"; break;
    case CertificateProblem::Unknown: text = L"服务器 " + name + L" 的安全证书或加密连接未通过检查"; break;
    }
    return wideToGbk(text + L"，连接已取消。");
}

}  // namespace orvo
