// Shared helpers for the music tests.
#include "music_test_support.h"

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "music/file_ops.h"
#include "music/loader.h"
#include "support/scratch.h"

namespace quarvel::music::testing {

SongPtr loadBytes(const std::vector<std::uint8_t>& bytes, LoadError* error) {
  const std::filesystem::path dir = quarvel::testing::scratchDirectory();
  std::ofstream(dir / "module.xm", std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  installMemoryFileOps();
  SongPtr song(loadSong((dir / "module.xm").string().c_str(), error));
  std::filesystem::remove_all(dir);
  return song;
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
  sample.loopLength = 64;
  instrument.samples.push_back(sample);
  m.instruments.push_back(instrument);
  return m;
}

void expectAll(std::initializer_list<Check> checks, const std::string& where) {
  for (const Check& c : checks) EXPECT_EQ(c.actual, c.expected) << where << " " << c.name;
}

}  // namespace quarvel::music::testing
