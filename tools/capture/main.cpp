// quarvel-capture: runs the demo on the headless backend and writes its frames, sound and video.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/png_file.h"
#include "common/wav_file.h"
#include "driver/run_demo.h"
#include "math/vector_path.h"
#include "platform/headless/headless_platform.h"

namespace fs = std::filesystem;
using quarvel::driver::Scene;

namespace {

constexpr const char* kUsage =
    "usage: quarvel-capture [--png DIR] [--frames A:B] [--wav FILE] [--video FILE]\n"
    "                       [--fps N] [--data DIR] [--stats]\n"
    "Runs the demo without a screen, in virtual time, and writes what it shows and plays.\n"
    "  --png DIR      write DIR/frame-NNNNN.png for every frame in the range\n"
    "  --frames A:B   frames to write (0-based, inclusive); the run stops after B\n"
    "  --wav FILE     the music as played, 44100 Hz 16-bit stereo\n"
    "  --video FILE   an mp4 with sound (needs ffmpeg)\n"
    "  --fps N        vertical blanks per second (default 60)\n"
    "  --data DIR     directory with the demo's data files (default: current)\n"
    "  --stats        per scene: frames, median and 95th percentile cost per frame;\n"
    "                 then the run's wall time, its speed and the vector path used\n";

struct Options {
  std::optional<fs::path> pngDir;
  std::uint64_t first = 0;
  std::optional<std::uint64_t> last;
  std::optional<fs::path> wav;
  std::optional<fs::path> video;
  std::uint32_t fps = 60;
  std::optional<fs::path> data;
  bool stats = false;
};

bool parseNumber(const std::string& text, std::uint64_t& out) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
  try {
    out = std::stoull(text);
  } catch (...) {
    return false;
  }
  return true;
}

std::optional<Options> parse(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const auto value = [&]() -> std::optional<std::string> {
      if (i + 1 >= argc) return std::nullopt;
      return std::string(argv[++i]);
    };
    if (arg == "--stats") {
      o.stats = true;
      continue;
    }
    if (arg == "-h" || arg == "--help") {
      std::cout << kUsage;
      std::exit(0);
    }
    const auto v = value();
    if (!v) {
      std::cerr << "quarvel-capture: " << arg << " needs a value\n";
      return std::nullopt;
    }
    if (arg == "--png") {
      o.pngDir = fs::absolute(*v);
    } else if (arg == "--wav") {
      o.wav = fs::absolute(*v);
    } else if (arg == "--video") {
      o.video = fs::absolute(*v);
    } else if (arg == "--data") {
      o.data = fs::absolute(*v);
    } else if (arg == "--fps") {
      std::uint64_t fps = 0;
      if (!parseNumber(*v, fps) || fps == 0 || fps > 1000) {
        std::cerr << "quarvel-capture: --fps takes a whole number from 1 to 1000\n";
        return std::nullopt;
      }
      o.fps = static_cast<std::uint32_t>(fps);
    } else if (arg == "--frames") {
      const auto colon = v->find(':');
      std::uint64_t a = 0;
      std::uint64_t b = 0;
      if (colon == std::string::npos || !parseNumber(v->substr(0, colon), a) ||
          !parseNumber(v->substr(colon + 1), b) || b < a) {
        std::cerr << "quarvel-capture: --frames takes A:B with A <= B, for example 0:9\n";
        return std::nullopt;
      }
      o.first = a;
      o.last = b;
    } else {
      std::cerr << "quarvel-capture: unknown option " << arg << "\n" << kUsage;
      return std::nullopt;
    }
  }
  return o;
}

// CPU time of the calling thread: the frame's own cost, without the audio
// worker (which runs while the frame loop waits for the vertical blank).
double threadSeconds() {
#if defined(CLOCK_THREAD_CPUTIME_ID)
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
#else
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
#endif
}

const char* sceneName(Scene scene) {
  switch (scene) {
    case Scene::Star: return "1 star";
    case Scene::Rays: return "2 ray tracer";
    case Scene::Blobs: return "3 blobs";
    case Scene::Greetings: return "4 greetings";
    case Scene::End: return "end";
  }
  return "?";
}

class FrameCosts final : public quarvel::driver::FrameObserver {
 public:
  FrameCosts() : last_(threadSeconds()) {}
  void frameDrawn(Scene scene) override {
    const double now = threadSeconds();
    costs_[scene].push_back((now - last_) * 1000.0);
    last_ = now;
  }
  double totalSeconds() const {
    double sum = 0;
    for (const auto& scene : costs_) {
      for (const double ms : scene.second) sum += ms / 1000.0;
    }
    return sum;
  }
  void print() const {
    std::printf("%-14s %8s %12s %12s\n", "scene", "frames", "median ms", "p95 ms");
    for (auto [scene, costs] : costs_) {
      std::sort(costs.begin(), costs.end());
      const auto at = [&](double q) {
        return costs[std::min(costs.size() - 1, static_cast<std::size_t>(q * costs.size()))];
      };
      std::printf("%-14s %8zu %12.3f %12.3f\n", sceneName(scene), costs.size(), at(0.5), at(0.95));
    }
  }

 private:
  double last_;
  std::map<Scene, std::vector<double>> costs_;
};

bool haveFfmpeg() { return std::system("ffmpeg -version > /dev/null 2>&1") == 0; }

std::string quoted(const fs::path& p) {
  std::string out = "'";
  for (const char c : p.string()) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
  return out + "'";
}

}  // namespace

int main(int argc, char** argv) {
  const std::optional<Options> parsed = parse(argc, argv);
  if (!parsed) return 2;
  const Options& o = *parsed;

  if (o.video && !haveFfmpeg()) {
    std::cerr << "quarvel-capture: ffmpeg was not found; install it (for example with "
                 "'apt-get install ffmpeg') to write a video\n";
    return 1;
  }
  if (o.pngDir) {
    std::error_code error;
    fs::create_directories(*o.pngDir, error);
    if (error) {
      std::cerr << "quarvel-capture: cannot create " << *o.pngDir << ": " << error.message() << "\n";
      return 1;
    }
  }
  if (o.data) {
    std::error_code error;
    fs::current_path(*o.data, error);
    if (error) {
      std::cerr << "quarvel-capture: cannot use data directory " << *o.data << ": "
                << error.message() << "\n";
      return 1;
    }
  }

  quarvel::platform::headless::HeadlessPlatform headless({o.fps});
  const std::uint64_t expected = o.last ? *o.last + 1 : 80ull * o.fps + 1;

  std::FILE* encoder = nullptr;
  fs::path silentVideo;
  if (o.video) {
    silentVideo = o.video->string() + ".video-only.mp4";
    const std::string command =
        "ffmpeg -y -loglevel error -f rawvideo -pixel_format bgr0 -video_size 320x240 -framerate " +
        std::to_string(o.fps) +
        " -i - -vf scale=960:720:flags=neighbor -c:v libx264 -preset veryfast -crf 18 "
        "-pix_fmt yuv420p " +
        quoted(silentVideo);
    encoder = popen(command.c_str(), "w");
    if (encoder == nullptr) {
      std::cerr << "quarvel-capture: cannot start ffmpeg\n";
      return 1;
    }
  }

  bool writeFailed = false;
  headless.setFrameSink([&](std::uint64_t index, const std::uint32_t* pixels, std::uint32_t width,
                            std::uint32_t height) {
    if (o.pngDir && index >= o.first && (!o.last || index <= *o.last)) {
      char name[32];
      std::snprintf(name, sizeof name, "frame-%05llu.png", static_cast<unsigned long long>(index));
      if (!quarvel::tools::writePng((*o.pngDir / name).string(), pixels, width, height)) {
        writeFailed = true;
      }
    }
    if (encoder != nullptr && index >= o.first) {
      std::fwrite(pixels, 4, std::size_t{width} * height, encoder);
    }
    if (index % 30 == 0 || index + 1 == expected) {
      const std::uint64_t done = std::min(index + 1, expected);
      const int filled = static_cast<int>(40 * done / expected);
      std::fprintf(stderr, "\r[%s%s] %llu/%llu frames", std::string(filled, '#').c_str(),
                   std::string(40 - filled, '.').c_str(), static_cast<unsigned long long>(done),
                   static_cast<unsigned long long>(expected));
    }
    if (o.last && index == *o.last) headless.pressEscape();
  });

  FrameCosts costs;
  const auto runStart = std::chrono::steady_clock::now();
  const int result = quarvel::driver::runDemo(headless.platform(), o.stats ? &costs : nullptr);
  const std::chrono::duration<double> runTime = std::chrono::steady_clock::now() - runStart;
  std::fprintf(stderr, "\n");

  const auto& sound = headless.recordedSound();
  if (o.wav && !quarvel::tools::writeWav(o.wav->string(), sound, 44100)) {
    std::cerr << "quarvel-capture: cannot write " << *o.wav << "\n";
    writeFailed = true;
  }
  if (encoder != nullptr) {
    if (pclose(encoder) != 0) {
      std::cerr << "quarvel-capture: ffmpeg failed to encode the video\n";
      return 1;
    }
    std::error_code error;
    if (sound.empty()) {
      fs::rename(silentVideo, *o.video, error);
    } else {
      const fs::path audio = o.video->string() + ".audio.wav";
      quarvel::tools::writeWav(audio.string(), sound, 44100);
      const std::string mux = "ffmpeg -y -loglevel error -i " + quoted(silentVideo) + " -i " +
                              quoted(audio) + " -c:v copy -c:a aac -b:a 192k -shortest " +
                              quoted(*o.video);
      if (std::system(mux.c_str()) != 0) error = std::make_error_code(std::errc::io_error);
      fs::remove(audio);
      fs::remove(silentVideo);
    }
    if (error) {
      std::cerr << "quarvel-capture: cannot write " << *o.video << "\n";
      return 1;
    }
    std::cerr << "quarvel-capture: video written to " << o.video->string() << "\n";
  }
  if (o.stats) {
    costs.print();
    const double demoSeconds = static_cast<double>(headless.framesPresented()) / o.fps;
    std::printf("whole run: %.2f s wall for %.1f s of demo (%.1fx real time), drawing %.2f s; "
                "vector path %s\n",
                runTime.count(), demoSeconds, demoSeconds / runTime.count(), costs.totalSeconds(),
                quarvel::math::vectorPathName(quarvel::math::vectorPath()));
  }
  if (writeFailed) {
    std::cerr << "quarvel-capture: some files could not be written\n";
    return 1;
  }
  return result;
}
