// The package flags that act without the user: a.start (extract at once, no success box, end),
// a.close (end after Extract, whatever came of it) and r.setup (setup.exe started from the
// extraction directory, only after a successful extraction).
#include <cstring>
#include "extractor_support.h"

using namespace ext;

namespace {

const char SetupRecord[] = "setup_ran.txt";

// This very test program stands in for the package's setup.exe: started under that name it
// writes its current directory into setup_ran.txt there and ends before any test runs.
const bool StartedAsSetup = [] {
  char path[MAX_PATH + 1] = "";
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  const char* name = std::strrchr(path, '\\');
  if (lstrcmpiA(name != nullptr ? name + 1 : path, "setup.exe") != 0) return false;
  char current[MAX_PATH + 1];
  const DWORD length = GetCurrentDirectoryA(MAX_PATH, current);
  HANDLE file = CreateFileA(SetupRecord, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD written = 0;
  if (file != INVALID_HANDLE_VALUE) {
    WriteFile(file, current, length, &written, nullptr);
    CloseHandle(file);
  }
  ExitProcess(0);
}();

// Waits for the program's end without any window of it coming on screen; its exit code.
DWORD ExitCodeWithoutWindows(ui::Process& process) {
  DWORD code = 0xFFFFFFFF;
  bool shown = false;
  for (int waited = 0; !process.WaitForExit(10, &code) && waited < 30000; waited += 10)
    shown |= !ui::DialogsOf(process.Id()).empty();
  EXPECT_FALSE(shown) << "a window came on screen";
  return e2e::ExitCodeOf(process);
}

// A stored setup.exe entry holding this test program.
std::string SetupRecords() {
  char self[MAX_PATH + 1] = "";
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string bytes;
  EXPECT_TRUE(support::ReadWholeFile(self, &bytes)) << self;
  return Records({Stored("setup.exe", bytes)});
}

}  // namespace

// a.start: everything into the initial path, no success box, the program ends by itself, and
// its dialog never comes on screen.
TEST(ExtractorFlags, AutoStartExtractsEverythingAndEnds) {
  const std::string dir = support::FreshTestDir();
  ui::Process process;
  const std::string package = JoinPath(dir, "pkg.exe");
  ASSERT_TRUE(support::WritePackage(package, Fixture("tree.zip"), "1000"));
  ASSERT_TRUE(process.Start(package, {}, dir)) << process.LastError();
  EXPECT_EQ(ExitCodeWithoutWindows(process), 0u);
  ExpectFixtureFiles("tree.zip", JoinPath(dir, "pkg"));
}

// a.start with r.setup: setup.exe is started from the extraction directory, which is its
// current directory.
TEST(ExtractorFlags, RunSetupStartsSetupFromTheExtractionDirectory) {
  const std::string dir = support::FreshTestDir();
  const std::string target = JoinPath(dir, "pkg");
  ui::Process process;
  const std::string package = JoinPath(dir, "pkg.exe");
  ASSERT_TRUE(support::WritePackage(package, FixtureRecords("flat.zip") + SetupRecords() + EndRecord(), "1010"));
  ASSERT_TRUE(process.Start(package, {}, dir)) << process.LastError();
  EXPECT_EQ(e2e::ExitCodeOf(process), 0u);
  ExpectFixtureFiles("flat.zip", target);
  const std::string record = JoinPath(target, SetupRecord);
  ASSERT_TRUE(WaitUntil([&] { return support::FileExists(record); }, 20000)) << "setup.exe did not run";
  ASSERT_TRUE(WaitUntil([&] { return support::ReadFileBytes(record) == target; }, 5000))
      << support::ReadFileBytes(record);
}

// r.setup after a failed extraction (error boxes still come with a.start): setup.exe, written
// itself, is not started.
TEST(ExtractorFlags, RunSetupStartsNothingAfterAFailure) {
  const std::string dir = support::FreshTestDir();
  const std::string target = JoinPath(dir, "pkg");
  ui::Process process;
  const std::string package = JoinPath(dir, "pkg.exe");
  ASSERT_TRUE(support::WritePackage(package, SetupRecords() + FixtureRecords("bad_crc.zip") + EndRecord(), "1010"));
  ASSERT_TRUE(process.Start(package, {}, dir)) << process.LastError();
  e2e::ExpectMessageBox(process, FailedCaption, FailedText, ui::MessageIcon::Stop);
  EXPECT_EQ(e2e::ExitCodeOf(process), 2u);
  EXPECT_TRUE(support::FileExists(JoinPath(target, "setup.exe")));
  Sleep(4000);
  EXPECT_FALSE(support::FileExists(JoinPath(target, SetupRecord))) << "setup.exe ran after a failure";
  EXPECT_FALSE(support::FileExists(JoinPath(dir, SetupRecord)));
}

// a.close: the dialog ends after Extract, here one whose entries partly failed.
TEST(ExtractorFlags, AutoCloseEndsAfterExtractEvenAfterFailures) {
  const std::string dir = support::FreshTestDir();
  ui::Process process;
  HWND dialog = StartPackage(process, dir, Fixture("bad_crc.zip"), "0100");
  ASSERT_NE(dialog, nullptr);
  PressAndExpect(process, dialog, IDOK, FailedCaption, FailedText, ui::MessageIcon::Stop);
  EXPECT_EQ(e2e::ExitCodeOf(process), 2u);
  EXPECT_EQ(Below(JoinPath(dir, "pkg")), (std::vector<std::string>{"bad.txt", "good.txt", "last.txt"}));
}

// --- Switches ---------------------------------------------------------------------------------

// -s: everything extracted with no window and no message, the outcome in the exit code; a
// needed password that is not given (or refused) fails its entry only; -d and -p combine with
// it, in either form; r.setup still starts setup.exe after a clean extraction.
TEST(ExtractorSwitches, SilentExtractionTellsOnlyThroughItsExitCode) {
  struct Case {
    const char* what;
    std::string zip;
    const char* options;
    std::vector<std::string> args;
    DWORD exitCode;
    const char* into;  // below the test directory
    std::vector<std::string> files;
    bool setupRuns;
  };
  const std::vector<std::string> tree{"Alpha.txt", "bin/", "bin/empty.dat", "bin/tool.dat", "docs/",
                                      "docs/guide.txt", "docs/sub/", "docs/sub/deep.txt", "readme.txt"};
  const Case cases[] = {
      {"sound archive", Fixture("tree.zip"), "", {"-s"}, 0, "pkg", tree, false},
      {"CRC failure, a.start, /S", Fixture("bad_crc.zip"), "1000", {"/S"}, 2, "pkg",
       {"bad.txt", "good.txt", "last.txt"}, false},
      {"passwords not given", Fixture("encrypted_two.zip"), "", {"-s"}, 2, "pkg", {"plain.txt"}, false},
      {"one password given", Fixture("encrypted_two.zip"), "", {"-p", "alpha", "-s"}, 2, "pkg",
       {"first.txt", "plain.txt"}, false},
      {"-d with a.start", Fixture("flat.zip"), "1000", {"-d", "there"}, 0, "there",
       {"one.txt", "three.txt", "two.txt"}, false},
      {"-d and r.setup", FixtureRecords("flat.zip") + SetupRecords() + EndRecord(), "0010",
       {"/s", "/d", "other dir"}, 0, "other dir", {"one.txt", "setup.exe", SetupRecord, "three.txt", "two.txt"},
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string dir = support::FreshTestDir();
    const std::string package = JoinPath(dir, "pkg.exe");
    ASSERT_TRUE(support::WritePackage(package, c.zip, c.options));
    ui::Process process;
    ASSERT_TRUE(process.Start(package, c.args, dir)) << process.LastError();
    EXPECT_EQ(ExitCodeWithoutWindows(process), c.exitCode);
    const std::string target = JoinPath(dir, c.into);
    if (c.setupRuns) {
      EXPECT_TRUE(WaitUntil([&] { return support::FileExists(JoinPath(target, SetupRecord)); }, 20000));
    }
    EXPECT_EQ(Below(target), c.files);
  }
}

// -d outside silent use: the directory the dialog proposes, made absolute from the current
// directory; an argument the package does not know changes nothing. -? lists the switches.
TEST(ExtractorSwitches, DirectoryIsProposedAndHelpListsTheSwitches) {
  const std::string dir = support::FreshTestDir();
  const std::string package = JoinPath(dir, "pkg.exe");
  ASSERT_TRUE(support::WritePackage(package, Fixture("flat.zip"), "0000", "C:\\elsewhere"));
  ui::Process process;
  ASSERT_TRUE(process.Start(package, {"-unknown", "-d", "chosen"}, dir)) << process.LastError();
  HWND dialog = ui::WaitForDialog(process, MainCaption);
  ASSERT_NE(dialog, nullptr) << ui::DescribeDialogs(process.Id());
  EXPECT_EQ(ui::ControlText(dialog, PathEditId), JoinPath(dir, "chosen"));
  ExtractExpectingSuccess(process, dialog);
  ExpectFixtureFiles("flat.zip", JoinPath(dir, "chosen"));
  ASSERT_TRUE(ui::PressButton(dialog, IDCANCEL));
  EXPECT_EQ(e2e::ExitCodeOf(process), 0u);

  ui::Process help;
  ASSERT_TRUE(help.Start(package, {"/?"}, dir)) << help.LastError();
  HWND box = ui::WaitForDialog(help, " Zelvix  ver.0.80  [ a.start a.close r.setup t.dir ] ");
  ASSERT_NE(box, nullptr) << ui::DescribeDialogs(help.Id());
  EXPECT_EQ(ui::ReadMessageBox(box).text.rfind("-s\tsilent", 0), 0u) << ui::ReadMessageBox(box).text;
  EXPECT_TRUE(ui::PressButton(box, IDOK));
  EXPECT_EQ(e2e::ExitCodeOf(help), 0u);
}
