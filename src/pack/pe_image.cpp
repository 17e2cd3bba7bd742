// The stub as a PE image (see pe_image.h): headers, the mark, the resource tree read and
// written.
#include "pack/pe_image.h"

#include <algorithm>
#include "package/stub_mark.h"
#include "util/bytes.h"

namespace {

constexpr uint32_t DosPeOffset = 0x3C;
constexpr uint32_t FileHeaderSize = 20;
constexpr uint16_t MachineI386 = 0x14C;
constexpr uint16_t MagicPe32 = 0x10B;
// Optional header (PE32) fields, from its start.
constexpr uint32_t OptSizeOfInitializedData = 8, OptSectionAlignment = 32, OptFileAlignment = 36;
constexpr uint32_t OptSizeOfImage = 56, OptCheckSum = 64, OptDirectoryCount = 92, OptDirectories = 96;
constexpr uint32_t ResourceDirectory = 2;
constexpr uint32_t SectionHeaderSize = 40;
// Resource directory records: a table (16 bytes, the named and numbered entry counts at 12 and
// 14), its entries (8 bytes: name or id, then the offset of a table, high bit set, or of a data
// entry), data entries (16 bytes: data RVA, size, code page, reserved).
constexpr uint32_t TableSize = 16, EntrySize = 8, DataEntrySize = 16;
constexpr uint32_t HighBit = 0x80000000u;
// Real trees have three levels (type, name, language); deeper ones are refused.
constexpr int TreeDepth = 3;

bool Fits(const PeBytes& file, uint64_t offset, uint64_t size) { return offset + size <= file.size(); }

uint32_t AlignUp(uint32_t value, uint32_t alignment) { return (value + alignment - 1) / alignment * alignment; }

// The file offset of an RVA inside a section's raw data, or -1.
int64_t FileOffsetOf(const PeImage& pe, uint32_t rva, uint32_t size) {
  for (const PeSection& s : pe.sections)
    if (rva >= s.virtualAddress && uint64_t(rva) + size <= uint64_t(s.virtualAddress) + s.rawSize)
      return int64_t(s.rawPointer) + (rva - s.virtualAddress);
  return -1;
}

// Reads the resource tree below one table (section-relative offsets; bytes is the section).
struct TreeReader {
  const PeBytes& file;
  const PeImage& pe;
  uint32_t base;  // file offset of the resource section's data
  uint32_t size;  // its length in the file
  std::vector<Resource>& out;
  int tables = 0;

  std::string Id(uint32_t nameField, ResourceId& id) {
    if ((nameField & HighBit) == 0) {
      if (nameField > 0xFFFF) return "a resource number above 65535";
      id.id = uint16_t(nameField);
      return "";
    }
    const uint32_t at = nameField & ~HighBit;
    if (uint64_t(at) + 2 > size) return "a resource name outside the section";
    const uint16_t length = LoadLE16(&file[base + at]);
    if (uint64_t(at) + 2 + 2ull * length > size || length == 0) return "a resource name outside the section";
    for (uint32_t i = 0; i < length; ++i) id.name += char16_t(LoadLE16(&file[base + at + 2 + 2 * i]));
    return "";
  }

  std::string Table(uint32_t at, int level, Resource path) {
    // Each table is read once at most per entry leading to it; a loop of tables ends here.
    if (++tables > 4096) return "too many resource directory tables";
    if (uint64_t(at) + TableSize > size) return "a resource table outside the section";
    const uint32_t count = uint32_t(LoadLE16(&file[base + at + 12])) + LoadLE16(&file[base + at + 14]);
    if (uint64_t(at) + TableSize + uint64_t(count) * EntrySize > size) return "a resource table outside the section";
    for (uint32_t i = 0; i < count; ++i) {
      const uint8_t* entry = &file[base + at + TableSize + i * EntrySize];
      Resource r = path;
      ResourceId id;
      std::string why = Id(LoadLE32(entry), id);
      if (!why.empty()) return why;
      if (level == 0) r.type = id;
      else if (level == 1) r.name = id;
      else if (!id.name.empty()) return "a resource language given by name";
      else r.language = id.id;
      const uint32_t target = LoadLE32(entry + 4);
      if ((target & HighBit) != 0) {
        if (level + 1 >= TreeDepth) return "a resource tree deeper than type, name and language";
        why = Table(target & ~HighBit, level + 1, r);
        if (!why.empty()) return why;
        continue;
      }
      if (level + 1 != TreeDepth) return "a resource without a language";
      if (uint64_t(target) + DataEntrySize > size) return "a resource data entry outside the section";
      const uint8_t* data = &file[base + target];
      const uint32_t rva = LoadLE32(data), length = LoadLE32(data + 4);
      r.codePage = LoadLE32(data + 8);
      const int64_t offset = FileOffsetOf(pe, rva, length);
      if (offset < 0 || !Fits(file, uint64_t(offset), length)) return "a resource's data outside the file";
      r.data.assign(file.begin() + offset, file.begin() + offset + length);
      out.push_back(std::move(r));
    }
    return "";
  }
};

// Windows looks entries up by binary search: named entries first, ordered by their names
// compared without case (as upper case), then numbered ones in ascending order.
bool EntryBefore(const ResourceId& a, const ResourceId& b) {
  if (a.name.empty() != b.name.empty()) return !a.name.empty();
  if (a.name.empty()) return a.id < b.id;
  auto upper = [](char16_t c) { return c >= u'a' && c <= u'z' ? char16_t(c - 32) : c; };
  return std::lexicographical_compare(a.name.begin(), a.name.end(), b.name.begin(), b.name.end(),
                                      [&](char16_t x, char16_t y) { return upper(x) < upper(y); });
}

bool IsLocalSignature(const PeBytes& file, size_t at) {
  return at + 4 <= file.size() && file[at] == 'P' && file[at + 1] == 'K' && file[at + 2] == 3 && file[at + 3] == 4;
}

// A table of the tree being written: its entries, each a resource id and either a lower table
// or a resource (index into the list).
struct Node {
  ResourceId id;
  size_t child = 0;     // index of the lower table (levels 0 and 1)
  size_t resource = 0;  // index of the resource (level 2)
};
struct Table {
  std::vector<Node> entries;
  uint32_t offset = 0;
};

}  // namespace

std::string ParsePe(const PeBytes& file, PeImage& pe) {
  if (file.size() < 0x40 || file[0] != 'M' || file[1] != 'Z') return "not a Windows program (no MZ header)";
  const uint32_t peOffset = LoadLE32(&file[DosPeOffset]);
  if (!Fits(file, peOffset, 4 + FileHeaderSize) || LoadLE32(&file[peOffset]) != 0x00004550)
    return "not a Windows program (no PE header)";
  const uint8_t* header = &file[peOffset + 4];
  if (LoadLE16(header) != MachineI386) return "not a 32-bit x86 Windows program";
  const uint16_t sectionCount = LoadLE16(header + 2), optionalSize = LoadLE16(header + 16);
  pe.optionalHeader = peOffset + 4 + FileHeaderSize;
  if (optionalSize < OptDirectories + 8 * (ResourceDirectory + 1) || !Fits(file, pe.optionalHeader, optionalSize) ||
      LoadLE16(&file[pe.optionalHeader]) != MagicPe32)
    return "not a 32-bit Windows program (no PE32 optional header)";
  const uint8_t* optional = &file[pe.optionalHeader];
  pe.sectionAlignment = LoadLE32(optional + OptSectionAlignment);
  pe.fileAlignment = LoadLE32(optional + OptFileAlignment);
  if (pe.fileAlignment == 0 || pe.sectionAlignment == 0 || (pe.fileAlignment & (pe.fileAlignment - 1)) != 0 ||
      (pe.sectionAlignment & (pe.sectionAlignment - 1)) != 0)
    return "the PE header's alignments are not powers of two";
  const uint32_t directories = LoadLE32(optional + OptDirectoryCount);
  pe.resourceRva = pe.resourceSize = 0;
  if (directories > ResourceDirectory && OptDirectories + 8 * directories <= optionalSize) {
    pe.resourceRva = LoadLE32(optional + OptDirectories + 8 * ResourceDirectory);
    pe.resourceSize = LoadLE32(optional + OptDirectories + 8 * ResourceDirectory + 4);
  }
  const uint32_t table = pe.optionalHeader + optionalSize;
  if (sectionCount == 0 || !Fits(file, table, uint64_t(sectionCount) * SectionHeaderSize))
    return "the PE section table lies outside the file";
  pe.sections.clear();
  for (uint32_t i = 0; i < sectionCount; ++i) {
    const uint32_t at = table + i * SectionHeaderSize;
    const PeSection s{at, LoadLE32(&file[at + 8]), LoadLE32(&file[at + 12]), LoadLE32(&file[at + 16]),
                      LoadLE32(&file[at + 20])};
    if (s.rawSize != 0 && !Fits(file, s.rawPointer, s.rawSize)) return "a PE section lies outside the file";
    pe.sections.push_back(s);
  }
  return "";
}

std::string StubMarkOf(const PeBytes& file, const PeImage& pe) {
  for (const PeSection& s : pe.sections) {
    if (s.rawSize == 0) continue;
    // The first section with data: the mark, if any, begins it and ends at its zero.
    const size_t prefix = sizeof StubMarkPrefix - 1;
    if (s.rawSize < prefix || !std::equal(StubMarkPrefix, StubMarkPrefix + prefix, file.begin() + s.rawPointer))
      return "";
    std::string mark;
    for (uint32_t i = 0; i < s.rawSize && i < StubMarkMaxLength && file[s.rawPointer + i] != 0; ++i)
      mark += char(file[s.rawPointer + i]);
    return mark;
  }
  return "";
}

std::string ReadResources(const PeBytes& file, const PeImage& pe, std::vector<Resource>& resources) {
  resources.clear();
  if (pe.resourceRva == 0) return "";
  const int64_t base = FileOffsetOf(pe, pe.resourceRva, TableSize);
  if (base < 0) return "the resource directory lies outside the sections";
  // The section's bytes from the directory on.
  uint32_t size = 0;
  for (const PeSection& s : pe.sections)
    if (pe.resourceRva >= s.virtualAddress && pe.resourceRva < s.virtualAddress + s.rawSize)
      size = s.rawSize - (pe.resourceRva - s.virtualAddress);
  TreeReader reader{file, pe, uint32_t(base), size, resources};
  return reader.Table(0, 0, Resource{});
}

uint32_t PeChecksum(const PeBytes& file, uint32_t checksumOffset) {
  uint64_t total = 0;
  for (size_t i = 0; i < file.size(); i += 2) {
    if (i == checksumOffset || i == checksumOffset + 2) continue;
    total += file[i] | (i + 1 < file.size() ? file[i + 1] << 8 : 0);
    total = (total & 0xFFFF) + (total >> 16);
  }
  total = (total & 0xFFFF) + (total >> 16);
  return uint32_t(total + file.size());
}

std::string WriteResources(PeBytes& file, const PeImage& pe, const std::vector<Resource>& resources) {
  // The section the directory is in must be the last one and end the file: it can then grow.
  size_t last = 0;
  for (size_t i = 1; i < pe.sections.size(); ++i)
    if (pe.sections[i].virtualAddress > pe.sections[last].virtualAddress) last = i;
  const PeSection& section = pe.sections[last];
  if (pe.resourceRva != section.virtualAddress)
    return "the resource section is not the image's last section";
  if (uint64_t(section.rawPointer) + section.rawSize != file.size())
    return "data follow the image's last section (a signature?): sign the package after it is built";
  const uint32_t rva = section.virtualAddress;

  // Tables: the root, one per type, one per type and name. Resources are sorted by type, name
  // and language; a resource given twice is refused.
  std::vector<size_t> order(resources.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    const Resource &x = resources[a], &y = resources[b];
    if (!(x.type == y.type)) return EntryBefore(x.type, y.type);
    if (!(x.name == y.name)) return EntryBefore(x.name, y.name);
    return x.language < y.language;
  });
  std::vector<Table> tables(1);
  for (size_t k = 0; k < order.size(); ++k) {
    const Resource& r = resources[order[k]];
    if (k > 0) {
      const Resource& p = resources[order[k - 1]];
      if (p.type == r.type && p.name == r.name && p.language == r.language) return "a resource given twice";
    }
    Table& root = tables[0];
    if (root.entries.empty() || !(root.entries.back().id == r.type)) {
      root.entries.push_back({r.type, tables.size(), 0});
      tables.emplace_back();
    }
    const size_t typeTable = tables[0].entries.back().child;
    if (tables[typeTable].entries.empty() || !(tables[typeTable].entries.back().id == r.name)) {
      tables[typeTable].entries.push_back({r.name, tables.size(), 0});
      tables.emplace_back();
    }
    const size_t nameTable = tables[typeTable].entries.back().child;
    ResourceId language;
    language.id = r.language;
    tables[nameTable].entries.push_back({language, 0, order[k]});
  }
  // Tables are laid out breadth first: the root, the type tables, the name tables, which is
  // the order they were made in.
  uint32_t at = 0;
  for (Table& t : tables) {
    t.offset = at;
    at += TableSize + EntrySize * uint32_t(t.entries.size());
  }
  const uint32_t dataEntries = at;
  at += DataEntrySize * uint32_t(resources.size());
  // Names, each once: a 16-bit length and the UTF-16 units.
  std::vector<std::u16string> names;
  std::vector<uint32_t> nameOffsets;
  auto nameOffset = [&](const std::u16string& name) {
    for (size_t i = 0; i < names.size(); ++i)
      if (names[i] == name) return nameOffsets[i];
    names.push_back(name);
    nameOffsets.push_back(at);
    at += 2 + 2 * uint32_t(name.size());
    return nameOffsets.back();
  };
  for (const Table& t : tables)
    for (const Node& n : t.entries)
      if (!n.id.name.empty()) nameOffset(n.id.name);
  const uint32_t dataStart = AlignUp(at, 8);

  // Data follow, in the order of the data entries; padding in front of one moves it off a
  // block start that would read as a local header. Each try moves the first offending
  // resource on: by 8 bytes more through the 32 positions of a 256-byte block that keep it
  // 8-aligned, then through the 4-aligned ones, then byte by byte (data made of the
  // signature over and over, every 4 bytes, leave no aligned position free).
  std::vector<uint32_t> tries(resources.size(), 0);
  auto padding = [&](size_t i) {
    const uint32_t t = tries[i];
    return t < 32 ? 8 * t : t < 64 ? 8 * (t - 32) + 4 : t - 64 + 1;
  };
  PeBytes out;
  for (int attempt = 0;; ++attempt) {
    if (attempt > 100000) return "the resources cannot be placed clear of \"PK\\3\\4\" at 256-byte boundaries";
    PeBytes body(dataStart, 0);
    std::vector<uint32_t> dataOffsets(resources.size());
    for (size_t k = 0; k < order.size(); ++k) {
      const size_t i = order[k];
      body.resize(AlignUp(uint32_t(body.size()), 8) + padding(i), 0);
      dataOffsets[i] = uint32_t(body.size());
      body.insert(body.end(), resources[i].data.begin(), resources[i].data.end());
    }
    if (uint64_t(body.size()) > 0x10000000) return "the resources would take more than 256 MiB";
    // Directory tables.
    uint32_t entryIndex = 0;
    for (const Table& t : tables) {
      uint8_t* p = &body[t.offset];
      uint16_t named = 0;
      for (const Node& n : t.entries) named += n.id.name.empty() ? 0 : 1;
      StoreLE16(p + 12, named);
      StoreLE16(p + 14, uint16_t(t.entries.size() - named));
      for (size_t e = 0; e < t.entries.size(); ++e) {
        const Node& n = t.entries[e];
        uint8_t* q = p + TableSize + EntrySize * e;
        StoreLE32(q, n.id.name.empty() ? n.id.id : HighBit | nameOffset(n.id.name));
        if (n.child != 0) {  // the root is table 0, so no entry leads to it
          StoreLE32(q + 4, HighBit | tables[n.child].offset);
        } else {
          const uint32_t entry = dataEntries + DataEntrySize * entryIndex++;
          StoreLE32(q + 4, entry);
          const Resource& r = resources[n.resource];
          StoreLE32(&body[entry], rva + dataOffsets[n.resource]);
          StoreLE32(&body[entry + 4], uint32_t(r.data.size()));
          StoreLE32(&body[entry + 8], r.codePage);
        }
      }
    }
    for (size_t i = 0; i < names.size(); ++i) {
      StoreLE16(&body[nameOffsets[i]], uint16_t(names[i].size()));
      for (size_t u = 0; u < names[i].size(); ++u) StoreLE16(&body[nameOffsets[i] + 2 + 2 * u], names[i][u]);
    }
    const uint32_t rawSize = AlignUp(uint32_t(body.size()), pe.fileAlignment);
    out.assign(file.begin(), file.begin() + section.rawPointer);
    const size_t bodyStart = out.size();
    out.insert(out.end(), body.begin(), body.end());
    out.resize(bodyStart + rawSize, 0);
    // The first 256-byte block of the new section that begins with the signature, if any.
    size_t bad = out.size();
    for (size_t block = (bodyStart + 255) / 256 * 256; block < out.size(); block += 256)
      if (IsLocalSignature(out, block)) {
        bad = block;
        break;
      }
    if (bad == out.size()) {
      // Headers: the section's sizes, the data directory, the image's size, its checksum.
      const uint32_t virtualSize = uint32_t(body.size());
      StoreLE32(&out[section.header + 8], virtualSize);
      StoreLE32(&out[section.header + 16], rawSize);
      const uint32_t opt = pe.optionalHeader;
      StoreLE32(&out[opt + OptSizeOfInitializedData],
                LoadLE32(&out[opt + OptSizeOfInitializedData]) - section.rawSize + rawSize);
      StoreLE32(&out[opt + OptSizeOfImage], AlignUp(rva + virtualSize, pe.sectionAlignment));
      StoreLE32(&out[opt + OptDirectories + 8 * ResourceDirectory], rva);
      StoreLE32(&out[opt + OptDirectories + 8 * ResourceDirectory + 4], virtualSize);
      StoreLE32(&out[opt + OptCheckSum], 0);
      StoreLE32(&out[opt + OptCheckSum], PeChecksum(out, opt + OptCheckSum));
      file.swap(out);
      return "";
    }
    // Move the resource holding the bad block (or the one after it, when it falls in padding
    // or the directory) by 8 more bytes.
    const uint32_t inBody = uint32_t(bad - bodyStart);
    size_t culprit = order.empty() ? 0 : order.front();
    for (size_t k = 0; k < order.size(); ++k)
      if (dataOffsets[order[k]] <= inBody + 3) culprit = order[k];
    if (order.empty() || tries[culprit] >= 64 + 255)
      return "the resources cannot be placed clear of \"PK\\3\\4\" at 256-byte boundaries";
    ++tries[culprit];
  }
}
