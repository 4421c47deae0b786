// The upload worker under Wine: the real main window and worker send a real
// file to the test web server's upload endpoint, which records what arrived
// (tests/server/endpoints_upload.py). A watcher thread presses the message
// boxes as a user would; each run ends when the program would end.
#include "http/test_server.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <mutex>
#include <set>
#include <thread>

#include "application.h"
#include "main/frm_Main.h"
#include "main/upload_worker.h"
#include "support/net/http_client.h"
#include "support/portable/md5.h"
#include "support/win32/helpdesk_log.h"
#include "support/win32/win_text.h"

namespace orvo {
struct TfrmMainTestAccess {
    static void setUploadInputs(TfrmMain& main, std::string url, std::string guid, std::string file) {
        main.request_.FServerUrl = std::move(url);
        main.request_.FFileGuid = std::move(guid);
        main.request_.FLocalFile = std::move(file);
    }
    static bool workerGone(const TfrmMain& main) { return main.UploadWorker.load() == nullptr; }
};

namespace {

using testing::journal;
using testing::resetJournal;
using testing::webBase;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr wchar_t kRegisteredExtension[] = L".orvoup";
constexpr char kRegisteredType[] = "application/x-orvo-upload";

std::string gbk(const wchar_t* text) { return wideToGbk(text); }

// A message box the watcher found and pressed.
struct Box {
    std::wstring caption;
    std::wstring text;
    bool errorIcon = false;
};

// Presses OK on every message box of this process as it appears.
class BoxPresser {
public:
    BoxPresser() : thread_([this] { watch(); }) {}
    ~BoxPresser() {
        stop_ = true;
        thread_.join();
    }
    std::vector<Box> boxes() {
        std::lock_guard lock(mutex_);
        return boxes_;
    }

private:
    void watch() {
        while (!stop_) {
            ::EnumWindows(&BoxPresser::visit, reinterpret_cast<LPARAM>(this));
            std::this_thread::sleep_for(50ms);
        }
    }
    static BOOL CALLBACK visit(HWND window, LPARAM self) {
        DWORD process = 0;
        ::GetWindowThreadProcessId(window, &process);
        wchar_t cls[16] = {};
        ::GetClassNameW(window, cls, 16);
        if (process == ::GetCurrentProcessId() && std::wstring(cls) == L"#32770" && ::IsWindowVisible(window))
            reinterpret_cast<BoxPresser*>(self)->press(window);
        return TRUE;
    }
    void press(HWND box) {
        if (!pressed_.insert(box).second) return;
        wchar_t caption[256] = {}, text[2048] = {};
        ::GetWindowTextW(box, caption, 256);
        ::GetDlgItemTextW(box, 0xFFFF, text, 2048);
        HWND icon = ::GetDlgItem(box, 0x440);
        const bool errorIcon =
            icon && reinterpret_cast<HICON>(::SendMessageW(icon, STM_GETICON, 0, 0)) == ::LoadIconW(nullptr, IDI_ERROR);
        {
            std::lock_guard lock(mutex_);
            boxes_.push_back({caption, text, errorIcon});
        }
        ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    }

    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<Box> boxes_;
    std::set<HWND> pressed_;
    std::thread thread_;
};

// A file under a Chinese folder of the temp folder, as a sign-mode user picks one.
std::wstring documentPath(const std::wstring& name) {
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"上传测试 文档";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    return folder + L"\\" + name;
}

std::string contentOf(std::size_t size, int seed) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 31 + i / 997 + seed) & 0xFF);
    return bytes;
}

void writeFile(const std::wstring& path, const std::string& bytes) {
    std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Holds a file the way Word does after it quits: nobody else may open it.
// It writes the final save while holding it, and lets go holdMs after
// releaseLater(), or when it is destroyed.
class FileHolder {
public:
    FileHolder(const std::wstring& path, const std::string& finalBytes)
        : handle_(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr)),
          release_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
        EXPECT_TRUE(handle_);
        DWORD written = 0;
        ::WriteFile(handle_.get(), finalBytes.data(), static_cast<DWORD>(finalBytes.size()), &written, nullptr);
        ::SetEndOfFile(handle_.get());
    }
    ~FileHolder() {
        ::SetEvent(release_.get());
        if (thread_.joinable()) thread_.join();
    }
    void releaseLater(DWORD holdMs) {
        thread_ = std::thread([this, holdMs] {
            ::WaitForSingleObject(release_.get(), holdMs);
            handle_.reset();
        });
    }

private:
    UniqueFile handle_;
    UniqueHandle release_;
    std::thread thread_;
};

struct Upload {
    std::wstring file;
    std::string serverUrl = webBase() + "/upload/ok0";
    std::string guid = "guid-1";
    bool alertView = true;
    // Called on the user-interface thread right after StartUpload.
    std::function<void(TfrmMain&)> afterStart;
};

struct Outcome {
    Clock::time_point started;  // when StartUpload returned
    Clock::time_point alertAt;  // when the alert view was last given a text
    Clock::time_point endedAt;  // when the message loop ended
    std::vector<std::string> alerts;  // what the alert view was given
    bool alertsOnUiThread = true;
    std::vector<Box> boxes;
    bool ended = false;          // the program ended by itself (not the watchdog)
    bool workerGone = false;     // and the worker had freed itself by then
    nlohmann::json uploads = nlohmann::json::array();  // the server's upload records
};

// One run of the program around an upload: the main window as sign mode
// leaves it (hidden, request fields set), StartUpload, then the message
// loop until the program ends. The alert view, when there is one, takes the
// text and then the user closes it, which closes the main window.
Outcome runUpload(const Upload& upload, std::chrono::seconds limit = 40s) {
    resetJournal();
    Outcome outcome;
    {
        OleScope ole;
        Application application;
        TfrmMain main;
        TfrmMainTestAccess::setUploadInputs(main, upload.serverUrl, upload.guid, wideToGbk(upload.file));
        const DWORD uiThread = ::GetCurrentThreadId();
        if (upload.alertView)
            main.SetUploadAlertView([&](const std::string& text) {
                outcome.alerts.push_back(text);
                outcome.alertAt = Clock::now();
                outcome.alertsOnUiThread &= ::GetCurrentThreadId() == uiThread;
                ::PostMessageW(main.hwnd(), WM_CLOSE, 0, 0);
            });

        BoxPresser presser;
        std::atomic<bool> timedOut{false};
        UniqueHandle ended(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        std::thread watchdog([&] {
            if (::WaitForSingleObject(ended.get(), static_cast<DWORD>(limit.count() * 1000)) == WAIT_TIMEOUT) {
                timedOut = true;
                ::PostThreadMessageW(uiThread, WM_QUIT, 0, 0);
            }
        });
        main.StartUpload();
        outcome.started = Clock::now();
        if (upload.afterStart) upload.afterStart(main);
        application.run();
        outcome.endedAt = Clock::now();
        outcome.ended = !timedOut && !::IsWindow(main.hwnd());
        outcome.workerGone = TfrmMainTestAccess::workerGone(main);
        ::SetEvent(ended.get());
        watchdog.join();
        // A run cut short by the watchdog still lets its worker finish.
        for (auto start = Clock::now(); !TfrmMainTestAccess::workerGone(main) && Clock::now() - start < 30s;) {
            MSG msg;
            while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
            ::Sleep(20);
        }
        outcome.boxes = presser.boxes();
    }
    MSG quit;
    while (::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
    for (const auto& entry : journal()) {
        if (!entry.contains("upload")) continue;
        nlohmann::json record = entry["upload"];
        record["accept"] = testing::headerOf(entry, "Accept");
        record["user_agent"] = testing::headerOf(entry, "User-Agent");
        outcome.uploads.push_back(record);
    }
    return outcome;
}

std::string failureText(const wchar_t* text, const std::wstring& file) {
    return gbk(text) + "\n" + gbk(L"文件：") + wideToGbk(file);
}

// A failure box ends the run: it names the day's helpdesk log after its text.
std::string failureBoxText(const wchar_t* text, const std::wstring& file) {
    return failureText(text, file) + wideToGbk(helpdesk::logHint());
}

class UploadWorkerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const std::wstring type(kRegisteredType, kRegisteredType + sizeof kRegisteredType - 1);
        ASSERT_EQ(::RegSetKeyValueW(HKEY_CLASSES_ROOT, kRegisteredExtension, L"Content Type", REG_SZ, type.c_str(),
                                    static_cast<DWORD>((type.size() + 1) * sizeof(wchar_t))),
                  ERROR_SUCCESS);
    }
    static void TearDownTestSuite() { ::RegDeleteTreeW(HKEY_CLASSES_ROOT, kRegisteredExtension); }
};

TEST_F(UploadWorkerTest, ServerGetsTheSavedFileAndTheUserSeesTheReply) {
    const std::string saved = gbk(L"文件上传保存成功！");
    const std::string content = contentOf(300000, 1);
    Upload upload;
    upload.file = documentPath(L"投标文件 1.orvoup");
    writeFile(upload.file, content);
    // The guid goes into the query exactly as decoded, "&" and "?" included.
    upload.guid = gbk(L"g&1?x=标书");

    Outcome out = runUpload(upload);
    ASSERT_EQ(out.uploads.size(), 1u);
    const auto& got = out.uploads[0];
    EXPECT_EQ(got["version"], "HTTP/1.0");
    EXPECT_EQ(got["accept"], kDefaultAccept);  // as the report download sends them
    EXPECT_EQ(got["user_agent"], kDefaultUserAgent);
    EXPECT_EQ(got["fileguid_text"], wideToUtf8(L"g&1?x=标书"));
    EXPECT_EQ(got["fileguid"].get<std::string>().substr(0, 7), "g&1?x=%");
    EXPECT_EQ(got["file_parts"], 1);
    EXPECT_EQ(got["filemd5"], md5Hex(content));
    EXPECT_EQ(got["received_md5"], md5Hex(content));
    EXPECT_EQ(got["received_size"], content.size());
    EXPECT_EQ(got["filename"], wideToUtf8(upload.file));  // the full path, in UTF-8
    EXPECT_EQ(got["content_type"], kRegisteredType);
    EXPECT_EQ(got["transfer_encoding"], "binary");
    EXPECT_EQ(out.alerts, std::vector<std::string>{saved});
    EXPECT_TRUE(out.alertsOnUiThread);
    EXPECT_TRUE(out.boxes.empty());
    EXPECT_TRUE(out.ended);
    EXPECT_TRUE(out.workerGone);

    // "error" as the text "0" is success too; an unregistered extension goes
    // as application/octet-stream.
    upload.file = documentPath(L"plain.orvonone");
    writeFile(upload.file, content);
    upload.serverUrl = webBase() + "/upload/ok0text";
    out = runUpload(upload);
    ASSERT_EQ(out.uploads.size(), 1u);
    EXPECT_EQ(out.uploads[0]["content_type"], "application/octet-stream");
    EXPECT_EQ(out.alerts, std::vector<std::string>{saved});
    EXPECT_TRUE(out.ended);

    // Another "error" shows the server's "msg".
    upload.serverUrl = webBase() + "/upload/error";
    out = runUpload(upload);
    EXPECT_EQ(out.alerts, std::vector<std::string>{gbk(L"文件已被锁定，保存失败")});
    EXPECT_TRUE(out.ended);

    // Without an alert view a plain box shows the outcome, and closing it ends the program.
    upload.serverUrl = webBase() + "/upload/ok0";
    upload.alertView = false;
    out = runUpload(upload);
    ASSERT_EQ(out.boxes.size(), 1u);
    EXPECT_EQ(out.boxes[0].caption, L"orvo_Printer");
    EXPECT_EQ(out.boxes[0].text, L"文件上传保存成功！");
    EXPECT_TRUE(out.ended);
    EXPECT_TRUE(out.workerGone);
}

TEST_F(UploadWorkerTest, FileHeldAfterWordQuits) {
    Upload upload;
    upload.file = documentPath(L"held.doc");
    writeFile(upload.file, contentOf(1000, 2));

    // Held for 3 s after the upload starts, while the last save goes in:
    // uploaded once free, and the digest is that of the bytes sent.
    const std::string finalSave = contentOf(250000, 3);
    Outcome out;
    {
        FileHolder word(upload.file, finalSave);
        upload.afterStart = [&](TfrmMain&) { word.releaseLater(3000); };
        out = runUpload(upload);
    }
    ASSERT_EQ(out.uploads.size(), 1u);
    EXPECT_EQ(out.uploads[0]["filemd5"], md5Hex(finalSave));
    EXPECT_EQ(out.uploads[0]["received_md5"], md5Hex(finalSave));
    EXPECT_EQ(out.alerts, std::vector<std::string>{gbk(L"文件上传保存成功！")});
    EXPECT_GE(out.alertAt - out.started, 3s);
    EXPECT_TRUE(out.ended);

    // Held beyond the wait: the box, nothing sent, the end.
    {
        FileHolder word(upload.file, finalSave);
        upload.afterStart = nullptr;
        out = runUpload(upload);
    }
    EXPECT_TRUE(out.uploads.empty());
    EXPECT_TRUE(out.alerts.empty());
    ASSERT_EQ(out.boxes.size(), 1u);
    EXPECT_EQ(out.boxes[0].caption, L"同步错误");
    EXPECT_EQ(wideToGbk(out.boxes[0].text), failureBoxText(kUploadFileInUse, upload.file));
    EXPECT_TRUE(out.boxes[0].errorIcon);
    EXPECT_TRUE(out.ended);
    EXPECT_TRUE(out.workerGone);

    // Gone before the upload: its own box, naming the path, at once.
    ::DeleteFileW(upload.file.c_str());
    out = runUpload(upload);
    EXPECT_TRUE(out.uploads.empty());
    ASSERT_EQ(out.boxes.size(), 1u);
    EXPECT_EQ(wideToGbk(out.boxes[0].text), failureBoxText(kUploadFileMissing, upload.file));
    EXPECT_LT(out.endedAt - out.started, 5s);
    EXPECT_TRUE(out.ended);
}

TEST_F(UploadWorkerTest, FailedAndGarbledRepliesNameTheFileAndEnd) {
    Upload upload;
    upload.file = documentPath(L"报告.doc");
    writeFile(upload.file, contentOf(5000, 4));

    // No server, an error status, a redirect: the box names the document.
    for (const std::string& url : {std::string("http://127.0.0.1:9/upload"), webBase() + "/upload/500",
                                   webBase() + "/upload/302"}) {
        upload.serverUrl = url;
        const Outcome out = runUpload(upload);
        EXPECT_TRUE(out.alerts.empty()) << url;
        ASSERT_EQ(out.boxes.size(), 1u) << url;
        EXPECT_EQ(out.boxes[0].caption, L"同步错误");
        EXPECT_EQ(wideToGbk(out.boxes[0].text), failureBoxText(kUploadNoConnection, upload.file)) << url;
        EXPECT_TRUE(out.boxes[0].errorIcon);
        EXPECT_TRUE(out.ended) << url;
        EXPECT_TRUE(out.workerGone) << url;
    }

    // A reply that is not the JSON it should be: the alert says so.
    for (const char* mode : {"garbage", "nomsg"}) {
        upload.serverUrl = webBase() + "/upload/" + mode;
        const Outcome out = runUpload(upload);
        EXPECT_EQ(out.uploads.size(), 1u) << mode;
        EXPECT_EQ(out.alerts, std::vector<std::string>{failureText(kUploadReplyNotUnderstood, upload.file)}) << mode;
        EXPECT_TRUE(out.boxes.empty()) << mode;
        EXPECT_TRUE(out.ended) << mode;
    }
}

TEST_F(UploadWorkerTest, EndingDuringAnUploadWaitsForIt) {
    const std::string content = contentOf(8 << 20, 5);
    Upload upload;
    upload.file = documentPath(L"large.doc");
    writeFile(upload.file, content);
    upload.serverUrl = webBase() + "/upload/slow/2000";

    // A WM_CLOSE to the hidden main window (as at log-off) once the server
    // has the file and is slow to answer: the close waits for the reply.
    Clock::time_point closedAt{};
    std::thread closer;
    upload.afterStart = [&](TfrmMain& main) {
        closer = std::thread([&closedAt, window = main.hwnd()] {
            for (auto start = Clock::now(); Clock::now() - start < 30s; std::this_thread::sleep_for(50ms)) {
                if (!journal().empty()) break;
            }
            closedAt = Clock::now();
            ::PostMessageW(window, WM_CLOSE, 0, 0);
        });
    };
    Outcome out = runUpload(upload);
    closer.join();
    ASSERT_EQ(out.uploads.size(), 1u);
    EXPECT_EQ(out.uploads[0]["received_md5"], md5Hex(content));
    EXPECT_EQ(out.uploads[0]["filemd5"], md5Hex(content));
    EXPECT_EQ(out.alerts, std::vector<std::string>{gbk(L"文件上传保存成功！")});
    // The close came while the server was still answering, and the program
    // ended only after the reply had been shown.
    EXPECT_LT(closedAt, out.alertAt);
    EXPECT_LE(out.alertAt, out.endedAt);
    EXPECT_TRUE(out.ended);
    EXPECT_TRUE(out.workerGone);

    // ShutDown waits the same way, serving the worker's call to the alert view meanwhile.
    bool goneAfterShutDown = false;
    Clock::time_point shutDownReturned{};
    upload.afterStart = [&](TfrmMain& main) {
        main.ShutDown();
        shutDownReturned = Clock::now();
        goneAfterShutDown = TfrmMainTestAccess::workerGone(main);
    };
    out = runUpload(upload);
    EXPECT_TRUE(goneAfterShutDown);
    EXPECT_LE(out.alertAt, shutDownReturned);
    ASSERT_EQ(out.uploads.size(), 1u);
    EXPECT_EQ(out.uploads[0]["received_md5"], md5Hex(content));
    EXPECT_EQ(out.alerts, std::vector<std::string>{gbk(L"文件上传保存成功！")});
}

}  // namespace
}  // namespace orvo
