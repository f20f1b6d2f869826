// densegen: writes the dense 32-channel module used to measure rendering speed.
#include <cstdio>

#include "densegen/dense_module.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: densegen OUTPUT.xm\n");
    return 2;
  }
  if (!quarvel::xmwriter::save(quarvel::densegen::denseModule(), argv[1])) {
    std::fprintf(stderr, "densegen: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
