#pragma once
// Local files the flows write: the user's temporary folder and whole-file
// writes. Paths are GBK text, as everywhere inside the program.
#include <cstdint>
#include <span>
#include <string>

namespace orvo {

// The user's temporary folder, ending in a path separator.
std::string tempFolder();

// Creates or replaces the file with exactly these bytes. On failure no
// cut-short copy is left behind to pass for the whole, and Win32Error is thrown.
void writeWholeFile(const std::string& gbkPath, std::span<const std::uint8_t> bytes);

}  // namespace orvo
