// The recording fake platform's device objects: surfaces, the draw device and the sound device.
#include "support/recording_platform.h"

namespace quarvel::testing {
namespace {

using platform::kFailed;
using platform::kOk;
using platform::Result;

// A surface, or the device's clipper; surfaces with memory are back surfaces.
class FakeSurface final : public platform::Surface, public platform::Clipper {
 public:
  FakeSurface(RecordingPlatform& host, std::string name,
              RecordingPlatform::SurfaceMemory* memory = nullptr)
      : host_(host), name_(std::move(name)), memory_(memory) {}
  ~FakeSurface() = default;  // an attached back buffer goes with its primary, unrecorded

  Result getAttachedSurface(std::uint32_t caps, Surface*& out) override {
    out = back.get();
    return host_.step("getAttachedSurface", " ", name_, " ", caps);
  }
  Result setClipper(platform::Clipper&) override { return host_.step("setClipper", " ", name_); }
  Result getPixelFormat(platform::PixelFormat& format) override {
    format = host_.format;
    return host_.step("getPixelFormat", " ", name_);
  }
  Result restore() override { return host_.step("restore", " ", name_); }
  bool isLost() override { return host_.step("isLost", " ", name_) == kOk && host_.fails("lost"); }
  Result lock(platform::LockedSurface& locked) override {
    if (host_.step("lock", " ", name_) != kOk) return kFailed;
    auto& m = *memory_;
    locked = {m.bytes.data() + m.kGuard, m.pitch, m.width, m.height, m.bitsPerPixel};
    return kOk;
  }
  Result unlock() override { return host_.step("unlock", " ", name_); }
  Result flip(Surface& target) override {
    host_.record("flip ", name_, " ", static_cast<FakeSurface&>(target).name_);
    host_.presented();
    return kOk;
  }
  Result blit(const platform::Rect& d, Surface& source) override {
    host_.record("blit ", name_, " ", static_cast<FakeSurface&>(source).name_, " ", d.left, ",",
                 d.top, ",", d.right, ",", d.bottom);
    host_.presented();
    return kOk;
  }
  void release() override {
    host_.record("release ", name_);
    delete this;
  }
  Result setWindow(platform::WindowHandle window) override {
    return host_.step("setClipperWindow", " ", window);
  }
  std::unique_ptr<FakeSurface> back;

 private:
  RecordingPlatform& host_;
  std::string name_;
  RecordingPlatform::SurfaceMemory* memory_;
};

// The draw device, and also the first interface that device creation hands out.
class FakeDrawDevice final : public platform::DrawDevice, public platform::DeviceInterface {
 public:
  FakeDrawDevice(RecordingPlatform& host, bool first) : host_(host), first_(first) {}
  Result queryDrawDevice(platform::DrawDevice*& out) override {
    if (host_.step("queryDrawDevice") != kOk) return kFailed;
    out = new FakeDrawDevice(host_, false);
    return kOk;
  }
  Result setCooperativeLevel(platform::WindowHandle window, std::uint32_t flags) override {
    return host_.step("setCooperativeLevel", " ", window, " ", flags);
  }
  Result setDisplayMode(std::uint32_t w, std::uint32_t h, std::uint32_t bits) override {
    host_.record("setDisplayMode ", w, "x", h, "x", bits);
    if (host_.fails("setDisplayMode") || host_.fails("setDisplayMode" + std::to_string(bits))) {
      return kFailed;
    }
    width_ = w;
    height_ = h;
    return kOk;
  }
  Result createSurface(const platform::SurfaceRequest& r, platform::Surface*& out) override {
    const bool primary = (r.capabilities & platform::kCapsPrimarySurface) != 0;
    host_.record("createSurface ", primary ? "primary" : "back", " flags=", r.flags,
                 " caps=", r.capabilities, " count=", r.backBufferCount, " size=", r.width, "x",
                 r.height);
    if (!primary) {
      out = new FakeSurface(host_, "back", host_.newSurfaceMemory(r.width, r.height));
      return kOk;
    }
    if (host_.fails("createPrimary")) return kFailed;
    auto* surface = new FakeSurface(host_, "primary");
    if ((r.capabilities & platform::kCapsFlip) != 0) {
      surface->back.reset(new FakeSurface(host_, "back", host_.newSurfaceMemory(width_, height_)));
    }
    out = surface;
    return kOk;
  }
  Result createClipper(platform::Clipper*& out) override {
    clipper_ = std::make_unique<FakeSurface>(host_, "clipper");
    out = clipper_.get();
    return host_.step("createClipper");
  }
  void release() override {
    host_.record(first_ ? "release firstInterface" : "release directDraw");
    delete this;
  }

 private:
  ~FakeDrawDevice() = default;
  RecordingPlatform& host_;
  bool first_;
  std::uint32_t width_ = 0, height_ = 0;
  std::unique_ptr<FakeSurface> clipper_;
};

class FakeSoundDevice final : public platform::SoundDevice {
 public:
  explicit FakeSoundDevice(RecordingPlatform& host) : host_(host) {}
  void prepareLoop(const void*, std::uint32_t bytes) override {
    host_.record("sound prepareLoop ", bytes);
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

}  // namespace

Result RecordingPlatform::createDevice(platform::DeviceInterface*& out) {
  if (step("createDevice") != kOk) return kFailed;
  out = new FakeDrawDevice(*this, true);
  return kOk;
}

platform::SoundDevice* RecordingPlatform::openDevice(const platform::WaveFormat&) {
  return step("openSoundDevice") == kOk ? new FakeSoundDevice(*this) : nullptr;
}

}  // namespace quarvel::testing
