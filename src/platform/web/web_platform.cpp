// The browser backend's window system, canvas device, WebAudio output, clock and threads.
#include "platform/web/web_platform.h"

#include "platform/canvas_pixels.h"
#include "platform/web/loop_mirror.h"

// The page side, in web_platform.js.
extern "C" {
void quarvel_web_page_open();
int quarvel_web_take_input();  // bit 0: Escape was pressed; bit 1: the page is going away
int quarvel_web_canvas_ready();
void quarvel_web_canvas_show(const void* rgba, int width, int height);
void quarvel_web_cursor(int show);
void quarvel_web_message(const char* text);
void quarvel_web_status(const char* text);
void quarvel_web_frame_drawn(int scene);
void quarvel_web_ended();
int quarvel_web_sound_open(int framesPerSecond);
void quarvel_web_sound_start(const std::int16_t* loop, int frames);
void quarvel_web_sound_update(const std::int16_t* samples, int frames, double playsAtFrame);
double quarvel_web_sound_frames();
double quarvel_web_sound_late_frames();
void quarvel_web_sound_stop();
void quarvel_web_sound_close();
int quarvel_web_wait_again();
}

namespace quarvel::platform::web {
namespace {

constexpr int kInputEscape = 1;
constexpr int kInputLeaving = 2;
constexpr std::uint32_t kEscapeKey = 27;

// The music rewrites its loop in blocks of 884 frames; parts of the loop
// travel to the audio thread in stretches of at least this (about 23 ms).
constexpr std::uint64_t kFillerBlock = 1024;

}  // namespace

// Plays the looping buffer from the audio thread of an AudioContext, which
// keeps its own copy of the loop (a page without shared memory cannot let
// that thread read the buffer itself), kept up to date as LoopMirror says at
// every position query. The position comes from the audio clock: the frames
// the context has rendered since the loop started (where the loop plays on
// the page's own thread instead, the frames handed over).
class WebSoundDevice final : public SoundDevice {
 public:
  explicit WebSoundDevice(WebPlatform& host) : host_(host) {}

  void prepareLoop(const void* data, std::uint32_t bytes) override {
    loop_ = static_cast<const std::int16_t*>(data);
    loopFrames_ = bytes / 4;
  }
  void write() override {
    if (loop_ == nullptr || loopFrames_ == 0) return;
    quarvel_web_sound_start(loop_, static_cast<int>(loopFrames_));
    mirror_ = LoopMirror(loopFrames_, kFillerBlock);
    playing_ = true;
  }
  std::uint32_t playPositionBytes() override {
    const std::uint64_t played = framesPlayed();
    if (playing_) {
      const LoopParts parts = mirror_.advance(played);
      for (int i = 0; i < parts.count; ++i) {
        const LoopPart& part = parts.part[static_cast<std::size_t>(i)];
        quarvel_web_sound_update(loop_ + 2 * part.offset, static_cast<int>(part.count),
                                 static_cast<double>(part.playsAt));
      }
    }
    return static_cast<std::uint32_t>(played * 4);
  }
  void reset() override {
    quarvel_web_sound_stop();
    playing_ = false;
  }
  void unprepare() override {
    loop_ = nullptr;
    loopFrames_ = 0;
  }
  void close() override {
    quarvel_web_sound_close();
    host_.soundDeviceClosed();
    delete this;
  }

  std::uint64_t framesPlayed() const {
    return playing_ ? static_cast<std::uint64_t>(quarvel_web_sound_frames()) : 0;
  }

 private:
  ~WebSoundDevice() = default;

  WebPlatform& host_;
  const std::int16_t* loop_ = nullptr;
  std::uint64_t loopFrames_ = 0;
  LoopMirror mirror_{1, kFillerBlock};
  bool playing_ = false;
};

WebPlatform::WebPlatform() {
  quarvel_web_page_open();
}

WebPlatform::~WebPlatform() = default;

std::uint64_t WebPlatform::soundBytesPlayed() const {
  return sound_ != nullptr ? sound_->framesPlayed() * 4 : 0;
}

std::uint64_t WebPlatform::soundLateFrames() const {
  return sound_ != nullptr ? static_cast<std::uint64_t>(quarvel_web_sound_late_frames()) : 0;
}

void WebPlatform::showStatus(const std::string& text) {
  quarvel_web_status(text.c_str());
}

void WebPlatform::frameDrawn(int scene) {
  quarvel_web_frame_drawn(scene);
}

void WebPlatform::demoEnded() {
  quarvel_web_ended();
}

void WebPlatform::pumpEvents() {
  const int input = quarvel_web_take_input();
  const WindowHandle target = queue().newestWindow();
  if ((input & kInputEscape) != 0) {
    escapeLatched_ = true;
    if (target != 0) queue().post({target, kMessageKeyDown, kEscapeKey, 0});
  }
  if ((input & kInputLeaving) != 0 && target != 0) queue().post({target, kMessageClose, 0, 0});
}

bool WebPlatform::escapePressed() {
  pumpEvents();
  const bool pressed = escapeLatched_;
  escapeLatched_ = false;
  return pressed;
}

void WebPlatform::showCursor(bool show) {
  quarvel_web_cursor(show ? 1 : 0);
}

void WebPlatform::messageBox(const char* text) {
  quarvel_web_message(text != nullptr ? text : "");
}

Result WebPlatform::createDevice(DeviceInterface*& out) {
  if (quarvel_web_canvas_ready() == 0) return kFailed;
  out = createMemoryDevice(*this);
  return kOk;
}

PixelSize WebPlatform::windowSize(WindowHandle window) { return sizeOf(clientRect(window)); }

// The canvas takes any size, but only in the exclusive level.
bool WebPlatform::enterMode(WindowHandle, bool exclusive, std::uint32_t, std::uint32_t) {
  return exclusive;
}

// The canvas shows whatever a flip or blit hands the primary surface, scaled
// by the page. It takes bytes in R, G, B, A order; the picture then waits for
// the next animation frame, as a flip waits for the vertical blank.
Result WebPlatform::show(WindowHandle, const Picture& picture, const Rect*) {
  const double began = CooperativeThreads::now();
  const std::size_t count = std::size_t{picture.width} * picture.height;
  rgba_.resize(count);
  toCanvasPixels(picture.pixels, count, rgba_.data());
  quarvel_web_canvas_show(rgba_.data(), static_cast<int>(picture.width),
                          static_cast<int>(picture.height));
  handedOverMs_ += CooperativeThreads::now() - began;
  threads_.waitForAnimationFrame();
  return kOk;
}

SoundDevice* WebPlatform::openDevice(const WaveFormat& format) {
  if (sound_ != nullptr || format.channels != 2 || format.bitsPerSample != 16) return nullptr;
  if (quarvel_web_sound_open(static_cast<int>(format.framesPerSecond)) == 0) return nullptr;
  sound_ = new WebSoundDevice(*this);
  return sound_;
}

std::uint32_t WebPlatform::milliseconds() {
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(CooperativeThreads::now()));
}

ThreadHandle WebPlatform::startTimeCritical(ThreadProcedure procedure, void* context) {
  if (procedure == nullptr) return 0;
  return threads_.start(procedure, context);  // a page has no thread priorities
}

void WebPlatform::forget(ThreadHandle thread) {
  threads_.join(thread);
}

void WebPlatform::sleep(std::uint32_t ms) {
  threads_.sleepUntil(CooperativeThreads::now() + static_cast<double>(ms));
}

bool waitToWatchAgain() {
  return quarvel_web_wait_again() != 0;
}

}  // namespace quarvel::platform::web
