// Display construction, destruction, presenting and clearing.
#include "display/display.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace quarvel::display {
namespace {

using platform::kOk;

// Displays share one registration of the window class: the first registers it,
// the last one to go unregisters it.
int liveDisplayCount = 0;

}  // namespace

void fatalError(platform::WindowSystem& windows, const char* text) {
  windows.messageBox(text);
  std::fflush(nullptr);
  std::_Exit(-1);
}

std::intptr_t windowProc(platform::WindowSystem& windows, platform::WindowHandle window,
                         std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
  switch (message) {
    case platform::kMessageDestroy:
      windows.postQuitMessage(0);
      return 0;
    case platform::kMessageClose:
      windows.destroyWindow(window);
      return 0;
    default:
      return windows.defaultWindowProcedure(window, message, wParam, lParam);
  }
}

Display::Display(platform::WindowSystem& windows, platform::DrawSystem& draw, const char* title,
                 std::uint32_t frameWidth, std::uint32_t frameHeight, std::uint32_t pixelScale,
                 std::uint8_t fullScreenMode)
    : pixelCount(frameWidth * frameHeight),
      width(frameWidth),
      height(frameHeight),
      fullScreen(fullScreenMode),
      scale(pixelScale),
      device(new DisplayDevice{}) {
  device->windows = &windows;

  const platform::WindowClass windowClass{kClassStyleRedraw, windowProc,
                                          windows.loadArrowCursor(), kWindowClassName};
  if (liveDisplayCount == 0 && !windows.registerClass(windowClass)) {
    fatalError(windows, "Error registering window class");
  }
  ++liveDisplayCount;

  const std::uint32_t style = fullScreen ? kStyleFullScreen : kStyleWindowed;
  const platform::Rect client{0, 0, static_cast<std::int32_t>(scale * width),
                              static_cast<std::int32_t>(scale * height)};
  const platform::Rect outer = windows.adjustWindowRect(client, style, kExStyleAppWindow);
  device->window = windows.createWindow({kExStyleAppWindow, kWindowClassName, title, style,
                                         outer.right - outer.left, outer.bottom - outer.top});

  device->surfaceDesc = {};
  // Zero-filled, so the opening scene's trails start from black.
  pixels = new (std::nothrow) std::uint32_t[pixelCount]();
  if (pixels == nullptr) fatalError(windows, "Virtual framebuffer not created due to lack of memory");

  platform::DeviceInterface* first = nullptr;
  if (draw.createDevice(first) != kOk) fatalError(windows, "Directdraw UNABLE to load");
  if (first->queryDrawDevice(device->directDraw) != kOk) {
    fatalError(windows, "Directdraw interface NOT aquired");
  }
  first->release();

  platform::DrawDevice& dd = *device->directDraw;
  if (fullScreen) {
    if (dd.setCooperativeLevel(device->window, platform::kCooperativeExclusiveFullScreen) < 0) {
      fatalError(windows, "Directdraw NOT able to set Cooperative Level");
    }
    if (dd.setDisplayMode(scale * width, scale * height, 32) < 0 &&
        dd.setDisplayMode(scale * width, scale * height, 16) < 0) {
      fatalError(windows, "Could not find a supported ddraw pixelformat mode");
    }
    platform::SurfaceRequest primary{};
    primary.flags = platform::kRequestCaps | platform::kRequestBackBufferCount;
    primary.backBufferCount = 1;
    primary.capabilities = platform::kCapsPrimarySurface | platform::kCapsFlip |
                           platform::kCapsComplex | platform::kCapsVideoMemory;
    if (dd.createSurface(primary, device->primary) < 0) {
      fatalError(windows, "Unable to create ddraw surface");
    }
    device->primary->getAttachedSurface(platform::kCapsBackBuffer, device->back);
  } else {
    if (dd.setCooperativeLevel(device->window, platform::kCooperativeNormal) < 0) {
      fatalError(windows, "Directdraw NOT able to set Cooperative Level");
    }
    platform::SurfaceRequest primary{};
    primary.flags = platform::kRequestCaps;
    primary.capabilities = platform::kCapsPrimarySurface | platform::kCapsVideoMemory;
    dd.createSurface(primary, device->primary);

    platform::SurfaceRequest back{};
    back.flags = platform::kRequestCaps | platform::kRequestHeight | platform::kRequestWidth;
    back.capabilities = platform::kCapsOffscreenPlain;
    back.width = width * scale;
    back.height = scale * height;
    dd.createSurface(back, device->back);

    platform::Clipper* clipper = nullptr;
    if (dd.createClipper(clipper) != kOk) fatalError(windows, "Failed to create clipper");
    if (clipper->setWindow(device->window) != kOk) {
      fatalError(windows, "failed to set clipper window");
    }
    if (device->primary == nullptr || device->primary->setClipper(*clipper) != kOk) {
      fatalError(windows, "failed to apply clipper to surface");
    }
  }

  platform::PixelFormat format{};
  if (device->primary != nullptr) device->primary->getPixelFormat(format);
  const ConverterChoice choice = chooseRowConverter(format);
  if (choice.outcome == ConverterChoice::Outcome::Unsupported) {
    fatalError(windows, "Unknown or unsupported adapterformat");
  }
  rowConverter = choice.converter;
  surfaceBits_ = choice.bitsPerPixel;
  if (scale > 1) scaledRow_.resize(std::size_t{scale} * width);
}

Display::~Display() {
  delete[] pixels;
  pixels = nullptr;
  if (device->primary != nullptr) device->primary->release();
  if (!fullScreen && device->back != nullptr) device->back->release();
  device->directDraw->release();
  if (--liveDisplayCount == 0) device->windows->unregisterClass(kWindowClassName);
  delete device;
  device = nullptr;
}

bool Display::present() {
  DisplayDevice& d = *device;
  // The device's surfaces are unchecked at construction; a missing one simply
  // never shows anything.
  if (d.primary == nullptr) return false;
  d.primary->restore();
  if (fullScreen && d.back != nullptr) d.back->restore();
  if (d.primary->isLost()) return false;
  if (d.back == nullptr || d.back->lock(d.surfaceDesc) != kOk) return true;
  copyToSurface(d.surfaceDesc);
  d.back->unlock();

  if (fullScreen) {
    d.primary->flip(*d.back);
  } else {
    const platform::Rect client = d.windows->clientRect(d.window);
    const platform::Point bottomRight =
        d.windows->clientToScreen(d.window, {client.right, client.bottom});
    const platform::Point topLeft = d.windows->clientToScreen(d.window, {client.left, client.top});
    d.primary->blit({topLeft.x, topLeft.y, bottomRight.x, bottomRight.y}, *d.back);
  }
  return true;
}

void Display::copyToSurface(const platform::LockedSurface& surface) {
  if (surface.bits == nullptr) return;
  auto* const bits = static_cast<unsigned char*>(surface.bits);
  const std::uint32_t screenWidth = scale * width;
  const std::uint32_t screenHeight = scale * height;

  const bool exactSurface = rowConverter == rowCopy32 && surface.bitsPerPixel == 32 &&
                            surface.pitch == static_cast<std::int32_t>(screenWidth * 4) &&
                            surface.width >= screenWidth && surface.height >= screenHeight;
  if (exactSurface) {
    // Our own 32-bit mode: rows are packed, so pixels replicate straight into place.
    if (scale == 1) {
      std::memcpy(bits, pixels, std::size_t{pixelCount} * 4);
      return;
    }
    auto* d = reinterpret_cast<std::uint32_t*>(bits);
    const std::uint32_t* s = pixels;
    for (std::uint32_t y = 0; y < height; ++y, s += width) {
      for (std::uint32_t r = 0; r < scale; ++r) {
        for (std::uint32_t x = 0; x < width; ++x) {
          for (std::uint32_t k = 0; k < scale; ++k) *d++ = s[x];
        }
      }
    }
    return;
  }

  // Any other surface: convert each screen row at the pitch the lock reports,
  // clipped to the locked size so that nothing is written outside it.
  if (rowConverter == nullptr || surface.bitsPerPixel != surfaceBits_ || surface.pitch <= 0) return;
  const std::uint32_t bytesPerPixel = surfaceBits_ / 8;
  const std::uint32_t count =
      std::min({screenWidth, surface.width, static_cast<std::uint32_t>(surface.pitch) / bytesPerPixel});
  const std::uint32_t rows = std::min(screenHeight, surface.height);
  for (std::uint32_t screenRow = 0; screenRow < rows; ++screenRow) {
    const std::uint32_t y = screenRow / scale;
    const std::uint32_t* row = pixels + std::size_t{y} * width;
    if (scale > 1) {
      if (screenRow % scale == 0) {
        for (std::uint32_t x = 0; x < screenWidth; ++x) scaledRow_[x] = row[x / scale];
      }
      row = scaledRow_.data();
    }
    rowConverter(row, bits + std::size_t{screenRow} * static_cast<std::uint32_t>(surface.pitch), count);
  }
}

void Display::clear(std::uint32_t value) {
  // Three of the four scenes start from black; memset is the fast fill for it.
  if (value == 0) {
    std::memset(pixels, 0, std::size_t{width} * height * sizeof(std::uint32_t));
    return;
  }
  std::fill_n(pixels, width * height, value);
}

}  // namespace quarvel::display
