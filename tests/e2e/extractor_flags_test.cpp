// The package flags that act without the user: a.start (extract at once, no success box, end),
// a.close (end after Extract, whatever came of it) and r.setup (setup.exe started from the
// extraction directory, only after a successful extraction).
#include <cstdlib>
#include <cstring>
#include "extractor_support.h"

using namespace ext;

namespace {

// This very test program stands in for the package's setup.exe: started under that name it
// writes its current directory and its arguments ("DIR|ARGS") into the file that
// ZELVIX_SETUP_RECORD names, or into setup_ran.txt there, and ends with 7 before any test runs.
const bool StartedAsSetup = [] {
  char path[MAX_PATH + 1] = "";
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  const char* name = std::strrchr(path, '\\');
  if (lstrcmpiA(name != nullptr ? name + 1 : path, "setup.exe") != 0) return false;
  char record[MAX_PATH + 1] = "";
  if (GetEnvironmentVariableA("ZELVIX_SETUP_RECORD", record, MAX_PATH) == 0) lstrcpyA(record, SetupRecord);
  std::string text(MAX_PATH, '\0');
  text.resize(GetCurrentDirectoryA(MAX_PATH, &text[0]));
  const char* args = GetCommandLineA();
  for (bool quoted = false; *args != 0 && (quoted || *args != ' '); ++args) quoted ^= *args == '"';
  while (*args == ' ') ++args;
  text = text + "|" + args;
  HANDLE file = CreateFileA(record, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD written = 0;
  if (file != INVALID_HANDLE_VALUE) {
    WriteFile(file, text.data(), DWORD(text.size()), &written, nullptr);
    CloseHandle(file);
  }
  ExitProcess(7);
}();

// Sets environment variables for the programs a test starts, and takes them back at its end.
class ScopedEnvironment {
public:
  void Set(const char* name, const std::string& value) {
    char old[1024];
    const DWORD length = GetEnvironmentVariableA(name, old, sizeof old);
    saved_.push_back({name, length > 0 && length < sizeof old ? old : "", length > 0});
    SetEnvironmentVariableA(name, value.c_str());
  }
  ~ScopedEnvironment() {
    for (const Saved& s : saved_) SetEnvironmentVariableA(s.name, s.had ? s.value.c_str() : nullptr);
  }
private:
  struct Saved {
    const char* name;
    std::string value;
    bool had;
  };
  std::vector<Saved> saved_;
};

// Waits for the program's end without any window of it coming on screen; its exit code.
DWORD ExitCodeWithoutWindows(ui::Process& process) {
  DWORD code = 0xFFFFFFFF;
  bool shown = false;
  for (int waited = 0; !process.WaitForExit(10, &code) && waited < 30000; waited += 10)
    shown |= !ui::DialogsOf(process.Id()).empty();
  EXPECT_FALSE(shown) << "a window came on screen";
  return e2e::ExitCodeOf(process);
}

// A solid package of flat.zip's files and setup.exe.
std::string SolidWithSetup() {
  std::vector<ZipEntry> entries = FlatEntries();
  entries.push_back(SetupEntry());
  return Solid(entries);
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
  ASSERT_TRUE(support::WritePackage(package, Join({Fixture("flat.zip"), SetupZip()}), "1010"));
  ASSERT_TRUE(process.Start(package, {}, dir)) << process.LastError();
  EXPECT_EQ(e2e::ExitCodeOf(process), 0u);
  ExpectFixtureFiles("flat.zip", target);
  const std::string record = JoinPath(target, SetupRecord);
  ASSERT_TRUE(WaitUntil([&] { return support::FileExists(record); }, 20000)) << "setup.exe did not run";
  ASSERT_TRUE(WaitUntil([&] { return support::ReadFileBytes(record) == target + "|"; }, 5000))
      << support::ReadFileBytes(record);
}

// r.setup after a failed extraction (error boxes still come with a.start): setup.exe, written
// itself, is not started.
TEST(ExtractorFlags, RunSetupStartsNothingAfterAFailure) {
  const std::string dir = support::FreshTestDir();
  const std::string target = JoinPath(dir, "pkg");
  ui::Process process;
  const std::string package = JoinPath(dir, "pkg.exe");
  ASSERT_TRUE(support::WritePackage(package, Join({SetupZip(), Fixture("bad_crc.zip")}), "1010"));
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
  EXPECT_EQ(Below(JoinPath(dir, "pkg")), (std::vector<std::string>{"good.txt", "last.txt"}));
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
  const std::string longDir = std::string(140, 'x') + "\\" + std::string(140, 'y');  // beyond 260 when absolute
  const Case cases[] = {
      {"sound archive", Fixture("tree.zip"), "", {"-s"}, 0, "pkg", tree, false},
      {"-d of 281 characters, relative", Fixture("tree.zip"), "", {"-s", "-d", longDir}, 0, longDir.c_str(), tree,
       false},
      {"CRC failure, a.start, /S", Fixture("bad_crc.zip"), "1000", {"/S"}, 2, "pkg", {"good.txt", "last.txt"}, false},
      {"passwords not given", Fixture("encrypted_two.zip"), "", {"-s"}, 2, "pkg", {"plain.txt"}, false},
      {"one password given", Fixture("encrypted_two.zip"), "", {"-p", "alpha", "-s"}, 2, "pkg",
       {"first.txt", "plain.txt"}, false},
      {"-d with a.start", Fixture("flat.zip"), "1000", {"-d", "there"}, 0, "there",
       {"one.txt", "three.txt", "two.txt"}, false},
      {"-d and r.setup", Join({Fixture("flat.zip"), SetupZip()}), "0010",
       {"/s", "/d", "other dir"}, 0, "other dir", {"one.txt", "setup.exe", SetupRecord, "three.txt", "two.txt"},
       true},
      {"solid package, -s", Solid(FlatEntries()), "", {"-s"}, 0, "pkg", {"one.txt", "three.txt", "two.txt"}, false},
      {"solid package, a.start and r.setup, /s", SolidWithSetup(), "1010", {"/s"}, 0, "pkg",
       {"one.txt", "setup.exe", SetupRecord, "three.txt", "two.txt"}, true},
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
  EXPECT_EQ(ui::ReadMessageBox(box).text,
            "-s\tsilent: no window, only the exit code\r"
            "-d DIR\textract into DIR\r"
            "-p PASSWORD\ttry this password first\r"
            "-z\talso write the archive to <package>_.zip\r"
            "-- ARGS\tgive ARGS to setup.exe\r\r"
            "Also /s, /d, /p. Exit codes: 0 done, 1 damaged archive, 2 not all extracted, 1223 cancelled.");
  EXPECT_TRUE(ui::PressButton(box, IDOK));
  EXPECT_EQ(e2e::ExitCodeOf(help), 0u);
}

// -p with the dialog: the password given is tried first, so the right one extracts every
// encrypted entry without a prompt; a wrong one still leaves the user asked, and the answer
// then serves the remaining entries.
TEST(ExtractorSwitches, PasswordGivenIsTriedBeforeTheUserIsAsked) {
  const struct {
    const char* what;
    std::vector<std::string> args;
    int prompts;
  } cases[] = {
      {"right password", {"-p", "secret"}, 0},
      {"wrong password, /p", {"/p", "wrong"}, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string dir = support::FreshTestDir();
    const std::string package = JoinPath(dir, "pkg.exe");
    ASSERT_TRUE(support::WritePackage(package, Fixture("encrypted_one.zip")));
    ui::Process process;
    ASSERT_TRUE(process.Start(package, c.args, dir)) << process.LastError();
    HWND dialog = ui::WaitForDialog(process, MainCaption);
    ASSERT_NE(dialog, nullptr) << ui::DescribeDialogs(process.Id());
    ASSERT_TRUE(ui::PressButton(dialog, IDOK));
    // Every prompt answered with the right password, until the closing message (a fourth
    // prompt would mean a loop).
    int prompts = 0;
    HWND closing = nullptr;
    ASSERT_TRUE(WaitUntil([&] {
      for (HWND window : ui::DialogsOf(process.Id())) {
        const std::string caption = ui::WindowCaption(window);
        if (caption == SuccessCaption || caption == FailedCaption) closing = window;
        if (caption != PasswordCaption || prompts > 3) continue;
        ++prompts;
        EXPECT_TRUE(ui::SetControlText(window, PasswordEditId, "secret"));
        EXPECT_TRUE(ui::PressButton(window, IDOK));
        EXPECT_TRUE(ui::WaitForWindowGone(window));
      }
      return closing != nullptr;
    }, 2 * ui::DefaultTimeoutMs)) << ui::DescribeDialogs(process.Id());
    EXPECT_EQ(prompts, c.prompts);
    e2e::ExpectMessageBox(process, SuccessCaption, SuccessText, ui::MessageIcon::Information);
    ExpectFixtureFiles("encrypted_one.zip", JoinPath(dir, "pkg"));
    ASSERT_TRUE(ui::PressButton(dialog, IDCANCEL));
    EXPECT_EQ(e2e::ExitCodeOf(process), 0u);
  }
}

// --- Installers: t.dir --------------------------------------------------------------------------

// A fresh test directory whose temp folder is TMP and TEMP for the packages started meanwhile,
// and the file where the setup.exe of SetupEntry() records how it ran.
struct InstallerScene {
  InstallerScene() : dir(support::FreshTestDir()), temp(JoinPath(dir, "temp")), record(JoinPath(dir, "record.txt")) {
    EXPECT_TRUE(CreateDirectoryA(temp.c_str(), nullptr));
    environment.Set("TMP", temp);
    environment.Set("TEMP", temp);
    environment.Set("ZELVIX_SETUP_RECORD", record);
  }
  std::string dir, temp, record;
  ScopedEnvironment environment;
};

// r.setup and t.dir: extraction into a new folder inside the temporary directory, setup.exe run
// there with the arguments after "--" and waited for, its exit code passed on, the folder gone
// afterwards; after a failed extraction nothing runs and the folder goes too. Nothing is ever
// left in the temporary directory itself.
TEST(Installer, SetupRunsInAPrivateFolderThatIsRemovedAfterwards) {
  struct Case {
    const char* what;
    std::string zip;
    std::vector<std::string> args;
    DWORD exitCode;
    const char* setupArgs;  // nullptr: setup.exe must not run
  };
  const Case cases[] = {
      {"sound archive", Join({Fixture("flat.zip"), SetupZip()}),
       {"--", "/quiet", "/norestart"}, 7, "/quiet /norestart"},
      {"silent, no arguments", Join({SetupZip(), Fixture("tree.zip")}), {"/s"}, 7, ""},
      {"CRC failure", Join({SetupZip(), Fixture("bad_crc.zip")}), {"-s", "--", "-x"}, 2, nullptr},
      {"solid package, -s", SolidWithSetup(), {"-s", "--", "/quiet"}, 7, "/quiet"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const InstallerScene scene;
    const std::string &dir = scene.dir, &temp = scene.temp, &record = scene.record;
    const std::string package = JoinPath(dir, "pkg.exe");
    ASSERT_TRUE(support::WritePackage(package, c.zip, "1011"));
    ui::Process process;
    ASSERT_TRUE(process.Start(package, c.args, dir)) << process.LastError();
    EXPECT_EQ(ExitCodeWithoutWindows(process), c.exitCode);
    EXPECT_EQ(Below(temp), std::vector<std::string>{});
    if (c.setupArgs == nullptr) {
      EXPECT_FALSE(support::FileExists(record)) << "setup.exe ran after a failure";
      continue;
    }
    const std::string ran = support::ReadFileBytes(record);
    const std::string folder = ran.substr(0, ran.find('|'));
    EXPECT_EQ(folder.rfind(temp + "\\zelvix-", 0), 0u) << ran;
    EXPECT_EQ(folder.size(), temp.size() + 24) << ran;
    EXPECT_EQ(ran.substr(folder.size()), std::string("|") + c.setupArgs);
  }
}

// An installer (r.setup and t.dir) whose extraction takes a while. With -s no window shows,
// however long it runs. Without, after half a second a small window shows the dialog's caption
// (the share read before it), the file being written, the bar and Cancel, centred on the screen;
// its Cancel stops the run: 1223, setup.exe not started, the private folder removed.
TEST(Installer, ProgressWindowOfALongExtractionAndItsCancel) {
  const InstallerScene scene;
  const std::string &dir = scene.dir, &temp = scene.temp, &record = scene.record;
  const std::string package = JoinPath(dir, "pkg.exe"), silentDir = JoinPath(dir, "silent");
  ASSERT_TRUE(WriteSparsePackage(package, {SetupEntry()}, "large.bin", 1u << 30, 0, "1011"));
  {
    ui::Process silent;
    ASSERT_TRUE(silent.Start(package, {"-s", "-d", silentDir}, dir)) << silent.LastError();
    // Watched until it has been a second and a half inside the large entry (setup.exe written).
    bool shown = false;
    ULONGLONG entered = 0;
    for (const ULONGLONG start = GetTickCount64(); silent.Running() && GetTickCount64() - start < 30000; Sleep(20)) {
      shown |= !ui::DialogsOf(silent.Id()).empty();
      if (entered == 0 && support::FileExists(JoinPath(silentDir, "setup.exe"))) entered = GetTickCount64();
      if (entered != 0 && GetTickCount64() - entered >= 1500) break;
    }
    EXPECT_FALSE(shown) << "a window came on screen";
    EXPECT_TRUE(entered != 0 && silent.Running()) << "not a second and a half inside the large entry";
  }  // and it is ended there
  ui::Process process;
  ASSERT_TRUE(process.Start(package, {}, dir)) << process.LastError();
  HWND window = ui::WaitForAnyDialog(process);
  ASSERT_NE(window, nullptr) << "no progress window";
  // Its caption is set as it comes up, before it first paints.
  std::string caption;
  EXPECT_TRUE(WaitUntil([&] { return !(caption = ui::WindowCaption(window)).empty(); }, 2000));
  const std::string own = std::string("% ") + MainCaption;
  EXPECT_TRUE(caption.size() > own.size() && caption.compare(caption.size() - own.size(), own.size(), own) == 0)
      << caption;
  EXPECT_EQ(ui::ControlClass(window, ProgressId), ProgressClass);
  EXPECT_EQ(ui::ControlText(window, IDCANCEL), "Cancel");
  const std::string status = ui::ControlText(window, StatusId);
  EXPECT_EQ(status.rfind("Extracting: " + temp + "\\zelvix-", 0), 0u) << status;
  EXPECT_NE(status.find("\\large.bin"), std::string::npos) << status;
  RECT r;
  ASSERT_TRUE(GetWindowRect(window, &r));
  EXPECT_LE(std::abs((r.left + r.right) / 2 - GetSystemMetrics(SM_CXSCREEN) / 2), 1);
  EXPECT_LE(std::abs((r.top + r.bottom) / 2 - GetSystemMetrics(SM_CYSCREEN) / 2), 1);
  int first = 0;
  EXPECT_TRUE(WaitUntil([&] { return (first = ui::ProgressPosition(window, ProgressId)) > 0; }));
  EXPECT_TRUE(WaitUntil([&] { return ui::ProgressPosition(window, ProgressId) > first; }));
  ASSERT_TRUE(ui::ClickButton(window, IDCANCEL));
  EXPECT_TRUE(ui::WaitForWindowGone(window, 5000));
  EXPECT_EQ(e2e::ExitCodeOf(process), DWORD(ERROR_CANCELLED));
  EXPECT_EQ(Below(temp), std::vector<std::string>{});
  Sleep(3000);  // setup.exe, had it been started, would have left its record by now
  EXPECT_FALSE(support::FileExists(record)) << "setup.exe ran after a cancel";
}

// t.dir alone: each package makes a folder of its own (two started at once get two), the
// dialog proposes it, and it keeps the extracted files.
TEST(Installer, TempDirAloneKeepsItsOwnFolder) {
  const std::string dir = support::FreshTestDir();
  const std::string temp = JoinPath(dir, "temp");
  ASSERT_TRUE(CreateDirectoryA(temp.c_str(), nullptr));
  ScopedEnvironment environment;
  environment.Set("TMP", temp);
  environment.Set("TEMP", temp);
  const std::string package = JoinPath(dir, "pkg.exe");
  ASSERT_TRUE(support::WritePackage(package, Fixture("flat.zip"), "0001"));
  ui::Process shown, silent;
  ASSERT_TRUE(shown.Start(package, {}, dir)) << shown.LastError();
  ASSERT_TRUE(silent.Start(package, {"-s"}, dir)) << silent.LastError();
  HWND dialog = ui::WaitForDialog(shown, MainCaption);
  ASSERT_NE(dialog, nullptr) << ui::DescribeDialogs(shown.Id());
  const std::string proposed = ui::ControlText(dialog, PathEditId);
  EXPECT_EQ(proposed.rfind(temp + "\\zelvix-", 0), 0u) << proposed;
  ExtractExpectingSuccess(shown, dialog);
  ASSERT_TRUE(ui::PressButton(dialog, IDCANCEL));
  EXPECT_EQ(e2e::ExitCodeOf(shown), 0u);
  EXPECT_EQ(ExitCodeWithoutWindows(silent), 0u);
  const std::vector<std::string> folders = Below(temp);
  ASSERT_EQ(folders.size(), 8u) << "two folders of three files each";
  for (const std::string& entry : folders) {
    if (entry.back() == '/') ExpectFixtureFiles("flat.zip", JoinPath(temp, entry.substr(0, entry.size() - 1)));
  }
  EXPECT_TRUE(support::DirectoryExists(proposed));
}
