#pragma once
// How a failed exchange appears in the helpdesk log: its kind and its status
// or error code, never the address or the reply's body.
#include <string>

#include "support/net/http_client.h"

namespace orvo {

inline std::string httpFailureForLog(const HttpError& e) {
    const std::string code = std::to_string(e.systemCode());
    switch (e.kind()) {
        case HttpError::Kind::Refused: return "address refused";
        case HttpError::Kind::Connect: return "no connection, error " + code;
        case HttpError::Kind::Insecure: return "certificate or secure channel refused, error " + code;
        case HttpError::Kind::Transfer: return "transfer broken, error " + code;
        case HttpError::Kind::Status: return "HTTP status " + std::to_string(e.status());
        case HttpError::Kind::TooLarge: return "reply too large";
        case HttpError::Kind::Cancelled: return "cancelled";
        case HttpError::Kind::LocalFile: return "local file unreadable, error " + code;
    }
    return "failed";
}

}  // namespace orvo
