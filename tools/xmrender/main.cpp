// xmrender: renders a module to a 44100 Hz 16-bit stereo WAV file through the block renderer,
// or tells what a module holds.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "common/progress.h"
#include "common/wav_file.h"
#include "music/file_ops.h"
#include "music/loader.h"
#include "music/playback.h"
#include "music/sequencer.h"
#include "platform/file_names.h"
#include "platform/utf8_arguments.h"
#include "quarvel_version.h"
#include "xmrender/song_passes.h"

namespace {

using namespace quarvel::music;
using quarvel::platform::openFile;
using quarvel::platform::pathFromUtf8;
using quarvel::tools::PassEnd;

constexpr std::uint32_t kRate = 44100;
constexpr double kMaxSeconds = 6.0 * 3600.0;  // keeps the WAV below its 4 GiB size limit
constexpr std::uint64_t kMaxFrames = static_cast<std::uint64_t>(kMaxSeconds) * kRate;
constexpr std::uint64_t kRingOutFrames = kRate;  // at most 1 s after the last pass
constexpr std::size_t kFadeFrames = kRate / 20;  // a ring-out still sounding fades over 50 ms

constexpr const char* kUsage =
    "Usage: xmrender IN.xm OUT.wav [--loops N] [--seconds S]\n"
    "   or: xmrender --info IN.xm\n"
    "   or: xmrender --help | --version\n"
    "\n"
    "Renders an XM module to a 44100 Hz 16-bit stereo WAV file with the demo's own player.\n"
    "By default the song plays once: until it plays again, in the same order, rows it has\n"
    "played; then its last row is held with no new rows for at most 1 s while the notes\n"
    "ring out.\n"
    "  --loops N     N passes of the song instead of one\n"
    "  --seconds S   a fixed length of S seconds (with --loops, whichever ends first)\n"
    "  --info        what the module holds, and how long one pass lasts\n"
    "  --help        this text\n"
    "  --version     the release number\n";

struct Options {
  const char* input = nullptr;  // UTF-8, as the loader takes it
  const char* output = nullptr;
  bool info = false;
  std::optional<std::uint32_t> loops;
  std::optional<double> seconds;
};

std::nullopt_t usage(const std::string& message) {
  std::cerr << "xmrender: " << message << "\n" << kUsage;
  return std::nullopt;
}

std::optional<double> parseSeconds(const char* text) {
  char* end = nullptr;
  errno = 0;
  const double value = std::strtod(text, &end);
  if (errno != 0 || end == text || *end != '\0' || !(value > 0.0) || value > kMaxSeconds) {
    return std::nullopt;
  }
  return value;
}

std::optional<std::uint32_t> parseLoops(const char* text) {
  char* end = nullptr;
  errno = 0;
  const unsigned long value = std::strtoul(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || text[0] == '-' || value < 1 || value > 1000) {
    return std::nullopt;
  }
  return static_cast<std::uint32_t>(value);
}

// Gives the options, or nothing after printing the usage or the release: with exit code 0 for
// --help and --version, else 2.
// `args` outlives the options, which point into it.
std::optional<Options> parse(const std::vector<std::string>& args, int& exitCode) {
  Options o;
  exitCode = 2;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const char* value = i + 1 < args.size() ? args[i + 1].c_str() : nullptr;
    if (arg == "-h" || arg == "--help") {
      std::cout << kUsage;
      exitCode = 0;
      return std::nullopt;
    } else if (arg == "--version") {
      std::cout << "xmrender " << quarvel::kVersion << "\n";
      exitCode = 0;
      return std::nullopt;
    } else if (arg == "--info") {
      o.info = true;
    } else if (arg == "--seconds" || arg == "--loops") {
      if (value == nullptr) return usage(arg + " needs a value");
      ++i;
      if (arg == "--seconds" && !(o.seconds = parseSeconds(value))) {
        return usage("--seconds takes a positive number of seconds, at most 21600");
      }
      if (arg == "--loops" && !(o.loops = parseLoops(value))) {
        return usage("--loops takes a whole number from 1 to 1000");
      }
    } else if (arg.size() > 1 && arg[0] == '-') {
      return usage("unknown option " + arg);
    } else if (o.input == nullptr) {
      o.input = arg.c_str();
    } else if (o.output == nullptr) {
      o.output = arg.c_str();
    } else {
      return usage("too many arguments");
    }
  }
  if (o.info && (o.output != nullptr || o.loops || o.seconds)) {
    return usage("--info takes only the module");
  }
  if (o.input == nullptr || (!o.info && o.output == nullptr)) {
    return usage("an input and an output file are needed");
  }
  return o;
}

// Loads `path`, or says on standard error why it cannot be played.
Song* load(const char* path) {
  std::FILE* file = openFile(pathFromUtf8(path), "rb");
  if (file == nullptr) {
    std::cerr << "xmrender: cannot read '" << path << "': " << std::strerror(errno) << "\n";
    return nullptr;
  }
  std::fclose(file);
  LoadError error;
  Song* song = loadSong(path, &error);
  if (song == nullptr) {
    std::cerr << "xmrender: cannot play '" << path << "': " << describeLoadError(error) << "\n";
  }
  return song;
}

// "1:05.250", or "1:02:03.000" from an hour on.
std::string formatTime(std::uint64_t frames) {
  const std::uint64_t ms = (frames * 1000 + kRate / 2) / kRate;
  char text[40];
  if (ms >= 3600000) {
    std::snprintf(text, sizeof text, "%llu:%02llu:%02llu.%03llu",
                  static_cast<unsigned long long>(ms / 3600000),
                  static_cast<unsigned long long>(ms / 60000 % 60),
                  static_cast<unsigned long long>(ms / 1000 % 60),
                  static_cast<unsigned long long>(ms % 1000));
  } else {
    std::snprintf(text, sizeof text, "%llu:%02llu.%03llu",
                  static_cast<unsigned long long>(ms / 60000),
                  static_cast<unsigned long long>(ms / 1000 % 60),
                  static_cast<unsigned long long>(ms % 1000));
  }
  return text;
}

// The fields the player does not keep: the song's name and the file's pattern count.
struct FileHeader {
  std::string name;
  std::uint32_t patterns = 0;
};

FileHeader readFileHeader(const char* path) {
  FileHeader header;
  std::uint8_t bytes[72] = {};
  std::FILE* file = openFile(pathFromUtf8(path), "rb");
  if (file == nullptr) return header;
  const std::size_t got = std::fread(bytes, 1, sizeof bytes, file);
  std::fclose(file);
  if (got < sizeof bytes) return header;
  for (int i = 17; i < 37 && bytes[i] != 0; ++i) {
    header.name += bytes[i] >= 32 && bytes[i] < 127 ? static_cast<char>(bytes[i]) : '?';
  }
  header.name.erase(header.name.find_last_not_of(' ') + 1);
  header.patterns = bytes[70] | (bytes[71] << 8);
  return header;
}

int printInfo(const char* path) {
  Song* song = load(path);
  if (song == nullptr) return 1;
  const FileHeader header = readFileHeader(path);
  std::uint32_t samples = 0;
  for (std::uint32_t i = 0; i < song->numInstruments; ++i) {
    samples += song->instruments[i].numSamples;
  }
  const std::vector<PassEnd> pass = quarvel::tools::measurePasses(song, 1, kMaxFrames);
  std::cout << "name:         " << header.name << "\n"
            << "channels:     " << song->numChannels << "\n"
            << "orders:       " << song->songLength << " (restart at " << song->restartPosition
            << ")\n"
            << "patterns:     " << header.patterns << "\n"
            << "instruments:  " << song->numInstruments << "\n"
            << "samples:      " << samples << "\n"
            << "frequencies:  " << ((song->flags & kLinearFrequencies) != 0 ? "linear" : "Amiga")
            << " table\n"
            << "tempo:        " << song->defaultTempo << " ticks per row, " << song->defaultBpm
            << " BPM\n"
            << "length:       "
            << (pass.empty() ? "more than 6 hours (its rows do not repeat before then)"
                             : formatTime(pass[0].frames) + " (one pass)")
            << "\n";
  freeSong(song);
  return 0;
}

// The tick operation takes no context, so the render's tick plan lives here.
struct TickPlan {
  std::uint64_t songTicks = 0;  // tick operations of the song before its last pass ends
  std::int32_t heldTick = 1;    // the tick number the held last row runs next
};
TickPlan gTicks;

// The song's ticks, then its last row held: as a pattern delay holds a row, its tick effects,
// envelopes, fade-out and vibrato go on, and no row comes after it.
void tickThenHoldLastRow(Song* song) {
  if (gTicks.songTicks > 0) {
    --gTicks.songTicks;
    gTicks.heldTick = song->tick + 1;
    tickUpdate(song);
    return;
  }
  song->tick = gTicks.heldTick++;
  processTickEffects(song);
}

// Gives the frames of `pcm` (the ring-out, interleaved stereo) to keep: up to its last sound,
// or all of it when sound reaches its last kFadeFrames, which then fade to zero.
std::size_t finishRingOut(std::vector<std::int16_t>& pcm) {
  const std::size_t frames = pcm.size() / 2;
  const std::size_t fade = std::min(kFadeFrames, frames);
  const auto fadeStart = pcm.end() - static_cast<std::ptrdiff_t>(fade * 2);
  if (std::any_of(fadeStart, pcm.end(), [](std::int16_t v) { return v != 0; })) {
    const auto last = static_cast<std::int32_t>(fade) - 1;  // gains run from last/last to 0
    for (std::size_t i = 0; i < fade * 2; ++i) {
      const std::int32_t gain = last - static_cast<std::int32_t>(i / 2);
      std::int16_t& value = fadeStart[static_cast<std::ptrdiff_t>(i)];
      value = static_cast<std::int16_t>(value * gain / std::max(last, 1));
    }
    return frames;
  }
  std::size_t kept = frames;
  while (kept > 0 && pcm[kept * 2 - 1] == 0 && pcm[kept * 2 - 2] == 0) --kept;
  return kept;
}

bool writePcm(std::FILE* out, const std::int16_t* samples, std::size_t frames) {
  if (frames == 0) return true;
  std::vector<std::uint8_t> bytes;
  quarvel::tools::appendPcm(bytes, samples, frames * 2);
  return std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
}

int render(const Options& o) {
  // The length comes first, from a copy of the song that only ticks, so that a module that
  // cannot be rendered leaves no output file behind.
  std::vector<PassEnd> ends;
  const std::uint32_t passes = o.loops.value_or(1);
  const std::uint64_t secondsFrames =
      o.seconds ? static_cast<std::uint64_t>(std::llround(*o.seconds * kRate)) : 0;
  if (!o.seconds || o.loops) {
    Song* probe = load(o.input);
    if (probe == nullptr) return 1;
    ends = quarvel::tools::measurePasses(probe, passes, o.seconds ? secondsFrames : kMaxFrames);
    freeSong(probe);
    if (ends.size() < passes && !o.seconds) {
      std::cerr << "xmrender: '" << o.input
                << "' does not repeat its rows within 6 hours; give --seconds\n";
      return 1;
    }
  }
  // body: frames of the song as it plays; tail: at most this many more while nothing new starts.
  std::uint64_t body = secondsFrames;
  std::uint64_t tail = 0;
  if (ends.size() == passes) {
    body = ends.back().frames;
    tail = kRingOutFrames;
    gTicks = {ends.back().ticks, 1};
    if (o.seconds) {
      tail = secondsFrames > body ? std::min(tail, secondsFrames - body) : 0;
      body = std::min(body, secondsFrames);
    }
  }

  Song* song = load(o.input);
  if (song == nullptr) return 1;
  std::FILE* out = openFile(pathFromUtf8(o.output), "wb");
  if (out == nullptr) {
    std::cerr << "xmrender: cannot write '" << o.output << "': " << std::strerror(errno) << "\n";
    freeSong(song);
    return 1;
  }
  if (ends.size() == passes) song->tickOperation = tickThenHoldLastRow;
  preparePlayback(song);

  std::vector<std::uint8_t> header = quarvel::tools::wavHeader(0, kRate);
  bool ok = std::fwrite(header.data(), 1, header.size(), out) == header.size();
  const auto style = quarvel::tools::stderrIsTerminal() ? quarvel::tools::ProgressStyle::kBar
                                                        : quarvel::tools::ProgressStyle::kNone;
  quarvel::tools::ProgressBar bar(std::cerr, style, "rendering", "s", (body + tail) / kRate);
  std::vector<std::int16_t> ringOut;
  std::uint64_t rendered = 0;
  while (ok && rendered < body + tail) {
    const std::uint32_t block = blockIndex();
    mixBlock();
    const std::int16_t* pcm = pcmBlock(block);
    const std::uint64_t n = std::min<std::uint64_t>(blockFrames(), body + tail - rendered);
    const std::uint64_t inBody = rendered < body ? std::min(n, body - rendered) : 0;
    ok = writePcm(out, pcm, inBody);
    ringOut.insert(ringOut.end(), pcm + inBody * 2, pcm + n * 2);
    rendered += n;
    bar.update(rendered / kRate);
  }
  bar.finish();
  const std::size_t kept = finishRingOut(ringOut);
  ok = ok && writePcm(out, ringOut.data(), kept);
  header = quarvel::tools::wavHeader(static_cast<std::uint32_t>(body + kept), kRate);
  ok = ok && std::fseek(out, 0, SEEK_SET) == 0 &&
       std::fwrite(header.data(), 1, header.size(), out) == header.size();
  if (std::fclose(out) != 0) ok = false;
  freeSong(song);
  if (!ok) {
    std::cerr << "xmrender: writing '" << o.output << "' failed\n";
    std::error_code ignored;
    std::filesystem::remove(pathFromUtf8(o.output), ignored);
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  int exitCode = 0;
  const std::vector<std::string> args = quarvel::platform::utf8Arguments(argc, argv);
  const std::optional<Options> options = parse(args, exitCode);
  if (!options) return exitCode;
  installMemoryFileOps();
  return options->info ? printInfo(options->input) : render(*options);
}
