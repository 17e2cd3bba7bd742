// Archives written by real archivers (Info-ZIP zip, bsdtar, pigz, Python's zipfile), attached to
// the stub and extracted through the main dialog: data descriptors with and without sizes in the
// local header, CRC-32 left at zero, ZIP64 fields, encryption on top; then a streamed archive
// with one entry's data damaged and one cut before its last descriptor.
// tests/tools/make_real_archives.py makes them, and the input files, in fixtures/real.
#include <algorithm>
#include "e2e_support.h"
#include "extractor_support.h"

using support::JoinPath;

namespace {

const char MainDialogCaption[] = "Zelvix ZIP Extractor";
const char PasswordCaption[] = "Enter Password...";
const char SuccessCaption[] = "Zelvix result";
const char SuccessText[] = "Extraction successful on all files !";
const char FailureCaption[] = "Extraction Error";
const char FailureText[] = "The remaining highlighted file (s) failed CRC validation";
constexpr int ListId = 301, PathEditId = 101, PasswordEditId = 101;
const char Password[] = "pw";

// The files that went into every archive of more than one entry; sub/ is a directory entry,
// never listed.
const std::vector<std::string> AllFiles{"data.bin", "empty.dat", "sub/nested.txt", "text.txt", "tiny.txt"};
// Names in other languages, in UTF-8, sorted by their bytes as Normalized() sorts.
const std::vector<std::string> IntlFiles{"naïve café/résumé über.txt", "Ωμέγα/日本語 ファイル.txt"};

std::string RealPath(const std::string& name) {
  return JoinPath(JoinPath(support::EnvPath("ZELVIX_FIXTURES"), "real"), name);
}

std::string WithBackslashes(std::string name) {
  std::replace(name.begin(), name.end(), '/', '\\');
  return name;
}

// List texts with '/' as separator, sorted, so they compare with the names above whatever
// separator the list shows and in whatever order the list box sorts.
std::vector<std::string> Normalized(std::vector<std::string> names) {
  for (std::string& name : names) std::replace(name.begin(), name.end(), '\\', '/');
  std::sort(names.begin(), names.end());
  return names;
}

// What one package showed from its start to its end.
struct Outcome {
  std::vector<std::string> listed;        // after the listing run
  std::vector<std::string> leftSelected;  // after the extraction run
  ui::MessageBoxInfo closing;             // the extraction run's closing message
  int passwordPrompts = 0;
  std::string outDir;                     // where the package extracted to
};

// Attaches the archive to the stub, starts the package, reads its list, extracts everything
// into a fresh directory (answering each password prompt with password), reads the closing
// message and what stays selected, and leaves through Exit.
Outcome ExtractEverything(const std::string& archive, const std::string& password = "") {
  Outcome outcome;
  const std::string dir = support::FreshTestDir();
  std::string zip;
  EXPECT_TRUE(support::ReadWholeFile(RealPath(archive), &zip)) << archive;
  const std::string package = JoinPath(dir, "pkg.exe");
  EXPECT_TRUE(support::WritePackage(package, zip)) << package;
  outcome.outDir = JoinPath(dir, "out");

  ui::Process process;
  EXPECT_TRUE(process.Start(package, {}, dir)) << process.LastError();
  HWND dialog = ui::WaitForDialog(process, MainDialogCaption);
  if (dialog == nullptr) {
    ADD_FAILURE() << archive << ": no main dialog; dialogs: " << ui::DescribeDialogs(process.Id());
    return outcome;
  }
  // The first program of a fresh Wine session may keep its dialog busy for a few seconds after
  // showing it: ask again (bounded) rather than read an empty list.
  const ULONGLONG shown = GetTickCount64();
  while (outcome.listed.empty() && GetTickCount64() - shown < ui::DefaultTimeoutMs) {
    outcome.listed = Normalized(ui::ListItems(dialog, ListId));
    if (outcome.listed.empty()) Sleep(100);
  }
  EXPECT_TRUE(ui::SetControlText(dialog, PathEditId, outcome.outDir));
  EXPECT_TRUE(ui::PressButton(dialog, IDOK));

  // Password prompts until the closing message comes; more than three would mean a loop.
  HWND closing = nullptr;
  const ULONGLONG start = GetTickCount64();
  while (closing == nullptr && GetTickCount64() - start < 2 * ui::DefaultTimeoutMs && process.Running()) {
    for (HWND window : ui::DialogsOf(process.Id())) {
      const std::string caption = ui::WindowCaption(window);
      if (caption == SuccessCaption || caption == FailureCaption) {
        closing = window;
      } else if (caption == PasswordCaption && outcome.passwordPrompts < 4) {
        ++outcome.passwordPrompts;
        EXPECT_TRUE(ui::SetControlText(window, PasswordEditId, password));
        EXPECT_TRUE(ui::PressButton(window, IDOK));
        EXPECT_TRUE(ui::WaitForWindowGone(window));
      }
    }
    if (closing == nullptr) Sleep(50);
  }
  if (closing == nullptr) {
    ADD_FAILURE() << archive << ": no closing message; dialogs: " << ui::DescribeDialogs(process.Id());
    return outcome;
  }
  outcome.closing = ui::ReadMessageBox(closing);
  EXPECT_TRUE(ui::PressButton(closing, IDOK));
  EXPECT_TRUE(ui::WaitForWindowGone(closing));
  outcome.leftSelected = Normalized(ui::SelectedListItems(dialog, ListId));
  EXPECT_TRUE(ui::PressButton(dialog, IDCANCEL));
  EXPECT_EQ(e2e::ExitCodeOf(process), outcome.leftSelected.empty() ? 0u : 2u) << archive;
  return outcome;
}

// A file's last-write time in seconds since 1601, or 0 when it cannot be had.
int64_t LastWriteSeconds(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(support::WidePath(path).c_str(), GetFileExInfoStandard, &data)) return 0;
  return int64_t((uint64_t(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime) / 10000000;
}

// The extracted file equals the input file of that name, and carries its modification time,
// as the archive stored it: to the second from a UT field, else to the 2 seconds of a DOS time
// (the inputs' time has an odd second).
void ExpectExtractedAsInput(const Outcome& outcome, const std::string& name, bool exactTime = false) {
  std::string expected, extracted;
  const std::string input = RealPath(WithBackslashes("input/" + name));
  const std::string output = JoinPath(outcome.outDir, WithBackslashes(name));
  ASSERT_TRUE(support::ReadWholeFile(input, &expected)) << name;
  ASSERT_TRUE(support::ReadWholeFile(output, &extracted)) << name << " was not extracted";
  EXPECT_EQ(extracted.size(), expected.size()) << name;
  EXPECT_TRUE(extracted == expected) << name << " differs from its input";
  if (exactTime)
    EXPECT_EQ(LastWriteSeconds(output), LastWriteSeconds(input)) << name;
  else
    EXPECT_NEAR(double(LastWriteSeconds(output)), double(LastWriteSeconds(input)), 2.0) << name;
}

void ExpectSuccess(const Outcome& outcome) {
  EXPECT_EQ(outcome.closing.caption, SuccessCaption);
  EXPECT_EQ(outcome.closing.text, SuccessText);
  EXPECT_EQ(outcome.closing.icon, ui::MessageIcon::Information);
  EXPECT_TRUE(outcome.leftSelected.empty()) << "still highlighted: " << ::testing::PrintToString(outcome.leftSelected);
}

void ExpectFailure(const Outcome& outcome) {
  EXPECT_EQ(outcome.closing.caption, FailureCaption);
  EXPECT_EQ(outcome.closing.text, FailureText);
  EXPECT_EQ(outcome.closing.icon, ui::MessageIcon::Stop);
}

// --- Every entry of a sound archive ---------------------------------------------------------

struct RealArchive {
  const char* file;
  const char* password;  // "" when nothing is encrypted
  std::vector<std::string> files;
  bool utTimes = false;  // UT fields in every header: the times come back to the second
};

void PrintTo(const RealArchive& archive, std::ostream* out) { *out << archive.file; }

class SoundArchive : public ::testing::TestWithParam<RealArchive> {};

TEST_P(SoundArchive, EveryEntryIsListedExtractedAndChecked) {
  const RealArchive& archive = GetParam();
  const Outcome outcome = ExtractEverything(archive.file, archive.password);
  EXPECT_EQ(outcome.listed, archive.files);
  ExpectSuccess(outcome);
  // The password is asked for once, at the first encrypted entry, and kept for the others.
  EXPECT_EQ(outcome.passwordPrompts, archive.password[0] != 0 ? 1 : 0);
  for (const std::string& name : archive.files) ExpectExtractedAsInput(outcome, name, archive.utTimes);
}

INSTANTIATE_TEST_SUITE_P(
    RealTools, SoundArchive,
    ::testing::Values(
        // Bit 3 with sizes and CRC-32 also in the header: signed descriptors stepped over.
        RealArchive{"zip_encrypted.zip", Password, AllFiles},
        // Deferred sizes, stored and deflated, the empty file's descriptor right at its data.
        RealArchive{"zip_stream.zip", "", AllFiles}, RealArchive{"zip_stream_pw.zip", Password, AllFiles},
        // Encrypted and stored to a pipe, zip puts the size without the encryption header into
        // the local header; only the descriptor after the data tells the true one.
        RealArchive{"zip_stream_pw_store.zip", Password, AllFiles},
        RealArchive{"python_stream.zip", "", AllFiles},
        // LZMA under traditional encryption: the password taken at the prompt.
        RealArchive{"7z_lzma_pw.zip", Password, AllFiles},
        // A solid package of zelvix-pack: listed from its index, extracted from its payload.
        RealArchive{"solid.zip", "", {"data.bin", "empty.dat", "naïve café/résumé über.txt", "sub/nested.txt", "text.txt",
                                      "tiny.txt", "Ωμέγα/日本語 ファイル.txt"}, true},
        // Local CRC-32 zero: deferred with deflate, sizes present when stored.
        RealArchive{"bsdtar_deflate.zip", "", AllFiles}, RealArchive{"bsdtar_store.zip", "", AllFiles},
        // ZIP64: sizes in the extra field; deferred with 24-byte descriptors.
        RealArchive{"zip_zip64.zip", "", AllFiles}, RealArchive{"zip_zip64_stream.zip", "", AllFiles},
        // Extended timestamps (UT): the files' times come from them, odd second included.
        RealArchive{"zip_times.zip", "", AllFiles, true},
        RealArchive{"pigz_text.zip", "", {"text.txt"}}, RealArchive{"pigz_empty.zip", "", {"empty.dat"}},
        // Names in other languages: UTF-8 by flag bit 11, and raw UTF-8 without it.
        RealArchive{"python_utf8.zip", "", IntlFiles}, RealArchive{"zip_utf8.zip", "", IntlFiles},
        // A code-page 437 name; a Unicode Path field that renames its entry; one whose CRC-32
        // is not that of the stored name, so the stored name holds.
        RealArchive{"crafted_names.zip", "", {"café.txt", "tiny.txt", "Ωμέγα/日本語 ファイル.txt"}}),
    [](const ::testing::TestParamInfo<RealArchive>& info) {
      std::string name = info.param.file;
      name = name.substr(0, name.find('.'));
      return name;
    });

// --- Damaged streamed archives --------------------------------------------------------------

// text.txt's descriptor is intact, so the walk finds its end and every other entry; its data
// no longer give its CRC-32: the file stays as written and its item stays highlighted.
TEST(DamagedStream, CorruptedDeferredEntryFailsItsCrcAndStaysHighlighted) {
  const Outcome outcome = ExtractEverything("stream_corrupt.zip");
  EXPECT_EQ(outcome.listed, AllFiles);
  ExpectFailure(outcome);
  EXPECT_EQ(outcome.leftSelected, std::vector<std::string>{"text.txt"});
  for (const std::string& name : AllFiles) {
    if (name != "text.txt") ExpectExtractedAsInput(outcome, name);
  }
  std::string input, written;
  ASSERT_TRUE(support::ReadWholeFile(RealPath("input\\text.txt"), &input));
  if (support::ReadWholeFile(JoinPath(outcome.outDir, "text.txt"), &written)) {
    EXPECT_FALSE(written == input) << "a damaged entry cannot give back its input";
  }
}

// The last entry's data are all there but its descriptor is not: nothing tells where it ends.
// It is listed, never written (no empty or partial file passes for it), stays highlighted, and
// the run reports the failure; the entries before it come out whole.
TEST(DamagedStream, ArchiveCutBeforeItsLastDescriptorNeverPassesAnEntryOffAsGood) {
  const Outcome outcome = ExtractEverything("stream_cut.zip");
  EXPECT_EQ(outcome.listed, AllFiles);
  ExpectFailure(outcome);
  EXPECT_EQ(outcome.leftSelected, std::vector<std::string>{"sub/nested.txt"});
  for (const std::string& name : AllFiles) {
    if (name != "sub/nested.txt") ExpectExtractedAsInput(outcome, name);
  }
  EXPECT_FALSE(support::FileExists(JoinPath(outcome.outDir, "sub\\nested.txt")));
}

// --- Entry names ------------------------------------------------------------------------------

// Two names that differ only in case: each entry reaches its own item, so nothing stays
// highlighted; the file system has one file for both, holding the later entry's contents.
TEST(EntryNames, NamesDifferingOnlyInCaseEachReachTheirItem) {
  const Outcome outcome = ExtractEverything("case_pair.zip");
  EXPECT_EQ(outcome.listed, (std::vector<std::string>{"Ä.txt", "ä.txt"}));
  ExpectSuccess(outcome);
  EXPECT_EQ(support::ReadFileBytes(JoinPath(outcome.outDir, "ä.txt")), "lower\n");
}

// Device names, a trailing dot and a reserved character are listed but never written; they stay
// highlighted and fail the run (exit code 2); the good file beside them comes out whole.
TEST(EntryNames, RefusedNamesStayHighlightedAndHarmNothingElse) {
  const Outcome outcome = ExtractEverything("refused_names.zip");
  EXPECT_EQ(outcome.listed, (std::vector<std::string>{"a<b.txt", "aux.txt", "con", "good.txt", "trail."}));
  ExpectFailure(outcome);
  EXPECT_EQ(outcome.leftSelected, (std::vector<std::string>{"a<b.txt", "aux.txt", "con", "trail."}));
  EXPECT_EQ(ext::Below(outcome.outDir), std::vector<std::string>{"good.txt"});
  EXPECT_EQ(support::ReadFileBytes(JoinPath(outcome.outDir, "good.txt")), "good.txt\n");
}

// --- LZMA (method 14) -------------------------------------------------------------------------

// Silent extraction (-s, -d, -p) of archives with LZMA entries: with and without the end marker,
// under traditional encryption, from 7z and from zipfile; each file byte for byte as it went in.
// A damaged stream fails its entry alone, and leaves no file of it.
TEST(LzmaArchive, SilentExtractionGivesEveryFileBackByteForByte) {
  struct Case {
    const char* file;
    const char* password;
    DWORD exitCode;
    std::vector<std::string> extracted, absent;
  };
  const Case cases[] = {
      {"7z_lzma.zip", "", 0, AllFiles, {}},          // the end marker after each stream, flag bit 1
      {"7z_lzma_noeos.zip", "", 0, AllFiles, {}},    // no marker: the declared size ends each stream
      {"7z_lzma_pw.zip", Password, 0, AllFiles, {}},  // deciphered below the codec
      {"python_lzma.zip", "", 0, AllFiles, {}},      // the empty file as an LZMA stream too
      {"lzma_corrupt.zip", "", 2, {"data.bin", "empty.dat", "sub/nested.txt", "tiny.txt"}, {"text.txt"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string dir = support::FreshTestDir();
    std::string zip;
    ASSERT_TRUE(support::ReadWholeFile(RealPath(c.file), &zip));
    const std::string package = JoinPath(dir, "pkg.exe");
    ASSERT_TRUE(support::WritePackage(package, zip));
    std::vector<std::string> args{"-s", "-d", "out"};
    if (c.password[0] != 0) args.insert(args.end(), {"-p", c.password});
    ui::Process process;
    ASSERT_TRUE(process.Start(package, args, dir)) << process.LastError();
    EXPECT_EQ(e2e::ExitCodeOf(process), c.exitCode);
    Outcome outcome;
    outcome.outDir = JoinPath(dir, "out");
    for (const std::string& name : c.extracted) ExpectExtractedAsInput(outcome, name);
    for (const std::string& name : c.absent)
      EXPECT_FALSE(support::FileExists(JoinPath(outcome.outDir, WithBackslashes(name)))) << name;
  }
}

// --- Methods the stub cannot decode -----------------------------------------------------------

// AES encryption (method 99): said before any password prompt, no file made for it, the walk
// ends there; silent, the same outcome is exit code 2 with no window.
TEST(UndecodableMethod, AesArchiveIsRefusedBeforeAnyPasswordPrompt) {
  const std::string dir = support::FreshTestDir();
  std::string zip;
  ASSERT_TRUE(support::ReadWholeFile(RealPath("7z_aes.zip"), &zip));
  const std::string package = JoinPath(dir, "pkg.exe");
  ASSERT_TRUE(support::WritePackage(package, zip));
  ui::Process process;
  ASSERT_TRUE(process.Start(package, {}, dir)) << process.LastError();
  HWND dialog = ui::WaitForDialog(process, MainDialogCaption);
  ASSERT_NE(dialog, nullptr) << ui::DescribeDialogs(process.Id());
  EXPECT_TRUE(ui::SetControlText(dialog, PathEditId, JoinPath(dir, "out")));
  EXPECT_TRUE(ui::PressButton(dialog, IDOK));
  e2e::ExpectMessageBox(process, "Unable to extract...", "Unsupported compression method", ui::MessageIcon::Stop);
  e2e::ExpectMessageBox(process, ext::FailedCaption, ext::FailedText, ui::MessageIcon::Stop);
  EXPECT_FALSE(support::FileExists(JoinPath(dir, "out\\data.bin")));
  EXPECT_TRUE(ui::PressButton(dialog, IDCANCEL));
  EXPECT_EQ(e2e::ExitCodeOf(process), 2u);

  ui::Process silent;
  ASSERT_TRUE(silent.Start(package, {"-s", "-p", Password}, dir)) << silent.LastError();
  EXPECT_EQ(e2e::ExitCodeOf(silent), 2u);
}

}  // namespace
