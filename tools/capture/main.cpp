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
#include <thread>
#include <vector>

#include "capture/video_encoder.h"
#include "common/png_file.h"
#include "common/progress.h"
#include "common/wav_file.h"
#include "driver/demo_options.h"
#include "driver/frame_stats.h"
#include "driver/run_demo.h"
#include "lanes/vector_path.h"
#include "platform/file_names.h"
#include "platform/headless/headless_platform.h"
#include "platform/headless/output_hash.h"
#include "platform/program_folder.h"
#include "platform/utf8_arguments.h"
#include "quarvel_version.h"

namespace fs = std::filesystem;
using quarvel::driver::Scene;
using quarvel::platform::pathFromUtf8;
using quarvel::platform::utf8FromPath;

namespace {

constexpr const char* kUsage =
    "Usage: quarvel-capture [OPTION]...\n"
    "\n"
    "Runs the demo without a screen, in virtual time, and writes what it shows and plays.\n"
    "  --png DIR      write DIR/frame-NNNNN.png for every frame in the range\n"
    "  --crop WxH     only the centre W x H pixels of each PNG frame (an icon, say)\n"
    "  --frames A:B   frames to write (0-based, inclusive); the run stops after B\n"
    "  --wav FILE     the music as played, 44100 Hz 16-bit stereo\n"
    "  --video FILE   an mp4 with sound (needs ffmpeg)\n"
    "  --hashes FILE  a line per frame in the range, its number and the hash of its\n"
    "                 picture, then 'sound' and the hash of the music: two builds\n"
    "                 that write the same file showed and played the same\n"
    "  --fps N        vertical blanks per second (default 60)\n"
    "  --data DIR     directory with the demo's data files (default: the current\n"
    "                 directory, else the program's folder, else ../share/quarvel\n"
    "                 beside the program's folder)\n"
    "  --stats        per scene: frames, median and 95th percentile cost per frame;\n"
    "                 then the run's wall time, its speed and the vector path used\n"
    "  --real-time    show each frame at its vertical blank by the wall clock, as a\n"
    "                 screen would (the whole demo takes 80 s): --stats then counts\n"
    "                 what frames cost after that wait, as a window's or a page's do\n"
    "  --help         this text\n"
    "  --version      the release number\n";

struct Options {
  std::optional<fs::path> pngDir;
  std::uint32_t cropWidth = 320;  // the centre of each PNG frame, at most the whole 320 x 240
  std::uint32_t cropHeight = 240;
  std::uint64_t first = 0;
  std::optional<std::uint64_t> last;
  std::optional<fs::path> wav;
  std::optional<fs::path> video;
  std::optional<fs::path> hashes;
  std::uint32_t fps = 60;
  std::optional<fs::path> data;
  bool stats = false;
  bool realTime = false;
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

std::optional<Options> parse(const std::vector<std::string>& args) {
  Options o;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const auto value = [&]() -> std::optional<std::string> {
      if (i + 1 >= args.size()) return std::nullopt;
      return args[++i];
    };
    if (arg == "--stats") {
      o.stats = true;
      continue;
    }
    if (arg == "--real-time") {
      o.realTime = true;
      continue;
    }
    if (arg == "-h" || arg == "--help") {
      std::cout << kUsage;
      std::exit(0);
    }
    if (arg == "--version") {
      std::cout << "quarvel-capture " << quarvel::kVersion << "\n";
      std::exit(0);
    }
    const auto v = value();
    if (!v) {
      std::cerr << "quarvel-capture: " << arg << " needs a value\n";
      return std::nullopt;
    }
    if (arg == "--png") {
      o.pngDir = fs::absolute(pathFromUtf8(*v));
    } else if (arg == "--wav") {
      o.wav = fs::absolute(pathFromUtf8(*v));
    } else if (arg == "--hashes") {
      o.hashes = fs::absolute(pathFromUtf8(*v));
    } else if (arg == "--video") {
      o.video = fs::absolute(pathFromUtf8(*v));
    } else if (arg == "--data") {
      o.data = fs::absolute(pathFromUtf8(*v));
    } else if (arg == "--fps") {
      std::uint64_t fps = 0;
      if (!parseNumber(*v, fps) || fps == 0 || fps > 1000) {
        std::cerr << "quarvel-capture: --fps takes a whole number from 1 to 1000\n";
        return std::nullopt;
      }
      o.fps = static_cast<std::uint32_t>(fps);
    } else if (arg == "--crop") {
      const auto x = v->find('x');
      std::uint64_t w = 0;
      std::uint64_t h = 0;
      if (x == std::string::npos || !parseNumber(v->substr(0, x), w) ||
          !parseNumber(v->substr(x + 1), h) || w == 0 || h == 0 || w > 320 || h > 240) {
        std::cerr << "quarvel-capture: --crop takes WxH within 320x240, for example 192x192\n";
        return std::nullopt;
      }
      o.cropWidth = static_cast<std::uint32_t>(w);
      o.cropHeight = static_cast<std::uint32_t>(h);
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
// Emscripten names the clock but gives no thread time: there the wall clock,
// which counts the worker only where it takes this thread's core.
double threadSeconds() {
#if defined(CLOCK_THREAD_CPUTIME_ID) && !defined(__EMSCRIPTEN__)
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

// Each frame's cost is the frame loop's own CPU time since the previous frame.
class FrameCosts final : public quarvel::driver::FrameObserver {
 public:
  FrameCosts() : last_(threadSeconds()) {}
  void frameDrawn(Scene scene) override {
    const double now = threadSeconds();
    stats_.add(scene, (now - last_) * 1000.0);
    last_ = now;
  }
  double totalSeconds() const { return stats_.totalMs() / 1000.0; }
  void print() const {
    std::printf("%-14s %8s %12s %12s\n", "scene", "frames", "median ms", "p95 ms");
    for (const quarvel::driver::SceneCosts& s : stats_.summary()) {
      std::printf("%-14s %8zu %12.3f %12.3f\n", sceneName(s.scene), s.frames, s.medianMs, s.p95Ms);
    }
  }

 private:
  double last_;
  quarvel::driver::FrameStats stats_;
};

// "N HASH" per frame and "sound HASH", hashes as 16 hexadecimal digits.
bool writeHashes(const fs::path& path,
                 const std::vector<std::pair<std::uint64_t, std::uint64_t>>& frames,
                 const std::vector<std::int16_t>& sound) {
  std::FILE* file = quarvel::platform::openFile(path, "wb");  // the same bytes on Windows
  if (file == nullptr) return false;
  for (const auto& [index, hash] : frames) {
    std::fprintf(file, "%llu %016llx\n", static_cast<unsigned long long>(index),
                 static_cast<unsigned long long>(hash));
  }
  const std::uint64_t soundHash =
      quarvel::platform::headless::outputHash(sound.data(), sound.size());
  std::fprintf(file, "sound %016llx\n", static_cast<unsigned long long>(soundHash));
  return std::fclose(file) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::optional<Options> parsed = parse(quarvel::platform::utf8Arguments(argc, argv));
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
      std::cerr << "quarvel-capture: cannot create " << utf8FromPath(*o.pngDir) << ": "
                << error.message() << "\n";
      return 1;
    }
  }
  if (o.data) {
    std::error_code error;
    fs::current_path(*o.data, error);
    if (error) {
      std::cerr << "quarvel-capture: cannot use data directory " << utf8FromPath(*o.data) << ": "
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
  std::vector<std::pair<std::uint64_t, std::uint64_t>> frameHashes;
  const auto runStart = std::chrono::steady_clock::now();
  headless.setFrameSink([&](std::uint64_t index, const std::uint32_t* pixels, std::uint32_t width,
                            std::uint32_t height) {
    if (o.pngDir && index >= o.first && (!o.last || index <= *o.last)) {
      char name[32];
      std::snprintf(name, sizeof name, "frame-%05llu.png", static_cast<unsigned long long>(index));
      const std::uint32_t w = std::min(o.cropWidth, width);
      const std::uint32_t h = std::min(o.cropHeight, height);
      const std::uint32_t* centre = pixels + std::size_t{(height - h) / 2} * width + (width - w) / 2;
      if (!quarvel::tools::writePng(*o.pngDir / name, centre, w, h, width)) {
        writeFailed = true;
      }
    }
    if (o.hashes && index >= o.first && (!o.last || index <= *o.last)) {
      frameHashes.emplace_back(
          index, quarvel::platform::headless::outputHash(pixels, std::size_t{width} * height));
    }
    if (encoder && index >= o.first) encoder->addFrame(pixels, width, height);
    bar.update(std::min(index + 1, expected),
               encoder ? ", " + std::to_string(encoder->framesEncoded()) + " encoded" : "");
    if (o.last && index == *o.last) headless.pressEscape();
    // Frame N shows at the (N + 1)th vertical blank; a late frame shows at once.
    if (o.realTime) {
      std::this_thread::sleep_until(
          runStart + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                          std::chrono::duration<double>(static_cast<double>(index + 1) / o.fps)));
    }
  });

  FrameCosts costs;
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
  if (o.wav && !quarvel::tools::writeWav(*o.wav, sound, 44100)) {
    std::cerr << "quarvel-capture: cannot write " << utf8FromPath(*o.wav) << "\n";
    writeFailed = true;
  }
  if (o.hashes && !writeHashes(*o.hashes, frameHashes, sound)) {
    std::cerr << "quarvel-capture: cannot write " << utf8FromPath(*o.hashes) << "\n";
    writeFailed = true;
  }
  if (encoder) {
    const std::string error = encoder->finish(sound, expected - o.first, console, style);
    if (!error.empty()) {
      std::cerr << "quarvel-capture: " << error << "\n";
      return 1;
    }
    std::cerr << "quarvel-capture: video written to " << utf8FromPath(*o.video) << "\n";
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
