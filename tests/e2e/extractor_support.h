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

namespace ext {

using support::JoinPath;

// Main dialog.
const char MainCaption[] = "Zelvix ZIP Extractor";
constexpr int PathEditId = 101, ListId = 301, StoredPathsId = 401, StatusId = 601;
constexpr int OverwriteId = 501, SkipId = 502, ConfirmId = 503, AllId = 121, NoneId = 122;
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
  int64_t crc = -1;           // the CRC-32 stated, when not the data's
};

inline ZipEntry Stored(const std::string& name, const std::string& data = "") {
  ZipEntry entry;
  entry.name = name;
  entry.data = data;
  return entry;
}

// Local records only: the walk goes from local header to local header and never reads a
// central directory, so EndRecord() closes an archive.
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
    PutLE(out, 0x04034B50, 4);
    PutLE(out, e.zip64 ? 45 : 20, 2);
    PutLE(out, 0, 2);                                          // flags
    PutLE(out, e.method, 2);
    PutLE(out, (12 << 11) | (34 << 5), 2);                     // 12:34
    PutLE(out, ((2021 - 1980) << 9) | (3 << 5) | 14, 2);       // 2021-03-14
    PutLE(out, e.crc >= 0 ? uint32_t(e.crc) : Crc32(e.data), 4);
    PutLE(out, e.zip64 ? 0xFFFFFFFFu : payload.size(), 4);
    PutLE(out, e.zip64 ? 0xFFFFFFFFu : e.data.size(), 4);
    PutLE(out, e.name.size(), 2);
    PutLE(out, extra.size(), 2);
    out += e.name + extra + payload;
  }
  return out;
}

// What follows the local records: one central-directory record (blank but for its signature)
// and the end record. The walk stops at the first record that is no local header, but it reads
// 30 bytes of it first, so a bare 22-byte end record would be an archive cut inside a header.
inline std::string EndRecord() {
  std::string out;
  PutLE(out, 0x02014B50, 4);
  out.append(42, '\0');
  PutLE(out, 0x06054B50, 4);
  out.append(18, '\0');
  return out;
}

inline std::string Zip(const std::vector<ZipEntry>& entries) { return Records(entries) + EndRecord(); }

// The bytes of a fixture archive (tests/tools/make_fixtures.py).
inline std::string Fixture(const std::string& name) {
  std::string bytes;
  EXPECT_TRUE(support::ReadWholeFile(support::FixturePath(name), &bytes)) << name;
  return bytes;
}

// A fixture's local records, up to its central directory (found through its end record,
// which every fixture writes without a comment).
inline std::string FixtureRecords(const std::string& name) {
  const std::string zip = Fixture(name);
  if (zip.size() < 22) return "";
  const unsigned char* end = reinterpret_cast<const unsigned char*>(zip.data() + zip.size() - 22);
  const uint32_t start = end[16] | end[17] << 8 | end[18] << 16 | uint32_t(end[19]) << 24;
  EXPECT_LE(start, zip.size() - 22) << name;
  return zip.substr(0, start);
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
