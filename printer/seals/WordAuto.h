#pragma once
// The seal window: in sign mode a narrow, top-most strip at the left of the
// screen that lists the server's seal pictures and stamps the selected one
// into the document open in Word; in edit mode it stays hidden and only
// follows Word. After Word has quit it decides between the upload, the
// not-stamped message and the end of the program; at last it turns into the
// alert view, a small message box whose "关 闭" ends the program.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "hosting/word_link.h"
#include "seals/file_stamp.h"
#include "seals/seal_grid.h"
#include "support/ui/controls.h"
#include "support/ui/form.h"
#include "support/ui/tool_bar.h"
#include "support/ui/png_image.h"
#include "support/ui/window.h"

namespace orvo {

class SealHost;

class TfrmWord : public Form {
public:
    // The host (the main window) starts the upload and ends the program.
    explicit TfrmWord(SealHost& host);
    ~TfrmWord() override;

    // ---- Set by the dispatch before use
    std::string Mode;          // "Edit" in edit mode, else empty
    std::string DocumentPath;  // GBK
    std::string SealListUrl;   // GBK; empty in edit mode

    // ---- Operations
    // Starts Word with this window's handlers, unless the link exists, and
    // watches it from then on. When Word's events cannot be connected the
    // user is told, the program ends, and the result is false.
    bool StartWordLink();
    // Opens the document in Word, taking its stamp first. When Word cannot
    // open it the user is told, the link ends, and the result is false.
    bool OpenDocument(const std::string& path, bool trackRevisions);
    // The decision after Word is done: upload what was saved, or say that
    // nothing was stamped, or (edit mode) end the program.
    void FinishDocument();
    // Turns the window into the alert view showing AlertText.
    void ShowAlert();
    // Shows the window; from hidden, the show handler runs.
    void Show();
    // Ends the Word link and hides the window.
    void Close();
    // Word's window, while the link runs, comes to the front.
    void BringWordToFront();

    // ---- Controls
    SealGrid DrawGrid1;
    FlatButton FlatSpeedButton1;  // "盖 章"
    FlatButton FlatSpeedButton2;  // "上 传"
    FlatButton Btn_OK;            // "关 闭"
    Label Label_Alert;

    // ---- State
    int SelectedSeal = 0;
    FileStamp OpenedStamp;
    std::string AlertText;
    std::vector<Bitmap32> Seals;

protected:
    LRESULT onMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    // ---- Event handlers
    void FormCreate();
    void FormShow();
    void FormClose();
    // The window's close box or Alt+F4.
    void CloseByUser();
    void FormDestroy();
    void FormMouseDown();
    void DrawGrid1SelectCell(int row);
    void FlatSpeedButton1Click();
    void FlatSpeedButton2Click();
    // Before Word is made to quit without saving: asks about unsaved
    // changes. 是 saves them; false for 取消, when nothing must happen.
    bool SaveOrDiscardChanges();
    void Btn_OKClick();
    void DocumentOpened();
    // Word's Quit: the user has quit Word.
    void WordQuit();
    // The timer's look at Word: a Word that has died ends the wait.
    void WatchWord();

    void LoadSeals();
    void PasteSeal();
    void EndWordLink() noexcept;
    void SetTrackRevisions();
    void paintShapes(HDC dc);
    // The height AlertText takes in the alert label at this width.
    int alertTextHeight(int width) const;

    SealHost& main_;
    std::unique_ptr<TWordObject> WordLink;
    // Set while FinishDocument runs: ending the link can raise Word's Quit
    // again, and the decision is taken once.
    bool finishing_ = false;
    // Set while the window ends the link itself.
    bool endingLink_ = false;
    bool alertShown_ = false;
    bool watching_ = false;
    UniqueFont font_;
    UniqueFont alertFont_;
    UniqueBrush background_;
    Tooltips hints_;
};

}  // namespace orvo
