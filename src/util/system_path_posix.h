// Native builds: paths built for Windows ('\' separators) name the same files with '/'.
#pragma once
#include <string>

inline std::string SystemPath(const char* path) {
  std::string name(path);
  for (char& c : name)
    if (c == '\\') c = '/';
  return name;
}
