// Shared steps of the extractor-mode tests: the ids and texts of the three dialogs, archives
// written here record by record (or put together from the fixtures' local records), packages
// started in a fresh directory, and the files on disk compared with what an archive holds.
#pragma once
#include <windows.h>
#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>
#include "e2e_support.h"
#include "support/lzma_writer.h"  // tests/unit: the hand-made LZMA streams

namespace ext {

using support::JoinPath;

// Main dialog.
const char MainCaption[] = "Zelvix ZIP Extractor";
constexpr int PathEditId = 101, ListId = 301, StoredPathsId = 401, StatusId = 601;
constexpr int OverwriteId = 501, SkipId = 502, ConfirmId = 503, AllId = 121, NoneId = 122, ProgressId = 602;
// The controls that cannot act while an extraction runs: disabled meanwhile.
constexpr int RunLockedIds[] = {IDOK, AllId, NoneId, ListId, PathEditId, OverwriteId, SkipId, ConfirmId, StoredPathsId};
const char ProgressClass[] = "msctls_progress32";
// Overwrite question and password dialog.
const char QuestionCaption[] = "Confirm overwrite of...";
constexpr int QuestionId = 101, DontAskId = 401;
const char PasswordCaption[] = "Enter Password...";
constexpr int PasswordEditId = 101;
// Closing messages of an extraction.
const char SuccessCaption[] = "Zelvix result";
const char SuccessText[] = "Extraction successful on all files !";
const char FailedCaption[] = "Extraction Error";
const char FailedText[] = "The remaining highlighted file (s) failed CRC validation";

// Polls until done() holds; false after timeoutMs.
inline bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs = 10000) {
  for (DWORD waited = 0;; waited += 50) {
    if (done()) return true;
    if (waited >= timeoutMs) return false;
    Sleep(50);
  }
}

// --- Archives ----------------------------------------------------------------------------------

inline uint32_t Crc32(const std::string& bytes) {
  static uint32_t table[256];
  if (table[1] == 0)
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
      table[n] = c;
    }
  uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char b : bytes) crc = table[(crc ^ b) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

inline void PutLE(std::string& out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out += char((value >> (8 * i)) & 0xFF);
}

// One record written by Records(): the data stored as they are (method 0), unless another
// method with its own payload is given; the CRC-32 is the data's unless overridden.
struct ZipEntry {
  std::string name;
  std::string data;
  uint16_t method = 0;
  std::string payload;        // the bytes after the header when method != 0
  bool zip64 = false;         // sizes 0xFFFFFFFF in the header, the real ones in a ZIP64 field
  std::string extra;          // further extra fields, in both headers
  int64_t crc = -1;           // the CRC-32 stated, when not the data's
  // What the central directory says of it, where that is not what its local header says.
  std::string centralName;    // another name
  int64_t centralSize = -1;   // another uncompressed size
  bool unlisted = false;      // nothing: the directory leaves it out
};

inline ZipEntry Stored(const std::string& name, const std::string& data = "") {
  ZipEntry entry;
  entry.name = name;
  entry.data = data;
  return entry;
}

inline uint32_t StatedCrc(const ZipEntry& e) { return e.crc >= 0 ? uint32_t(e.crc) : Crc32(e.data); }

// The local records of entries, without a central directory (an archive cut there).
inline std::string Records(const std::vector<ZipEntry>& entries) {
  std::string out;
  for (const ZipEntry& e : entries) {
    const std::string& payload = e.method == 0 ? e.data : e.payload;
    std::string extra;
    if (e.zip64) {
      PutLE(extra, 0x0001, 2);
      PutLE(extra, 16, 2);
      PutLE(extra, e.data.size(), 8);
      PutLE(extra, payload.size(), 8);
    }
    extra += e.extra;
    PutLE(out, 0x04034B50, 4);
    PutLE(out, e.zip64 ? 45 : 20, 2);
    PutLE(out, 0, 2);                                          // flags
    PutLE(out, e.method, 2);
    PutLE(out, (12 << 11) | (34 << 5), 2);                     // 12:34
    PutLE(out, ((2021 - 1980) << 9) | (3 << 5) | 14, 2);       // 2021-03-14
    PutLE(out, StatedCrc(e), 4);
    PutLE(out, e.zip64 ? 0xFFFFFFFFu : payload.size(), 4);
    PutLE(out, e.zip64 ? 0xFFFFFFFFu : e.data.size(), 4);
    PutLE(out, e.name.size(), 2);
    PutLE(out, extra.size(), 2);
    out += e.name + extra + payload;
  }
  return out;
}

// The end record of a central directory of count headers, size bytes, at offset.
inline std::string EndOfDirectory(size_t count, size_t size, size_t offset) {
  std::string out;
  PutLE(out, 0x06054B50, 4);
  PutLE(out, 0, 4);  // disks
  PutLE(out, count, 2);
  PutLE(out, count, 2);
  PutLE(out, size, 4);
  PutLE(out, offset, 4);
  PutLE(out, 0, 2);  // comment
  return out;
}

// A whole archive: the local records, then the central directory that lists them (in reverse
// order when asked, and as each entry's central fields say) and its end record.
inline std::string Zip(const std::vector<ZipEntry>& entries, bool reversedDirectory = false) {
  std::string out;
  std::vector<std::string> directory;
  for (const ZipEntry& e : entries) {
    const size_t offset = out.size();
    out += Records({e});
    if (e.unlisted) continue;
    const std::string& name = e.centralName.empty() ? e.name : e.centralName;
    const size_t compressed = (e.method == 0 ? e.data : e.payload).size();
    std::string extra;
    if (e.zip64) {
      PutLE(extra, 0x0001, 2);
      PutLE(extra, 16, 2);
      PutLE(extra, e.centralSize >= 0 ? size_t(e.centralSize) : e.data.size(), 8);
      PutLE(extra, compressed, 8);
    }
    extra += e.extra;
    std::string h;
    PutLE(h, 0x02014B50, 4);
    PutLE(h, e.zip64 ? 45 : 20, 2);
    PutLE(h, e.zip64 ? 45 : 20, 2);
    PutLE(h, 0, 2);
    PutLE(h, e.method, 2);
    PutLE(h, (12 << 11) | (34 << 5), 2);
    PutLE(h, ((2021 - 1980) << 9) | (3 << 5) | 14, 2);
    PutLE(h, StatedCrc(e), 4);
    PutLE(h, e.zip64 ? 0xFFFFFFFFu : compressed, 4);
    PutLE(h, e.zip64 ? 0xFFFFFFFFu : e.centralSize >= 0 ? size_t(e.centralSize) : e.data.size(), 4);
    PutLE(h, name.size(), 2);
    PutLE(h, extra.size(), 2);
    PutLE(h, 0, 6);  // comment, disk, internal attributes
    PutLE(h, 0, 4);  // external attributes
    PutLE(h, offset, 4);
    directory.push_back(h + name + extra);
  }
  if (reversedDirectory) std::reverse(directory.begin(), directory.end());
  const size_t start = out.size();
  for (const std::string& h : directory) out += h;
  return out + EndOfDirectory(directory.size(), out.size() - start, start);
}

// Whole archives one after another as one: the local records of each, then one central
// directory with all their headers (their offsets moved by where each archive now starts).
// Each part ends in an end record without a comment.
inline std::string Join(const std::vector<std::string>& parts) {
  std::string records, directory;
  size_t count = 0;
  for (const std::string& zip : parts) {
    EXPECT_GE(zip.size(), 22u);
    if (zip.size() < 22) continue;
    auto le = [&](size_t at, int bytes) {
      uint32_t v = 0;
      for (int i = bytes - 1; i >= 0; --i) v = v << 8 | uint8_t(zip[at + i]);
      return v;
    };
    const size_t end = zip.size() - 22, size = le(end + 12, 4), start = le(end + 16, 4);
    EXPECT_EQ(start + size, end);
    for (size_t at = start; at + 46 <= start + size; count++) {
      std::string h = zip.substr(at, 46 + le(at + 28, 2) + le(at + 30, 2) + le(at + 32, 2));
      const uint32_t offset = le(at + 42, 4) + uint32_t(records.size());
      for (int i = 0; i < 4; ++i) h[42 + i] = char(offset >> (8 * i));
      directory += h;
      at += h.size();
    }
    records += zip.substr(0, start);
  }
  return records + directory + EndOfDirectory(count, directory.size(), records.size());
}

// An entry of data compressed as LZMA (a stream of literals alone: the stub's decoder reads it as
// any other).
inline ZipEntry Lzma(const char* name, const std::string& data) {
  LzmaWriter writer;
  for (char c : data) writer.Literal(uint8_t(c));
  const Bytes header = writer.Header(1 << 20), stream = writer.Finish();
  ZipEntry entry = Stored(name, data);
  entry.method = 14;
  entry.payload.assign(header.begin(), header.end());
  entry.payload.append(stream.begin(), stream.end());
  return entry;
}

// A solid package's archive of stored entries, laid out as zelvix-pack lays it out: payload.idx,
// LZMA, marked, holding their local headers; then payload.zip, their archive, LZMA.
inline std::string Solid(const std::vector<ZipEntry>& entries) {
  std::string headers;
  for (const ZipEntry& e : entries) {
    const std::string record = Records({e});
    headers += record.substr(0, record.size() - e.data.size());
  }
  ZipEntry index = Lzma("payload.idx", headers);
  PutLE(index.extra, 0x7A5A, 2);
  PutLE(index.extra, 4, 2);
  PutLE(index.extra, 2, 2);  // format version 2
  PutLE(index.extra, 0, 2);
  return Zip({index, Lzma("payload.zip", Zip(entries))});
}

// Whether zip is a solid package's archive (its first entry the index).
inline bool IsSolidPackage(const std::string& zip) { return zip.compare(30, 11, "payload.idx") == 0; }

// The archives a test runs over: zip, and a solid package of the same entries.
inline std::vector<std::string> AndSolid(const std::string& zip, const std::vector<ZipEntry>& entries) {
  std::vector<std::string> zips{zip};
  zips.push_back(Solid(entries));
  return zips;
}

// flat.zip's entries in its order, made from the files it was made of.
inline std::vector<ZipEntry> FlatEntries() {
  std::vector<ZipEntry> entries;
  for (const char* name : {"one.txt", "two.txt", "three.txt"}) {
    entries.push_back(Stored(name));
    EXPECT_TRUE(support::ReadWholeFile(JoinPath(support::FixturePath("flat.files"), name), &entries.back().data));
  }
  return entries;
}

// The bytes of a fixture archive (tests/tools/make_fixtures.py).
inline std::string Fixture(const std::string& name) {
  std::string bytes;
  EXPECT_TRUE(support::ReadWholeFile(support::FixturePath(name), &bytes)) << name;
  return bytes;
}

// --- Packages ----------------------------------------------------------------------------------

// Writes dir\name (the stub, an options block, the archive), starts it with dir as its current
// directory and answers its main dialog; nullptr (the test failing) when it does not come up.
inline HWND StartPackage(ui::Process& process, const std::string& dir, const std::string& zip,
                         const std::string& options = "", const std::string& extPath = "",
                         const std::string& name = "pkg.exe") {
  const std::string package = JoinPath(dir, name);
  EXPECT_TRUE(support::WritePackage(package, zip, options, extPath)) << package;
  EXPECT_TRUE(process.Start(package, {}, dir)) << process.LastError();
  HWND dialog = ui::WaitForDialog(process, MainCaption);
  EXPECT_NE(dialog, nullptr) << "no main dialog; dialogs: " << ui::DescribeDialogs(process.Id());
  return dialog;
}

// Writes a package whose archive ends in a stored entry of `size` zero bytes, after the entries
// of `first`. The file holds those bytes as a hole: it is written at once and takes no room, so
// a run long enough to be watched and stopped costs the test nothing to make. The entry states
// the CRC-32 crc (any value: the tests that use it stop the run, or want the entry to fail).
inline bool WriteSparsePackage(const std::string& path, std::vector<ZipEntry> first, const std::string& name,
                               uint32_t size, uint32_t crc, const std::string& options = "") {
  const size_t local = Records(first).size();
  first.push_back(Stored(name));
  first.back().crc = crc;
  std::string zip = Zip(first);
  auto put = [&](size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) zip[at + i] = char(value >> (8 * i));
  };
  const size_t end = zip.size() - 22, central = end - 46 - name.size(), directory = local + 30 + name.size();
  put(local + 18, size);  // both sizes, in the local header and in the central directory
  put(local + 22, size);
  put(central + 20, size);
  put(central + 24, size);
  put(end + 16, uint32_t(directory + size));  // the directory comes after the hole
  std::string stub;
  if (!support::ReadWholeFile(support::StubPath(), &stub)) return false;
  const std::string head = support::PackageBytes(stub, zip.substr(0, directory), options), tail = zip.substr(directory);
  HANDLE file = CreateFileW(support::WidePath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0, more = 0;
  LARGE_INTEGER hole;
  hole.QuadPart = size;
  const bool ok = WriteFile(file, head.data(), DWORD(head.size()), &written, nullptr) &&
                  SetFilePointerEx(file, hole, nullptr, FILE_CURRENT) &&
                  WriteFile(file, tail.data(), DWORD(tail.size()), &more, nullptr) &&
                  written + more == head.size() + tail.size();
  return CloseHandle(file) && ok;
}

// The package's setup.exe in the tests of r.setup: this very test program, which, started under
// that name, records how it was started in setup_ran.txt (extractor_flags_test.cpp).
const char SetupRecord[] = "setup_ran.txt";

// A stored setup.exe entry holding this test program, and an archive of it alone.
inline ZipEntry SetupEntry() {
  char self[MAX_PATH + 1] = "";
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string bytes;
  EXPECT_TRUE(support::ReadWholeFile(self, &bytes)) << self;
  return Stored("setup.exe", bytes);
}
inline std::string SetupZip() { return Zip({SetupEntry()}); }

// The list's items, with every '\' written as '/' for comparison with stored names.
inline std::vector<std::string> Listed(HWND dialog) {
  std::vector<std::string> items = ui::ListItems(dialog, ListId);
  for (std::string& item : items) std::replace(item.begin(), item.end(), '\\', '/');
  return items;
}

// The items still selected after a run, in list order.
inline std::vector<std::string> Highlighted(HWND dialog) { return ui::SelectedListItems(dialog, ListId); }

// Presses a button and expects the message box that follows.
inline void PressAndExpect(ui::Process& process, HWND dialog, int button, const std::string& caption,
                           const std::string& text, ui::MessageIcon icon) {
  ASSERT_TRUE(ui::PressButton(dialog, button));
  e2e::ExpectMessageBox(process, caption, text, icon);
}

inline void ExtractExpectingSuccess(ui::Process& process, HWND dialog) {
  PressAndExpect(process, dialog, IDOK, SuccessCaption, SuccessText, ui::MessageIcon::Information);
}

// After a while, the main dialog is the process's only window: no message box came.
inline void ExpectOnlyTheMainDialog(ui::Process& process, HWND dialog, DWORD settleMs = 1500) {
  Sleep(settleMs);
  EXPECT_EQ(ui::DialogsOf(process.Id()), std::vector<HWND>{dialog}) << ui::DescribeDialogs(process.Id());
}

// --- Files on disk -----------------------------------------------------------------------------

// Every file below root, as relative UTF-8 paths with '/', sorted; directories end in '/'.
inline void CollectBelow(const std::string& root, const std::string& prefix, std::vector<std::string>* out) {
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW(support::WidePath(JoinPath(JoinPath(root, prefix), "*")).c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    const std::string name = support::ToUtf8(found.cFileName);
    if (name == "." || name == "..") continue;
    const std::string relative = prefix.empty() ? name : prefix + "/" + name;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      out->push_back(relative + "/");
      CollectBelow(root, relative, out);
    } else {
      out->push_back(relative);
    }
  } while (FindNextFileW(find, &found));
  FindClose(find);
}

inline std::vector<std::string> Below(const std::string& root) {
  std::vector<std::string> names;
  CollectBelow(root, "", &names);
  std::sort(names.begin(), names.end());
  return names;
}

// Below(root) once it is expected, or after timeoutMs: the run may still be ending when its last
// prompt has gone (Wine returns from a dialog up to two seconds after it has closed), and the
// folder it writes through is removed only then.
inline std::vector<std::string> BelowOnceEnded(const std::string& root, const std::vector<std::string>& expected,
                                               DWORD timeoutMs = 10000) {
  for (DWORD waited = 0; Below(root) != expected && waited < timeoutMs; waited += 100) Sleep(100);
  return Below(root);
}

inline std::string FileName(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

// Expects every file of the fixture's expected contents (NAME.files) under dir, byte for byte;
// flat: under its file name alone, as extracted without the stored paths.
inline void ExpectFixtureFiles(const std::string& fixture, const std::string& dir, bool flat = false) {
  const std::string expectedRoot = support::FixturePath(fixture.substr(0, fixture.size() - 4) + ".files");
  const std::vector<std::string> expected = Below(expectedRoot);
  ASSERT_FALSE(expected.empty()) << expectedRoot;
  for (const std::string& relative : expected) {
    if (relative.back() == '/') continue;
    std::string want, got;
    ASSERT_TRUE(support::ReadWholeFile(JoinPath(expectedRoot, relative), &want)) << relative;
    const std::string target = JoinPath(dir, flat ? FileName(relative) : relative);
    ASSERT_TRUE(support::ReadWholeFile(target, &got)) << "missing: " << target;
    EXPECT_EQ(got.size(), want.size()) << target;
    EXPECT_TRUE(got == want) << "contents differ: " << target;
  }
}

}  // namespace ext
