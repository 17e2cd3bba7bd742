// Runs pieces of the stub's own Win32 code in a process of its own, so that the end-to-end tests
// can watch what they show and how the process ends:
//   zelvix_probe headers FILE   walks FILE's entries from offset 0 as the extraction run does;
//                               exit code 100 + the number of entries (at a damaged header, the
//                               silent run's listing ends the process with its report instead)
//   zelvix_probe list PACKAGE   lists PACKAGE's archive as the dialog's listing run does, with no
//                               window (bench/solid_e2e.sh times it); exit code 100 + the items
//   zelvix_probe alloc          asks MemAlloc for 0xFFFFFFF0 bytes (the fatal report ends it)
//   zelvix_probe boxes          shows the message boxes of BoxStyles one after another, for the
//                               tests of the automation library; exit code: the answers as
//                               decimal digits, first box first
#include <windows.h>
#include <cstring>
#include "archive/extraction_run.h"
#include "archive/walk.h"
#include "package/locator.h"
#include "util/crc32.h"
#include "util/file_io.h"
#include "util/memory.h"

constexpr int BadUsage = 90;
constexpr int CannotOpen = 91;
constexpr int AllocationReturned = 92;
constexpr int HeaderCountBase = 100;

static int WalkHeaders(const char* name) {
  ArchiveHandle = FileOpenRead(name);
  if (ArchiveHandle == NoFile) return CannotOpen;
  BuildCrcTable();
  int count = 0;
  {
    EntryWalk walk;
    StartWalk(walk, ArchiveHandle, 0);
    while (NextEntry(walk)) ++count;
    if (walk.stop == WalkStop::CutHeader || walk.stop == WalkStop::TooFar) SilentExtraction();  // its listing ends there
  }
  FileClose(ArchiveHandle);
  return HeaderCountBase + count;
}

static int ListPackage(const char* name) {
  ArchiveHandle = FileOpenRead(name);
  if (ArchiveHandle == NoFile) return CannotOpen;
  ArchiveOffset = FindArchiveOffset(ArchiveHandle, 0);
  BuildCrcTable();
  SilentListing();
  FileClose(ArchiveHandle);
  return HeaderCountBase + SilentList.listed;
}

// Caption "Box N" for the N-th, text "Text N".
constexpr UINT BoxStyles[] = {MB_OK, MB_OK | MB_ICONHAND, MB_OKCANCEL | MB_ICONEXCLAMATION,
                              MB_YESNO | MB_ICONQUESTION, MB_YESNO | MB_ICONINFORMATION,
                              MB_OKCANCEL | MB_ICONINFORMATION};

static int ShowBoxes() {
  int answers = 0;
  int number = 1;
  for (UINT style : BoxStyles) {
    char caption[16], text[16];
    wsprintfA(caption, "Box %d", number);
    wsprintfA(text, "Text %d", number);
    answers = answers * 10 + MessageBoxA(nullptr, text, caption, style);
    ++number;
  }
  return answers;
}

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "headers") == 0) return WalkHeaders(argv[2]);
  if (argc == 3 && std::strcmp(argv[1], "list") == 0) return ListPackage(argv[2]);
  if (argc == 2 && std::strcmp(argv[1], "alloc") == 0) {
    MemFree(MemAlloc(0xFFFFFFF0u));
    return AllocationReturned;
  }
  if (argc == 2 && std::strcmp(argv[1], "boxes") == 0) return ShowBoxes();
  return BadUsage;
}
