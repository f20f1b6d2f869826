// songgen: composes the demo's soundtrack and writes it as a module file.
#include <cstdio>

#include "songgen/composition.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: songgen OUTPUT.xm\n");
    return 2;
  }
  if (!quarvel::xmwriter::save(quarvel::songgen::composeSong(), argv[1])) {
    std::fprintf(stderr, "songgen: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
