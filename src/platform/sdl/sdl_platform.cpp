// SDL2 implementation of the window system, display device, sound output, clock and threads.
#include "platform/sdl/sdl_platform.h"

#include <SDL.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace quarvel::platform::sdl {
namespace {

SDL_Window* asWindow(void* native) { return static_cast<SDL_Window*>(native); }

// The largest rectangle of a width x height picture's shape that fits an
// output of outWidth x outHeight, centred: bars on two sides when the shapes differ.
SDL_Rect fitted(int width, int height, int outWidth, int outHeight) {
  if (std::int64_t{outWidth} * height <= std::int64_t{outHeight} * width) {
    const int h = static_cast<int>(std::int64_t{outWidth} * height / width);
    return {0, (outHeight - h) / 2, outWidth, h};
  }
  const int w = static_cast<int>(std::int64_t{outHeight} * width / height);
  return {(outWidth - w) / 2, 0, w, outHeight};
}

// A surface in main memory; the primary one also owns the renderer that puts
// pictures on the screen.
class SdlSurface final : public Surface {
 public:
  SdlSurface(std::uint32_t width, std::uint32_t height)
      : width_(width), height_(height), memory_(std::size_t{width} * height) {}

  // Makes this the screen: a renderer on `window` that scales pictures with
  // nearest-neighbour filtering.
  bool attachScreen(SDL_Window* window, bool vsync) {
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    renderer_ = SDL_CreateRenderer(window, -1, vsync ? SDL_RENDERER_PRESENTVSYNC : 0);
    window_ = window;
    return renderer_ != nullptr;
  }

  Result getAttachedSurface(std::uint32_t, Surface*& out) override {
    out = back_.get();
    return back_ ? kOk : kFailed;
  }
  Result setClipper(Clipper&) override { return kOk; }
  Result getPixelFormat(PixelFormat& format) override {
    format = {kPixelFormatRgb, 32, 0xFF0000, 0xFF00, 0xFF};
    return kOk;
  }
  Result restore() override { return kOk; }
  bool isLost() override { return false; }
  Result lock(LockedSurface& locked) override {
    locked = {memory_.data(), static_cast<std::int32_t>(width_ * 4), width_, height_, 32};
    return kOk;
  }
  Result unlock() override { return kOk; }
  // The whole output shows the flipped picture, as large as its shape allows.
  // The output size is asked for on every flip, so the picture follows the
  // window however the window system sizes it.
  Result flip(Surface& target) override {
    auto& source = static_cast<SdlSurface&>(target);
    int outWidth = 0;
    int outHeight = 0;
    if (renderer_ == nullptr || SDL_GetRendererOutputSize(renderer_, &outWidth, &outHeight) != 0) {
      return kFailed;
    }
    return show(source, fitted(static_cast<int>(source.width_), static_cast<int>(source.height_),
                               outWidth, outHeight));
  }
  // `destination` is in screen coordinates; the renderer draws in the
  // window's own, which may have more pixels than the window has points.
  Result blit(const Rect& destination, Surface& source) override {
    if (renderer_ == nullptr) return kFailed;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    int outWidth = 0;
    int outHeight = 0;
    SDL_GetWindowPosition(window_, &x, &y);
    SDL_GetWindowSize(window_, &width, &height);
    if (SDL_GetRendererOutputSize(renderer_, &outWidth, &outHeight) != 0 || width <= 0 ||
        height <= 0) {
      return kFailed;
    }
    const auto across = [&](int at) {
      return static_cast<int>(std::int64_t{at} * outWidth / width);
    };
    const auto down = [&](int at) {
      return static_cast<int>(std::int64_t{at} * outHeight / height);
    };
    const SDL_Rect onWindow{across(destination.left - x), down(destination.top - y),
                            across(destination.right - destination.left),
                            down(destination.bottom - destination.top)};
    return show(static_cast<SdlSurface&>(source), onWindow);
  }
  void release() override {
    if (texture_ != nullptr) SDL_DestroyTexture(texture_);
    if (renderer_ != nullptr) SDL_DestroyRenderer(renderer_);
    delete this;
  }

  void setBack(std::unique_ptr<SdlSurface, void (*)(SdlSurface*)> back) { back_ = std::move(back); }

 private:
  ~SdlSurface() = default;

  Result show(const SdlSurface& source, const SDL_Rect& destination) {
    if (renderer_ == nullptr) return kFailed;
    if (texture_ == nullptr || textureWidth_ != source.width_ || textureHeight_ != source.height_) {
      if (texture_ != nullptr) SDL_DestroyTexture(texture_);
      texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING,
                                   static_cast<int>(source.width_),
                                   static_cast<int>(source.height_));
      if (texture_ == nullptr) return kFailed;
      textureWidth_ = source.width_;
      textureHeight_ = source.height_;
    }
    SDL_UpdateTexture(texture_, nullptr, source.memory_.data(), static_cast<int>(source.width_ * 4));
    SDL_RenderClear(renderer_);
    SDL_RenderCopy(renderer_, texture_, nullptr, &destination);
    SDL_RenderPresent(renderer_);  // waits for the vertical blank when vsync is on
    return kOk;
  }

  std::uint32_t width_;
  std::uint32_t height_;
  std::vector<std::uint32_t> memory_;
  SDL_Window* window_ = nullptr;  // the screen's window, not owned
  SDL_Renderer* renderer_ = nullptr;
  SDL_Texture* texture_ = nullptr;
  std::uint32_t textureWidth_ = 0;
  std::uint32_t textureHeight_ = 0;
  std::unique_ptr<SdlSurface, void (*)(SdlSurface*)> back_{nullptr, [](SdlSurface* s) {
                                                             s->release();
                                                           }};
};

class SdlClipper final : public Clipper {
 public:
  Result setWindow(WindowHandle window) override { return window != 0 ? kOk : kFailed; }
};

class SdlDrawDevice final : public DrawDevice {
 public:
  explicit SdlDrawDevice(SdlPlatform& host) : host_(host) {}

  Result setCooperativeLevel(WindowHandle window, std::uint32_t flags) override {
    if (host_.nativeWindow(window) == nullptr) return kFailed;
    window_ = window;
    exclusive_ = (flags & kCooperativeExclusiveFullScreen) == kCooperativeExclusiveFullScreen;
    return kOk;
  }

  // Any size is a logical size over the desktop; only 32 bits are offered.
  Result setDisplayMode(std::uint32_t width, std::uint32_t height, std::uint32_t bits) override {
    SDL_Window* window = asWindow(host_.nativeWindow(window_));
    if (!exclusive_ || window == nullptr || bits != 32 || width == 0 || height == 0) return kFailed;
    if (SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP) != 0) return kFailed;
    modeWidth_ = width;
    modeHeight_ = height;
    return kOk;
  }

  Result createSurface(const SurfaceRequest& request, Surface*& out) override {
    SDL_Window* window = asWindow(host_.nativeWindow(window_));
    if ((request.capabilities & kCapsPrimarySurface) != 0) {
      if (window == nullptr) return kFailed;
      std::uint32_t width = modeWidth_;
      std::uint32_t height = modeHeight_;
      if (!exclusive_) {
        int w = 0;
        int h = 0;
        SDL_GetWindowSize(window, &w, &h);
        width = static_cast<std::uint32_t>(w);
        height = static_cast<std::uint32_t>(h);
      }
      if (width == 0 || height == 0) return kFailed;
      auto* primary = new SdlSurface(width, height);
      if (!primary->attachScreen(window, true)) {
        primary->release();
        return kFailed;
      }
      if (exclusive_ && (request.capabilities & kCapsFlip) != 0 && request.backBufferCount > 0) {
        primary->setBack({new SdlSurface(width, height), [](SdlSurface* s) { s->release(); }});
      }
      out = primary;
      return kOk;
    }
    if (request.width == 0 || request.height == 0) return kFailed;
    out = new SdlSurface(request.width, request.height);
    return kOk;
  }

  Result createClipper(Clipper*& out) override {
    clippers_.push_back(std::make_unique<SdlClipper>());
    out = clippers_.back().get();
    return kOk;
  }

  void release() override { delete this; }

 private:
  ~SdlDrawDevice() = default;

  SdlPlatform& host_;
  WindowHandle window_ = 0;
  bool exclusive_ = false;
  std::uint32_t modeWidth_ = 0;
  std::uint32_t modeHeight_ = 0;
  std::vector<std::unique_ptr<SdlClipper>> clippers_;
};

class SdlDeviceInterface final : public DeviceInterface {
 public:
  explicit SdlDeviceInterface(SdlPlatform& host) : host_(host) {}
  Result queryDrawDevice(DrawDevice*& out) override {
    out = new SdlDrawDevice(host_);
    return kOk;
  }
  void release() override { delete this; }

 private:
  ~SdlDeviceInterface() = default;
  SdlPlatform& host_;
};

// Plays the prepared buffer in a loop from SDL's audio thread and counts every
// byte it hands over; those bytes are never read again before the next lap.
class SdlSoundDevice final : public SoundDevice {
 public:
  static SdlSoundDevice* open(const WaveFormat& format) {
    auto* device = new SdlSoundDevice();
    SDL_AudioSpec want{};
    want.freq = static_cast<int>(format.framesPerSecond);
    want.format = AUDIO_S16SYS;
    want.channels = static_cast<Uint8>(format.channels);
    want.samples = 1024;
    want.callback = &SdlSoundDevice::callback;
    want.userdata = device;
    device->id_ = SDL_OpenAudioDevice(nullptr, 0, &want, nullptr, 0);
    if (device->id_ == 0) {
      delete device;
      return nullptr;
    }
    return device;
  }

  void prepareLoop(const void* data, std::uint32_t bytes) override {
    SDL_LockAudioDevice(id_);
    ring_ = static_cast<const unsigned char*>(data);
    ringBytes_ = bytes;
    SDL_UnlockAudioDevice(id_);
  }
  void write() override {
    SDL_LockAudioDevice(id_);
    played_.store(0, std::memory_order_release);
    playing_ = ring_ != nullptr && ringBytes_ > 0;
    SDL_UnlockAudioDevice(id_);
    SDL_PauseAudioDevice(id_, 0);
  }
  std::uint32_t playPositionBytes() override {
    return static_cast<std::uint32_t>(played_.load(std::memory_order_acquire));
  }
  void reset() override {
    SDL_LockAudioDevice(id_);
    playing_ = false;
    SDL_UnlockAudioDevice(id_);
    SDL_PauseAudioDevice(id_, 1);
  }
  void unprepare() override {
    SDL_LockAudioDevice(id_);
    ring_ = nullptr;
    ringBytes_ = 0;
    SDL_UnlockAudioDevice(id_);
  }
  void close() override {
    SDL_CloseAudioDevice(id_);
    delete this;
  }

 private:
  SdlSoundDevice() = default;
  ~SdlSoundDevice() = default;

  static void callback(void* userdata, Uint8* stream, int length) {
    auto& self = *static_cast<SdlSoundDevice*>(userdata);
    if (!self.playing_) {
      std::memset(stream, 0, static_cast<std::size_t>(length));
      return;
    }
    std::uint64_t played = self.played_.load(std::memory_order_relaxed);
    std::size_t done = 0;
    const auto total = static_cast<std::size_t>(length);
    while (done < total) {
      const std::size_t at = static_cast<std::size_t>(played % self.ringBytes_);
      const std::size_t n = std::min(total - done, std::size_t{self.ringBytes_} - at);
      std::memcpy(stream + done, self.ring_ + at, n);
      done += n;
      played += n;
    }
    self.played_.store(played, std::memory_order_release);
  }

  SDL_AudioDeviceID id_ = 0;
  const unsigned char* ring_ = nullptr;
  std::uint32_t ringBytes_ = 0;
  bool playing_ = false;  // guarded by the device lock
  std::atomic<std::uint64_t> played_{0};
};

}  // namespace

SdlPlatform::SdlPlatform() { SDL_Init(SDL_INIT_TIMER); }

SdlPlatform::~SdlPlatform() {
  for (auto& [handle, thread] : threads_) {
    if (thread.joinable()) thread.join();
  }
  for (auto& [handle, native] : natives_) SDL_DestroyWindow(asWindow(native));
  SDL_Quit();
}

bool SdlPlatform::registerClass(const WindowClass& windowClass) {
  return queue_.registerClass(windowClass);
}

bool SdlPlatform::unregisterClass(const char* className) {
  return queue_.unregisterClass(className);
}

Rect SdlPlatform::adjustWindowRect(Rect client, std::uint32_t, std::uint32_t) {
  return client;  // SDL sizes windows by their client area
}

WindowHandle SdlPlatform::createWindow(const WindowRequest& request) {
  if (!videoReady_) videoReady_ = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
  if (!videoReady_) return 0;
  // A popup is the full-screen window: made at the screen's size and place, so
  // that it covers the screen even where no window manager acts on the
  // full-screen request.
  const bool popup = (request.style & 0x80000000u) != 0;
  SDL_Rect place{SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, request.width, request.height};
  SDL_Rect screen{};
  if (popup && SDL_GetDisplayBounds(0, &screen) == 0) place = screen;
  SDL_Window* native =
      SDL_CreateWindow(request.title != nullptr ? request.title : "", place.x, place.y, place.w,
                       place.h, SDL_WINDOW_SHOWN | (popup ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0));
  if (native == nullptr) return 0;
  const WindowHandle handle = queue_.addWindow(request.className);
  if (handle == 0) {
    SDL_DestroyWindow(native);
    return 0;
  }
  natives_[handle] = native;
  return handle;
}

std::intptr_t SdlPlatform::defaultWindowProcedure(WindowHandle, std::uint32_t, std::uintptr_t,
                                                  std::intptr_t) {
  return 0;
}

// The native window stays until the platform ends, hidden: the display's
// renderer may still be drawing into it until the frame loop has stopped.
bool SdlPlatform::destroyWindow(WindowHandle window) {
  if (!queue_.destroyWindow(*this, window)) return false;
  SDL_HideWindow(asWindow(natives_[window]));
  return true;
}

void SdlPlatform::pumpEvents() {
  if (!videoReady_) return;
  SDL_Event event;
  while (SDL_PollEvent(&event) != 0) {
    const WindowHandle target = queue_.newestWindow();
    if (event.type == SDL_QUIT ||
        (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_CLOSE)) {
      if (target != 0) queue_.post({target, kMessageClose, 0, 0});
    } else if (event.type == SDL_KEYDOWN) {
      if (event.key.keysym.sym == SDLK_ESCAPE) escapeLatched_ = true;
      if (target != 0) {
        queue_.post(
            {target, kMessageKeyDown, static_cast<std::uintptr_t>(event.key.keysym.sym), 0});
      }
    }
  }
}

bool SdlPlatform::peekMessage(Message& message, bool remove) {
  pumpEvents();
  return queue_.peek(message, remove);
}

void SdlPlatform::translateMessage(const Message&) {}

std::intptr_t SdlPlatform::dispatchMessage(const Message& message) {
  return queue_.dispatch(*this, message);
}

void SdlPlatform::postQuitMessage(int exitCode) { queue_.postQuit(exitCode); }

bool SdlPlatform::escapePressed() {
  bool pressed = escapeLatched_;
  escapeLatched_ = false;
  if (videoReady_) {
    SDL_PumpEvents();
    const Uint8* keys = SDL_GetKeyboardState(nullptr);
    pressed = pressed || keys[SDL_SCANCODE_ESCAPE] != 0;
  }
  return pressed;
}

void SdlPlatform::showCursor(bool show) {
  if (videoReady_) SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
}

void SdlPlatform::messageBox(const char* text) {
  std::fprintf(stderr, "%s\n", text);
  if (videoReady_) SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, "Error", text, nullptr);
}

Rect SdlPlatform::clientRect(WindowHandle window) {
  SDL_Window* native = asWindow(nativeWindow(window));
  if (native == nullptr) return {};
  int w = 0;
  int h = 0;
  SDL_GetWindowSize(native, &w, &h);
  return {0, 0, w, h};
}

Point SdlPlatform::clientToScreen(WindowHandle window, Point point) {
  SDL_Window* native = asWindow(nativeWindow(window));
  if (native == nullptr) return point;
  int x = 0;
  int y = 0;
  SDL_GetWindowPosition(native, &x, &y);
  return {point.x + x, point.y + y};
}

void* SdlPlatform::nativeWindow(WindowHandle window) const {
  const auto found = natives_.find(window);
  return found == natives_.end() ? nullptr : found->second;
}

Result SdlPlatform::createDevice(DeviceInterface*& out) {
  if (!videoReady_) videoReady_ = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
  if (!videoReady_) return kFailed;
  out = new SdlDeviceInterface(*this);
  return kOk;
}

SoundDevice* SdlPlatform::openDevice(const WaveFormat& format) {
  if (SDL_WasInit(SDL_INIT_AUDIO) == 0 && SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return nullptr;
  return SdlSoundDevice::open(format);
}

std::uint32_t SdlPlatform::milliseconds() { return SDL_GetTicks(); }

ThreadHandle SdlPlatform::startTimeCritical(ThreadProcedure procedure, void* context) {
  if (procedure == nullptr) return 0;
  const ThreadHandle handle = nextThread_++;
  threads_[handle] = std::thread([procedure, context] {
    SDL_SetThreadPriority(SDL_THREAD_PRIORITY_TIME_CRITICAL);  // best effort
    procedure(context);
  });
  return handle;
}

void SdlPlatform::forget(ThreadHandle thread) {
  const auto found = threads_.find(thread);
  if (found == threads_.end()) return;
  if (found->second.joinable()) found->second.join();
  threads_.erase(found);
}

void SdlPlatform::sleep(std::uint32_t ms) { SDL_Delay(ms); }

}  // namespace quarvel::platform::sdl
