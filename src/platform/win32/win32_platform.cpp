// The Windows backend over the system calls: windows, DirectDraw 7, waveOut, clock, threads.
#include "platform/win32/win32_platform.h"

#include <windows.h>
// The two below need windows.h first.
#include <ddraw.h>
#include <mmsystem.h>

#include <cstdio>
#include <limits>
#include <memory>
#include <vector>

namespace quarvel::platform::win32 {
namespace {

// The system's constants whose header spellings are C casts.
const LPCSTR kArrowCursor = reinterpret_cast<LPCSTR>(static_cast<ULONG_PTR>(32512));  // IDC_ARROW
constexpr int kDefaultPosition = std::numeric_limits<int>::min();    // CW_USEDEFAULT
constexpr HRESULT kSurfaceLost = static_cast<HRESULT>(0x887601C2u);  // DDERR_SURFACELOST
constexpr HRESULT kNoInterface = static_cast<HRESULT>(0x80004002u);  // E_NOINTERFACE
const UINT kWaveMapper = static_cast<UINT>(-1);                      // WAVE_MAPPER

HWND asWindow(WindowHandle window) {
  return reinterpret_cast<HWND>(window);
}
WindowHandle asHandle(HWND window) {
  return reinterpret_cast<WindowHandle>(window);
}

RECT toRect(const Rect& r) {
  return {r.left, r.top, r.right, r.bottom};
}
Rect fromRect(const RECT& r) {
  return {static_cast<std::int32_t>(r.left), static_cast<std::int32_t>(r.top),
          static_cast<std::int32_t>(r.right), static_cast<std::int32_t>(r.bottom)};
}

MSG toMsg(const Message& message) {
  MSG msg{};
  msg.hwnd = asWindow(message.window);
  msg.message = message.message;
  msg.wParam = static_cast<WPARAM>(message.wParam);
  msg.lParam = static_cast<LPARAM>(message.lParam);
  return msg;
}

LRESULT CALLBACK windowTrampoline(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return static_cast<LRESULT>(Win32Platform::route(asHandle(window), message,
                                                   static_cast<std::uintptr_t>(wParam),
                                                   static_cast<std::intptr_t>(lParam)));
}

// Drops one reference to a COM object, if there is one.
template <typename T>
void releaseInterface(T*& object) {
  if (object != nullptr) object->Release();
  object = nullptr;
}

class DdClipper final : public Clipper {
 public:
  explicit DdClipper(IDirectDrawClipper* clipper) : clipper_(clipper) {}
  ~DdClipper() { releaseInterface(clipper_); }
  DdClipper(const DdClipper&) = delete;
  DdClipper& operator=(const DdClipper&) = delete;

  Result setWindow(WindowHandle window) override { return clipper_->SetHWnd(0, asWindow(window)); }
  IDirectDrawClipper* native() const { return clipper_; }

 private:
  IDirectDrawClipper* clipper_;
};

// One IDirectDrawSurface7. A primary surface owns the wrapper of its attached
// back buffer, which goes when the primary is released.
class DdSurface final : public Surface {
 public:
  explicit DdSurface(IDirectDrawSurface7* surface) : surface_(surface) {}

  Result getAttachedSurface(std::uint32_t capabilities, Surface*& out) override {
    DDSCAPS2 caps{};
    caps.dwCaps = capabilities;
    IDirectDrawSurface7* attached = nullptr;
    const HRESULT result = surface_->GetAttachedSurface(&caps, &attached);
    if (FAILED(result)) return result;
    attached_.reset(new DdSurface(attached));
    out = attached_.get();
    return result;
  }

  Result setClipper(Clipper& clipper) override {
    return surface_->SetClipper(static_cast<DdClipper&>(clipper).native());
  }

  Result getPixelFormat(PixelFormat& format) override {
    DDPIXELFORMAT native{};
    native.dwSize = sizeof(native);
    const HRESULT result = surface_->GetPixelFormat(&native);
    if (SUCCEEDED(result)) {
      format.flags = native.dwFlags;
      format.rgbBitCount = native.dwRGBBitCount;
      format.redMask = native.dwRBitMask;
      format.greenMask = native.dwGBitMask;
      format.blueMask = native.dwBBitMask;
    }
    return result;
  }

  Result restore() override { return surface_->Restore(); }
  bool isLost() override { return surface_->IsLost() == kSurfaceLost; }

  Result lock(LockedSurface& locked) override {
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof(desc);
    const HRESULT result = surface_->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr);
    if (SUCCEEDED(result)) {
      locked.bits = desc.lpSurface;
      locked.pitch = static_cast<std::int32_t>(desc.lPitch);
      locked.width = desc.dwWidth;
      locked.height = desc.dwHeight;
      locked.bitsPerPixel = desc.ddpfPixelFormat.dwRGBBitCount;
    }
    return result;
  }

  Result unlock() override { return surface_->Unlock(nullptr); }

  Result flip(Surface& target) override {
    return surface_->Flip(static_cast<DdSurface&>(target).surface_, DDFLIP_WAIT);
  }

  Result blit(const Rect& destination, Surface& source) override {
    RECT rect = toRect(destination);
    return surface_->Blt(&rect, static_cast<DdSurface&>(source).surface_, nullptr, 0, nullptr);
  }

  void release() override { delete this; }

 private:
  struct Releaser {
    void operator()(DdSurface* surface) const { surface->release(); }
  };

  ~DdSurface() {
    attached_.reset();  // the back buffer first: it hangs off this surface
    releaseInterface(surface_);
  }

  IDirectDrawSurface7* surface_;
  std::unique_ptr<DdSurface, Releaser> attached_;
};

// IDirectDraw7; it keeps the clippers it made until it is released.
class DdDevice final : public DrawDevice {
 public:
  explicit DdDevice(IDirectDraw7* device) : device_(device) {}

  Result setCooperativeLevel(WindowHandle window, std::uint32_t flags) override {
    return device_->SetCooperativeLevel(asWindow(window), flags);
  }

  Result setDisplayMode(std::uint32_t width, std::uint32_t height,
                        std::uint32_t bitsPerPixel) override {
    return device_->SetDisplayMode(width, height, bitsPerPixel, 0, 0);
  }

  Result createSurface(const SurfaceRequest& request, Surface*& out) override {
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof(desc);
    desc.dwFlags = request.flags;
    desc.ddsCaps.dwCaps = request.capabilities;
    desc.dwBackBufferCount = request.backBufferCount;
    desc.dwWidth = request.width;
    desc.dwHeight = request.height;
    IDirectDrawSurface7* surface = nullptr;
    const HRESULT result = device_->CreateSurface(&desc, &surface, nullptr);
    if (FAILED(result)) return result;
    out = new DdSurface(surface);
    return result;
  }

  Result createClipper(Clipper*& out) override {
    IDirectDrawClipper* clipper = nullptr;
    const HRESULT result = device_->CreateClipper(0, &clipper, nullptr);
    if (FAILED(result)) return result;
    clippers_.push_back(std::make_unique<DdClipper>(clipper));
    out = clippers_.back().get();
    return result;
  }

  void release() override { delete this; }

 private:
  ~DdDevice() {
    clippers_.clear();
    releaseInterface(device_);
  }

  IDirectDraw7* device_;
  std::vector<std::unique_ptr<DdClipper>> clippers_;
};

// The IDirectDraw interface that DirectDrawCreate hands out.
class DdFirstInterface final : public DeviceInterface {
 public:
  explicit DdFirstInterface(IDirectDraw* first) : first_(first) {}

  Result queryDrawDevice(DrawDevice*& out) override {
    void* device = nullptr;
    const HRESULT result = first_->QueryInterface(IID_IDirectDraw7, &device);
    if (result != S_OK) return FAILED(result) ? result : kNoInterface;
    out = new DdDevice(static_cast<IDirectDraw7*>(device));
    return result;
  }

  void release() override { delete this; }

 private:
  ~DdFirstInterface() { releaseInterface(first_); }

  IDirectDraw* first_;
};

// One waveOut device playing one looping header.
class WaveOutDevice final : public SoundDevice {
 public:
  static WaveOutDevice* open(const WaveFormat& format) {
    WAVEFORMATEX wave{};
    wave.wFormatTag = WAVE_FORMAT_PCM;
    wave.nChannels = format.channels;
    wave.nSamplesPerSec = format.framesPerSecond;
    wave.wBitsPerSample = format.bitsPerSample;
    wave.nBlockAlign = static_cast<WORD>(format.channels * format.bitsPerSample / 8);
    wave.nAvgBytesPerSec = format.framesPerSecond * wave.nBlockAlign;
    wave.cbSize = 0;
    HWAVEOUT handle = nullptr;
    if (waveOutOpen(&handle, kWaveMapper, &wave, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) {
      return nullptr;
    }
    return new WaveOutDevice(handle, wave.nBlockAlign, wave.nAvgBytesPerSec);
  }

  void prepareLoop(const void* data, std::uint32_t bytes) override {
    header_ = {};
    header_.lpData = static_cast<LPSTR>(const_cast<void*>(data));
    header_.dwBufferLength = bytes;
    header_.dwFlags = WHDR_BEGINLOOP | WHDR_ENDLOOP;
    header_.dwLoops = 0xFFFFFFFFu;
    waveOutPrepareHeader(handle_, &header_, sizeof(header_));
  }

  void write() override { waveOutWrite(handle_, &header_, sizeof(header_)); }

  // Asks for bytes; a device that answers in another unit is converted.
  std::uint32_t playPositionBytes() override {
    MMTIME time{};
    time.wType = TIME_BYTES;
    if (waveOutGetPosition(handle_, &time, sizeof(time)) != MMSYSERR_NOERROR) return 0;
    switch (time.wType) {
      case TIME_BYTES:
        return time.u.cb;
      case TIME_SAMPLES:
        return time.u.sample * blockAlign_;
      case TIME_MS:
        return static_cast<std::uint32_t>(std::uint64_t{time.u.ms} * bytesPerSecond_ / 1000);
      default:
        return 0;
    }
  }

  void reset() override { waveOutReset(handle_); }
  void unprepare() override { waveOutUnprepareHeader(handle_, &header_, sizeof(header_)); }

  void close() override {
    waveOutClose(handle_);
    delete this;
  }

 private:
  WaveOutDevice(HWAVEOUT handle, std::uint32_t blockAlign, std::uint32_t bytesPerSecond)
      : handle_(handle), blockAlign_(blockAlign), bytesPerSecond_(bytesPerSecond) {}
  ~WaveOutDevice() = default;

  HWAVEOUT handle_;
  std::uint32_t blockAlign_;
  std::uint32_t bytesPerSecond_;
  WAVEHDR header_{};  // the device reads it until unprepare()
};

struct ThreadStart {
  ThreadProcedure procedure;
  void* context;
};

DWORD WINAPI threadEntry(LPVOID parameter) {
  const ThreadStart start = *static_cast<ThreadStart*>(parameter);
  delete static_cast<ThreadStart*>(parameter);
  start.procedure(start.context);
  return 0;
}

}  // namespace

Win32Platform* Win32Platform::live_ = nullptr;

Win32Platform::Win32Platform() {
  live_ = this;
}

Win32Platform::~Win32Platform() {
  if (live_ == this) live_ = nullptr;
}

std::intptr_t Win32Platform::route(WindowHandle window, std::uint32_t message,
                                   std::uintptr_t wParam, std::intptr_t lParam) {
  Win32Platform* self = live_;
  WindowProcedure procedure = self != nullptr ? self->procedureOf(window) : nullptr;
  if (procedure == nullptr) {
    return static_cast<std::intptr_t>(DefWindowProcA(
        asWindow(window), message, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam)));
  }
  const std::intptr_t result = procedure(*self, window, message, wParam, lParam);
  if (message == WM_NCDESTROY) self->windows_.erase(window);  // the last message a window gets
  return result;
}

WindowProcedure Win32Platform::procedureOf(WindowHandle window) {
  const auto found = windows_.find(window);
  if (found != windows_.end()) return found->second;
  if (creating_ == nullptr) return nullptr;
  windows_[window] = creating_;
  return creating_;
}

CursorHandle Win32Platform::loadArrowCursor() {
  return reinterpret_cast<CursorHandle>(LoadCursorA(nullptr, kArrowCursor));
}

bool Win32Platform::registerClass(const WindowClass& windowClass) {
  if (windowClass.className == nullptr || windowClass.procedure == nullptr) return false;
  WNDCLASSEXA native{};
  native.cbSize = sizeof(native);
  native.style = windowClass.style;
  native.lpfnWndProc = windowTrampoline;
  native.hCursor = reinterpret_cast<HCURSOR>(windowClass.cursor);
  native.lpszClassName = windowClass.className;
  if (RegisterClassExA(&native) == 0) return false;
  classes_[windowClass.className] = windowClass.procedure;
  return true;
}

bool Win32Platform::unregisterClass(const char* className) {
  if (className == nullptr || UnregisterClassA(className, nullptr) == 0) return false;
  classes_.erase(className);
  return true;
}

Rect Win32Platform::adjustWindowRect(Rect client, std::uint32_t style, std::uint32_t exStyle) {
  RECT rect = toRect(client);
  AdjustWindowRectEx(&rect, style, FALSE, exStyle);
  return fromRect(rect);
}

WindowHandle Win32Platform::createWindow(const WindowRequest& request) {
  if (request.className == nullptr) return 0;
  const auto found = classes_.find(request.className);
  creating_ = found != classes_.end() ? found->second : nullptr;
  HWND window = CreateWindowExA(request.exStyle, request.className, request.title, request.style,
                                kDefaultPosition, kDefaultPosition, request.width, request.height,
                                nullptr, nullptr, nullptr, nullptr);
  creating_ = nullptr;
  return asHandle(window);
}

std::intptr_t Win32Platform::defaultWindowProcedure(WindowHandle window, std::uint32_t message,
                                                    std::uintptr_t wParam, std::intptr_t lParam) {
  return static_cast<std::intptr_t>(DefWindowProcA(
      asWindow(window), message, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam)));
}

bool Win32Platform::destroyWindow(WindowHandle window) {
  return DestroyWindow(asWindow(window)) != 0;
}

bool Win32Platform::peekMessage(Message& message, bool remove) {
  MSG msg{};
  if (PeekMessageA(&msg, nullptr, 0, 0, remove ? PM_REMOVE : PM_NOREMOVE) == 0) return false;
  message = {asHandle(msg.hwnd), msg.message, static_cast<std::uintptr_t>(msg.wParam),
             static_cast<std::intptr_t>(msg.lParam)};
  return true;
}

void Win32Platform::translateMessage(const Message& message) {
  const MSG msg = toMsg(message);
  TranslateMessage(&msg);
}

std::intptr_t Win32Platform::dispatchMessage(const Message& message) {
  const MSG msg = toMsg(message);
  return static_cast<std::intptr_t>(DispatchMessageA(&msg));
}

void Win32Platform::postQuitMessage(int exitCode) {
  PostQuitMessage(exitCode);
}

bool Win32Platform::escapePressed() {
  return GetAsyncKeyState(VK_ESCAPE) != 0;
}

void Win32Platform::showCursor(bool show) {
  ShowCursor(show ? TRUE : FALSE);
}

void Win32Platform::messageBox(const char* text) {
  std::fprintf(stderr, "%s\n", text);
  std::fflush(stderr);
  MessageBoxA(nullptr, text, nullptr, MB_OK);
}

Rect Win32Platform::clientRect(WindowHandle window) {
  RECT rect{};
  GetClientRect(asWindow(window), &rect);
  return fromRect(rect);
}

Point Win32Platform::clientToScreen(WindowHandle window, Point point) {
  POINT native{point.x, point.y};
  ClientToScreen(asWindow(window), &native);
  return {static_cast<std::int32_t>(native.x), static_cast<std::int32_t>(native.y)};
}

Result Win32Platform::createDevice(DeviceInterface*& out) {
  IDirectDraw* first = nullptr;
  const HRESULT result = DirectDrawCreate(nullptr, &first, nullptr);
  if (result != DD_OK) return FAILED(result) ? result : kNoInterface;
  out = new DdFirstInterface(first);
  return result;
}

SoundDevice* Win32Platform::openDevice(const WaveFormat& format) {
  return WaveOutDevice::open(format);
}

std::uint32_t Win32Platform::milliseconds() {
  return timeGetTime();
}

ThreadHandle Win32Platform::startTimeCritical(ThreadProcedure procedure, void* context) {
  if (procedure == nullptr) return 0;
  auto* start = new ThreadStart{procedure, context};
  HANDLE thread = CreateThread(nullptr, 0, threadEntry, start, 0, nullptr);
  if (thread == nullptr) {
    delete start;
    return 0;
  }
  SetThreadPriority(thread, THREAD_PRIORITY_TIME_CRITICAL);
  return reinterpret_cast<ThreadHandle>(thread);
}

void Win32Platform::forget(ThreadHandle thread) {
  if (thread == 0) return;
  HANDLE handle = reinterpret_cast<HANDLE>(thread);
  WaitForSingleObject(handle, INFINITE);
  CloseHandle(handle);
}

void Win32Platform::sleep(std::uint32_t ms) {
  Sleep(ms);
}

}  // namespace quarvel::platform::win32
