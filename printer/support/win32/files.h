#pragma once
// Local files the flows write and read: the user's temporary folder,
// whole-file writes, whether another program holds a file, a file's MD5.
// Paths are GBK text, as everywhere inside the program.
#include <windows.h>

#include <cstdint>
#include <span>
#include <string>

namespace orvo {

// The user's temporary folder, ending in a path separator.
std::string tempFolder();

// Creates or replaces the file with exactly these bytes. On failure no
// cut-short copy is left behind to pass for the whole, and Win32Error is thrown.
void writeWholeFile(const std::string& gbkPath, std::span<const std::uint8_t> bytes);

// A sharing or lock violation: another program holds the file.
bool isSharingViolation(DWORD error) noexcept;

// True while another program holds the file so that it cannot be opened for
// exclusive use; false when there is no such file.
bool IsFileInUse(const std::string& path);

// The MD5 of the file's bytes from its start, as 32 upper-case hex digits.
// Throws Win32Error when the file cannot be read.
std::string FileMD5(HANDLE file);

}  // namespace orvo
