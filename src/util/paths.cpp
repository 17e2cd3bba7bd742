// ForceDirectories (see paths.h), over the existence tests and directory calls of the system.
#include "util/paths.h"
#include "util/memory.h"
#include "util/strings.h"

bool ForceDirectories(const char* dir) {
  uint32_t length = ZStrLength(dir);
  if (length > 0 && IsPathSeparator(dir[length - 1])) --length;
  if (length < 3) return false;  // taken to exist, but not looked for
  MemBlock block(length + 1);
  char* path = reinterpret_cast<char*>(block.get());
  for (uint32_t i = 0; i < length; ++i) path[i] = dir[i];
  path[length] = 0;
  // A directory the system reports as such is what the search of PathExists finds too, at a
  // fraction of its cost; anything else goes through that search.
  if (IsDirectory(path) || PathExists(path)) return true;
  // Each directory on the way down, from the first below the first three characters ("C:\"
  // or the "\\" of a server), made when it is missing; the last one's making decides.
  for (uint32_t end = 3; end < length; ++end) {
    if (!IsPathSeparator(path[end])) continue;
    path[end] = 0;
    MakeDirectory(path);
    path[end] = '\\';
  }
  return MakeDirectory(path);
}
