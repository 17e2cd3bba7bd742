// The three modal dialogs, the extraction run's window and the small routines they share. Every
// dialog is shown with ModuleInstance, its template's name and no owner window.
#pragma once
#include <windows.h>
#include <cstdint>
#include "archive/extraction_run.h"

extern HINSTANCE ModuleInstance;  // the module's own instance handle, set by start-up

INT_PTR CALLBACK MainDlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The overwrite question: its initial parameter points to the OverwriteReply it fills in, and
// to the file name it asks about (an OverwriteQuestion).
struct OverwriteQuestion {
  const char* fileName;
  OverwriteReply reply;
};
INT_PTR CALLBACK FileExistDlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The password dialog: its initial parameter points to the TypedPassword it fills in.
INT_PTR CALLBACK PwdDlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Puts a window in the middle of the whole screen (not the work area), size and z-order kept.
void CenterWindow(HWND window);

// A control's text, in UTF-8 (the dialogs are Unicode windows). GetItemText cuts at size bytes.
void SetItemText(HWND window, int id, const char* text);
void GetItemText(HWND window, int id, char* dest, uint32_t size);

// Finds name (case-insensitive, whole item) in the list box, starting after item `after` and
// wrapping around; of several items of that name, the next one still selected. likely: the
// item the listing made for this entry, or -1; it only spares the search when no other item
// shows the same name, so the answer is the same either way.
ListItem FindEntryItem(HWND listBox, const char* name, int32_t likely, int32_t after);

// The extraction run (listing or extracting) on behalf of the main dialog: its list box, its
// "Use Stored Paths" box and status line, and the password and overwrite dialogs.
void ExtractionRun(HWND dialog, bool ListOnly);

// True while an extraction or listing walk is under way; the main dialog then keeps commands
// that would start another walk or end the dialog from taking effect.
extern bool RunInProgress;
// Exit or the close box while a walk was under way; carried out once it has ended.
extern bool ExitRequested;
