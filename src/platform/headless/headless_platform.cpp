// The headless backend's window system, device, sound output, clock and threads.
#include "platform/headless/headless_platform.h"

#include <cstdio>

namespace quarvel::platform::headless {
namespace {

constexpr std::uint64_t kTicksPerBlank = 1000;  // a tick is 1/fps ms
constexpr std::uint64_t kSoundRate = 44100;

class HeadlessSoundDevice final : public SoundDevice {
 public:
  explicit HeadlessSoundDevice(HeadlessPlatform& host) : host_(host) {}

  void prepareLoop(const void* data, std::uint32_t bytes) override {
    auto& p = host_.playback();
    p.ring = static_cast<const std::int16_t*>(data);
    p.ringFrames = bytes / 4;
  }
  void write() override {
    auto& p = host_.playback();
    if (p.ring == nullptr || p.ringFrames == 0) return;
    p.startTick = host_.ticksNow();
    p.framesPlayed = 0;
    p.playing = true;
  }
  std::uint32_t playPositionBytes() override {
    const auto& p = host_.playback();
    return p.playing ? static_cast<std::uint32_t>(p.framesPlayed * 4) : 0;
  }
  void reset() override { host_.playback().playing = false; }
  void unprepare() override { host_.playback() = {}; }
  void close() override {
    host_.playback() = {};
    host_.soundDeviceClosed();
    delete this;
  }

 private:
  ~HeadlessSoundDevice() = default;
  HeadlessPlatform& host_;
};

}  // namespace

HeadlessPlatform::HeadlessPlatform(HeadlessOptions options) : options_(options) {
  if (options_.fps == 0) options_.fps = 60;
  scheduler_.setTimeListener([this](std::uint64_t tick) { advanceSound(tick); });
}

HeadlessPlatform::~HeadlessPlatform() = default;

Platform HeadlessPlatform::platform() { return {*this, *this, *this, *this, *this}; }

void HeadlessPlatform::setFrameSink(FrameSink sink) { frameSink_ = std::move(sink); }

void HeadlessPlatform::pressEscape() { escape_ = true; }

void HeadlessPlatform::closeWindow() {
  const WindowHandle window = queue().newestWindow();
  if (window != 0) queue().post({window, kMessageClose, 0, 0});
}

bool HeadlessPlatform::escapePressed() {
  const bool pressed = escape_;
  escape_ = false;
  return pressed;
}

void HeadlessPlatform::showCursor(bool show) { cursorVisible_ = show; }

void HeadlessPlatform::messageBox(const char* text) {
  lastMessageBox_ = text != nullptr ? text : "";
  std::fprintf(stderr, "%s\n", lastMessageBox_.c_str());
}

Result HeadlessPlatform::createDevice(DeviceInterface*& out) {
  out = createMemoryDevice(*this);
  return kOk;
}

SoundDevice* HeadlessPlatform::openDevice(const WaveFormat& format) {
  if (soundOpen_ || format.channels != 2 || format.framesPerSecond != kSoundRate ||
      format.bitsPerSample != 16) {
    return nullptr;
  }
  soundOpen_ = true;
  return new HeadlessSoundDevice(*this);
}

std::uint32_t HeadlessPlatform::milliseconds() {
  return static_cast<std::uint32_t>(scheduler_.now() / options_.fps);
}

ThreadHandle HeadlessPlatform::startTimeCritical(ThreadProcedure procedure, void* context) {
  if (procedure == nullptr) return 0;
  return scheduler_.start([procedure, context] { procedure(context); });
}

void HeadlessPlatform::forget(ThreadHandle thread) { scheduler_.join(thread); }

void HeadlessPlatform::sleep(std::uint32_t ms) {
  scheduler_.waitUntil(scheduler_.now() + std::uint64_t{ms} * options_.fps);
}

// Without a mode the primary surface stands for a desktop of this size, and
// any window (or none) will do.
PixelSize HeadlessPlatform::windowSize(WindowHandle) { return {1920, 1080}; }

// The in-memory screen takes any size, with or without the exclusive level.
bool HeadlessPlatform::enterMode(WindowHandle, bool, std::uint32_t, std::uint32_t) {
  return true;
}

// The picture goes to the frame sink, then waits for the next vertical blank.
// The headless screen takes one picture per blank however it arrives, so a
// windowed display is paced like a full-screen one.
Result HeadlessPlatform::show(WindowHandle, const Picture& picture, const Rect*) {
  if (frameSink_) frameSink_(framesPresented_, picture.pixels, picture.width, picture.height);
  ++framesPresented_;
  const std::uint64_t now = scheduler_.now();
  scheduler_.waitUntil((now / kTicksPerBlank + 1) * kTicksPerBlank);
  return kOk;
}

// Plays every frame that falls due up to `tick`, reading the looping buffer as
// it stands before any thread runs at the new time.
void HeadlessPlatform::advanceSound(std::uint64_t tick) {
  Playback& p = playback_;
  if (!p.playing || tick < p.startTick) return;
  const std::uint64_t due = (tick - p.startTick) * kSoundRate / (kTicksPerBlank * options_.fps);
  for (; p.framesPlayed < due; ++p.framesPlayed) {
    const std::uint64_t frame = p.framesPlayed % p.ringFrames;
    recording_.push_back(p.ring[2 * frame]);
    recording_.push_back(p.ring[2 * frame + 1]);
  }
}

}  // namespace quarvel::platform::headless
