// The recording fake platform's device objects: surfaces, the draw device and the sound device.
#include "support/recording_platform.h"

namespace quarvel::testing {
namespace {

using platform::kFailed;
using platform::kOk;
using platform::Result;
using Memory = RecordingPlatform::SurfaceMemory;

// A surface, or the device's clipper; back surfaces of the given size have memory.
struct FakeSurface final : platform::Surface, platform::Clipper {
  FakeSurface(RecordingPlatform& fake, std::string surfaceName, std::uint32_t width = 0,
              std::uint32_t height = 0)
      : host(fake), name(std::move(surfaceName)) {
    const std::uint32_t bits = fake.format.rgbBitCount == 16 ? 16 : 32;
    const auto pitch = static_cast<std::int32_t>(width * bits / 8) + fake.pitchPadding;
    memory = {width, height, bits, pitch,
              std::vector<std::uint8_t>(2 * memory.kGuard + std::size_t{height} * pitch, 0xAB)};
    if (name == "back") fake.backMemory = &memory;
  }
  Result getAttachedSurface(std::uint32_t caps, Surface*& out) override {
    out = back.get();
    return host.step("getAttachedSurface", " ", name, " ", caps);
  }
  Result setClipper(platform::Clipper&) override { return host.step("setClipper", " ", name); }
  Result getPixelFormat(platform::PixelFormat& format) override {
    format = host.format;
    return host.step("getPixelFormat", " ", name);
  }
  Result restore() override { return host.step("restore", " ", name); }
  bool isLost() override { return host.step("isLost", " ", name) == kOk && host.fails("lost"); }
  Result lock(platform::LockedSurface& out) override {
    Memory& m = memory;
    out = {m.bytes.data() + m.kGuard, m.pitch, m.width, m.height, m.bitsPerPixel};
    return host.step("lock", " ", name);
  }
  Result unlock() override { return host.step("unlock", " ", name); }
  Result flip(Surface& target) override {
    return host.presented("flip ", name, " ", static_cast<FakeSurface&>(target).name);
  }
  Result blit(const platform::Rect& d, Surface& source) override {
    return host.presented("blit ", name, " ", static_cast<FakeSurface&>(source).name, " ", d.left,
                          ",", d.top, ",", d.right, ",", d.bottom);
  }
  void release() override {
    host.record("release ", name);
    delete this;
  }
  Result setWindow(platform::WindowHandle window) override {
    return host.step("setClipperWindow", " ", window);
  }

  RecordingPlatform& host;
  std::string name;
  Memory memory;
  std::unique_ptr<FakeSurface> back;
};

// The draw device, and also the first interface that device creation hands out.
struct FakeDrawDevice final : platform::DrawDevice, platform::DeviceInterface {
  FakeDrawDevice(RecordingPlatform& fake, bool firstInterface)
      : host(fake), first(firstInterface) {}
  Result queryDrawDevice(platform::DrawDevice*& out) override {
    if (host.step("queryDrawDevice") != kOk) return kFailed;
    out = new FakeDrawDevice(host, false);
    return kOk;
  }
  Result setCooperativeLevel(platform::WindowHandle window, std::uint32_t flags) override {
    return host.step("setCooperativeLevel", " ", window, " ", flags);
  }
  Result setDisplayMode(std::uint32_t w, std::uint32_t h, std::uint32_t bits) override {
    host.record("setDisplayMode ", w, "x", h, "x", bits);
    if (host.fails("setDisplayMode") || host.fails("setDisplayMode" + std::to_string(bits))) {
      return kFailed;
    }
    width = w;
    height = h;
    return kOk;
  }
  Result createSurface(const platform::SurfaceRequest& r, platform::Surface*& out) override {
    const bool primary = (r.capabilities & platform::kCapsPrimarySurface) != 0;
    host.record("createSurface ", primary ? "primary" : "back", " flags=", r.flags,
                " caps=", r.capabilities, " count=", r.backBufferCount, " size=", r.width, "x",
                r.height);
    if (!primary) {
      out = new FakeSurface(host, "back", r.width, r.height);
      return kOk;
    }
    if (host.fails("createPrimary")) return kFailed;
    auto* surface = new FakeSurface(host, "primary");
    if ((r.capabilities & platform::kCapsFlip) != 0) {
      surface->back.reset(new FakeSurface(host, "back", width, height));
    }
    out = surface;
    return kOk;
  }
  Result createClipper(platform::Clipper*& out) override {
    clipper = std::make_unique<FakeSurface>(host, "clipper");
    out = clipper.get();
    return host.step("createClipper");
  }
  void release() override {
    host.record(first ? "release firstInterface" : "release directDraw");
    delete this;
  }

  RecordingPlatform& host;
  bool first;
  std::uint32_t width = 0, height = 0;
  std::unique_ptr<FakeSurface> clipper;
};

struct FakeSoundDevice final : platform::SoundDevice {
  explicit FakeSoundDevice(RecordingPlatform& fake) : host(fake) {}
  void prepareLoop(const void*, std::uint32_t) override {}
  void write() override { host.record("sound write"); }
  std::uint32_t playPositionBytes() override { return 0; }
  void reset() override { host.record("sound reset"); }
  void unprepare() override { host.record("sound unprepare"); }
  void close() override {
    host.record("sound close");
    delete this;
  }
  RecordingPlatform& host;
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
