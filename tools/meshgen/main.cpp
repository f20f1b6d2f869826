// meshgen: writes the demo's mesh files into the directory given as the only argument.
#include <cstdio>

#include "meshgen/mesh_builder.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: meshgen <output directory>\n");
    return 2;
  }
  if (!quarvel::meshgen::writeDemoMeshFiles(argv[1])) {
    std::fprintf(stderr, "meshgen: cannot write into %s\n", argv[1]);
    return 1;
  }
  return 0;
}
