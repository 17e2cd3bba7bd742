// Packages with an identity of their own (zelvix-pack --icon, --title, --version-info; made at
// build time by tests/tools/make_branded_packages.sh, whose title and version information are
// repeated here), read as Windows reads them: the caption of the running dialog, the icons of
// the file and of the dialog, the version information; then extracted, signed and unsigned.
// And extract paths with environment variables, expanded by the package.
#include <windows.h>
#include <shellapi.h>
#include <string>
#include <utility>
#include <vector>
#include "extractor_support.h"

namespace {

using support::JoinPath;

const char Title[] = "Zelvix Demo Setup – Übersicht";

// The branded fixture copied into a fresh directory as name; "" (the test skipped) when
// zelvix-pack was not built to make it.
std::string BrandedCopy(const std::string& fixture, const std::string& dir, const std::string& name) {
  std::string bytes;
  if (!support::ReadWholeFile(support::FixturePath("branded\\" + fixture), &bytes)) return "";
  const std::string path = JoinPath(dir, name);
  EXPECT_TRUE(support::WriteFileBytes(path, bytes)) << path;
  return path;
}

// A version string of the package's U.S. English table.
std::string VersionString(const std::vector<BYTE>& info, const char* key) {
  const std::wstring path = L"\\StringFileInfo\\040904B0\\" + support::ToWide(key);
  void* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(info.data(), path.c_str(), &value, &length) || value == nullptr) return "<none>";
  return support::ToUtf8(static_cast<const wchar_t*>(value));
}

// The colour (0xRRGGBB) of the middle pixel of an icon.
DWORD IconColour(HICON icon) {
  ICONINFO info{};
  if (icon == nullptr || !GetIconInfo(icon, &info)) return 0xFFFFFFFF;
  BITMAP bitmap{};
  GetObjectW(info.hbmColor, sizeof bitmap, &bitmap);
  BITMAPINFO header{};
  header.bmiHeader.biSize = sizeof header.bmiHeader;
  header.bmiHeader.biWidth = bitmap.bmWidth;
  header.bmiHeader.biHeight = bitmap.bmHeight;
  header.bmiHeader.biPlanes = 1;
  header.bmiHeader.biBitCount = 32;
  std::vector<DWORD> pixels(size_t(bitmap.bmWidth) * size_t(bitmap.bmHeight));
  HDC dc = GetDC(nullptr);
  const int rows = GetDIBits(dc, info.hbmColor, 0, UINT(bitmap.bmHeight), pixels.data(), &header, DIB_RGB_COLORS);
  ReleaseDC(nullptr, dc);
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  if (rows <= 0 || pixels.empty()) return 0xFFFFFFFF;
  return pixels[pixels.size() / 2 + size_t(bitmap.bmWidth) / 2] & 0xFFFFFF;
}

// tests/tools/make_icon.py: the 16x16 image is red, the 32x32 one green.
constexpr DWORD Red = 0xE04020, Green = 0x20C020;

}  // namespace

TEST(BrandedPackage, WindowsSeesItsVersionInformationAndIcon) {
  const std::string dir = support::FreshTestDir();
  const std::string package = BrandedCopy("branded.exe", dir, "demo.exe");
  if (package.empty()) GTEST_SKIP() << "no branded package (zelvix-pack not built)";
  const std::wstring wide = support::ToWide(package);

  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeW(wide.c_str(), &handle);
  ASSERT_GT(size, 0u) << "no version information";
  std::vector<BYTE> info(size);
  ASSERT_TRUE(GetFileVersionInfoW(wide.c_str(), 0, size, info.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT fixedLength = 0;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixedLength));
  EXPECT_EQ(fixed->dwFileVersionMS, (1u << 16) | 2u);
  EXPECT_EQ(fixed->dwFileVersionLS, (3u << 16) | 4u);
  EXPECT_EQ(fixed->dwProductVersionMS, (1u << 16) | 2u);
  EXPECT_EQ(fixed->dwProductVersionLS, 0u);
  EXPECT_EQ(VersionString(info, "ProductName"), "Zelvix Demo");
  EXPECT_EQ(VersionString(info, "FileVersion"), "1.2.3.4");
  EXPECT_EQ(VersionString(info, "CompanyName"), "ACME, Inc.");
  EXPECT_EQ(VersionString(info, "FileDescription"), "Démo package");
  EXPECT_EQ(VersionString(info, "LegalCopyright"), "© 2026 ACME");

  // The file's icon as Explorer takes it: one icon, its small and large images those of the
  // .ico given.
  EXPECT_EQ(ExtractIconExW(wide.c_str(), -1, nullptr, nullptr, 0), 1u);
  HICON large = nullptr, small = nullptr;
  ASSERT_EQ(ExtractIconExW(wide.c_str(), 0, &large, &small, 1), 2u);
  EXPECT_EQ(IconColour(large), Green);
  // Wine takes the small one from whichever image it finds nearest: one of the file's.
  const DWORD smallColour = IconColour(small);
  EXPECT_TRUE(smallColour == Red || smallColour == Green) << std::hex << smallColour;
  DestroyIcon(large);
  DestroyIcon(small);
  // And as the dialog loads it, by name from the module.
  HMODULE module = LoadLibraryExW(wide.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(module, nullptr);
  for (const auto& [side, colour] : {std::pair<int, DWORD>{16, Red}, {32, Green}}) {
    HICON named = static_cast<HICON>(LoadImageW(module, L"MAINICON", IMAGE_ICON, side, side, 0));
    EXPECT_EQ(IconColour(named), colour) << side;
    DestroyIcon(named);
  }
  FreeLibrary(module);
}

// The dialog comes up under the new caption, keeps it through the extraction (the
// progress caption is "N% " and the title), and the archive extracts exactly.
TEST(BrandedPackage, DialogShowsTheTitleAndIconAndExtractsExactly) {
  const std::string dir = support::FreshTestDir();
  const std::string package = BrandedCopy("branded.exe", dir, "demo.exe");
  if (package.empty()) GTEST_SKIP() << "no branded package (zelvix-pack not built)";
  ui::Process process;
  ASSERT_TRUE(process.Start(package, {}, dir)) << process.LastError();
  HWND dialog = ui::WaitForDialog(process, Title);
  ASSERT_NE(dialog, nullptr) << "no dialog titled " << Title << "; dialogs: " << ui::DescribeDialogs(process.Id());
  // The dialog's icon is MAINICON of its own module (LoadImage above reads it from the file).
  // Its handle belongs to the package's process, and Wine answers neither GetClassLongPtr nor
  // WM_GETICON for it across processes, so it is not read from here.
  ext::ExtractExpectingSuccess(process, dialog);
  EXPECT_EQ(ui::WindowCaption(dialog), Title);
  EXPECT_TRUE(ui::PressButton(dialog, IDCANCEL));
  EXPECT_EQ(e2e::ExitCodeOf(process), 0u);
  ext::ExpectFixtureFiles("flat.zip", JoinPath(dir, "demo"));
}

// Signed after it was branded (the signature follows the archive): it still extracts exactly.
TEST(BrandedPackage, SignedAfterwardsStillExtracts) {
  const std::string dir = support::FreshTestDir();
  const std::string package = BrandedCopy("branded-signed.exe", dir, "signed.exe");
  if (package.empty()) GTEST_SKIP() << "no branded package (zelvix-pack not built)";
  ui::Process process;
  ASSERT_TRUE(process.Start(package, {"-s"}, dir)) << process.LastError();
  EXPECT_EQ(e2e::ExitCodeOf(process), 0u);
  ext::ExpectFixtureFiles("flat.zip", JoinPath(dir, "signed"));
}

// The extract path's environment variables are expanded when the dialog proposes it, as the
// system expands them: an unknown one stays as written.
TEST(ExtractPath, EnvironmentVariablesAreExpandedWhenProposed) {
  const std::string dir = support::FreshTestDir();
  ASSERT_TRUE(SetEnvironmentVariableW(L"ZELVIX_E2E_ROOT", support::ToWide(dir).c_str()));
  ASSERT_TRUE(SetEnvironmentVariableW(L"ZELVIX_E2E_NAME", L"named"));
  SetEnvironmentVariableW(L"ZELVIX_E2E_UNSET", nullptr);
  wchar_t programFiles[MAX_PATH];
  ASSERT_GT(ExpandEnvironmentStringsW(L"%ProgramFiles%", programFiles, MAX_PATH), 0u);
  const struct {
    const char* extPath;
    std::string proposed;
  } cases[] = {
      {"%ZELVIX_E2E_ROOT%\\out", JoinPath(dir, "out")},
      {"%ZELVIX_E2E_NAME%", JoinPath(dir, "named")},  // a name alone: in the current directory
      {"%ProgramFiles%\\Zelvix Tools", support::ToUtf8(programFiles) + "\\Zelvix Tools"},
      {"%ZELVIX_E2E_UNSET%\\x", "%ZELVIX_E2E_UNSET%\\x"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.extPath);
    ui::Process process;
    HWND dialog = ext::StartPackage(process, dir, ext::Fixture("flat.zip"), "0000", c.extPath);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(ui::ControlText(dialog, ext::PathEditId), c.proposed);
    EXPECT_TRUE(ui::PressButton(dialog, IDCANCEL));
    EXPECT_EQ(e2e::ExitCodeOf(process), 0u);
  }
  SetEnvironmentVariableW(L"ZELVIX_E2E_ROOT", nullptr);
  SetEnvironmentVariableW(L"ZELVIX_E2E_NAME", nullptr);
}
