// Definitions of the program-wide working state declared in state.h.
#include "app/state.h"

bool OptAutoStart;
bool OptAutoClose;
bool OptRunSetup;
bool OptTempDir;
char OptExtractPath[OptExtractPathSize];

FileHandle ArchiveHandle;  // set by start-up before any use; zero here keeps the stub free of a data section
int32_t ArchiveOffset;
int32_t LastSeekPos;
LocalFileHeader LocalHeader;
int32_t CompressedLeft;

FileHandle OutputHandle;
uint32_t* CrcTable;
uint32_t RunningCrc;
bool ExtractionOk;
bool ExtractionFailed;

DecryptionKeys CryptKeys;
char Password[PasswordSize];
char PasswordBuffer[PasswordBufferSize];
int32_t PasswordLength;
char PasswordUtf8[PasswordSize];

char ExtractDir[ExtractDirSize];
bool ArchiveHasPaths;
uint8_t OverwriteMode;
bool OverwriteAnswer;
char ExistingFileName[FileNameSize];
int32_t ListSearchIndex;

template <typename T> static void Clear(T& value) {
  auto* bytes = reinterpret_cast<volatile uint8_t*>(&value);
  for (uint32_t i = 0; i < sizeof(T); ++i) bytes[i] = 0;
}

void ResetExtractorState() {
  OptAutoStart = OptAutoClose = OptRunSetup = OptTempDir = false;
  Clear(OptExtractPath);
  ArchiveHandle = NoFile;
  ArchiveOffset = LastSeekPos = CompressedLeft = 0;
  Clear(LocalHeader);
  OutputHandle = NoFile;
  RunningCrc = 0;
  ExtractionOk = ExtractionFailed = false;
  Clear(CryptKeys);
  Clear(Password);
  Clear(PasswordBuffer);
  PasswordLength = 0;
  Clear(PasswordUtf8);
  Clear(ExtractDir);
  ArchiveHasPaths = false;
  OverwriteMode = OverwriteAlways;
  OverwriteAnswer = false;
  Clear(ExistingFileName);
  ListSearchIndex = 0;
}
