// Existence tests and directory calls of native builds (see paths.h): '\' becomes '/' at the
// system call, so paths built for Windows name the same files here.
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>
#include <string>
#include "util/paths.h"
#include "util/strings.h"
#include "util/system_path_posix.h"

bool PathExists(char* buffer) {
  if (buffer[0] == 0) return false;
  SlashesToBackslashes(buffer);
  std::string name = SystemPath(buffer);
  if (name.back() == '/') name.pop_back();
  struct stat info;
  return !name.empty() && stat(name.c_str(), &info) == 0;
}

bool IsDirectory(const char* path) {
  struct stat info;
  return stat(SystemPath(path).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool MakeDirectory(const char* path) { return mkdir(SystemPath(path).c_str(), 0755) == 0; }
bool RemoveEmptyDirectory(const char* path) { return rmdir(SystemPath(path).c_str()) == 0; }

bool MakeAbsolute(char* path, uint32_t size) {
  if (IsPathSeparator(path[0])) return true;
  char current[4096];
  if (getcwd(current, sizeof current) == nullptr) return false;
  const std::string full = std::string(current) + "/" + path;
  return full.size() < size && StrCopy(path, full.c_str(), size);
}

bool AppendRandomDigits(char* dest) {
  uint8_t random[RandomDigits / 2];
  if (getrandom(random, sizeof random, 0) != ssize_t(sizeof random)) return false;
  for (uint8_t byte : random) {
    *dest++ = "0123456789ABCDEF"[byte >> 4];
    *dest++ = "0123456789ABCDEF"[byte & 15];
  }
  *dest = 0;
  return true;
}
