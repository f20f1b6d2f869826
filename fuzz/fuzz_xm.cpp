// libFuzzer target: arbitrary bytes loaded as a module from memory, then two seconds rendered.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "music/file_ops.h"
#include "music/loader.h"
#include "music/playback.h"
#include "music/song.h"

namespace {

// The bytes the next open serves; the fuzzer runs one input at a time.
const std::uint8_t* gInput = nullptr;
std::int32_t gInputSize = 0;

// Gives a MemoryFile over a copy of the fuzzer's bytes, so the memory-file close frees it.
void* openInput(const char* /*fileName*/) {
  auto* file = new quarvel::music::MemoryFile{gInputSize, 0, nullptr};
  if (gInputSize > 0) {
    file->data = new std::uint8_t[static_cast<std::size_t>(gInputSize)];
    std::memcpy(file->data, gInput, static_cast<std::size_t>(gInputSize));
  }
  return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  namespace music = quarvel::music;
  if (size > static_cast<std::size_t>(INT32_MAX)) return 0;
  gInput = data;
  gInputSize = static_cast<std::int32_t>(size);

  music::FileOps ops = music::memoryFileOps();
  ops.open = openInput;
  music::installFileOps(ops);

  music::Song* song = music::loadSong("fuzz.xm");
  if (song == nullptr) return 0;
  if (music::preparePlayback(song)) {
    // Two seconds of output, rounded up to whole blocks.
    const std::uint32_t blocks = (2 * 44100 + music::blockFrames() - 1) / music::blockFrames();
    for (std::uint32_t i = 0; i < blocks; ++i) music::mixBlock();
  }
  music::freeSong(song);
  music::releasePlaybackBuffers();
  return 0;
}
