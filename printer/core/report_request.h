#pragma once
// The request the main window takes from its command line, decodes and
// parses, and that its flows then work on: the plain request and its mode,
// the document parameters, the downloaded report and where its local copy is.
#include <cstdint>
#include <string>
#include <vector>

#include "core/request_params.h"

namespace orvo {

using MemoryBuffer = std::vector<std::uint8_t>;

// GBK text throughout, as everywhere inside the program.
struct ReportRequest : RequestFields {
    std::string FMode;      // "viewf", "editf", "signf", "login" or another word
    std::string FRequest;   // the command line's argument, then the decoded request
    std::string FLocalFile; // the report's (or the chosen document's) local copy
    MemoryBuffer FDownloadStream;  // the report as downloaded, once per run
    MemoryBuffer FPreviewStream;   // the container stream the preview reads
};

}  // namespace orvo
