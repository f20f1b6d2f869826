// SDL2 implementation of the window system, display device, sound output, clock and threads.
#include "platform/sdl/sdl_platform.h"

#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace quarvel::platform::sdl {
namespace {

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

// Where `destination`, in screen coordinates, lies in the renderer's output of
// `window`: the renderer draws in the window's own coordinates, which may have
// more pixels than the window has points. False for a window without an area.
bool onWindow(SDL_Window* window, const Rect& destination, int outWidth, int outHeight,
              SDL_Rect& place) {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  SDL_GetWindowPosition(window, &x, &y);
  SDL_GetWindowSize(window, &width, &height);
  if (width <= 0 || height <= 0) return false;
  const auto across = [&](int at) { return static_cast<int>(std::int64_t{at} * outWidth / width); };
  const auto down = [&](int at) { return static_cast<int>(std::int64_t{at} * outHeight / height); };
  place = {across(destination.left - x), down(destination.top - y),
           across(destination.right - destination.left),
           down(destination.bottom - destination.top)};
  return true;
}

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
  for (auto& [handle, native] : natives_) SDL_DestroyWindow(native);
  SDL_Quit();
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
  const WindowHandle handle = queue().addWindow(request.className);
  if (handle == 0) {
    SDL_DestroyWindow(native);
    return 0;
  }
  natives_[handle] = native;
  return handle;
}

// The native window stays until the platform ends, hidden: the display's
// renderer may still be drawing into it until the frame loop has stopped.
bool SdlPlatform::destroyWindow(WindowHandle window) {
  if (!QueuedWindowSystem::destroyWindow(window)) return false;
  SDL_HideWindow(natives_[window]);
  return true;
}

void SdlPlatform::pumpEvents() {
  if (!videoReady_) return;
  SDL_Event event;
  while (SDL_PollEvent(&event) != 0) {
    const WindowHandle target = queue().newestWindow();
    if (event.type == SDL_QUIT ||
        (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_CLOSE)) {
      if (target != 0) queue().post({target, kMessageClose, 0, 0});
    } else if (event.type == SDL_KEYDOWN) {
      if (event.key.keysym.sym == SDLK_ESCAPE) escapeLatched_ = true;
      if (target != 0) {
        queue().post(
            {target, kMessageKeyDown, static_cast<std::uintptr_t>(event.key.keysym.sym), 0});
      }
    }
  }
}

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
  SDL_Window* native = nativeWindow(window);
  if (native == nullptr) return {};
  int w = 0;
  int h = 0;
  SDL_GetWindowSize(native, &w, &h);
  return {0, 0, w, h};
}

Point SdlPlatform::clientToScreen(WindowHandle window, Point point) {
  SDL_Window* native = nativeWindow(window);
  if (native == nullptr) return point;
  int x = 0;
  int y = 0;
  SDL_GetWindowPosition(native, &x, &y);
  return {point.x + x, point.y + y};
}

SDL_Window* SdlPlatform::nativeWindow(WindowHandle window) const {
  const auto found = natives_.find(window);
  return found == natives_.end() ? nullptr : found->second;
}

Result SdlPlatform::createDevice(DeviceInterface*& out) {
  if (!videoReady_) videoReady_ = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
  if (!videoReady_) return kFailed;
  out = createMemoryDevice(*this);
  return kOk;
}

PixelSize SdlPlatform::windowSize(WindowHandle window) { return sizeOf(clientRect(window)); }

// Any size is a logical size over the desktop, in the exclusive level.
bool SdlPlatform::enterMode(WindowHandle window, bool exclusive, std::uint32_t, std::uint32_t) {
  SDL_Window* native = nativeWindow(window);
  return exclusive && native != nullptr &&
         SDL_SetWindowFullscreen(native, SDL_WINDOW_FULLSCREEN_DESKTOP) == 0;
}

// A renderer on the window that scales pictures with nearest-neighbour
// filtering and waits for the vertical blank; SDL allows one per window.
bool SdlPlatform::attach(WindowHandle window) {
  SDL_Window* native = nativeWindow(window);
  if (native == nullptr) return false;
  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
  SDL_Renderer* renderer = SDL_CreateRenderer(native, -1, SDL_RENDERER_PRESENTVSYNC);
  if (renderer == nullptr) return false;
  screens_[window] = {renderer};
  return true;
}

void SdlPlatform::detach(WindowHandle window) {
  const auto found = screens_.find(window);
  if (found == screens_.end()) return;
  if (found->second.texture != nullptr) SDL_DestroyTexture(found->second.texture);
  SDL_DestroyRenderer(found->second.renderer);
  screens_.erase(found);
}

// A flip fills the whole output with the picture, as large as its shape
// allows; the output size is asked for every time, so the picture follows the
// window however the window system sizes it. A blit puts it at its destination.
Result SdlPlatform::show(WindowHandle window, const Picture& picture, const Rect* destination) {
  const auto found = screens_.find(window);
  if (found == screens_.end()) return kFailed;
  Screen& screen = found->second;
  int outWidth = 0;
  int outHeight = 0;
  if (SDL_GetRendererOutputSize(screen.renderer, &outWidth, &outHeight) != 0) return kFailed;
  SDL_Rect place{};
  if (destination == nullptr) {
    place = fitted(static_cast<int>(picture.width), static_cast<int>(picture.height), outWidth,
                   outHeight);
  } else if (!onWindow(nativeWindow(window), *destination, outWidth, outHeight, place)) {
    return kFailed;
  }
  if (screen.texture == nullptr || screen.textureWidth != picture.width ||
      screen.textureHeight != picture.height) {
    if (screen.texture != nullptr) SDL_DestroyTexture(screen.texture);
    screen.texture = SDL_CreateTexture(screen.renderer, SDL_PIXELFORMAT_ARGB8888,
                                       SDL_TEXTUREACCESS_STREAMING,
                                       static_cast<int>(picture.width),
                                       static_cast<int>(picture.height));
    if (screen.texture == nullptr) return kFailed;
    screen.textureWidth = picture.width;
    screen.textureHeight = picture.height;
  }
  SDL_UpdateTexture(screen.texture, nullptr, picture.pixels, static_cast<int>(picture.width * 4));
  SDL_RenderClear(screen.renderer);
  SDL_RenderCopy(screen.renderer, screen.texture, nullptr, &place);
  SDL_RenderPresent(screen.renderer);  // waits for the vertical blank
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
