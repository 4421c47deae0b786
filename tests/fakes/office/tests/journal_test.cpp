// The journal the end-to-end tests read: exact lines, in call order, whole
// even when several processes write at once.
#include <thread>
#include "fake_office_control.h"
#include "journal.h"
#include "test_support.h"

namespace orvo::fake::test {
namespace {

class JournalTest : public OfficeTest {};

TEST_F(JournalTest, RecordsEachCallWithItsArgumentsInOrder) {
    std::wstring doc = sample(L"journal.docx");
    auto word = startWord();
    put(word.get(), L"Caption", L"orvo \"ZUN\"!");
    put(word.get(), L"Visible", true);
    put(word.get(), L"AutomationSecurity", 3);
    auto documents = path(word.get(), {L"Documents"});
    call(documents.get(), L"Open", {doc, false, false, false, L"", L"", true, L"", L"", 0});
    put(path(word.get(), {L"NormalTemplate"}).get(), L"Saved", true);
    auto active = path(word.get(), {L"ActiveDocument"});
    get(active.get(), L"CommandBars", {L"Standard"});
    put(path(active.get(), {L"ActiveWindow", L"ActivePane", L"View", L"Zoom"}).get(), L"Percentage", 600);
    call(active.get(), L"Close", {Arg::missing(), Arg::empty()});
    call(word.get(), L"Quit", {0, Arg::empty(), Arg::empty()});

    const std::wstring quotedDoc = L"\"" + file(L"journal.docx") + L"\"";
    const std::vector<std::wstring> expected = {
        L"Create(\"Word.Application\")",
        L"Application.Caption = \"orvo \"\"ZUN\"\"!\"",
        L"Application.Visible = True",
        L"Application.AutomationSecurity = 3",
        L"Application.Documents",
        L"Application.Documents.Open(" + quotedDoc + L", False, False, False, \"\", \"\", True, \"\", \"\", 0)",
        L"AutomationSecurity at open: 3",
        L"Event Document.Open",
        L"Event Application.DocumentChange",
        L"Application.NormalTemplate",
        L"Application.NormalTemplate.Saved = True",
        L"Application.ActiveDocument",
        L"Document.CommandBars(\"Standard\")",
        L"Document.ActiveWindow",
        L"Document.ActiveWindow.ActivePane",
        L"Document.ActiveWindow.ActivePane.View",
        L"Document.ActiveWindow.ActivePane.View.Zoom",
        L"Document.ActiveWindow.ActivePane.View.Zoom.Percentage = 600",
        L"Document.ActiveWindow.ActivePane.View.Zoom.Percentage = 600 -> FAILED 0x800A1200: Value out of range",
        L"Document.Close(Missing, Empty)",
        L"Event Document.Close",
        L"Event Application.DocumentChange",
        L"Application.Quit(0, Empty, Empty)",
        L"Event Application.Quit",
    };
    EXPECT_EQ(journal(), expected);
}

TEST_F(JournalTest, AUnixPathIsTheSamePathOnDriveZ) {
    // Test scripts on the Unix side name the file the Unix way.
    std::wstring windowsPath = file(L"unix.txt");
    wchar_t unixPath[1024] = {};
    using ToUnix = char*(CDECL*)(const wchar_t*);
    auto toUnix = reinterpret_cast<ToUnix>(::GetProcAddress(::GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name"));
    if (!toUnix) GTEST_SKIP() << "not running under Wine";
    char* unix = toUnix(windowsPath.c_str());
    ASSERT_NE(unix, nullptr);
    ::MultiByteToWideChar(CP_UTF8, 0, unix, -1, unixPath, 1024);
    ::HeapFree(::GetProcessHeap(), 0, unix);
    if (wcsncmp(unixPath, L"/", 1) != 0) GTEST_SKIP();
    // Only a path that Z: reaches the same way can be checked.
    std::wstring viaZ = L"Z:" + std::wstring(unixPath);
    for (auto& c : viaZ)
        if (c == L'/') c = L'\\';
    ::SetEnvironmentVariableW(ORVO_FAKE_OFFICE_JOURNAL_ENV, unixPath);
    EXPECT_EQ(journalPath(), viaZ);
    journalLine(L"from a Unix path");
    UniqueFile f(::CreateFileW(windowsPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_TRUE(f);
}

constexpr int kLinesPerWriter = 150;
const wchar_t* const kWriterEnv = L"ORVO_FAKE_OFFICE_JOURNAL_WRITER";

// Run only as a child process of the test below (it is disabled for the
// ordinary run): appends its lines and exits.
TEST(JournalWriter, DISABLED_Child) {
    wchar_t id[32];
    if (!::GetEnvironmentVariableW(kWriterEnv, id, 32)) GTEST_SKIP() << "only run as a child of JournalTest";
    std::thread second([&] {
        for (int i = 0; i < kLinesPerWriter; ++i) journalLine(std::wstring(L"writer ") + id + L"b line " + std::to_wstring(i) + L" 中文");
    });
    for (int i = 0; i < kLinesPerWriter; ++i) journalLine(std::wstring(L"writer ") + id + L"a line " + std::to_wstring(i) + L" 中文");
    second.join();
}

TEST_F(JournalTest, LinesFromSeveralProcessesAndThreadsStayWhole) {
    std::vector<PROCESS_INFORMATION> children;
    for (int child = 0; child < 3; ++child) {
        ::SetEnvironmentVariableW(kWriterEnv, std::to_wstring(child).c_str());
        wchar_t exe[MAX_PATH * 2];
        ::GetModuleFileNameW(nullptr, exe, ARRAYSIZE(exe));
        std::wstring command = L"\"" + std::wstring(exe) + L"\" --gtest_also_run_disabled_tests --gtest_filter=JournalWriter.DISABLED_Child";
        STARTUPINFOW si{sizeof si};
        PROCESS_INFORMATION pi{};
        ASSERT_TRUE(::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                                     nullptr, &si, &pi));
        children.push_back(pi);
    }
    ::SetEnvironmentVariableW(kWriterEnv, nullptr);
    for (auto& pi : children) {
        EXPECT_EQ(::WaitForSingleObject(pi.hProcess, 60000), WAIT_OBJECT_0);
        ::CloseHandle(pi.hThread);
        ::CloseHandle(pi.hProcess);
    }
    auto lines = journal();
    EXPECT_EQ(lines.size(), 3u * 2u * kLinesPerWriter);
    std::map<std::wstring, int> next;  // each writer's lines arrive in its own order
    for (const auto& line : lines) {
        size_t at = line.find(L" line ");
        ASSERT_NE(at, std::wstring::npos) << narrow(line);
        ASSERT_EQ(line.substr(line.size() - 3), L" 中文") << narrow(line);
        std::wstring writer = line.substr(0, at);
        int n = std::stoi(line.substr(at + 6));
        EXPECT_EQ(n, next[writer]++) << narrow(line);
    }
    EXPECT_EQ(next.size(), 6u);
}

}  // namespace
}  // namespace orvo::fake::test
