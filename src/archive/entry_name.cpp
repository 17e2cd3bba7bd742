// IsSafeEntryName (see entry_name.h).
#include "archive/entry_name.h"
#include "util/strings.h"

// A component of dots and blanks only, with at least two dots, names the parent directory
// once Windows has dropped the component's trailing dots and blanks.
static bool IsParentComponent(const char* begin, const char* end) {
  int dots = 0;
  for (const char* p = begin; p < end; ++p) {
    if (*p == '.') ++dots;
    else if (*p != ' ') return false;
  }
  return dots >= 2;
}

bool IsSafeEntryName(const char* name) {
  if (IsPathSeparator(name[0])) return false;
  const char* component = name;
  for (const char* p = name;; ++p) {
    if (*p == ':') return false;
    if (*p == 0 || IsPathSeparator(*p)) {
      if (IsParentComponent(component, p)) return false;
      if (*p == 0) return true;
      component = p + 1;
    }
  }
}
