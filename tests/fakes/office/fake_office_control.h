#pragma once
// What a test needs to drive the Office substitute as a user would: the
// control window's class, its messages, and the journal's environment
// variable. Plain C-compatible definitions so any test can include it.
#include <windows.h>

// One hidden top-level window of this class per process that loaded the
// substitute; its title is "OrvoFakeOfficeControl <process id>".
#define ORVO_FAKE_OFFICE_CONTROL_CLASS L"OrvoFakeOfficeControl"

// When set, every call the substitute receives is appended to this file as
// one UTF-8 line. A Unix path ("/tmp/x.log") is taken as the same path on Z:.
#define ORVO_FAKE_OFFICE_JOURNAL_ENV L"ORVO_FAKE_OFFICE_JOURNAL"

// The messages act on the newest Word application that is still running in
// the process (one created through Word.Application; failing that, the one
// serving embedded documents, while it holds any). Send them (SendMessage/SendMessageTimeout) to
// get the result; every one returns ORVO_FAKE_OFFICE_DONE when it acted,
// ORVO_FAKE_OFFICE_NOTHING when there was nothing to act on (no Word
// running, no document open) and ORVO_FAKE_OFFICE_FAILED when Word refused
// (for example writing the file failed). Events fire on the window's thread,
// which is the program's user-interface thread.
enum {
    // Save the active document: writes its file (an embedded document asks
    // its container to save it), marks it saved. No event.
    ORVO_FAKE_OFFICE_SAVE = WM_APP + 0x0F01,
    // Type a line into the active document, as a user edit: unsaved.
    ORVO_FAKE_OFFICE_EDIT = WM_APP + 0x0F02,
    // Close the active document. wParam 1 saves it first, 0 discards
    // changes. Fires document Close (6), then application DocumentChange (3).
    ORVO_FAKE_OFFICE_CLOSE = WM_APP + 0x0F03,
    // Quit Word. wParam 1 saves every document first, 0 discards changes.
    // Fires document Close (6) for each document, then application Quit (2).
    ORVO_FAKE_OFFICE_QUIT = WM_APP + 0x0F04,
    // Create a blank document, as File > New. Fires DocumentChange (3), then
    // document New (4) on the new document.
    ORVO_FAKE_OFFICE_NEW = WM_APP + 0x0F05,
    // Activate document number wParam (1-based). Fires DocumentChange (3)
    // when the active document changes.
    ORVO_FAKE_OFFICE_ACTIVATE = WM_APP + 0x0F06,
    // Returns the number of documents open in Word, or ORVO_FAKE_OFFICE_NOTHING
    // when no Word application is running.
    ORVO_FAKE_OFFICE_QUERY = WM_APP + 0x0F07,
    // From now on, Word keeps the files of its documents open for wParam
    // milliseconds after it has quit, as real Word sometimes does (0: not).
    ORVO_FAKE_OFFICE_LINGER = WM_APP + 0x0F08,
    // Word crashes: no event, no save; its window and files go, and from
    // now on every call on its objects fails as a dead server's does
    // (RPC_E_DISCONNECTED).
    ORVO_FAKE_OFFICE_CRASH = WM_APP + 0x0F09
};

// WM_COPYDATA with this dwData opens a file as File > Open would: lpData is
// the UTF-16 path, NUL-terminated. Fires document Open (5) on the new
// document, then DocumentChange (3), as Word does. Returns the same result codes.
#define ORVO_FAKE_OFFICE_OPEN_COPYDATA 0x4F464F50u

#define ORVO_FAKE_OFFICE_DONE 1
#define ORVO_FAKE_OFFICE_NOTHING (-1)
#define ORVO_FAKE_OFFICE_FAILED (-2)
