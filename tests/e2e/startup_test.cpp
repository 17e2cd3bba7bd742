// The real zelvix.exe under Wine, from start to end: the usage message of the bare stub, the
// "-z" dump of a package's archive (and what happens when it cannot be written), a package
// started with another argument; then the header reader and the fatal report, run through the
// probe program, as a user would see them.
#include <cctype>
#include "e2e_support.h"
#include "extractor_support.h"

using support::JoinPath;

namespace {

const char MainDialogCaption[] = "Zelvix ZIP Extractor";
constexpr int ListId = 301, StoredPathsId = 401, OverwriteId = 501, SkipId = 502, PathEditId = 101;
constexpr int AllId = 121, NoneId = 122;

// Writes dir\pkg.exe: this build's stub, an options block, the fixture archive.
std::string MakePackage(const std::string& dir, const std::string& fixture, std::string* zip) {
  const std::string package = JoinPath(dir, "pkg.exe");
  EXPECT_TRUE(support::ReadWholeFile(support::FixturePath(fixture), zip)) << fixture;
  EXPECT_TRUE(support::WritePackage(package, *zip)) << package;
  return package;
}

// The package's main dialog must come up; Exit ends the program with code 0.
void ExitFromMainDialog(ui::Process& process) {
  HWND dialog = ui::WaitForDialog(process, MainDialogCaption);
  ASSERT_NE(dialog, nullptr) << "no main dialog; dialogs: " << ui::DescribeDialogs(process.Id());
  EXPECT_TRUE(ui::PressButton(dialog, IDCANCEL));
  EXPECT_EQ(e2e::ExitCodeOf(process), 0u);
}

}  // namespace

// --- Bare stub ------------------------------------------------------------------------------

// Without an argument, or given only a package's switches (a package cut before its archive
// is such a stub), it says how to make a package and builds nothing.
TEST(BareStub, WithoutArgumentExplainsHowToMakeAPackage) {
  const std::string dir = support::FreshTestDir();
  for (const std::vector<std::string>& args : {std::vector<std::string>{}, {"-d", "there"}}) {
    ui::Process stub;
    ASSERT_TRUE(stub.Start(support::StubPath(), args, dir)) << stub.LastError();
    e2e::ExpectMessageBox(stub, " Zelvix  ver.0.80  [ a.start a.close r.setup t.dir ] ",
                          "Couldn't find attached archive. To create package:\r\r"
                          "Zelvix.exe  ZipName  [Options  [ExtPath] ]\r\r",
                          ui::MessageIcon::Exclamation);
    EXPECT_EQ(e2e::ExitCodeOf(stub), 0u);
    EXPECT_TRUE(ui::DialogsOf(stub.Id()).empty());
  }
  // The dialog's icon, as the stub loads it (its image is stored PNG-compressed).
  const HMODULE module = LoadLibraryExA(support::StubPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(module, nullptr);
  EXPECT_NE(LoadIconA(module, "MainIcon"), nullptr);
  FreeLibrary(module);
}

// --- Dump of the attached archive -----------------------------------------------------------

// The dump is the appended ZIP byte for byte: here its length is a multiple of the 256-byte
// blocks the dump copies in. The same start checks that the dialog's controls can be read.
TEST(PackageDump, ArchiveOfWholeBlocksIsWrittenBackExactly) {
  const std::string dir = support::FreshTestDir();
  std::string zip;
  const std::string package = MakePackage(dir, "aligned.zip", &zip);
  ASSERT_EQ(zip.size() % 256, 0u);
  ui::Process process;
  ASSERT_TRUE(process.Start(package, {"-z"}, dir)) << process.LastError();
  ExitFromMainDialog(process);
  std::string dump;
  ASSERT_TRUE(support::ReadWholeFile(JoinPath(dir, "pkg_.zip"), &dump));
  EXPECT_EQ(dump.size(), zip.size());
  EXPECT_TRUE(dump == zip) << "the dump differs from the appended archive";
}

// Here the last block is a partial one (the last read returns the remainder).
TEST(PackageDump, ArchiveEndingInAPartialBlockIsWrittenBackExactly) {
  const std::string dir = support::FreshTestDir();
  std::string zip;
  const std::string package = MakePackage(dir, "tree.zip", &zip);
  ASSERT_NE(zip.size() % 256, 0u);
  ui::Process process;
  ASSERT_TRUE(process.Start(package, {"-z"}, dir)) << process.LastError();

  // While it is open, the dialog shows the archive: this is where the automation library meets
  // the real controls (list text through the wide messages, selection, check and radio states).
  HWND dialog = ui::WaitForDialog(process, MainDialogCaption);
  ASSERT_NE(dialog, nullptr) << "no main dialog; dialogs: " << ui::DescribeDialogs(process.Id());
  const std::vector<std::string> names{"Alpha.txt", "bin/empty.dat", "bin/tool.dat", "docs/guide.txt",
                                       "docs/sub/deep.txt", "readme.txt"};
  std::vector<std::string> listed = ui::ListItems(dialog, ListId);
  for (std::string& name : listed)
    for (char& c : name)
      if (c == '\\') c = '/';
  EXPECT_EQ(listed, names);
  EXPECT_EQ(ui::ListSelection(dialog, ListId), std::vector<bool>(names.size(), true));
  EXPECT_TRUE(ui::IsChecked(dialog, StoredPathsId));
  EXPECT_TRUE(ui::IsChecked(dialog, OverwriteId));
  EXPECT_EQ(ui::ButtonState(dialog, SkipId), BST_UNCHECKED);
  EXPECT_TRUE(ui::IsControlEnabled(dialog, IDOK));
  EXPECT_EQ(ui::ControlText(dialog, PathEditId), JoinPath(dir, "pkg"));
  EXPECT_TRUE(ui::ClickButton(dialog, NoneId));
  for (int i = 0; i < 100 && !ui::SelectedListItems(dialog, ListId).empty(); ++i) Sleep(50);
  EXPECT_TRUE(ui::SelectedListItems(dialog, ListId).empty());
  EXPECT_TRUE(ui::SetListItemSelected(dialog, ListId, 1, true));
  EXPECT_EQ(ui::SelectedListItems(dialog, ListId).size(), 1u);
  EXPECT_TRUE(ui::SetControlText(dialog, PathEditId, JoinPath(dir, "elsewhere")));
  EXPECT_EQ(ui::ControlText(dialog, PathEditId), JoinPath(dir, "elsewhere"));
  EXPECT_TRUE(ui::PressButton(dialog, IDCANCEL));
  EXPECT_EQ(e2e::ExitCodeOf(process), 0u);

  std::string dump;
  ASSERT_TRUE(support::ReadWholeFile(JoinPath(dir, "pkg_.zip"), &dump));
  EXPECT_EQ(dump.size(), zip.size());
  EXPECT_TRUE(dump == zip) << "the dump differs from the appended archive";
}

// A dump name that cannot be created (a directory stands there) is reported with its full name,
// and the package goes on to its dialog as usual. (A read-only dump file cannot stand in here:
// the tests run Wine as root, and root opens a read-only file for writing all the same.)
TEST(PackageDump, UnwritableDumpIsReportedAndTheDialogStillComes) {
  const std::string dir = support::FreshTestDir();
  std::string zip;
  const std::string package = MakePackage(dir, "flat.zip", &zip);
  const std::string dumpName = JoinPath(dir, "pkg_.zip");
  ASSERT_TRUE(CreateDirectoryA(dumpName.c_str(), nullptr));
  ui::Process process;
  ASSERT_TRUE(process.Start(package, {"-z"}, dir)) << process.LastError();
  e2e::ExpectMessageBox(process, "Unable to rewrite...", dumpName, ui::MessageIcon::Stop);
  ExitFromMainDialog(process);
  EXPECT_TRUE(support::DirectoryExists(dumpName));
}

// A file already at the dump's name is never lost: kept without a word when it holds the
// archive, kept when the user says No or the run is silent, replaced only after Yes.
TEST(PackageDump, AnotherFileAtTheDumpsNameIsReplacedOnlyAfterYes) {
  const std::string dir = support::FreshTestDir();
  std::string zip;
  const std::string package = MakePackage(dir, "flat.zip", &zip);
  const std::string dumpName = JoinPath(dir, "pkg_.zip");
  ASSERT_TRUE(support::WriteFileBytes(dumpName, "someone else's file"));
  const std::string question = dumpName + "\r\nalready exists. Replace it with the attached archive?";
  ui::Process silent;
  ASSERT_TRUE(silent.Start(package, {"-z", "-s", "-d", "out"}, dir)) << silent.LastError();
  EXPECT_EQ(e2e::ExitCodeOf(silent), 0u);
  EXPECT_EQ(support::ReadFileBytes(dumpName), "someone else's file");
  for (const int answer : {IDNO, IDYES}) {
    ui::Process process;
    ASSERT_TRUE(process.Start(package, {"-z"}, dir)) << process.LastError();
    e2e::ExpectMessageBox(process, "Confirm overwrite of...", question, ui::MessageIcon::Question, answer);
    ExitFromMainDialog(process);
    EXPECT_EQ(support::ReadFileBytes(dumpName) == zip, answer == IDYES);
  }
  ui::Process again;  // the dump is the archive now: nothing to ask
  ASSERT_TRUE(again.Start(package, {"-z"}, dir)) << again.LastError();
  ExitFromMainDialog(again);
  EXPECT_TRUE(support::ReadFileBytes(dumpName) == zip);
}

// Only "-z" exactly asks for the dump; "-Z" is just another argument, which a package ignores.
TEST(PackageDump, CapitalZWritesNothing) {
  const std::string dir = support::FreshTestDir();
  std::string zip;
  const std::string package = MakePackage(dir, "flat.zip", &zip);
  ui::Process process;
  ASSERT_TRUE(process.Start(package, {"-Z"}, dir)) << process.LastError();
  ExitFromMainDialog(process);
  EXPECT_FALSE(support::FileExists(JoinPath(dir, "pkg_.zip")));
  EXPECT_FALSE(support::DirectoryExists(JoinPath(dir, "pkg_.zip")));
}

// A package in a folder named with characters outside code page 1252: the dialog lists
// the archive and proposes the folder joined with the package's name, "-z" writes the dump
// beside the package, and a silent run fills the proposed directory.
TEST(PackageDump, PackageInAFolderNamedOutsideCodePage1252) {
  const std::string dir = JoinPath(support::FreshTestDir(), "日本語 package");
  ASSERT_TRUE(CreateDirectoryW(support::WidePath(dir).c_str(), nullptr));
  std::string zip;
  ASSERT_TRUE(support::ReadWholeFile(support::FixturePath("tree.zip"), &zip));
  const std::string package = JoinPath(dir, "パック.exe");
  ASSERT_TRUE(support::WritePackage(package, zip));
  ui::Process process;
  ASSERT_TRUE(process.Start(package, {"-z"}, dir)) << process.LastError();
  HWND dialog = ui::WaitForDialog(process, MainDialogCaption);
  ASSERT_NE(dialog, nullptr) << "no main dialog; dialogs: " << ui::DescribeDialogs(process.Id());
  EXPECT_EQ(ext::Listed(dialog), (std::vector<std::string>{"Alpha.txt", "bin/empty.dat", "bin/tool.dat",
                                                             "docs/guide.txt", "docs/sub/deep.txt", "readme.txt"}));
  EXPECT_EQ(ui::ControlText(dialog, PathEditId), JoinPath(dir, "パック"));
  EXPECT_TRUE(ui::PressButton(dialog, IDCANCEL));
  EXPECT_EQ(e2e::ExitCodeOf(process), 0u);
  EXPECT_TRUE(support::ReadFileBytes(JoinPath(dir, "パック_.zip")) == zip) << "no dump, or not the archive";

  ui::Process silent;
  ASSERT_TRUE(silent.Start(package, {"-s"}, dir)) << silent.LastError();
  EXPECT_EQ(e2e::ExitCodeOf(silent), 0u);
  ext::ExpectFixtureFiles("tree.zip", JoinPath(dir, "パック"));
}

// --- A package signed after it was built -----------------------------------------------------

// The Authenticode signature follows the archive (tests/tools/make_signed_package.sh): the
// package lists and extracts exactly as before.
TEST(SignedPackage, ExtractsAsBefore) {
  const std::string dir = support::FreshTestDir();
  std::string signedPackage;
  ASSERT_TRUE(support::ReadWholeFile(support::FixturePath("signed.exe"), &signedPackage));
  const std::string package = JoinPath(dir, "pkg.exe");
  ASSERT_TRUE(support::WriteFileBytes(package, signedPackage));
  ui::Process process;
  ASSERT_TRUE(process.Start(package, {"-s"}, dir)) << process.LastError();
  EXPECT_EQ(e2e::ExitCodeOf(process), 0u);
  ext::ExpectFixtureFiles("flat.zip", JoinPath(dir, "pkg"));
}

// --- Local headers and the fatal report, through the probe -----------------------------------

TEST(HeaderReader, WalksEveryLocalHeaderAndStopsAtTheCentralDirectory) {
  ui::Process probe;
  ASSERT_TRUE(probe.Start(e2e::ProbePath(), {"headers", support::FixturePath("tree.zip")})) << probe.LastError();
  EXPECT_EQ(e2e::ExitCodeOf(probe), 100u + 8u);  // eight records, directories included
}

TEST(HeaderReader, ArchiveCutInsideAHeaderEndsTheProgramWithCodeOne) {
  ui::Process probe;
  ASSERT_TRUE(probe.Start(e2e::ProbePath(), {"headers", support::FixturePath("cut_header.zip")}))
      << probe.LastError();
  e2e::ExpectMessageBox(probe, "Zelvix Error", "Error reading header... Corrupted archive!", ui::MessageIcon::None);
  EXPECT_EQ(e2e::ExitCodeOf(probe), 1u);
}

TEST(FatalReport, FailedAllocationShowsRuntimeError203AndEndsWithIt) {
  ui::Process probe;
  ASSERT_TRUE(probe.Start(e2e::ProbePath(), {"alloc"})) << probe.LastError();
  HWND box = ui::WaitForDialog(probe, "Error");
  ASSERT_NE(box, nullptr) << "no fatal report; dialogs: " << ui::DescribeDialogs(probe.Id());
  const ui::MessageBoxInfo info = ui::ReadMessageBox(box);
  const std::string head = "Runtime error 203 at ";
  ASSERT_EQ(info.text.size(), head.size() + 8) << info.text;
  EXPECT_EQ(info.text.substr(0, head.size()), head);
  for (char c : info.text.substr(head.size()))
    EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(c)) || (c >= 'A' && c <= 'F')) << info.text;
  EXPECT_NE(info.text.substr(head.size()), "00000000");
  EXPECT_EQ(info.icon, ui::MessageIcon::Stop);
  EXPECT_TRUE(ui::PressButton(box, IDOK));
  EXPECT_EQ(e2e::ExitCodeOf(probe), 203u);
}
