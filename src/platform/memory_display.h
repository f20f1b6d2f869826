// A display device kept in main memory, for backends that differ only in how a picture reaches the screen.
#pragma once

#include <cstdint>

#include "platform/draw_device.h"

namespace quarvel::platform {

// `width` x `height` pixels of 0x00RRGGBB, row after row with no gap between rows.
struct Picture {
  const std::uint32_t* pixels = nullptr;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
};

struct PixelSize {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
};

// The pixels inside a client rectangle; 0 across a side that is empty or inverted.
inline PixelSize sizeOf(const Rect& client) {
  return {static_cast<std::uint32_t>(client.right > client.left ? client.right - client.left : 0),
          static_cast<std::uint32_t>(client.bottom > client.top ? client.bottom - client.top : 0)};
}

// The backend's side of a memory display device: the windows it can show in,
// the modes it takes and the way a picture reaches the screen.
class MemoryScreen {
 public:
  // The pixels a windowed display's primary surface has in `window`; 0 x 0
  // when a display cannot use that window.
  virtual PixelSize windowSize(WindowHandle window) = 0;
  // Switches to a mode of `width` x `height` 32-bit pixels (neither is 0) for
  // `window`; false refuses it. `exclusive` tells whether the display holds
  // the exclusive full-screen level.
  virtual bool enterMode(WindowHandle window, bool exclusive, std::uint32_t width,
                         std::uint32_t height) = 0;
  // A primary surface starts showing in `window` (false refuses the surface),
  // and stops when it is released.
  virtual bool attach(WindowHandle /*window*/) { return true; }
  virtual void detach(WindowHandle /*window*/) {}
  // Puts `picture` on the screen of `window` and waits as the screen paces
  // its pictures: where a flip shows it when `destination` is null, else at
  // `destination` in screen coordinates (a blit). `window` is 0 for the
  // primary surface of a display that never named its window, and for a
  // surface that is not a primary one.
  virtual Result show(WindowHandle window, const Picture& picture, const Rect* destination) = 0;

 protected:
  ~MemoryScreen() = default;
};

// A display device over `screen`, which outlives it and every object it hands
// out. Its surfaces are 32-bit (masks 0xFF0000, 0xFF00, 0xFF) and never lost.
// A display at the exclusive level or in a mode is full screen: its primary
// surface has the mode's size (none before a mode is set) and a flip chain on
// request. Otherwise the primary surface has the window's size and no chain.
// A clipper takes any window but 0. Ends with release(), as device creation's
// result does.
DeviceInterface* createMemoryDevice(MemoryScreen& screen);

}  // namespace quarvel::platform
