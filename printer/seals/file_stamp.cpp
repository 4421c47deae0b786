#include "seals/file_stamp.h"

#include <windows.h>

#include "support/win32/win_text.h"

namespace orvo {

FileStamp GetFileStamp(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(gbkToWide(path).c_str(), GetFileExInfoStandard, &data)) return {};
    FileStamp stamp;
    stamp.lastWrite = (std::uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) | data.ftLastWriteTime.dwLowDateTime;
    stamp.size = (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
    return stamp;
}

}  // namespace orvo
