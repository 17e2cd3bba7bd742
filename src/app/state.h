// The program-wide working state: one instance per process, read and written directly by the
// start-up, the locator, the decoders, the extraction walk and the dialogs.
#pragma once
#include <cstdint>
#include "archive/local_header.h"
#include "util/file_io.h"

constexpr uint32_t ExtractDirSize = 32768;      // 32,767 bytes of UTF-8 and the terminating zero
constexpr uint32_t OptExtractPathSize = 242;    // the options block yields at most 241 characters
constexpr uint32_t PasswordBufferSize = 49;     // 24 typed characters, up to two bytes each
constexpr uint32_t PasswordSize = 128;          // a password: typed, or a longer one given with -p
constexpr uint32_t FileNameSize = 1024;         // a file-name part: 255 UTF-16 units, in UTF-8

enum OverwritePolicy : uint8_t { OverwriteAlways = 0, OverwriteSkip = 1, OverwriteAsk = 2 };

struct DecryptionKeys { uint32_t Key0, Key1, Key2; };

// Options, from the options block.
extern bool OptAutoStart;
extern bool OptAutoClose;
extern bool OptRunSetup;
extern bool OptTempDir;
extern char OptExtractPath[OptExtractPathSize];

// Package and archive access.
extern FileHandle ArchiveHandle;
extern int32_t ArchiveOffset;
extern int32_t LastSeekPos;
extern LocalFileHeader LocalHeader;
extern int32_t CompressedLeft;

// Output and checking.
extern FileHandle OutputHandle;
extern uint32_t* CrcTable;
extern uint32_t RunningCrc;
extern bool ExtractionOk;
// The last extraction run left selected entries not written and verified (its exit code 2).
extern bool ExtractionFailed;

// Decryption.
extern DecryptionKeys CryptKeys;
extern char Password[PasswordSize];
extern char PasswordBuffer[PasswordBufferSize];
extern int32_t PasswordLength;
// The same password as typed, in UTF-8 (Password's bytes are in the ANSI code page, as Windows
// archivers encrypt with them); tried second, within the same attempt.
extern char PasswordUtf8[PasswordSize];

// User choices.
extern char ExtractDir[ExtractDirSize];
extern bool ArchiveHasPaths;
extern uint8_t OverwriteMode;
extern bool OverwriteAnswer;
extern char ExistingFileName[FileNameSize];
extern int32_t ListSearchIndex;

// Puts every member back to its initial value, CrcTable excepted (tests call this between cases).
void ResetExtractorState();
