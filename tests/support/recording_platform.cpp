// The recording fake platform's device objects: surfaces, the draw device and the sound device.
#include "support/recording_platform.h"

namespace quarvel::testing {
namespace {

using platform::kFailed;
using platform::kOk;
using platform::Result;

// One kind of object plays every device object, named by its part: "primary" and "back"
// surfaces (a back surface of the given size has memory), the "clipper", the first interface
// ("firstInterface"), the draw device ("directDraw") and the "sound" device.
struct FakeObject final : platform::Surface,
                          platform::Clipper,
                          platform::DeviceInterface,
                          platform::DrawDevice,
                          platform::SoundDevice {
  FakeObject(RecordingPlatform& fake, std::string part, std::uint32_t w = 0, std::uint32_t h = 0)
      : host(fake), name(std::move(part)), width(w), height(h) {
    const std::uint32_t bits = fake.format.rgbBitCount == 16 ? 16 : 32;
    const auto pitch = static_cast<std::int32_t>(w * bits / 8) + fake.pitchPadding;
    memory = {w, h, bits, pitch,
              std::vector<std::uint8_t>(2 * memory.kGuard + std::size_t{h} * pitch, 0xAB)};
    if (name == "back") fake.backMemory = &memory;
  }
  void release() override {
    host.record("release ", name);
    delete this;
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
    out = {memory.bytes.data() + memory.kGuard, memory.pitch, width, height, memory.bitsPerPixel};
    return host.step("lock", " ", name);
  }
  Result unlock() override { return host.step("unlock", " ", name); }
  Result flip(Surface& target) override {
    return host.presented("flip ", name, " ", static_cast<FakeObject&>(target).name);
  }
  Result blit(const platform::Rect& d, Surface& source) override {
    return host.presented("blit ", name, " ", static_cast<FakeObject&>(source).name, " ", d.left,
                          ",", d.top, ",", d.right, ",", d.bottom);
  }
  Result setWindow(platform::WindowHandle window) override {
    return host.step("setClipperWindow", " ", window);
  }

  Result queryDrawDevice(platform::DrawDevice*& out) override {
    if (host.step("queryDrawDevice") != kOk) return kFailed;
    out = new FakeObject(host, "directDraw");
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
    if (primary && host.fails("createPrimary")) return kFailed;
    auto* surface =
        primary ? new FakeObject(host, "primary") : new FakeObject(host, "back", r.width, r.height);
    if (primary && (r.capabilities & platform::kCapsFlip) != 0) {
      surface->back.reset(new FakeObject(host, "back", width, height));
    }
    out = surface;
    return kOk;
  }
  Result createClipper(platform::Clipper*& out) override {
    back.reset(new FakeObject(host, "clipper"));  // the device's clipper goes with it
    out = back.get();
    return host.step("createClipper");
  }

  void prepareLoop(const void*, std::uint32_t) override {}
  void write() override { host.record("sound write"); }
  std::uint32_t playPositionBytes() override { return 0; }  // so a worker never renders
  void reset() override { host.record("sound reset"); }
  void unprepare() override { host.record("sound unprepare"); }
  void close() override {
    host.record("sound close");
    delete this;
  }

  RecordingPlatform& host;
  std::string name;
  std::uint32_t width, height;              // of a surface, or of a draw device's display mode
  RecordingPlatform::SurfaceMemory memory;  // of a back surface
  std::unique_ptr<FakeObject> back;  // a primary's attached back buffer, or a device's clipper
};

}  // namespace

Result RecordingPlatform::createDevice(platform::DeviceInterface*& out) {
  if (step("createDevice") != kOk) return kFailed;
  out = new FakeObject(*this, "firstInterface");
  return kOk;
}

platform::SoundDevice* RecordingPlatform::openDevice(const platform::WaveFormat&) {
  return step("openSoundDevice") == kOk ? new FakeObject(*this, "sound") : nullptr;
}

}  // namespace quarvel::testing
