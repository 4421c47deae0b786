#pragma once
// What tells whether Word saved a document: the file's last-write time at
// full resolution and its size. (A stamp at the 2-second resolution of DOS
// time would take a save in the same 2-second slot as the opening for no
// change, and the saved document would never be uploaded.)
#include <cstdint>
#include <string>

namespace orvo {

struct FileStamp {
    std::uint64_t lastWrite = 0;  // FILETIME, 100 ns units
    std::uint64_t size = 0;
    bool operator==(const FileStamp&) const = default;
};

// The stamp of a file (GBK path); a file that cannot be found gives the
// empty stamp.
FileStamp GetFileStamp(const std::string& path);

}  // namespace orvo
