// The display device: exclusive screen modes, surfaces with a flip chain, clippers.
#pragma once

#include <cstdint>

#include "platform/window_system.h"

namespace quarvel::platform {

// A call's result as the device reports it: 0 success, negative failure.
using Result = std::int32_t;
inline constexpr Result kOk = 0;
inline constexpr Result kFailed = -1;

// Cooperative levels.
inline constexpr std::uint32_t kCooperativeNormal = 0x08;
inline constexpr std::uint32_t kCooperativeExclusiveFullScreen = 0x11;

// Surface request flags (which fields of the request are filled in).
inline constexpr std::uint32_t kRequestCaps = 0x01;
inline constexpr std::uint32_t kRequestHeight = 0x02;
inline constexpr std::uint32_t kRequestWidth = 0x04;
inline constexpr std::uint32_t kRequestBackBufferCount = 0x20;

// Surface capabilities.
inline constexpr std::uint32_t kCapsBackBuffer = 0x0004;
inline constexpr std::uint32_t kCapsComplex = 0x0008;
inline constexpr std::uint32_t kCapsFlip = 0x0010;
inline constexpr std::uint32_t kCapsOffscreenPlain = 0x0040;
inline constexpr std::uint32_t kCapsPrimarySurface = 0x0200;
inline constexpr std::uint32_t kCapsVideoMemory = 0x4000;

// Pixel format flag: the format is described by RGB masks.
inline constexpr std::uint32_t kPixelFormatRgb = 0x40;

struct PixelFormat {
  std::uint32_t flags = 0;
  std::uint32_t rgbBitCount = 0;
  std::uint32_t redMask = 0;
  std::uint32_t greenMask = 0;
  std::uint32_t blueMask = 0;
};

struct SurfaceRequest {
  std::uint32_t flags = 0;
  std::uint32_t capabilities = 0;
  std::uint32_t backBufferCount = 0;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
};

// What a lock hands out: `pitch` bytes from one row to the next (never less
// than a row), `width` x `height` pixels of `bitsPerPixel` each.
struct LockedSurface {
  void* bits = nullptr;
  std::int32_t pitch = 0;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint32_t bitsPerPixel = 0;
};

// Device objects end with release(); an attached back buffer belongs to its
// primary surface and a clipper to the device that made it.
class Clipper {
 public:
  virtual Result setWindow(WindowHandle window) = 0;

 protected:
  ~Clipper() = default;
};

class Surface {
 public:
  virtual Result getAttachedSurface(std::uint32_t capabilities, Surface*& out) = 0;
  virtual Result setClipper(Clipper& clipper) = 0;
  virtual Result getPixelFormat(PixelFormat& format) = 0;
  virtual Result restore() = 0;
  virtual bool isLost() = 0;
  virtual Result lock(LockedSurface& locked) = 0;
  virtual Result unlock() = 0;
  // Shows `target` (the flip chain's back buffer), waiting for the vertical blank.
  virtual Result flip(Surface& target) = 0;
  // Copies the whole of `source` onto this surface at `destination` (screen coordinates).
  virtual Result blit(const Rect& destination, Surface& source) = 0;
  virtual void release() = 0;

 protected:
  ~Surface() = default;
};

class DrawDevice {
 public:
  virtual Result setCooperativeLevel(WindowHandle window, std::uint32_t flags) = 0;
  virtual Result setDisplayMode(std::uint32_t width, std::uint32_t height,
                                std::uint32_t bitsPerPixel) = 0;
  virtual Result createSurface(const SurfaceRequest& request, Surface*& out) = 0;
  virtual Result createClipper(Clipper*& out) = 0;
  virtual void release() = 0;

 protected:
  ~DrawDevice() = default;
};

// The interface first handed out by device creation; the display asks it for
// the newer DrawDevice interface and then lets it go.
class DeviceInterface {
 public:
  virtual Result queryDrawDevice(DrawDevice*& out) = 0;
  virtual void release() = 0;

 protected:
  ~DeviceInterface() = default;
};

class DrawSystem {
 public:
  virtual ~DrawSystem() = default;
  // Creates the default display device.
  virtual Result createDevice(DeviceInterface*& out) = 0;
};

}  // namespace quarvel::platform
