// ForceDirectories (see paths.h), over the existence tests and directory calls of the system.
#include "util/paths.h"
#include "util/strings.h"

bool ForceDirectories(const char* dir) {
  char path[MaxPathLength + 1];
  if (!StrCopy(path, dir, sizeof path)) return false;  // longer than any directory the system creates
  uint32_t length = ZStrLength(path);
  if (length > 0 && path[length - 1] == '\\') path[--length] = 0;
  if (length < 3) return false;  // taken to exist, but not looked for
  // A directory the system reports as such is what the search of PathExists finds too, at a
  // fraction of its cost; anything else goes through that search.
  if (IsDirectory(path) || PathExists(path)) return true;
  char parent[MaxPathLength + 1];
  ExtractFileDir(path, parent, sizeof parent);
  ForceDirectories(parent);
  return MakeDirectory(path);
}
