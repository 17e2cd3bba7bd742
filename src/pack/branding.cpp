// A package's icon, caption and version information written into its stub (see branding.h).
#include "pack/branding.h"
#include "pack/byte_vector.h"

#include <cstdio>
#include "util/bytes.h"
#include "util/text.h"

namespace {

// UTF-8 (checked first) as UTF-16.
std::u16string Utf16(const std::string& text) {
  std::u16string out;
  for (size_t i = 0; i < text.size();) {
    const uint8_t c = uint8_t(text[i]);
    const int extra = c < 0x80 ? 0 : c < 0xE0 ? 1 : c < 0xF0 ? 2 : 3;
    uint32_t point = extra == 0 ? c : extra == 1 ? c & 0x1F : extra == 2 ? c & 0x0F : c & 0x07;
    for (int k = 1; k <= extra; ++k) point = (point << 6) | (uint8_t(text[i + k]) & 0x3F);
    i += 1 + extra;
    if (point >= 0x10000) {
      point -= 0x10000;
      out += char16_t(0xD800 + (point >> 10));
      out += char16_t(0xDC00 + (point & 0x3FF));
    } else {
      out += char16_t(point);
    }
  }
  return out;
}

bool ValidUtf8(const std::string& text) {
  return IsValidUtf8(reinterpret_cast<const uint8_t*>(text.data()), uint32_t(text.size()));
}

void PutText(PeBytes& b, const std::u16string& text) {
  for (char16_t c : text) Put16(b, c);
  Put16(b, 0);
}
void Align4(PeBytes& b) { b.resize((b.size() + 3) & ~size_t(3), 0); }

const char* const VersionKeys[] = {"ProductName",     "ProductVersion", "FileVersion",  "FileDescription",
                                   "CompanyName",     "LegalCopyright", "LegalTrademarks", "InternalName",
                                   "OriginalFilename", "Comments"};

// "1.2.3.4": one to four numbers up to 65535.
bool ParseVersionNumbers(const std::string& text, uint16_t numbers[4]) {
  int part = 0;
  uint32_t value = 0;
  bool digits = false;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == '.') {
      if (!digits || part == 4) return false;
      numbers[part++] = uint16_t(value);
      value = 0;
      digits = false;
    } else if (text[i] >= '0' && text[i] <= '9') {
      value = value * 10 + uint32_t(text[i] - '0');
      digits = true;
      if (value > 0xFFFF) return false;
    } else {
      return false;
    }
  }
  for (; part < 4; ++part) numbers[part] = 0;
  return true;
}

// One block of the version resource: its length, the length of its value (in bytes, or in
// characters for text), its type (1: text), its key, then the value and the children, each
// starting on a 32-bit boundary.
PeBytes VersionBlock(const std::string& key, const PeBytes& value, uint16_t valueLength, bool text,
                     const std::vector<PeBytes>& children) {
  PeBytes b;
  Put16(b, 0);
  Put16(b, valueLength);
  Put16(b, text ? 1 : 0);
  PutText(b, Utf16(key));
  Align4(b);
  b.insert(b.end(), value.begin(), value.end());
  for (const PeBytes& child : children) {
    Align4(b);
    b.insert(b.end(), child.begin(), child.end());
  }
  StoreLE16(b.data(), uint16_t(b.size()));
  return b;
}

// The stub's main dialog template with its caption replaced. A template (DLGTEMPLATE, or
// DLGTEMPLATEEX) is its fixed header, the menu and the class (each 0, 0xFFFF and a number, or
// a text), the caption, the font when DS_SETFONT is set, then the controls from the next 32-bit
// boundary on; they are copied as they are, from one boundary to the other.
bool ReplaceCaption(const PeBytes& old, const std::u16string& caption, PeBytes& out) {
  const bool extended = old.size() >= 4 && LoadLE16(&old[0]) == 1 && LoadLE16(&old[2]) == 0xFFFF;
  const size_t headerSize = extended ? 26 : 18;
  if (old.size() < headerSize) return false;
  const uint32_t style = LoadLE32(&old[extended ? 12 : 0]);
  size_t at = headerSize;
  auto skipText = [&]() {
    while (at + 2 <= old.size() && LoadLE16(&old[at]) != 0) at += 2;
    at += 2;
    return at <= old.size();
  };
  auto skipItem = [&]() {
    if (at + 2 > old.size()) return false;
    if (LoadLE16(&old[at]) == 0xFFFF) {
      at += 4;
      return at <= old.size();
    }
    return skipText();
  };
  if (!skipItem() || !skipItem()) return false;  // menu, class
  const size_t captionStart = at;
  if (!skipText()) return false;
  const size_t captionEnd = at;
  if ((style & 0x40) != 0) {  // DS_SETFONT: the point size (and in the extended form weight,
    at += extended ? 6 : 2;   // italic and character set), then the typeface
    if (at > old.size() || !skipText()) return false;
  }
  const size_t fontEnd = at;
  const size_t controls = (fontEnd + 3) & ~size_t(3);
  out.assign(old.begin(), old.begin() + long(captionStart));
  PutText(out, caption);
  out.insert(out.end(), old.begin() + long(captionEnd), old.begin() + long(fontEnd));
  Align4(out);
  if (controls < old.size()) out.insert(out.end(), old.begin() + long(controls), old.end());
  return true;
}

// The images of an .ico file as RT_ICON data and the RT_GROUP_ICON directory for them (the
// file's 16-byte entries with the image's offset replaced by its resource number, 14 bytes).
std::string ReadIcon(const PeBytes& ico, std::vector<PeBytes>& images, PeBytes& group) {
  if (ico.size() < 6 || LoadLE16(&ico[0]) != 0 || LoadLE16(&ico[2]) != 1) return "not an icon file (.ico)";
  const uint16_t count = LoadLE16(&ico[4]);
  if (count == 0) return "the icon file holds no image";
  if (6 + 16 * size_t(count) > ico.size()) return "the icon file's directory is cut short";
  images.clear();
  group.clear();
  Put16(group, 0);
  Put16(group, 1);
  Put16(group, count);
  for (uint16_t i = 0; i < count; ++i) {
    const uint8_t* e = &ico[6 + 16 * i];
    const uint32_t size = LoadLE32(e + 8), offset = LoadLE32(e + 12);
    if (size < 8 || uint64_t(offset) + size > ico.size())
      return "image " + std::to_string(i + 1) + " lies outside the icon file";
    const uint8_t* data = &ico[offset];
    const bool png = data[0] == 0x89 && data[1] == 'P' && data[2] == 'N' && data[3] == 'G';
    if (!png && LoadLE32(data) != 40) return "image " + std::to_string(i + 1) + " is neither a bitmap nor PNG";
    images.emplace_back(data, data + size);
    group.insert(group.end(), e, e + 12);  // width, height, colours, reserved, planes, bits, size
    Put16(group, uint16_t(i + 1));
  }
  return "";
}

bool ReadWhole(const std::string& name, PeBytes& data, std::string& why) {
  FILE* f = std::fopen(name.c_str(), "rb");
  if (f == nullptr) {
    why = "cannot be read";
    return false;
  }
  data.clear();
  uint8_t chunk[65536];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, f)) > 0) {
    data.insert(data.end(), chunk, chunk + got);
    if (data.size() > (16u << 20)) {
      std::fclose(f);
      why = "is larger than 16 MiB";
      return false;
    }
  }
  const bool failed = std::ferror(f) != 0;
  std::fclose(f);
  if (failed) why = "cannot be read";
  return !failed;
}

bool IsNamed(const ResourceId& id, const char* upper) {
  if (id.name.empty()) return false;
  size_t i = 0;
  for (; upper[i] != 0; ++i) {
    if (i >= id.name.size()) return false;
    char16_t c = id.name[i];
    if (c >= u'a' && c <= u'z') c = char16_t(c - 32);
    if (c != char16_t(upper[i])) return false;
  }
  return i == id.name.size();
}

}  // namespace

std::string ParseVersionInfo(const std::string& text, VersionInfo& info) {
  info = VersionInfo{};
  std::string key, value;
  bool inValue = false;
  bool productVersion = false;
  auto finish = [&]() -> std::string {
    if (!inValue) return key.empty() ? "an empty item (Key=Value expected)" : "'" + key + "' has no '='";
    bool known = false;
    for (const char* k : VersionKeys) known |= key == k;
    if (!known) {
      std::string keys;
      for (const char* k : VersionKeys) keys += std::string(keys.empty() ? "" : ", ") + k;
      return "unknown key '" + key + "' (known: " + keys + ")";
    }
    for (const auto& kv : info.strings)
      if (kv.first == key) return "'" + key + "' is given twice";
    if (value.empty()) return "'" + key + "' has no value";
    if (!ValidUtf8(value)) return "the value of '" + key + "' is not UTF-8";
    if (Utf16(value).size() > 1000) return "the value of '" + key + "' is longer than 1000 characters";
    if (key == "FileVersion" && !ParseVersionNumbers(value, info.fileVersion))
      return "FileVersion '" + value + "' is not one to four numbers up to 65535 joined by '.' (1.2.3.4)";
    if (key == "ProductVersion") {
      if (!ParseVersionNumbers(value, info.productVersion))
        return "ProductVersion '" + value + "' is not one to four numbers up to 65535 joined by '.' (1.2.3.4)";
      productVersion = true;
    }
    info.strings.emplace_back(key, value);
    key.clear();
    value.clear();
    inValue = false;
    return "";
  };
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\\' && i + 1 < text.size() && (text[i + 1] == ',' || text[i + 1] == '\\')) {
      c = text[++i];
    } else if (c == ',') {
      const std::string why = finish();
      if (!why.empty()) return why;
      continue;
    } else if (c == '=' && !inValue) {
      inValue = true;
      continue;
    }
    (inValue ? value : key) += c;
  }
  const std::string why = finish();
  if (!why.empty()) return why;
  if (!productVersion)
    for (int i = 0; i < 4; ++i) info.productVersion[i] = info.fileVersion[i];
  return "";
}

PeBytes VersionResource(const VersionInfo& info) {
  PeBytes fixed;
  Put32(fixed, 0xFEEF04BD);  // signature
  Put32(fixed, 0x00010000);  // structure version 1.0
  Put32(fixed, uint32_t(info.fileVersion[0]) << 16 | info.fileVersion[1]);
  Put32(fixed, uint32_t(info.fileVersion[2]) << 16 | info.fileVersion[3]);
  Put32(fixed, uint32_t(info.productVersion[0]) << 16 | info.productVersion[1]);
  Put32(fixed, uint32_t(info.productVersion[2]) << 16 | info.productVersion[3]);
  Put32(fixed, 0x3F);     // flags mask
  Put32(fixed, 0);        // flags
  Put32(fixed, 0x40004);  // VOS_NT_WINDOWS32
  Put32(fixed, 1);        // VFT_APP
  Put32(fixed, 0);        // subtype
  Put32(fixed, 0);        // date, high and low
  Put32(fixed, 0);
  std::vector<PeBytes> strings;
  for (const auto& kv : info.strings) {
    PeBytes value;
    const std::u16string text = Utf16(kv.second);
    PutText(value, text);
    strings.push_back(VersionBlock(kv.first, value, uint16_t(text.size() + 1), true, {}));
  }
  // U.S. English (0x0409) in UTF-16 (code page 1200, 0x04B0).
  const PeBytes table = VersionBlock("040904B0", {}, 0, true, strings);
  const PeBytes stringInfo = VersionBlock("StringFileInfo", {}, 0, true, {table});
  PeBytes translation;
  Put16(translation, 0x0409);
  Put16(translation, 0x04B0);
  const PeBytes var = VersionBlock("Translation", translation, 4, false, {});
  const PeBytes varInfo = VersionBlock("VarFileInfo", {}, 0, true, {var});
  return VersionBlock("VS_VERSION_INFO", fixed, uint16_t(fixed.size()), false, {stringInfo, varInfo});
}

BrandRefusal Rebrand(PeBytes& stub, const std::string& stubName, const Branding& branding) {
  if (!branding.any()) return {};
  // The arguments first, so that a bad one is named before the stub is looked into.
  VersionInfo version;
  if (branding.versionGiven) {
    const std::string why = ParseVersionInfo(branding.versionInfo, version);
    if (!why.empty()) return {branding.versionInfo, "--version-info: " + why};
  }
  std::u16string title;
  if (branding.titleGiven) {
    if (branding.title.empty()) return {"--title", "the title is empty"};
    if (!ValidUtf8(branding.title)) return {branding.title, "the title is not UTF-8"};
    title = Utf16(branding.title);
    if (title.size() > MaxTitleCharacters)
      return {branding.title, "the title has " + std::to_string(title.size()) + " UTF-16 units, more than " +
                                  std::to_string(MaxTitleCharacters)};
  }
  std::vector<PeBytes> images;
  PeBytes group;
  if (!branding.iconFile.empty()) {
    PeBytes ico;
    std::string why;
    if (!ReadWhole(branding.iconFile, ico, why)) return {branding.iconFile, why};
    why = ReadIcon(ico, images, group);
    if (!why.empty()) return {branding.iconFile, why};
  }

  PeImage pe;
  std::string why = ParsePe(stub, pe);
  std::vector<Resource> resources;
  if (why.empty() && pe.resourceRva == 0) why = "no resource section to give the package its identity";
  if (why.empty()) why = ReadResources(stub, pe, resources);
  if (!why.empty()) return {stubName, why};
  // The language of the stub's resources (its main dialog's), for the new ones.
  uint16_t language = 0x0409;
  ResourceId groupName;
  groupName.name = u"MAINICON";
  bool dialogFound = false;
  for (const Resource& r : resources)
    if (r.type.id == ResourceDialog && IsNamed(r.name, "MAINDIALOG")) language = r.language;
  std::vector<Resource> kept;
  for (Resource& r : resources) {
    if (!images.empty() && (r.type.id == ResourceIcon || r.type.id == ResourceGroupIcon) && r.type.name.empty()) {
      if (r.type.id == ResourceGroupIcon) groupName = r.name;
      continue;
    }
    if (branding.versionGiven && r.type.id == ResourceVersion && r.type.name.empty()) continue;
    if (branding.titleGiven && r.type.id == ResourceDialog && IsNamed(r.name, "MAINDIALOG")) {
      PeBytes changed;
      if (!ReplaceCaption(r.data, title, changed)) return {stubName, "the main dialog's template cannot be read"};
      r.data.swap(changed);
      dialogFound = true;
    }
    kept.push_back(std::move(r));
  }
  if (branding.titleGiven && !dialogFound) return {stubName, "no main dialog (MAINDIALOG) to give the title"};
  auto add = [&](uint16_t type, const ResourceId& name, PeBytes data) {
    Resource r;
    r.type.id = type;
    r.name = name;
    r.language = language;
    r.data = std::move(data);
    kept.push_back(std::move(r));
  };
  for (size_t i = 0; i < images.size(); ++i) {
    ResourceId id;
    id.id = uint16_t(i + 1);
    add(ResourceIcon, id, std::move(images[i]));
  }
  if (!images.empty()) add(ResourceGroupIcon, groupName, group);
  if (branding.versionGiven) {
    ResourceId one;
    one.id = 1;
    add(ResourceVersion, one, VersionResource(version));
  }
  why = WriteResources(stub, pe, kept);
  if (!why.empty()) return {stubName, why};
  return {};
}
