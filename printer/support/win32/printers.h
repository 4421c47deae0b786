#pragma once
// The installed printers and the system default printer.
#include <string>
#include <vector>

namespace orvo {

// Local and connected printers, in the spooler's order. Throws Win32Error
// when the spooler cannot list them.
std::vector<std::wstring> installedPrinters();

// The default printer as the spooler reports it; empty when there is none.
std::wstring spoolerDefaultPrinter();

// The default printer as the profile records it: the text before the first
// "," of the "device" value ("name,driver,port") in the "windows" section;
// empty when that value has no comma. GBK.
std::string profileDefaultPrinter();

// Makes the printer the system default; throws Win32Error on failure.
void setDefaultPrinter(const std::wstring& name);

}  // namespace orvo
