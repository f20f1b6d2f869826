// The demo's entry point: the desktop backend and the demo, nothing else.
#include "driver/run_demo.h"
#include "platform/sdl/sdl_platform.h"

int main() {
  quarvel::platform::sdl::SdlPlatform sdl;
  return quarvel::driver::runDemo(sdl.platform());
}
