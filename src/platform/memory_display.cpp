// Surfaces in main memory, their clippers and device, over a backend's MemoryScreen.
#include "platform/memory_display.h"

#include <memory>
#include <vector>

namespace quarvel::platform {
namespace {

class MemoryClipper final : public Clipper {
 public:
  Result setWindow(WindowHandle window) override { return window != 0 ? kOk : kFailed; }
};

class MemorySurface final : public Surface {
 public:
  // An off-screen surface (a flip chain's back buffer is one too).
  MemorySurface(MemoryScreen& screen, PixelSize size)
      : screen_(screen), size_(size), memory_(std::size_t{size.width} * size.height) {}

  // A primary surface, which `screen` has attached to `window`: flips and
  // blits onto it show there until it is released.
  MemorySurface(MemoryScreen& screen, WindowHandle window, PixelSize size, bool withBackBuffer)
      : MemorySurface(screen, size) {
    window_ = window;
    attached_ = true;
    if (withBackBuffer) back_ = new MemorySurface(screen, size);
  }

  Result getAttachedSurface(std::uint32_t, Surface*& out) override {
    out = back_;
    return back_ != nullptr ? kOk : kFailed;
  }
  Result setClipper(Clipper&) override { return kOk; }
  Result getPixelFormat(PixelFormat& format) override {
    format = {kPixelFormatRgb, 32, 0xFF0000, 0xFF00, 0xFF};
    return kOk;
  }
  Result restore() override { return kOk; }
  bool isLost() override { return false; }
  Result lock(LockedSurface& locked) override {
    locked = {memory_.data(), static_cast<std::int32_t>(size_.width * 4), size_.width,
              size_.height, 32};
    return kOk;
  }
  Result unlock() override { return kOk; }
  Result flip(Surface& target) override {
    return screen_.show(window_, static_cast<MemorySurface&>(target).picture(), nullptr);
  }
  Result blit(const Rect& destination, Surface& source) override {
    return screen_.show(window_, static_cast<MemorySurface&>(source).picture(), &destination);
  }
  void release() override { delete this; }

 private:
  ~MemorySurface() {
    delete back_;
    if (attached_) screen_.detach(window_);
  }

  Picture picture() const { return {memory_.data(), size_.width, size_.height}; }

  MemoryScreen& screen_;
  PixelSize size_;
  std::vector<std::uint32_t> memory_;
  WindowHandle window_ = 0;
  bool attached_ = false;
  MemorySurface* back_ = nullptr;  // the flip chain's back buffer, owned
};

class MemoryDrawDevice final : public DrawDevice {
 public:
  explicit MemoryDrawDevice(MemoryScreen& screen) : screen_(screen) {}

  // Refuses a window that the screen has no pixels for.
  Result setCooperativeLevel(WindowHandle window, std::uint32_t flags) override {
    const PixelSize client = screen_.windowSize(window);
    if (client.width == 0 || client.height == 0) return kFailed;
    window_ = window;
    fullScreen_ = (flags & kCooperativeExclusiveFullScreen) == kCooperativeExclusiveFullScreen;
    return kOk;
  }

  // Main memory holds only 32-bit pixels; the screen decides the rest.
  Result setDisplayMode(std::uint32_t width, std::uint32_t height, std::uint32_t bits) override {
    if (bits != 32 || width == 0 || height == 0) return kFailed;
    if (!screen_.enterMode(window_, fullScreen_, width, height)) return kFailed;
    mode_ = {width, height};
    fullScreen_ = true;  // even where the screen took the mode without the exclusive level
    return kOk;
  }

  Result createSurface(const SurfaceRequest& request, Surface*& out) override {
    if ((request.capabilities & kCapsPrimarySurface) == 0) {
      if (request.width == 0 || request.height == 0) return kFailed;
      out = new MemorySurface(screen_, {request.width, request.height});
      return kOk;
    }
    const PixelSize size = fullScreen_ ? mode_ : screen_.windowSize(window_);
    if (size.width == 0 || size.height == 0 || !screen_.attach(window_)) return kFailed;
    const bool flipChain =
        fullScreen_ && (request.capabilities & kCapsFlip) != 0 && request.backBufferCount > 0;
    out = new MemorySurface(screen_, window_, size, flipChain);
    return kOk;
  }

  Result createClipper(Clipper*& out) override {
    clippers_.push_back(std::make_unique<MemoryClipper>());
    out = clippers_.back().get();
    return kOk;
  }

  void release() override { delete this; }

 private:
  ~MemoryDrawDevice() = default;

  MemoryScreen& screen_;
  WindowHandle window_ = 0;
  bool fullScreen_ = false;
  PixelSize mode_;  // 0 x 0 until a mode is set
  std::vector<std::unique_ptr<MemoryClipper>> clippers_;
};

class MemoryDeviceInterface final : public DeviceInterface {
 public:
  explicit MemoryDeviceInterface(MemoryScreen& screen) : screen_(screen) {}
  Result queryDrawDevice(DrawDevice*& out) override {
    out = new MemoryDrawDevice(screen_);
    return kOk;
  }
  void release() override { delete this; }

 private:
  ~MemoryDeviceInterface() = default;
  MemoryScreen& screen_;
};

}  // namespace

DeviceInterface* createMemoryDevice(MemoryScreen& screen) {
  return new MemoryDeviceInterface(screen);
}

}  // namespace quarvel::platform
