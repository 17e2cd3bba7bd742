// Entry names that must never become paths outside the extraction directory.
#include <gtest/gtest.h>
#include "archive/entry_name.h"

namespace {

TEST(EntryNames, OrdinaryNamesAreSafe) {
  for (const char* name : {"a.txt", "docs/readme.txt", "docs\\sub\\x", "..a", "a..", "a/.hidden/b", "./a", "x/./y",
                           "...name", "a b/c d.txt"})
    EXPECT_TRUE(IsSafeEntryName(name)) << name;
}

TEST(EntryNames, ParentLevelsDrivesAndRootsAreRefused) {
  for (const char* name : {"..", "../x", "..\\x", "a/../../x", "a\\..\\..\\x", "a/..", "/x", "\\x", "\\\\server\\s\\x",
                           "C:\\x", "C:x", "a/b:stream", ". ./x", "... /x", "a/.../b"})
    EXPECT_FALSE(IsSafeEntryName(name)) << name;
}

}  // namespace
