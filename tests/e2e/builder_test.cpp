// Builder mode of the real stub under Wine: a bare zelvix.exe given `ZipName [Options [ExtPath]]`
// writes ZipName's package (itself, the options block, the ZIP file) and asks whether to test
// it; Yes starts the new package, No starts nothing. Then the refusals (no ZIP file, a package
// name that is the running stub, an extract path that does not fit the block), and the same
// bytes from the native zelvix-pack.
#include "e2e_support.h"
// tlhelp32.h needs the types of windows.h, which e2e_support.h brings in.
#include <tlhelp32.h>
#include <algorithm>

using support::JoinPath;

namespace {

const char MainDialogCaption[] = "Zelvix ZIP Extractor";
const char QuestionCaption[] = "Created EXE file - Do yo want to test it ?";
constexpr int ListId = 301;
constexpr DWORD QuietMs = 4000;  // time a wrongly started package would need to show up

// The entries of the fixture tree.zip (directory entries are not listed).
const std::vector<std::string> TreeFiles{"Alpha.txt",      "bin/empty.dat",     "bin/tool.dat",
                                         "docs/guide.txt", "docs/sub/deep.txt", "readme.txt"};

std::string ReadOrFail(const std::string& path) {
  std::string bytes;
  EXPECT_TRUE(support::ReadWholeFile(path, &bytes)) << path;
  return bytes;
}

std::string Stub() { return ReadOrFail(support::StubPath()); }
std::string Zip() { return ReadOrFail(support::FixturePath("tree.zip")); }

// The block the builder must write: "OPTIONS=", the flags, a blank, the path, zero bytes; put
// together here from its definition rather than with the support library's helper.
std::string Block(const std::string& text) {
  std::string block = text;
  block.resize(256, '\0');
  return block;
}

// A fresh directory holding the bare stub as zelvix.exe and tree.zip as archive.zip.
std::string BuilderDir() {
  const std::string dir = support::FreshTestDir();
  EXPECT_TRUE(support::WriteFileBytes(JoinPath(dir, "zelvix.exe"), Stub()));
  EXPECT_TRUE(support::WriteFileBytes(JoinPath(dir, "archive.zip"), Zip()));
  return dir;
}

// Starts dir\zelvix.exe with args, in dir.
void StartBuilder(ui::Process& builder, const std::string& dir, const std::vector<std::string>& args) {
  ASSERT_TRUE(builder.Start(JoinPath(dir, "zelvix.exe"), args, dir)) << builder.LastError();
}

// Waits for the builder's question about packageName and answers it with IDYES or IDNO.
void AnswerQuestion(ui::Process& builder, const std::string& packageName, int answer) {
  HWND box = ui::WaitForDialog(builder, QuestionCaption);
  ASSERT_NE(box, nullptr) << "no question; dialogs: " << ui::DescribeDialogs(builder.Id());
  const ui::MessageBoxInfo info = ui::ReadMessageBox(box);
  EXPECT_EQ(info.text, packageName);
  EXPECT_EQ(info.icon, ui::MessageIcon::Question);
  EXPECT_TRUE(ui::PressButton(box, answer));
  EXPECT_TRUE(ui::WaitForWindowGone(box));
}

// The names of the files in dir.
std::vector<std::string> FilesIn(const std::string& dir) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(support::WidePath(JoinPath(dir, "*")).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::string name = support::ToUtf8(found.cFileName);
    if (name != "." && name != "..") names.push_back(name);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, a.data(), int(a.size()), b.data(),
                                                int(b.size())) == CSTR_EQUAL;
}

// Ids of running processes whose program file is named exeName.
std::vector<DWORD> ProcessesNamed(const std::string& exeName) {
  std::vector<DWORD> ids;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return ids;
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
    if (SameNameIgnoringCase(entry.szExeFile, exeName)) ids.push_back(entry.th32ProcessID);
  CloseHandle(snapshot);
  return ids;
}

// Visible main dialogs of processes other than exceptId.
struct MainDialogSearch {
  DWORD exceptId;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectMainDialog(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<MainDialogSearch*>(param);
  char className[16] = {};
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search->exceptId && IsWindowVisible(window) && GetClassNameA(window, className, sizeof className) &&
      std::string(className) == "#32770" && ui::WindowCaption(window) == MainDialogCaption)
    search->found.push_back(window);
  return TRUE;
}

std::vector<HWND> MainDialogsBesides(DWORD exceptId) {
  MainDialogSearch search{exceptId, {}};
  EnumWindows(CollectMainDialog, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// Watches for QuietMs that no package process and no second main dialog come up.
void ExpectNothingStarted(DWORD builderId, const std::string& exeName) {
  const ULONGLONG start = GetTickCount64();
  while (GetTickCount64() - start < QuietMs) {
    ASSERT_TRUE(ProcessesNamed(exeName).empty()) << exeName << " was started";
    ASSERT_TRUE(MainDialogsBesides(builderId).empty()) << "a main dialog came up";
    Sleep(100);
  }
}

// A process handle that is closed however the test ends.
struct ProcessHandle {
  HANDLE handle = nullptr;
  ~ProcessHandle() {
    if (handle != nullptr) CloseHandle(handle);
  }
};

// "Z:\a\b" -> "/a/b": arguments for a Linux program started from Wine.
std::string ToUnixPath(const std::string& winePath) {
  std::string path = winePath.size() >= 2 && (winePath[0] == 'Z' || winePath[0] == 'z') && winePath[1] == ':'
                         ? winePath.substr(2)
                         : winePath;
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

// The native zelvix-pack: ZELVIX_PACK, else build/native/zelvix-pack of the source tree; ""
// when neither exists.
std::string PackTool() {
  std::string path = support::EnvPath("ZELVIX_PACK");
  if (path.empty() && !support::EnvPath("ZELVIX_SOURCE").empty())
    path = JoinPath(support::EnvPath("ZELVIX_SOURCE"), "build\\native\\zelvix-pack");
  return support::FileExists(path) ? path : std::string();
}

}  // namespace

// --- Package written, question answered -----------------------------------------------------

// archive.zip 1010 C:\Tools: the package is the stub, the block and the ZIP file byte for byte;
// No ends the builder with code 0 and starts nothing.
TEST(BuilderMode, NoAnswerKeepsThePackageAndStartsNothing) {
  const std::string dir = BuilderDir();
  ui::Process builder;
  StartBuilder(builder, dir, {"archive.zip", "1010", "C:\\Tools"});
  AnswerQuestion(builder, "archive.exe", IDNO);
  EXPECT_EQ(e2e::ExitCodeOf(builder), 0u);
  ExpectNothingStarted(builder.Id(), "archive.exe");
  std::string package;
  ASSERT_TRUE(support::ReadWholeFile(JoinPath(dir, "archive.exe"), &package));
  EXPECT_EQ(package.size(), Stub().size() + 256 + Zip().size());
  EXPECT_TRUE(package == Stub() + Block("OPTIONS=1010 C:\\Tools") + Zip()) << "the package differs";
  EXPECT_EQ(FilesIn(dir), (std::vector<std::string>{"archive.exe", "archive.zip", "zelvix.exe"}));
}

// No options: OPTIONS=0000 and a blank. Yes starts the new package in a process of its own; its
// main dialog lists the archive's entries. Only that process, found by its program file, is
// ended here.
TEST(BuilderMode, YesAnswerStartsTheNewPackage) {
  const std::string dir = BuilderDir();
  ui::Process builder;
  StartBuilder(builder, dir, {"archive.zip"});
  AnswerQuestion(builder, "archive.exe", IDYES);
  // The builder does not wait for the package it started.
  EXPECT_EQ(e2e::ExitCodeOf(builder), 0u);
  EXPECT_TRUE(support::ReadFileBytes(JoinPath(dir, "archive.exe")) == Stub() + Block("OPTIONS=0000 ") + Zip());

  HWND dialog = nullptr;
  const ULONGLONG start = GetTickCount64();
  while (dialog == nullptr && GetTickCount64() - start < ui::DefaultTimeoutMs) {
    const std::vector<HWND> found = MainDialogsBesides(builder.Id());
    if (!found.empty()) dialog = found.front();
    else Sleep(100);
  }
  ASSERT_NE(dialog, nullptr) << "the new package did not come up";
  DWORD packageId = 0;
  GetWindowThreadProcessId(dialog, &packageId);
  ProcessHandle package;
  package.handle = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE | PROCESS_TERMINATE, FALSE, packageId);
  ASSERT_NE(package.handle, nullptr) << "cannot open process " << packageId;
  char image[MAX_PATH + 1] = {};
  DWORD imageLength = MAX_PATH;
  ASSERT_TRUE(QueryFullProcessImageNameA(package.handle, 0, image, &imageLength));
  ASSERT_TRUE(SameNameIgnoringCase(image, JoinPath(dir, "archive.exe"))) << image;

  std::vector<std::string> listed = ui::ListItems(dialog, ListId);
  for (std::string& name : listed) std::replace(name.begin(), name.end(), '\\', '/');
  EXPECT_EQ(listed, TreeFiles);
  EXPECT_TRUE(ui::PressButton(dialog, IDCANCEL));
  if (WaitForSingleObject(package.handle, ui::DefaultTimeoutMs) != WAIT_OBJECT_0) {
    ADD_FAILURE() << "the started package did not end after Exit";
    TerminateProcess(package.handle, 0xDEAD);
    WaitForSingleObject(package.handle, 10000);
  }
  DWORD code = 0xFFFFFFFF;
  GetExitCodeProcess(package.handle, &code);
  EXPECT_EQ(code, 0u);
}

// An existing file of the package's name, longer than the new package, is replaced whole.
TEST(BuilderMode, ExistingPackageIsReplaced) {
  const std::string dir = BuilderDir();
  const std::string old(Stub().size() + Zip().size() + 70000, 'x');
  ASSERT_TRUE(support::WriteFileBytes(JoinPath(dir, "archive.exe"), old));
  ui::Process builder;
  StartBuilder(builder, dir, {"archive.zip", "01"});
  AnswerQuestion(builder, "archive.exe", IDNO);
  EXPECT_EQ(e2e::ExitCodeOf(builder), 0u);
  const std::string package = support::ReadFileBytes(JoinPath(dir, "archive.exe"));
  EXPECT_EQ(package.size(), Stub().size() + 256 + Zip().size());
  EXPECT_TRUE(package == Stub() + Block("OPTIONS=0100 ") + Zip()) << "the old file was not replaced";
}

// A folder and a ZIP file named with characters outside code page 1252: the package is written
// beside the ZIP file, under its name.
TEST(BuilderMode, NamesOutsideCodePage1252) {
  const std::string dir = JoinPath(support::FreshTestDir(), "日本語 package");
  ASSERT_TRUE(CreateDirectoryW(support::WidePath(dir).c_str(), nullptr));
  ASSERT_TRUE(support::WriteFileBytes(JoinPath(dir, "zelvix.exe"), Stub()));
  ASSERT_TRUE(support::WriteFileBytes(JoinPath(dir, "データ.zip"), Zip()));
  ui::Process builder;
  StartBuilder(builder, dir, {"データ.zip"});
  AnswerQuestion(builder, "データ.exe", IDNO);
  EXPECT_EQ(e2e::ExitCodeOf(builder), 0u);
  EXPECT_TRUE(support::ReadFileBytes(JoinPath(dir, "データ.exe")) == Stub() + Block("OPTIONS=0000 ") + Zip());
  EXPECT_EQ(FilesIn(dir), (std::vector<std::string>{"zelvix.exe", "データ.exe", "データ.zip"}));
}

// --- Refusals -------------------------------------------------------------------------------

TEST(BuilderMode, MissingZipFileIsReportedAndNothingIsWritten) {
  const std::string dir = support::FreshTestDir();
  ASSERT_TRUE(support::WriteFileBytes(JoinPath(dir, "zelvix.exe"), Stub()));
  ui::Process builder;
  StartBuilder(builder, dir, {"missing.zip", "1"});
  e2e::ExpectMessageBox(builder, "No input file...", "missing.zip", ui::MessageIcon::None);
  EXPECT_EQ(e2e::ExitCodeOf(builder), DWORD(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(FilesIn(dir), std::vector<std::string>{"zelvix.exe"});
}

// zelvix.zip beside zelvix.exe gives the package name zelvix.exe, the file the stub runs from.
TEST(BuilderMode, PackageNamedLikeTheRunningStubIsRefused) {
  const std::string dir = support::FreshTestDir();
  ASSERT_TRUE(support::WriteFileBytes(JoinPath(dir, "zelvix.exe"), Stub()));
  ASSERT_TRUE(support::WriteFileBytes(JoinPath(dir, "zelvix.zip"), Zip()));
  ui::Process builder;
  StartBuilder(builder, dir, {"zelvix.zip"});
  e2e::ExpectMessageBox(builder, "Unable to rewrite...", "zelvix.exe", ui::MessageIcon::None);
  EXPECT_NE(e2e::ExitCodeOf(builder), 0u) << "the creation's error code";
  EXPECT_TRUE(support::ReadFileBytes(JoinPath(dir, "zelvix.exe")) == Stub()) << "the stub was changed";
  EXPECT_EQ(FilesIn(dir), (std::vector<std::string>{"zelvix.exe", "zelvix.zip"}));
}

// "OPTIONS=" + 4 flags + blank + 243 characters fill the 256 bytes exactly, with no zero left;
// one character more would overrun the block, and the build is refused before anything is
// written.
TEST(BuilderMode, ExtPathOf243CharactersFillsTheBlock) {
  const std::string dir = BuilderDir();
  const std::string extPath = "C:\\" + std::string(240, 'p');
  ui::Process builder;
  StartBuilder(builder, dir, {"archive.zip", "0001", extPath});
  AnswerQuestion(builder, "archive.exe", IDNO);
  EXPECT_EQ(e2e::ExitCodeOf(builder), 0u);
  const std::string block = "OPTIONS=0001 " + extPath;
  ASSERT_EQ(block.size(), 256u);
  EXPECT_TRUE(support::ReadFileBytes(JoinPath(dir, "archive.exe")) == Stub() + block + Zip());
}

TEST(BuilderMode, ExtPathOf244CharactersIsRefusedAndNothingIsWritten) {
  const std::string dir = BuilderDir();
  ui::Process builder;
  StartBuilder(builder, dir, {"archive.zip", "0001", "C:\\" + std::string(241, 'p')});
  e2e::ExpectMessageBox(builder, "Extract path too long...",
                        "The extract path has more than 243 characters. No package was written.",
                        ui::MessageIcon::Stop);
  EXPECT_EQ(e2e::ExitCodeOf(builder), DWORD(ERROR_FILENAME_EXCED_RANGE));
  EXPECT_EQ(FilesIn(dir), (std::vector<std::string>{"archive.zip", "zelvix.exe"}));
}

// --- The same package from zelvix-pack ------------------------------------------------------

// The stub and the native tool, given the same stub, ZIP file, options and extract path, write
// the same bytes. Wine starts the Linux program but does not report its exit code: the test
// waits (bounded) for the output to reach the stub's package size, then compares.
TEST(BuilderMode, StubAndZelvixPackWriteTheSameBytes) {
  const std::string tool = PackTool();
  if (tool.empty()) GTEST_SKIP() << "zelvix-pack is not built (build/native, or set ZELVIX_PACK)";
  const std::string dir = BuilderDir();
  ui::Process builder;
  StartBuilder(builder, dir, {"archive.zip", "1", "C:\\Tools"});
  AnswerQuestion(builder, "archive.exe", IDNO);
  EXPECT_EQ(e2e::ExitCodeOf(builder), 0u);
  std::string fromStub;
  ASSERT_TRUE(support::ReadWholeFile(JoinPath(dir, "archive.exe"), &fromStub));
  EXPECT_TRUE(fromStub == Stub() + Block("OPTIONS=1000 C:\\Tools") + Zip());

  const std::string output = JoinPath(dir, "packed.exe");
  ui::Process pack;
  ASSERT_TRUE(pack.Start(tool,
                         {"-o", ToUnixPath(output), ToUnixPath(JoinPath(dir, "zelvix.exe")),
                          ToUnixPath(JoinPath(dir, "archive.zip")), "1", "C:\\Tools"},
                         dir))
      << pack.LastError();
  std::string fromTool;
  const ULONGLONG start = GetTickCount64();
  while (GetTickCount64() - start < ui::DefaultTimeoutMs) {
    if (support::ReadWholeFile(output, &fromTool) && fromTool.size() >= fromStub.size()) break;
    Sleep(100);
  }
  Sleep(200);  // a last write may still be on its way
  ASSERT_TRUE(support::ReadWholeFile(output, &fromTool)) << "zelvix-pack wrote nothing";
  EXPECT_EQ(fromTool.size(), fromStub.size());
  EXPECT_TRUE(fromTool == fromStub) << "zelvix-pack and the stub wrote different packages";
}
