// xmrender: renders a module to a 44100 Hz 16-bit stereo WAV file through the block renderer.
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/wav_file.h"
#include "music/file_ops.h"
#include "music/loader.h"
#include "music/playback.h"

namespace {

using namespace quarvel::music;

constexpr double kDefaultSeconds = 60.0;
constexpr double kMaxSeconds = 6.0 * 3600.0;  // keeps the WAV below its 4 GiB size limit
constexpr std::uint32_t kRate = 44100;

int usage(const char* message) {
  std::fprintf(stderr, "xmrender: %s\nusage: xmrender IN.xm OUT.wav [--seconds S]\n", message);
  return 2;
}

bool parseSeconds(const char* text, double& seconds) {
  char* end = nullptr;
  errno = 0;
  const double value = std::strtod(text, &end);
  if (errno != 0 || end == text || *end != '\0' || !(value > 0.0) || value > kMaxSeconds) {
    return false;
  }
  seconds = value;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const char* input = nullptr;
  const char* output = nullptr;
  double seconds = kDefaultSeconds;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--seconds") == 0) {
      if (i + 1 >= argc) return usage("--seconds needs a value");
      if (!parseSeconds(argv[++i], seconds)) {
        return usage("--seconds needs a positive number of seconds (at most 21600)");
      }
    } else if (input == nullptr) {
      input = argv[i];
    } else if (output == nullptr) {
      output = argv[i];
    } else {
      return usage("too many arguments");
    }
  }
  if (input == nullptr || output == nullptr) return usage("an input and an output file are needed");

  installMemoryFileOps();
  Song* song = loadSong(input);
  if (song == nullptr) {
    std::fprintf(stderr, "xmrender: cannot load '%s': not a readable module\n", input);
    return 1;
  }
  std::FILE* out = std::fopen(output, "wb");
  if (out == nullptr) {
    std::fprintf(stderr, "xmrender: cannot write '%s': %s\n", output, std::strerror(errno));
    freeSong(song);
    return 1;
  }

  const auto frames = static_cast<std::uint32_t>(std::llround(seconds * kRate));
  const std::vector<std::uint8_t> header = quarvel::tools::wavHeader(frames, kRate);
  bool ok = std::fwrite(header.data(), 1, header.size(), out) == header.size();
  preparePlayback(song);
  const bool showProgress = seconds >= 10.0;
  std::uint32_t written = 0;
  int lastPercent = -1;
  while (ok && written < frames) {
    const std::uint32_t block = blockIndex();
    mixBlock();
    const std::int16_t* pcm = pcmBlock(block);
    const std::uint32_t n = frames - written < blockFrames() ? frames - written : blockFrames();
    std::vector<std::uint8_t> bytes;
    quarvel::tools::appendPcm(bytes, pcm, static_cast<std::size_t>(n) * 2);
    ok = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    written += n;
    const int percent = static_cast<int>(static_cast<std::uint64_t>(written) * 100 / frames);
    if (showProgress && percent / 10 != lastPercent / 10) {
      std::fprintf(stderr, "\rxmrender: %3d%%", percent);
      lastPercent = percent;
    }
  }
  if (showProgress) std::fprintf(stderr, "\n");
  if (std::fclose(out) != 0) ok = false;
  freeSong(song);
  if (!ok) {
    std::fprintf(stderr, "xmrender: writing '%s' failed\n", output);
    return 1;
  }
  return 0;
}
