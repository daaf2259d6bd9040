// Build tool: packs the web pages into the resource file.
//   rrfpack <output.rrf> <file>...
// Each file becomes one item named after the file, stamped with its
// modification time.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>

#include "remote/FileResourcer.h"
#include "remote/pack/RrfWriter.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: rrfpack <output.rrf> <file>...\n";
    return 2;
  }
  namespace fs = std::filesystem;
  std::vector<TRrfEntry> entries;
  for (int i = 2; i < argc; ++i) {
    const fs::path path(argv[i]);
    std::ifstream in(path, std::ios::binary);
    if (!in || path.filename().string().size() > kItemNameLength) {
      std::cerr << "rrfpack: cannot pack " << path << " (unreadable, or its name is over "
                << kItemNameLength << " characters)\n";
      return 1;
    }
    const auto mtime = std::chrono::file_clock::to_sys(fs::last_write_time(path));
    entries.push_back({path.filename().string(),
                       std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()), 0,
                       dt::FromTimePoint(std::chrono::time_point_cast<std::chrono::system_clock::duration>(mtime))});
  }
  std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
  out << WriteResourceFile(entries);
  if (!out.flush()) {
    std::cerr << "rrfpack: cannot write " << argv[1] << "\n";
    return 1;
  }
  return 0;
}
