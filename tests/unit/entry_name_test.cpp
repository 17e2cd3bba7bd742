// Entry names: what stored name bytes decode to, and the names that must never become paths.
#include <gtest/gtest.h>
#include <string>
#include <zlib.h>
#include "archive/entry_name.h"
#include "support/entry_runner.h"
#include "util/text.h"

namespace {

TEST(EntryNames, OrdinaryNamesAreSafe) {
  for (const char* name : {"a.txt", "docs/readme.txt", "docs\\sub\\x", "..a", "a/.hidden/b", "...name", "a b/c d.txt",
                           "dir/", "console.txt", "nul_device", "com10.txt", "lpt", "aux_/x", "Ωμέγα/日本語 ファイル.txt",
                           "./d/f.txt", "x/./y", "./"})  // "." as bsdtar writes it
    EXPECT_TRUE(IsSafeEntryName(name)) << name;
}

TEST(EntryNames, ParentLevelsDrivesRootsDevicesAndUnwritableNamesAreRefused) {
  for (const char* name : {"..", "../x", "..\\x", "a/../../x", "a\\..\\..\\x", "a/..", "/x", "\\x", "\\\\server\\s\\x",
                           "C:\\x", "C:x", "a/b:stream", ". ./x", "... /x", "a/.../b",
                           // devices, with any extension and in any case
                           "CON", "prn.txt", "x/Aux", "nul.tar.gz", "COM1", "lpt9.log", "d/com3/x", "CON .txt",
                           "conin$", "CONOUT$.x", "COM\xC2\xB9", "lpt\xC2\xB3.txt", "COM0", "lpt0.txt", "clock$", "d/CLOCK$.x",
                           // names Windows would change or cannot hold
                           "a.", "a ", "dir./x", "x/y ", "a<b", "a>b", "a\"b", "a|b", "a?b", "a*b",
                           "tab\there", "new\nline", "ok\x01"})
    EXPECT_FALSE(IsSafeEntryName(name)) << name;
}

std::string Decode(const std::string& name, uint16_t flags = 0, const std::string& extra = "", uint32_t size = 4096) {
  EnsureCrcTable();
  std::string out(size, '\x55');
  DecodeEntryName(reinterpret_cast<const uint8_t*>(name.data()), uint32_t(name.size()), flags,
                  reinterpret_cast<const uint8_t*>(extra.data()), uint32_t(extra.size()), &out[0], size);
  return out.c_str();
}

// A Unicode Path extra field: id 0x7075, version, CRC-32 of the stored name, the UTF-8 name.
std::string UnicodePath(const std::string& stored, const std::string& utf8, uint8_t version = 1, uint32_t crcDelta = 0) {
  const uint32_t crc = uint32_t(crc32(0, reinterpret_cast<const Bytef*>(stored.data()), uInt(stored.size()))) + crcDelta;
  std::string field = std::string(1, char(version)) + std::string(reinterpret_cast<const char*>(&crc), 4) + utf8;
  return std::string("\x75\x70", 2) + char(field.size() & 0xFF) + char(field.size() >> 8) + field;
}

TEST(EntryNames, DecodingFollowsTheFlagTheUnicodeFieldUtf8AndTheOemCodePage) {
  const std::string cafe = "caf\xC3\xA9";           // "café" in UTF-8
  const std::string cafeOem = "caf\x82";            // the same in code page 437
  const std::string nihon = "\xE6\x97\xA5\xE6\x9C\xAC";  // 日本
  struct Case {
    const char* what;
    std::string name;
    uint16_t flags;
    std::string extra;
    std::string expected;
  };
  const Case cases[] = {
      {"ASCII", "docs/a.txt", 0, "", "docs/a.txt"},
      {"flag 11, UTF-8", nihon + "/x", FlagUtf8Name, "", nihon + "/x"},
      {"UTF-8 without the flag", cafe, 0, "", cafe},
      {"OEM code page", cafeOem, 0, "", cafe},
      {"flag 11 on bytes that are no UTF-8", cafeOem, FlagUtf8Name, "", cafe},
      {"Unicode Path field", cafeOem, 0, UnicodePath(cafeOem, nihon), nihon},
      {"Unicode Path field after another field", cafeOem, 0, std::string("\x55\x54\x01\x00\x01", 5) + UnicodePath(cafeOem, nihon), nihon},
      {"Unicode Path field, wrong CRC-32", cafeOem, 0, UnicodePath(cafeOem, nihon, 1, 1), cafe},
      {"Unicode Path field, version 2", cafeOem, 0, UnicodePath(cafeOem, nihon, 2), cafe},
      {"Unicode Path field, invalid UTF-8", cafeOem, 0, UnicodePath(cafeOem, "\xC3"), cafe},
      {"Unicode Path field, empty", cafeOem, 0, UnicodePath(cafeOem, ""), cafe},
      {"flag 11 wins over the field", nihon, FlagUtf8Name, UnicodePath(nihon, cafe), nihon},
      {"overlong '/' is no UTF-8", "a\xC0\xAF" "b", 0, "", "a\xE2\x94\x94\xC2\xBB" "b"},
      {"surrogate is no UTF-8", "\xED\xA0\x80", 0, "", "\xCF\x86\xC3\xA1\xC3\x87"},
      {"truncated sequence", "x\xE6\x97", FlagUtf8Name, "", "x\xC2\xB5\xC3\xB9"},
      {"zero byte ends the name", std::string("ab\0cd", 5), 0, "", "ab"},
  };
  for (const Case& c : cases) EXPECT_EQ(Decode(c.name, c.flags, c.extra), c.expected) << c.what;
}

TEST(EntryNames, DecodedNamesAreCutAtCharacterBoundaries) {
  EXPECT_EQ(Decode(std::string(2000, 'a')), std::string(2000, 'a'));  // long names are whole
  EXPECT_EQ(Decode("ab\xE6\x97\xA5", FlagUtf8Name, "", 5), "ab");
  EXPECT_EQ(Decode("ab\x82\x82", 0, "", 6), "ab\xC3\xA9");
}

TEST(Utf8, ValidityAtTheBoundaries) {
  struct Case {
    std::string text;
    bool valid;
  };
  const Case cases[] = {
      {"", true}, {"plain", true}, {"\x7F", true}, {"\xC2\x80", true}, {"\xDF\xBF", true}, {"\xE0\xA0\x80", true},
      {"\xED\x9F\xBF", true}, {"\xEE\x80\x80", true}, {"\xF0\x90\x80\x80", true}, {"\xF4\x8F\xBF\xBF", true},
      {"\x80", false}, {"\xC1\xBF", false}, {"\xE0\x9F\xBF", false}, {"\xED\xA0\x80", false}, {"\xED\xBF\xBF", false},
      {"\xF0\x8F\xBF\xBF", false}, {"\xF4\x90\x80\x80", false}, {"\xF5\x80\x80\x80", false}, {"\xC3", false},
      {"\xE6\x97", false}, {"\xC3\x28", false}, {"\xFF", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(IsValidUtf8(reinterpret_cast<const uint8_t*>(c.text.data()), uint32_t(c.text.size())), c.valid)
        << testing::PrintToString(c.text);
}

}  // namespace
