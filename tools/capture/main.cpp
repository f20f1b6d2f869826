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

#include "capture/video_encoder.h"
#include "common/png_file.h"
#include "common/progress.h"
#include "common/wav_file.h"
#include "driver/demo_options.h"
#include "driver/run_demo.h"
#include "lanes/vector_path.h"
#include "platform/headless/headless_platform.h"
#include "platform/program_folder.h"

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
    "  --data DIR     directory with the demo's data files (default: the current\n"
    "                 directory, else the program's folder)\n"
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
      // A structured binding cannot be captured by every compiler; the reference can.
      const auto at = [&sorted = costs](double q) {
        return sorted[std::min(sorted.size() - 1, static_cast<std::size_t>(q * sorted.size()))];
      };
      std::printf("%-14s %8zu %12.3f %12.3f\n", sceneName(scene), costs.size(), at(0.5), at(0.95));
    }
  }

 private:
  double last_;
  std::map<Scene, std::vector<double>> costs_;
};

}  // namespace

int main(int argc, char** argv) {
  const std::optional<Options> parsed = parse(argc, argv);
  if (!parsed) return 2;
  const Options& o = *parsed;

  if (o.pngDir && !quarvel::tools::pngSupported()) {
    std::cerr << "quarvel-capture: this build cannot write PNG frames: it was made without "
                 "libpng (the Linux build writes them)\n";
    return 2;
  }
  if (o.video && !quarvel::tools::haveFfmpeg()) {
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

  // --data has made its folder the current directory.
  quarvel::driver::DemoOptions demo;
  demo.dataFolders = o.data ? std::vector<fs::path>{fs::path()}
                            : quarvel::driver::dataFoldersNear(quarvel::platform::programFolder());
  const std::string warning =
      quarvel::driver::missingDataWarning("quarvel-capture", demo.dataFolders);
  if (!warning.empty()) std::cerr << warning << "\n";

  quarvel::platform::headless::HeadlessPlatform headless({o.fps});
  const std::uint64_t expected = o.last ? *o.last + 1 : 80ull * o.fps + 1;

  std::optional<quarvel::tools::VideoEncoder> encoder;
  if (o.video) {
    encoder.emplace(*o.video, o.fps);
    if (!encoder->started()) {
      std::cerr << "quarvel-capture: cannot start ffmpeg\n";
      return 1;
    }
  }

  // The bar draws on the real standard error; the demo's own lines are printed above it.
  std::ostream console(std::cerr.rdbuf());
  const auto style = quarvel::tools::stderrIsTerminal() ? quarvel::tools::ProgressStyle::kBar
                                                        : quarvel::tools::ProgressStyle::kTenths;
  quarvel::tools::ProgressBar bar(console, style, "rendering", "frames", expected);

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
    if (encoder && index >= o.first) encoder->addFrame(pixels, width, height);
    bar.update(std::min(index + 1, expected),
               encoder ? ", " + std::to_string(encoder->framesEncoded()) + " encoded" : "");
    if (o.last && index == *o.last) headless.pressEscape();
  });

  FrameCosts costs;
  const auto runStart = std::chrono::steady_clock::now();
  int result = 0;
  {
    const quarvel::tools::LinesAboveBar outLines(std::cout, bar);
    const quarvel::tools::LinesAboveBar errorLines(std::cerr, bar);
    result = quarvel::driver::runDemo(headless.platform(), o.stats ? &costs : nullptr,
                                      demo);
  }
  const std::chrono::duration<double> runTime = std::chrono::steady_clock::now() - runStart;
  bar.finish();

  const auto& sound = headless.recordedSound();
  if (o.wav && !quarvel::tools::writeWav(o.wav->string(), sound, 44100)) {
    std::cerr << "quarvel-capture: cannot write " << *o.wav << "\n";
    writeFailed = true;
  }
  if (encoder) {
    const std::string error = encoder->finish(sound, expected - o.first, console, style);
    if (!error.empty()) {
      std::cerr << "quarvel-capture: " << error << "\n";
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
                quarvel::lanes::vectorPathName(quarvel::lanes::vectorPath()));
  }
  if (writeFailed) {
    std::cerr << "quarvel-capture: some files could not be written\n";
    return 1;
  }
  return result;
}
