// The video file: ffmpeg encodes the frames while they are drawn; the sound is added at the end.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "common/progress.h"

namespace quarvel::tools {

// True when an ffmpeg program can be started.
bool haveFfmpeg();

// One ffmpeg process fed through a pipe. Its temporary files lie beside the video.
class VideoEncoder {
 public:
  // Starts ffmpeg on a silent video of 320 x 240 frames (shown three times larger) at `fps`
  // frames per second. started() tells whether it runs.
  VideoEncoder(std::filesystem::path path, std::uint32_t fps);
  ~VideoEncoder();
  VideoEncoder(const VideoEncoder&) = delete;
  VideoEncoder& operator=(const VideoEncoder&) = delete;

  bool started() const { return pipe_ != nullptr; }

  // Hands one frame of 0x00RRGGBB pixels to ffmpeg; waits while ffmpeg is behind.
  void addFrame(const std::uint32_t* pixels, std::uint32_t width, std::uint32_t height);

  // Frames ffmpeg reports as encoded; its report is read at most four times a second.
  std::uint64_t framesEncoded();

  // Waits until ffmpeg has encoded all `frames` it was given, then adds `sound` (44100 Hz
  // interleaved stereo; none leaves the video silent), showing both stages in `style` on `out`.
  // Gives an empty string, or what went wrong.
  std::string finish(const std::vector<std::int16_t>& sound, std::uint64_t frames,
                     std::ostream& out, ProgressStyle style);

 private:
  std::filesystem::path path_;
  std::filesystem::path silent_;
  std::filesystem::path progress_;
  std::FILE* pipe_ = nullptr;
  std::uint64_t encoded_ = 0;
  std::chrono::steady_clock::time_point lastRead_{};
};

}  // namespace quarvel::tools
