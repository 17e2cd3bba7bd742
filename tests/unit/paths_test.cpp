// String and path routines, command-line splitting and the fatal report's text.
#include <gtest/gtest.h>
#include <string>
#include "app/cmdline.h"
#include "util/fatal.h"
#include "util/strings.h"

namespace {

std::string Dir(const char* path) { char out[300]; ExtractFileDir(path, out, sizeof out); return out; }
std::string Name(const char* path) { char out[400]; ExtractFileName(path, out, sizeof out); return out; }

TEST(PathSplitting, DirectoryPart) {
  EXPECT_EQ(Dir("C:\\dir\\file"), "C:\\dir");
  EXPECT_EQ(Dir("C:\\file"), "C:\\");
  EXPECT_EQ(Dir("dir\\file"), "dir");
  EXPECT_EQ(Dir("dir/sub/file"), "dir/sub");
  EXPECT_EQ(Dir("\\file"), "");
  EXPECT_EQ(Dir("file"), "");
  EXPECT_EQ(Dir("C:file"), "C:");
  EXPECT_EQ(Dir(""), "");
  EXPECT_EQ(Dir("a:b"), "a:b");
  EXPECT_EQ(Dir("ab\\file"), "ab");
  EXPECT_EQ(Dir("C:\\"), "C:\\");
}

TEST(PathSplitting, FileNamePart) {
  EXPECT_EQ(Name("C:\\dir\\file.txt"), "file.txt");
  EXPECT_EQ(Name("dir/"), "");
  EXPECT_EQ(Name("C:name"), "name");
  EXPECT_EQ(Name("plain"), "plain");
  EXPECT_EQ(Name(std::string(300, 'x').c_str()), std::string(300, 'x'));  // a UTF-8 name part is never cut
}

TEST(PathSplitting, DestinationSizeIsNeverExceeded) {
  char out[4] = {'#', '#', '#', '#'};
  ExtractFileName("C:\\abcdef", out, 3);
  EXPECT_STREQ(out, "ab");
  EXPECT_EQ(out[3], '#');
  ExtractFileDir("abcdef\\x", out, 3);
  EXPECT_STREQ(out, "ab");
}

TEST(Buffers, BufferToStringCutsAtZero) {
  char out[16];
  BufferToString("abc\0def", 7, out, sizeof out);
  EXPECT_STREQ(out, "abc");
  BufferToString("abc", 0, out, sizeof out);
  EXPECT_STREQ(out, "");
  BufferToString("abcdef", 4, out, sizeof out);
  EXPECT_STREQ(out, "abcd");
}

TEST(Buffers, AddBackslashNeedsRoom) {
  char text[8] = "C:\\x\\";
  EXPECT_TRUE(AddBackslash(text, sizeof text));
  EXPECT_STREQ(text, "C:\\x\\");
  char other[8] = "C:\\x";
  EXPECT_TRUE(AddBackslash(other, sizeof other));
  EXPECT_STREQ(other, "C:\\x\\");
  char empty[4] = "";
  EXPECT_TRUE(AddBackslash(empty, sizeof empty));
  EXPECT_STREQ(empty, "\\");
  char full[5] = "abcd";
  EXPECT_FALSE(AddBackslash(full, sizeof full));
  EXPECT_STREQ(full, "abcd");
}

TEST(Buffers, SlashesBecomeBackslashesWhateverTheLength) {
  std::string long_path(400, 'a');
  long_path[10] = '/';
  long_path[390] = '/';
  SlashesToBackslashes(long_path.data());
  EXPECT_EQ(long_path.find('/'), std::string::npos);
}

TEST(Buffers, CopyAndAppendAreBounded) {
  char out[6];
  EXPECT_TRUE(StrCopy(out, "abcde", sizeof out));
  EXPECT_FALSE(StrCopy(out, "abcdef", sizeof out));
  EXPECT_STREQ(out, "abcde");
  char joined[6] = "ab";
  EXPECT_TRUE(StrAppend(joined, "cde", sizeof joined));
  EXPECT_FALSE(StrAppend(joined, "f", sizeof joined));
  EXPECT_STREQ(joined, "abcde");
  EXPECT_EQ(ZStrLength("abc"), 3u);
}

// Command-line arguments reach 128 KB: lengths and counts must not wrap at 65,536.
TEST(Buffers, LengthsAndCountsBeyondSixteenBits) {
  const std::string text(70000, 'x');
  EXPECT_EQ(ZStrLength(text.c_str()), 70000u);
  std::string out(70001, '#');
  BufferToString(text.c_str(), 70000, out.data(), uint32_t(out.size()));
  EXPECT_EQ(ZStrLength(out.c_str()), 70000u);
}

std::string Arg(const char* line, int index) {
  char out[64];
  return GetCommandArgument(line, index, out, sizeof out) ? out : "<none>";
}

TEST(CommandLine, SplitsOnBlanksAndControlCharacters) {
  EXPECT_EQ(Arg("prog a.zip 1101 C:\\x", 1), "a.zip");
  EXPECT_EQ(Arg("prog a.zip 1101 C:\\x", 2), "1101");
  EXPECT_EQ(Arg("prog a.zip 1101 C:\\x", 3), "C:\\x");
  EXPECT_EQ(Arg("prog a.zip", 2), "<none>");
  EXPECT_EQ(Arg("prog\ta.zip", 1), "a.zip");
  EXPECT_EQ(Arg("prog   ", 1), "<none>");
}

TEST(CommandLine, QuotesGroupAndAreRemoved) {
  EXPECT_EQ(Arg("\"C:\\Program Files\\z.exe\" \"my file.zip\" 1", 0), "C:\\Program Files\\z.exe");
  EXPECT_EQ(Arg("\"C:\\Program Files\\z.exe\" \"my file.zip\" 1", 1), "my file.zip");
  EXPECT_EQ(Arg("prog a\"b c\"d", 1), "ab cd");
  EXPECT_EQ(Arg("prog \"\"x y", 1), "x");
  EXPECT_EQ(Arg("prog \"\" y", 1), "");
  EXPECT_EQ(Arg("prog \"\" y", 2), "y");
  EXPECT_EQ(Arg("prog \"unclosed text", 1), "unclosed text");
}

TEST(CommandLine, LongArgumentsAreCutToTheBuffer) {
  char out[8];
  EXPECT_TRUE(GetCommandArgument(("p " + std::string(100, 'q')).c_str(), 1, out, sizeof out));
  EXPECT_STREQ(out, "qqqqqqq");
}

TEST(CommandLine, PackageSwitchesInEitherFormAndCase) {
  struct Case {
    const char* line;
    bool silent, help, dump;
    const char* directory;
    const char* password;
    const char* setupArguments = "";
  };
  const Case cases[] = {
      {"pkg.exe", false, false, false, "", ""},
      {"pkg.exe -s", true, false, false, "", ""},
      {"pkg.exe /S -d \"C:\\Program Files\\App\" /p \"two words\"", true, false, false,
       "C:\\Program Files\\App", "two words"},
      {"pkg.exe -z /D out -P pw -unknown extra", false, false, true, "out", "pw"},
      {"pkg.exe -Z /z -zz -sd", false, false, false, "", ""},  // only "-z" as it is written
      {"pkg.exe /? -h", false, true, false, "", ""},
      {"pkg.exe -p", false, false, false, "", ""},  // a switch without its argument
      // After "--" nothing is the package's: the rest goes to setup.exe as it was typed.
      {"pkg.exe -s --  /quiet \"a  b\" -d x", true, false, false, "", "", "/quiet \"a  b\" -d x"},
      {"\"--\" -- -s", false, false, false, "", "", "-s"},
      {"pkg.exe -p -- --", false, false, false, "", "--"},  // "--" as a switch's argument
      {"pkg.exe --x -- ", false, false, false, "", ""},
  };
  for (const Case& c : cases) {
    ReadPackageSwitches(c.line);
    EXPECT_EQ(Switches.silent, c.silent) << c.line;
    EXPECT_EQ(Switches.help, c.help) << c.line;
    EXPECT_EQ(Switches.dump, c.dump) << c.line;
    EXPECT_STREQ(Switches.directory, c.directory) << c.line;
    EXPECT_STREQ(Switches.password, c.password) << c.line;
    EXPECT_STREQ(Switches.setupArguments, c.setupArguments) << c.line;
  }
}

TEST(FatalReport, NumberRightAlignedBeforeAt) {
  char text[48];
  FormatRuntimeError(text, 203, 0x00401A2Bu);
  EXPECT_STREQ(text, "Runtime error 203 at 00401A2B");
  FormatRuntimeError(text, 5, 0);
  EXPECT_STREQ(text, "Runtime error   5 at 00000000");
  FormatRuntimeError(text, 112, 0xFFFFFFFFu);
  EXPECT_STREQ(text, "Runtime error 112 at FFFFFFFF");
  FormatRuntimeError(text, 10054, 0x10);
  EXPECT_STREQ(text, "Runtime error 10054 at 00000010");
}

}  // namespace
