// The fatal error report: a failed file operation or allocation ends the program at once,
// with the error number as its exit code. Nothing of the program's own clean-up runs.
#pragma once
#include <cstdint>

constexpr uint32_t OutOfMemoryError = 203;
// Reported for a file operation that failed without an error code of the system's (a read that
// came up short): the system's code for reaching the end of a file.
constexpr uint32_t EndOfFileError = 38;

// Shows "Runtime error <code> at <place>" (caption "Error") and ends the process with code.
[[noreturn]] void FatalError(uint32_t code, uintptr_t place);
// FatalError with the calling place; for file operations the code is LastFileError().
#define FATAL_ERROR(code) FatalError((code), reinterpret_cast<uintptr_t>(__builtin_return_address(0)))
// FatalError for a failed file operation: LastFileError(), or EndOfFileError when that is 0,
// so that a failure never ends the process with code 0.
[[noreturn]] void FatalFileError();

// Fills text (room for at least 32 characters) from the template "Runtime error     at 00000000":
// the number right-aligned in the four blanks before " at" (wider numbers push the text right,
// one blank after "error" always stays), the place as eight upper-case hexadecimal digits.
void FormatRuntimeError(char* text, uint32_t code, uint32_t place);

// Ends the process with an exit code (ExitProcess on Windows, _exit elsewhere).
[[noreturn]] void ExitProgram(uint32_t code);
