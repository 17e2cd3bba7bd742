// A package's identity, given at build time: its icon (--icon), the caption of its main dialog
// (--title) and its version information (--version-info). Rebrand rewrites a copy of the stub's
// resources with them (pe_image.h); without any of them the stub is left as it is.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>
#include "pack/pe_image.h"

// The longest --title: the run's window keeps the caption in 64 UTF-16 units, its zero included.
constexpr uint32_t MaxTitleCharacters = 63;  // in UTF-16 units

struct Branding {
  std::string iconFile;     // an .ico file; empty: the stub's icon
  std::string title;        // UTF-8; used when titleGiven
  bool titleGiven = false;
  std::string versionInfo;  // "Key=Value,Key=Value..."; used when versionGiven
  bool versionGiven = false;
  bool any() const { return !iconFile.empty() || titleGiven || versionGiven; }
};

// The version information of --version-info: the string values by key, in the order given, and
// the numbers of FileVersion and ProductVersion ("1.2.3.4", missing parts 0) for the fixed part.
struct VersionInfo {
  std::vector<std::pair<std::string, std::string>> strings;
  uint16_t fileVersion[4] = {0, 0, 0, 0};
  uint16_t productVersion[4] = {0, 0, 0, 0};
};

// Parses "Key=Value,..." (a ',' or '\' inside a value written "\," or "\\"). Keys: ProductName,
// ProductVersion, FileVersion, FileDescription, CompanyName, LegalCopyright, LegalTrademarks,
// InternalName, OriginalFilename, Comments, each once; FileVersion and ProductVersion are one
// to four numbers up to 65535 joined by '.'; ProductVersion defaults to FileVersion. Empty when
// it holds, otherwise what is wrong.
std::string ParseVersionInfo(const std::string& text, VersionInfo& info);

// The RT_VERSION resource's data (VS_VERSIONINFO: the fixed part, a StringFileInfo block for
// U.S. English in UTF-16, and the VarFileInfo translation).
PeBytes VersionResource(const VersionInfo& info);

// What went wrong, and with what: the file or argument at fault.
struct BrandRefusal {
  std::string name, what;
  bool failed() const { return !what.empty(); }
};

// Rebrands stub (the bytes of stubName, a checked Zelvix stub): the icon's every image as the
// RT_ICON resources of one RT_GROUP_ICON, in place of the stub's; the main dialog's caption;
// the version resource. The result keeps the layout the package needs (pe_image.h).
BrandRefusal Rebrand(PeBytes& stub, const std::string& stubName, const Branding& branding);
