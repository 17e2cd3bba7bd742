// Runs every saved case of a fuzz target's corpus through the target as an ordinary test:
// replay DIR... (each file in each directory is one input; subdirectories are passed over).
#include <dirent.h>
#include <sys/stat.h>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size);

int main(int argc, char** argv) {
  int cases = 0;
  for (int a = 1; a < argc; ++a) {
    DIR* dir = opendir(argv[a]);
    if (dir == nullptr) {
      std::fprintf(stderr, "cannot open %s\n", argv[a]);
      return 2;
    }
    std::vector<std::string> names;
    while (dirent* e = readdir(dir)) {
      const std::string name = std::string(argv[a]) + "/" + e->d_name;
      struct stat info;
      if (e->d_name[0] != '.' && stat(name.c_str(), &info) == 0 && S_ISREG(info.st_mode)) names.push_back(name);
    }
    closedir(dir);
    for (const std::string& name : names) {
      std::ifstream f(name, std::ios::binary);
      const std::vector<char> bytes((std::istreambuf_iterator<char>(f)), {});
      LLVMFuzzerTestOneInput(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
      ++cases;
    }
  }
  std::printf("replayed %d cases\n", cases);
  return cases > 0 ? 0 : 1;
}
