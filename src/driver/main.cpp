// The demo's entry point: the backend of the platform it was built for, and the demo, nothing else.
#include "driver/run_demo.h"

#if defined(_WIN32)
#include "platform/win32/win32_platform.h"
#else
#include "platform/sdl/sdl_platform.h"
#endif

int main() {
#if defined(_WIN32)
  quarvel::platform::win32::Win32Platform backend;
#else
  quarvel::platform::sdl::SdlPlatform backend;
#endif
  return quarvel::driver::runDemo(backend.platform());
}
