// quenlar-plate-layouts: writes the layout file of each built-in plate format ("w96f",
// "w384", "w96u") from the program's own built-in tables, so that a run recorded on a
// built-in layout reads the very table its acquisition used. data/ holds its output.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "storage/plate_layout.h"

int main(int argc, char** argv) {
  if (argc != 2 || std::string(argv[1]) == "--help") {
    std::fputs("Usage: quenlar-plate-layouts FOLDER\n"
               "Writes w96f.dat, w384.dat and w96u.dat, the built-in plate layouts, in FOLDER.\n",
               argc == 2 ? stdout : stderr);
    return argc == 2 ? 0 : 2;
  }
  const std::filesystem::path folder = argv[1];
  for (const char* name : storage::kBuiltInPlateLayouts) {
    const std::filesystem::path file = folder / (std::string(name) + ".dat");
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << storage::BuiltInPlateLayoutFileText(name);
    if (!out.flush()) {
      std::fprintf(stderr, "quenlar-plate-layouts: %s could not be written\n", file.c_str());
      return 1;
    }
  }
  return 0;
}
