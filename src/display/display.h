// The Display: the 32-bit framebuffer, its window, and the device surfaces it is presented on.
#pragma once

#include <cstdint>
#include <vector>

#include "display/row_converters.h"
#include "platform/draw_device.h"
#include "platform/window_system.h"

namespace quarvel::display {

inline constexpr const char* kWindowClassName = "project_screen";

// Window styles and the extended style every display window gets.
inline constexpr std::uint32_t kStyleFullScreen = 0x90000000;  // popup, visible
inline constexpr std::uint32_t kStyleWindowed = 0x10CA0000;    // visible, caption, menu, minimise
inline constexpr std::uint32_t kExStyleAppWindow = 0x00040000;
inline constexpr std::uint32_t kClassStyleRedraw = 0x0003;  // redraw on horizontal or vertical resize

// Platform state of one display. The window and the clipper are not released by
// the display: the window system and the device own them.
struct DisplayDevice {
  platform::WindowSystem* windows = nullptr;
  platform::WindowHandle window = 0;
  platform::DrawDevice* directDraw = nullptr;
  platform::Surface* primary = nullptr;
  // Full screen: the flip chain's back buffer, owned by `primary`.
  // Windowed: an off-screen surface of the screen-image size, owned here.
  platform::Surface* back = nullptr;
  // Filled by every lock in present().
  platform::LockedSurface surfaceDesc{};
};

// Shows a message box with `text`, then ends the process with exit code -1.
// Nothing is released first: the audio thread may still be running, so static
// destructors are skipped too.
[[noreturn]] void fatalError(platform::WindowSystem& windows, const char* text);

// The procedure of every display window: closing destroys the window, and its
// destruction posts the quit message that ends the frame loop.
std::intptr_t windowProc(platform::WindowSystem& windows, platform::WindowHandle window,
                         std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);

class Display {
 public:
  // Either completes with a working display or ends the process through
  // fatalError. `scale` replicates each framebuffer pixel scale x scale times
  // on the screen; `fullScreen` nonzero takes the screen in an exclusive mode.
  // Both platform services must outlive the display.
  Display(platform::WindowSystem& windows, platform::DrawSystem& draw, const char* title,
          std::uint32_t width, std::uint32_t height, std::uint32_t scale,
          std::uint8_t fullScreen);
  virtual ~Display();

  Display(const Display&) = delete;
  Display& operator=(const Display&) = delete;

  // Copies the framebuffer to the back surface and flips it (full screen) or
  // blits it into the window (windowed). False when the primary surface is lost
  // and cannot be restored; nothing is drawn then.
  virtual bool present();

  // Writes `value` into every framebuffer pixel.
  void clear(std::uint32_t value);

  // The framebuffer, width x height pixels, 0x00RRGGBB, rows packed; owned.
  // Starts black.
  std::uint32_t* pixels = nullptr;
  // Chosen from the primary surface's format; null for a format that shows nothing.
  RowConverter rowConverter = nullptr;
  std::uint32_t pixelCount = 0;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint8_t fullScreen = 0;
  std::uint32_t scale = 1;
  DisplayDevice* device = nullptr;  // owned

 private:
  void copyToSurface(const platform::LockedSurface& surface);

  std::uint32_t surfaceBits_ = 0;          // pixel size the converter writes
  std::vector<std::uint32_t> scaledRow_;   // one framebuffer row widened by `scale`
};

}  // namespace quarvel::display
