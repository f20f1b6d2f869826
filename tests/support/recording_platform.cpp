// The recording fake platform's window system and device objects.
#include "support/recording_platform.h"

#include <chrono>
#include <cstring>
#include <memory>
#include <thread>

namespace quarvel::testing {
namespace {

using platform::kFailed;
using platform::kOk;
using platform::Result;

class FakeClipper final : public platform::Clipper {
 public:
  explicit FakeClipper(RecordingPlatform& host) : host_(host) {}
  Result setWindow(platform::WindowHandle window) override {
    host_.record("setClipperWindow " + std::to_string(window));
    return host_.fails("setClipperWindow") ? kFailed : kOk;
  }

 private:
  RecordingPlatform& host_;
};

class FakeSurface final : public platform::Surface {
 public:
  FakeSurface(RecordingPlatform& host, std::string name, RecordingPlatform::SurfaceMemory* memory)
      : host_(host), name_(std::move(name)), memory_(memory) {}

  Result getAttachedSurface(std::uint32_t caps, Surface*& out) override {
    host_.record("getAttachedSurface " + name_ + " " + std::to_string(caps));
    out = back_.get();
    return back_ ? kOk : kFailed;
  }
  Result setClipper(platform::Clipper&) override {
    host_.record("setClipper " + name_);
    return host_.fails("setClipper") ? kFailed : kOk;
  }
  Result getPixelFormat(platform::PixelFormat& format) override {
    host_.record("getPixelFormat " + name_);
    format = host_.format;
    return kOk;
  }
  Result restore() override {
    host_.record("restore " + name_);
    return kOk;
  }
  bool isLost() override {
    host_.record("isLost " + name_);
    return host_.fails("lost");
  }
  Result lock(platform::LockedSurface& locked) override {
    host_.record("lock " + name_);
    if (host_.fails("lock") || memory_ == nullptr) return kFailed;
    locked = {memory_->rows(), memory_->pitch, memory_->width, memory_->height,
              memory_->bitsPerPixel};
    return kOk;
  }
  Result unlock() override {
    host_.record("unlock " + name_);
    return kOk;
  }
  Result flip(Surface& target) override {
    host_.record("flip " + name_ + " " + static_cast<FakeSurface&>(target).name_);
    host_.presented();
    return kOk;
  }
  Result blit(const platform::Rect& d, Surface& source) override {
    host_.record("blit " + name_ + " " + static_cast<FakeSurface&>(source).name_ + " " +
                 std::to_string(d.left) + "," + std::to_string(d.top) + "," +
                 std::to_string(d.right) + "," + std::to_string(d.bottom));
    host_.presented();
    return kOk;
  }
  void release() override {
    host_.record("release " + name_);
    delete this;
  }
  void attach(FakeSurface* back) { back_.reset(back); }

 private:
  ~FakeSurface() = default;

  struct Silent {
    void operator()(FakeSurface* s) const { delete s; }  // attached surfaces go with their owner
  };
  RecordingPlatform& host_;
  std::string name_;
  RecordingPlatform::SurfaceMemory* memory_;
  std::unique_ptr<FakeSurface, Silent> back_;
};

class FakeDrawDevice final : public platform::DrawDevice {
 public:
  explicit FakeDrawDevice(RecordingPlatform& host) : host_(host) {}

  Result setCooperativeLevel(platform::WindowHandle window, std::uint32_t flags) override {
    host_.record("setCooperativeLevel " + std::to_string(window) + " " + std::to_string(flags));
    return host_.fails("setCooperativeLevel") ? kFailed : kOk;
  }
  Result setDisplayMode(std::uint32_t w, std::uint32_t h, std::uint32_t bits) override {
    host_.record("setDisplayMode " + std::to_string(w) + "x" + std::to_string(h) + "x" +
                 std::to_string(bits));
    if (host_.fails("setDisplayMode") || host_.fails("setDisplayMode" + std::to_string(bits))) {
      return kFailed;
    }
    width_ = w;
    height_ = h;
    return kOk;
  }
  Result createSurface(const platform::SurfaceRequest& r, platform::Surface*& out) override {
    const bool primary = (r.capabilities & platform::kCapsPrimarySurface) != 0;
    host_.record("createSurface " + std::string(primary ? "primary" : "back") + " flags=" +
                 std::to_string(r.flags) + " caps=" + std::to_string(r.capabilities) +
                 " count=" + std::to_string(r.backBufferCount) + " size=" +
                 std::to_string(r.width) + "x" + std::to_string(r.height));
    if (host_.fails(primary ? "createPrimary" : "createBack")) return kFailed;
    if (primary) {
      auto* surface = new FakeSurface(host_, "primary", nullptr);
      if ((r.capabilities & platform::kCapsFlip) != 0) {
        surface->attach(new FakeSurface(host_, "back", &host_.newSurfaceMemory(width_, height_)));
      }
      out = surface;
    } else {
      out = new FakeSurface(host_, "back", &host_.newSurfaceMemory(r.width, r.height));
    }
    return kOk;
  }
  Result createClipper(platform::Clipper*& out) override {
    host_.record("createClipper");
    if (host_.fails("createClipper")) return kFailed;
    clipper_ = std::make_unique<FakeClipper>(host_);
    out = clipper_.get();
    return kOk;
  }
  void release() override {
    host_.record("release directDraw");
    delete this;
  }

 private:
  ~FakeDrawDevice() = default;
  RecordingPlatform& host_;
  std::uint32_t width_ = 0;
  std::uint32_t height_ = 0;
  std::unique_ptr<FakeClipper> clipper_;
};

class FakeSoundDevice final : public platform::SoundDevice {
 public:
  explicit FakeSoundDevice(RecordingPlatform& host) : host_(host) {}
  void prepareLoop(const void*, std::uint32_t bytes) override {
    host_.record("sound prepareLoop " + std::to_string(bytes));
  }
  void write() override { host_.record("sound write"); }
  std::uint32_t playPositionBytes() override { return 0; }
  void reset() override { host_.record("sound reset"); }
  void unprepare() override { host_.record("sound unprepare"); }
  void close() override {
    host_.record("sound close");
    delete this;
  }

 private:
  ~FakeSoundDevice() = default;
  RecordingPlatform& host_;
};

class FakeDeviceInterface final : public platform::DeviceInterface {
 public:
  explicit FakeDeviceInterface(RecordingPlatform& host) : host_(host) {}
  Result queryDrawDevice(platform::DrawDevice*& out) override {
    host_.record("queryDrawDevice");
    if (host_.fails("queryDrawDevice")) return kFailed;
    out = new FakeDrawDevice(host_);
    return kOk;
  }
  void release() override {
    host_.record("release firstInterface");
    delete this;
  }

 private:
  ~FakeDeviceInterface() = default;
  RecordingPlatform& host_;
};

}  // namespace

RecordingPlatform::RecordingPlatform() = default;
RecordingPlatform::~RecordingPlatform() {
  for (auto& [handle, thread] : threads_) thread.join();
}

std::vector<std::string> RecordingPlatform::callsStartingWith(const std::string& prefix) const {
  std::vector<std::string> out;
  for (const auto& c : calls) {
    if (c.rfind(prefix, 0) == 0) out.push_back(c);
  }
  return out;
}

int RecordingPlatform::indexOf(const std::string& prefix) const {
  for (std::size_t i = 0; i < calls.size(); ++i) {
    if (calls[i].rfind(prefix, 0) == 0) return static_cast<int>(i);
  }
  return -1;
}

bool RecordingPlatform::SurfaceMemory::guardsIntact() const {
  const std::size_t body = bytes.size() - 2 * kGuard;
  for (std::size_t i = 0; i < kGuard; ++i) {
    if (bytes[i] != 0xAB || bytes[kGuard + body + i] != 0xAB) return false;
  }
  return true;
}

std::uint32_t RecordingPlatform::SurfaceMemory::pixel32(std::uint32_t x, std::uint32_t y) const {
  std::uint32_t v = 0;
  std::memcpy(&v, bytes.data() + kGuard + std::size_t{y} * static_cast<std::size_t>(pitch) + 4 * x, 4);
  return v;
}

std::uint16_t RecordingPlatform::SurfaceMemory::pixel16(std::uint32_t x, std::uint32_t y) const {
  std::uint16_t v = 0;
  std::memcpy(&v, bytes.data() + kGuard + std::size_t{y} * static_cast<std::size_t>(pitch) + 2 * x, 2);
  return v;
}

RecordingPlatform::SurfaceMemory& RecordingPlatform::newSurfaceMemory(std::uint32_t width,
                                                                      std::uint32_t height) {
  auto memory = std::make_unique<SurfaceMemory>();
  memory->width = width;
  memory->height = height;
  memory->bitsPerPixel = format.rgbBitCount == 16 ? 16 : 32;
  memory->pitch = static_cast<std::int32_t>(width * memory->bitsPerPixel / 8) + pitchPadding;
  // Guards around the rows; the padding at the end of each row stays untouched too.
  memory->bytes.assign(2 * SurfaceMemory::kGuard + std::size_t{height} * memory->pitch, 0xAB);
  memories_.push_back(std::move(memory));
  backMemory = memories_.back().get();
  return *backMemory;
}

void RecordingPlatform::presented() {
  if (onPresent) onPresent(*this, presents);
  ++presents;
  clockMs += frameMs;
}

platform::CursorHandle RecordingPlatform::loadArrowCursor() {
  record("loadArrowCursor");
  return 32512;
}

bool RecordingPlatform::registerClass(const platform::WindowClass& windowClass) {
  record("registerClass " + std::string(windowClass.className) + " style=" +
         std::to_string(windowClass.style));
  if (fails("registerClass")) return false;
  classes_[windowClass.className] = windowClass;
  return true;
}

bool RecordingPlatform::unregisterClass(const char* className) {
  record("unregisterClass " + std::string(className));
  return classes_.erase(className) == 1;
}

// Pretends a frame of 3 pixels on each side and a 20-pixel caption on windows
// with a caption, so that tests can tell the outer size from the client size.
platform::Rect RecordingPlatform::adjustWindowRect(platform::Rect client, std::uint32_t style,
                                                   std::uint32_t exStyle) {
  record("adjustWindowRect " + std::to_string(client.right) + "x" + std::to_string(client.bottom) +
         " style=" + std::to_string(style) + " ex=" + std::to_string(exStyle));
  if ((style & 0x00C00000u) == 0x00C00000u) {
    return {client.left - 3, client.top - 23, client.right + 3, client.bottom + 3};
  }
  return client;
}

platform::WindowHandle RecordingPlatform::createWindow(const platform::WindowRequest& r) {
  record("createWindow " + std::string(r.className) + " \"" + r.title + "\" style=" +
         std::to_string(r.style) + " ex=" + std::to_string(r.exStyle) + " size=" +
         std::to_string(r.width) + "x" + std::to_string(r.height));
  if (fails("createWindow")) return 0;
  const auto found = classes_.find(r.className);
  if (found == classes_.end()) return 0;
  const platform::WindowHandle handle = nextWindow_++;
  windows_[handle] = found->second.procedure;
  clientRects_[handle] = {0, 0, r.width, r.height};
  return handle;
}

std::intptr_t RecordingPlatform::defaultWindowProcedure(platform::WindowHandle, std::uint32_t m,
                                                        std::uintptr_t, std::intptr_t) {
  record("defaultWindowProcedure " + std::to_string(m));
  return 7;
}

bool RecordingPlatform::destroyWindow(platform::WindowHandle window) {
  record("destroyWindow " + std::to_string(window));
  const auto found = windows_.find(window);
  if (found == windows_.end()) return false;
  const auto procedure = found->second;
  windows_.erase(found);
  procedure(*this, window, platform::kMessageDestroy, 0, 0);
  return true;
}

bool RecordingPlatform::peekMessage(platform::Message& message, bool remove) {
  record(remove ? "peekMessage remove" : "peekMessage keep");
  if (!queue.empty()) {
    message = queue.front();
    if (remove) queue.pop_front();
    return true;
  }
  if (quitPosted_) {
    message = {0, platform::kMessageQuit, static_cast<std::uintptr_t>(quitCode_), 0};
    if (remove) quitPosted_ = false;
    return true;
  }
  return false;
}

void RecordingPlatform::translateMessage(const platform::Message& message) {
  record("translateMessage " + std::to_string(message.message));
}

std::intptr_t RecordingPlatform::dispatchMessage(const platform::Message& message) {
  record("dispatchMessage " + std::to_string(message.message));
  const auto found = windows_.find(message.window);
  if (found == windows_.end()) return 0;
  return found->second(*this, message.window, message.message, message.wParam, message.lParam);
}

void RecordingPlatform::postQuitMessage(int exitCode) {
  record("postQuitMessage " + std::to_string(exitCode));
  quitPosted_ = true;
  quitCode_ = exitCode;
}

bool RecordingPlatform::escapePressed() {
  const bool pressed = escape;
  escape = false;
  return pressed;
}

void RecordingPlatform::showCursor(bool show) {
  record(show ? "showCursor 1" : "showCursor 0");
  cursorShown = show;
}

void RecordingPlatform::messageBox(const char* text) {
  record(std::string("messageBox ") + text);
  messageBoxes.emplace_back(text);
  std::fprintf(stderr, "messageBox: %s\n", text);
}

platform::Rect RecordingPlatform::clientRect(platform::WindowHandle window) {
  record("clientRect");
  const auto found = clientRects_.find(window);
  return found == clientRects_.end() ? platform::Rect{} : found->second;
}

platform::Point RecordingPlatform::clientToScreen(platform::WindowHandle, platform::Point p) {
  record("clientToScreen " + std::to_string(p.x) + "," + std::to_string(p.y));
  return {p.x + 1000, p.y + 500};
}

platform::Result RecordingPlatform::createDevice(platform::DeviceInterface*& out) {
  record("createDevice");
  if (fails("createDevice")) return platform::kFailed;
  out = new FakeDeviceInterface(*this);
  return platform::kOk;
}

platform::SoundDevice* RecordingPlatform::openDevice(const platform::WaveFormat&) {
  record("openSoundDevice");
  if (fails("openSoundDevice")) return nullptr;
  return new FakeSoundDevice(*this);
}

std::uint32_t RecordingPlatform::milliseconds() { return clockMs; }

platform::ThreadHandle RecordingPlatform::startTimeCritical(platform::ThreadProcedure procedure,
                                                            void* context) {
  record("startThread");
  if (fails("startThread")) return 0;
  const platform::ThreadHandle handle = nextThread_++;
  threads_[handle] = std::thread(procedure, context);
  return handle;
}

void RecordingPlatform::forget(platform::ThreadHandle thread) {
  record("forgetThread");
  const auto found = threads_.find(thread);
  if (found == threads_.end()) return;
  found->second.join();
  threads_.erase(found);
}

void RecordingPlatform::sleep(std::uint32_t ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace quarvel::testing
