// Helpers for the Windows and end-to-end tests: the paths ctest hands over in the environment
// (Unix paths, turned into Wine's Z: paths), a fresh directory per test, whole-file reads and
// writes, and packages put together by the package layout: stub, options block, ZIP bytes.
// Every std::string these helpers take or return is UTF-8; they call the wide (W) functions.
#pragma once
#include <string>

namespace support {

// UTF-8 <-> UTF-16.
std::wstring ToWide(const std::string& utf8);
std::string ToUtf8(const std::wstring& wide);
// A UTF-8 path as the W file functions want it: a path of 240 characters or more made absolute
// and given the "\\?\" prefix, so that paths beyond MAX_PATH work.
std::wstring WidePath(const std::string& path);

// "/a/b" -> "Z:\a\b". Wine maps the Unix root to drive Z:.
std::string ToWinePath(const std::string& unixPath);
// The environment variable as a Wine path; "" when it is not set.
std::string EnvPath(const char* name);

// ZELVIX_STUB: the bare zelvix.exe of this build.
std::string StubPath();
// ZELVIX_FIXTURES\name: a ZIP file made by tests/tools/make_fixtures.py.
std::string FixturePath(const std::string& name);

// A new, empty directory for the running test: ZELVIX_TEST_TMP\<suite>.<test>, whatever an
// earlier run left there removed first. Without a running test, name is used.
std::string FreshTestDir(const std::string& name = "");
// Removes a directory tree (read-only files included). True when nothing is left.
bool RemoveTree(const std::string& path);

std::string JoinPath(const std::string& dir, const std::string& name);
bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);
// The whole file; false when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string* bytes);
// The whole file, or "" when it cannot be read (use ReadWholeFile where that matters).
std::string ReadFileBytes(const std::string& path);
bool WriteFileBytes(const std::string& path, const std::string& bytes);

// The 256-byte options block: "OPTIONS=", the first four characters of options padded with
// '0', a blank, extPath, zero bytes to the end (extPath cut to the 243 characters that fit).
std::string OptionsBlock(const std::string& options, const std::string& extPath);
// stub + options block + zip.
std::string PackageBytes(const std::string& stub, const std::string& zip, const std::string& options = "",
                         const std::string& extPath = "");
// Writes a package of this build's stub and zip to path; false when anything fails.
bool WritePackage(const std::string& path, const std::string& zip, const std::string& options = "",
                  const std::string& extPath = "");

}  // namespace support
