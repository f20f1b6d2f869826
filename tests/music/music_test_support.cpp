// Shared helpers for the music tests.
#include "music_test_support.h"

#include <cstring>

#include <gtest/gtest.h>

#include "music/file_ops.h"
#include "music/loader.h"

namespace quarvel::music::testing {
namespace {

std::vector<std::uint8_t>& pendingBytes() {
  static std::vector<std::uint8_t> bytes;
  return bytes;
}

void* openPending(const char*) {
  const std::vector<std::uint8_t>& bytes = pendingBytes();
  auto* file = new MemoryFile{static_cast<std::int32_t>(bytes.size()), 0, nullptr};
  if (!bytes.empty()) {
    file->data = new std::uint8_t[bytes.size()];
    std::memcpy(file->data, bytes.data(), bytes.size());
  }
  return file;
}

}  // namespace

SongPtr loadBytes(const std::vector<std::uint8_t>& bytes) {
  pendingBytes() = bytes;
  FileOps ops = memoryFileOps();
  ops.open = openPending;
  installFileOps(ops);
  Song* song = loadSong("in-memory");
  installMemoryFileOps();
  return SongPtr(song);
}

SongPtr loadModule(const xmwriter::Module& module) {
  return loadBytes(xmwriter::write(module));
}

xmwriter::Module basicModule(int channels, int rows) {
  xmwriter::Module m;
  m.channels = static_cast<std::uint16_t>(channels);
  m.orders = {0};
  m.addPattern(static_cast<std::uint16_t>(rows));
  xmwriter::Instrument instrument;
  xmwriter::Sample sample;
  for (int i = 0; i < 64; ++i) sample.values.push_back(i < 32 ? 100 : -100);
  sample.loop = xmwriter::Loop::kForward;
  sample.loopStart = 0;
  sample.loopLength = 64;
  instrument.samples.push_back(sample);
  m.instruments.push_back(instrument);
  return m;
}

void expectAll(std::initializer_list<Check> checks, const std::string& where) {
  for (const Check& c : checks) EXPECT_EQ(c.actual, c.expected) << where << " " << c.name;
}

}  // namespace quarvel::music::testing
