// ffmpeg through a pipe, and its progress reports turned into the capture's progress display.
#include "capture/video_encoder.h"

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <thread>
#include <utility>

#include "common/wav_file.h"
#include "platform/file_names.h"

namespace fs = std::filesystem;
using quarvel::platform::utf8FromPath;

namespace quarvel::tools {
namespace {

// A path as one word of a command line, in UTF-8.
std::string quoted(const fs::path& p) {
#if defined(_WIN32)
  return '"' + utf8FromPath(p) + '"';  // Windows names cannot hold a double quote
#else
  std::string out = "'";
  for (const char c : utf8FromPath(p)) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
  return out + "'";
#endif
}

fs::path withSuffix(fs::path path, const char* suffix) {
  return path += suffix;
}

// The last value of `key` in an ffmpeg progress file ("frame=120" lines); 0 before the first.
// Only whole lines count: ffmpeg may be writing the last one.
std::uint64_t lastProgressValue(const fs::path& file, const std::string& key) {
  std::ifstream in(file, std::ios::binary);
  const std::string text(std::istreambuf_iterator<char>(in), {});
  std::uint64_t value = 0;
  for (std::size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
    if (text.compare(at, key.size() + 1, key + "=") == 0) {
      value = std::strtoull(text.c_str() + at + key.size() + 1, nullptr, 10);
    }
  }
  return value;
}

// Runs `job` on a helper thread and shows the progress ffmpeg writes to `file` until it ends:
// the value of `key` divided by `divisor`, in units of `bar`.
int watch(const std::function<int()>& job, ProgressBar& bar, const fs::path& file,
          const std::string& key, std::uint64_t divisor) {
  std::atomic<bool> done{false};
  int status = 0;
  std::thread worker([&] {
    status = job();
    done = true;
  });
  while (!done) {
    bar.update(lastProgressValue(file, key) / divisor);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  worker.join();
  return status;
}

}  // namespace

bool haveFfmpeg() {
#if defined(_WIN32)
  return platform::runCommand("ffmpeg -version > NUL 2>&1") == 0;
#else
  return platform::runCommand("ffmpeg -version > /dev/null 2>&1") == 0;
#endif
}

VideoEncoder::VideoEncoder(fs::path path, std::uint32_t fps)
    : path_(std::move(path)),
      silent_(withSuffix(path_, ".video-only.mp4")),
      progress_(withSuffix(path_, ".progress")) {
  fs::remove(progress_);
  const std::string command =
      "ffmpeg -y -loglevel error -nostats -progress " + quoted(progress_) +
      " -f rawvideo -pixel_format bgr0 -video_size 320x240 -framerate " + std::to_string(fps) +
      " -i - -vf scale=960:720:flags=neighbor -c:v libx264 -preset veryfast -crf 18 "
      "-pix_fmt yuv420p " +
      quoted(silent_);
#if defined(_WIN32)
  pipe_ = platform::openCommandPipe(command, "wb");  // text mode would turn 0x0A into 0x0D 0x0A
#else
  pipe_ = platform::openCommandPipe(command, "w");
#endif
}

VideoEncoder::~VideoEncoder() {
  if (pipe_ != nullptr) pclose(pipe_);
  std::error_code ignored;
  fs::remove(progress_, ignored);
}

void VideoEncoder::addFrame(const std::uint32_t* pixels, std::uint32_t width,
                            std::uint32_t height) {
  if (pipe_ != nullptr) std::fwrite(pixels, 4, std::size_t{width} * height, pipe_);
}

std::uint64_t VideoEncoder::framesEncoded() {
  const auto now = std::chrono::steady_clock::now();
  if (now - lastRead_ >= std::chrono::milliseconds(250)) {
    encoded_ = lastProgressValue(progress_, "frame");
    lastRead_ = now;
  }
  return encoded_;
}

std::string VideoEncoder::finish(const std::vector<std::int16_t>& sound, std::uint64_t frames,
                                 std::ostream& out, ProgressStyle style) {
  if (pipe_ == nullptr) return "ffmpeg did not start";
  {
    ProgressBar bar(out, style, "encoding", "frames", frames);
    std::FILE* pipe = std::exchange(pipe_, nullptr);
    const int status = watch([pipe] { return pclose(pipe); }, bar, progress_, "frame", 1);
    if (status != 0) return "ffmpeg failed to encode the video";
    bar.update(frames);
    bar.finish();
  }
  std::error_code error;
  if (sound.empty()) {
    fs::rename(silent_, path_, error);
    return error ? "cannot write " + utf8FromPath(path_) : "";
  }
  const fs::path audio = withSuffix(path_, ".audio.wav");
  const std::uint64_t seconds = (sound.size() / 2 + 44099) / 44100;
  std::string result;
  if (!writeWav(audio, sound, 44100)) {
    result = "cannot write " + utf8FromPath(audio);
  } else {
    fs::remove(progress_, error);
    const std::string mux = "ffmpeg -y -loglevel error -nostats -progress " + quoted(progress_) +
                            " -i " + quoted(silent_) + " -i " + quoted(audio) +
                            " -c:v copy -c:a aac -b:a 192k -shortest " + quoted(path_);
    ProgressBar bar(out, style, "adding the sound", "s", seconds);
    const auto run = [&mux] { return platform::runCommand(mux); };
    if (watch(run, bar, progress_, "out_time_us", 1000000) != 0) {
      result = "ffmpeg failed to add the sound to " + utf8FromPath(path_);
    } else {
      bar.update(seconds);
    }
    bar.finish();
  }
  fs::remove(audio, error);
  fs::remove(silent_, error);
  return result;
}

}  // namespace quarvel::tools
