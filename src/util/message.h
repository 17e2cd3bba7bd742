// Message boxes of the program: modal, no owner window. The POSIX build prints them to stderr,
// so the portable core and the command-line tool share the same calls.
#pragma once
#include <cstdint>

// Styles and answers, with the values of the Win32 API.
constexpr uint32_t MsgOk = 0x00, MsgYesNo = 0x04;
constexpr uint32_t MsgIconError = 0x10, MsgIconQuestion = 0x20, MsgIconWarning = 0x30, MsgIconInfo = 0x40;
constexpr int MsgAnswerYes = 6, MsgAnswerNo = 7;

// Shows a message box; while QuietMessages is set (a silent run) it shows nothing and answers
// as if OK, or No to a question.
int ShowMessage(const char* text, const char* caption, uint32_t style);
extern bool QuietMessages;

// The system's own words for an error code (GetLastError's or errno), in UTF-8 without a
// trailing line break; dest (size bytes) gets "" when the system has none.
void SystemErrorText(uint32_t code, char* dest, uint32_t size);
