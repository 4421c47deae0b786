// What we ship: executables of the architecture being built, with a manifest
// that names it and no DLL of ours needed beside them; and the DLL search
// both programs set up at start, which never loads a library planted in the
// current folder.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const wchar_t* const kPlantedName = L"FT_ET99_API.dll";

std::vector<char> readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

template <typename T>
T at(const std::vector<char>& image, size_t offset) {
    T value{};
    if (offset + sizeof(T) <= image.size()) std::memcpy(&value, image.data() + offset, sizeof(T));
    return value;
}

struct PeFacts {
    WORD machine = 0;
    std::vector<std::string> imports;
};

// Enough of the PE format to name the machine and the imported DLLs.
PeFacts readPe(const fs::path& path) {
    PeFacts facts;
    std::vector<char> image = readFile(path);
    auto nt = at<LONG>(image, offsetof(IMAGE_DOS_HEADER, e_lfanew));
    if (at<DWORD>(image, nt) != IMAGE_NT_SIGNATURE) return facts;
    auto file = at<IMAGE_FILE_HEADER>(image, nt + 4);
    facts.machine = file.Machine;
    size_t optional = nt + 4 + sizeof(IMAGE_FILE_HEADER);
    bool pe32plus = at<WORD>(image, optional) == IMAGE_NT_OPTIONAL_HDR64_MAGIC;
    size_t directories = optional + (pe32plus ? offsetof(IMAGE_OPTIONAL_HEADER64, DataDirectory)
                                              : offsetof(IMAGE_OPTIONAL_HEADER32, DataDirectory));
    auto imports = at<IMAGE_DATA_DIRECTORY>(image, directories + IMAGE_DIRECTORY_ENTRY_IMPORT * sizeof(IMAGE_DATA_DIRECTORY));
    size_t sections = optional + file.SizeOfOptionalHeader;
    auto fileOffset = [&](DWORD rva) -> size_t {
        for (WORD i = 0; i < file.NumberOfSections; ++i) {
            auto s = at<IMAGE_SECTION_HEADER>(image, sections + i * sizeof(IMAGE_SECTION_HEADER));
            if (rva >= s.VirtualAddress && rva < s.VirtualAddress + s.SizeOfRawData)
                return rva - s.VirtualAddress + s.PointerToRawData;
        }
        return image.size();
    };
    for (size_t d = fileOffset(imports.VirtualAddress); d + sizeof(IMAGE_IMPORT_DESCRIPTOR) <= image.size();
         d += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        auto descriptor = at<IMAGE_IMPORT_DESCRIPTOR>(image, d);
        if (descriptor.Name == 0) break;
        size_t name = fileOffset(descriptor.Name);
        if (name >= image.size()) break;
        facts.imports.emplace_back(image.data() + name, strnlen(image.data() + name, image.size() - name));
    }
    return facts;
}

std::string manifestOf(const fs::path& path) {
    HMODULE module = ::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!module) return {};
    std::string text;
    if (HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24) /* RT_MANIFEST */)) {
        HGLOBAL loaded = ::LoadResource(module, found);
        text.assign(static_cast<const char*>(::LockResource(loaded)), ::SizeofResource(module, found));
    }
    ::FreeLibrary(module);
    return text;
}

constexpr WORD kThisMachine = sizeof(void*) == 4 ? IMAGE_FILE_MACHINE_I386 : IMAGE_FILE_MACHINE_AMD64;
constexpr const char* kThisManifestArch = sizeof(void*) == 4 ? "processorArchitecture=\"x86\""
                                                             : "processorArchitecture=\"amd64\"";

TEST(ShippedExecutables, AreBuiltForThisArchitectureAndNeedOnlySystemLibraries) {
    for (const char* exe : {ORVO_PRINTER_EXE, ORVO_AGENT_EXE}) {
        SCOPED_TRACE(exe);
        PeFacts pe = readPe(exe);
        EXPECT_EQ(pe.machine, kThisMachine);
        ASSERT_FALSE(pe.imports.empty());
        for (const std::string& dll : pe.imports) {
            // Static linking: every import comes from the system folder.
            HMODULE found = ::LoadLibraryExA(dll.c_str(), nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
            EXPECT_NE(found, nullptr) << dll << " is not a system library";
            if (found) ::FreeLibrary(found);
        }
    }
    // Windows refuses to start a program whose manifest names another architecture.
    std::string manifest = manifestOf(ORVO_PRINTER_EXE);
    EXPECT_NE(manifest.find(kThisManifestArch), std::string::npos) << manifest;
    EXPECT_NE(manifest.find("Microsoft.Windows.Common-Controls"), std::string::npos);
}

class DllSearch : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH];
        ::GetTempPathW(MAX_PATH, temp);
        root_ = fs::path(temp) / (L"orvo-dll-search-" + std::to_wstring(::GetCurrentProcessId()));
        fs::create_directories(root_ / L"current");
        fs::create_directories(root_ / L"on-path");
        fs::copy_file(ORVO_PLANTED_DLL, root_ / L"current" / kPlantedName);
        fs::copy_file(ORVO_PLANTED_DLL, root_ / L"on-path" / kPlantedName);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    struct Outcome {
        DWORD exitCode = 1;
        std::wstring loadedFrom;
    };

    // Runs the probe with the planted folder as its current folder.
    Outcome probe(const wchar_t* mode) {
        fs::path result = root_ / L"result.txt";
        std::wstring command = L"\"" + fs::path(ORVO_DLL_SEARCH_PROBE).wstring() + L"\" " + mode + L" " +
                               kPlantedName + L" \"" + result.wstring() + L"\"";
        STARTUPINFOW startup{sizeof startup};
        PROCESS_INFORMATION process{};
        std::wstring current = (root_ / L"current").wstring();
        Outcome outcome;
        if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, current.c_str(), &startup,
                              &process)) {
            ADD_FAILURE() << "probe did not start: " << ::GetLastError();
            return outcome;
        }
        ::WaitForSingleObject(process.hProcess, 30000);
        ::GetExitCodeProcess(process.hProcess, &outcome.exitCode);
        ::CloseHandle(process.hThread);
        ::CloseHandle(process.hProcess);
        std::vector<char> bytes = readFile(result);
        outcome.loadedFrom.assign(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
        return outcome;
    }

    static bool sameFolder(const std::wstring& file, const fs::path& folder) {
        return _wcsicmp(fs::path(file).parent_path().c_str(), folder.c_str()) == 0;
    }

    fs::path root_;
};

TEST_F(DllSearch, PlantedLibraryInCurrentFolderIsNeverLoadedButPathStillIs) {
    // Without the setting, the plant works: this is what the setting prevents.
    Outcome plain = probe(L"plain");
    EXPECT_EQ(plain.exitCode, 0u);
    EXPECT_TRUE(sameFolder(plain.loadedFrom, root_ / L"current")) << plain.loadedFrom;

    Outcome safe = probe(L"safe");
    EXPECT_EQ(safe.exitCode, 2u) << "loaded " << safe.loadedFrom;
    EXPECT_TRUE(safe.loadedFrom.empty());

    // The vendor's installer may put its folder on PATH: that keeps working.
    wchar_t oldPath[32768] = {};
    ::GetEnvironmentVariableW(L"PATH", oldPath, 32768);
    std::wstring path = (root_ / L"on-path").wstring() + L";" + oldPath;
    ::SetEnvironmentVariableW(L"PATH", path.c_str());
    Outcome onPath = probe(L"safe");
    ::SetEnvironmentVariableW(L"PATH", oldPath);
    EXPECT_EQ(onPath.exitCode, 0u);
    EXPECT_TRUE(sameFolder(onPath.loadedFrom, root_ / L"on-path")) << onPath.loadedFrom;
}

}  // namespace
