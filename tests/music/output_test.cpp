// The sound output and the player: which blocks the worker renders, stopping, restarting, and
// that what the device plays is exactly the offline rendering.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "music/engine_state.h"
#include "music/music_player.h"
#include "music/output.h"
#include "music/playback.h"
#include "music_test_support.h"
#include "platform/headless/headless_platform.h"
#include "support/scratch.h"
#include "xmwriter/xm_writer.h"

namespace quarvel::music {
namespace {

namespace fs = std::filesystem;
using platform::headless::HeadlessPlatform;

constexpr std::uint32_t kBlockBytes = 884 * 4;

// A short looping tune (notes on every other row of two patterns, so that blocks differ) in
// a scratch folder of the test's own, removed at the end.
struct TuneFile {
  const fs::path dir = quarvel::testing::scratchDirectory();
  const std::string path = (dir / "tune.xm").string();
  TuneFile() {
    xmwriter::Module m = testing::basicModule(2, 16);
    m.addPattern(16);
    m.orders = {0, 1};
    for (int row = 0; row < 32; row += 2) {
      m.patterns[row / 16].at(row % 16, row % 4 / 2, 2) = {xmwriter::note(3, row % 12), 1, 0, 0, 0};
    }
    EXPECT_TRUE(xmwriter::save(m, path));
  }
  ~TuneFile() { fs::remove_all(dir); }
};

// A sound device whose play position the test sets by hand.
class ScriptedSound final : public platform::SoundSystem, public platform::SoundDevice {
 public:
  platform::SoundDevice* openDevice(const platform::WaveFormat& format) override {
    if (open || format.framesPerSecond != 44100) return nullptr;
    open = true;
    return this;
  }
  void prepareLoop(const void*, std::uint32_t bytes) override { preparedBytes = bytes; }
  void write() override { playing = true; }
  std::uint32_t playPositionBytes() override { return position; }
  void reset() override { playing = false; }
  void unprepare() override { preparedBytes = 0; }
  void close() override { open = false; }

  bool open = false, playing = false;
  std::uint32_t preparedBytes = 0, position = 0;
};

TEST(SoundOutput, WorkerRendersTheBlocksTheDeviceLeftBehindAndEndsBeforeTheRelease) {
  const TuneFile tune;
  HeadlessPlatform headless;
  ScriptedSound sound;
  {
    MusicPlayer player(tune.path.c_str(), sound, headless);
    for (std::uint32_t i = 0; i < 30; ++i) {  // sometimes the worker runs before the stop
      sound.position = i % 5 * kBlockBytes;
      ASSERT_TRUE(startPlayback(player.song()));
      if (i % 3 == 0) headless.sleep(7);
      ASSERT_TRUE(stopOutput(player.song()));
    }
    ASSERT_TRUE(player.play());
    EXPECT_EQ(std::pair(sound.preparedBytes, sound.playing), std::pair(88400u * 4, true));
    EXPECT_EQ(blockIndex(), 0u);  // the whole ring is rendered before the device starts

    // (play position, block the worker stops at): never the playing one; a stall renders many
    // blocks at once; then round the ring.
    const std::pair<std::uint32_t, std::uint32_t> steps[] = {
        {0, 0}, {3 * kBlockBytes + 100, 3}, {40 * kBlockBytes, 40}, {102 * kBlockBytes + 4, 2}};
    for (const auto& [position, block] : steps) {
      sound.position = position;
      headless.sleep(20);
      EXPECT_EQ(blockIndex(), block) << position;
    }
    EXPECT_FALSE(engineState().threadFinished.load());
  }
  const EngineState& state = engineState();
  EXPECT_TRUE(state.threadFinished.load() && state.worker == 0u && state.device == nullptr);
  EXPECT_TRUE(state.currentSong == nullptr && pcmRing().samples == nullptr);
  EXPECT_FALSE(sound.open || sound.playing);
}

TEST(SoundOutput, WhatTheDevicePlaysEqualsTheOfflineRenderingAlsoWhenPlayedAgain) {
  const TuneFile tune;
  std::vector<std::int16_t> played;
  {
    HeadlessPlatform headless;
    MusicPlayer player(tune.path.c_str(), headless, headless);
    ASSERT_TRUE(player.play());
    headless.sleep(500);
    ASSERT_TRUE(player.play());  // from the beginning again
    headless.sleep(3000);        // one and a half laps of the ring
    played = headless.recordedSound();
  }
  // Half a second and more (the stop takes a moment), then three seconds from the start again.
  ASSERT_GE(played.size(), 2u * (22050 + 132300));
  const std::size_t again = played.size() - 2 * 132300;
  const std::string wav = (tune.dir / "tune.wav").string();
  const std::string command =
      std::string(QUARVEL_XMRENDER) + " " + tune.path + " " + wav + " --seconds 3 2>/dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0);
  std::ifstream in(wav, std::ios::binary);
  const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
  ASSERT_GE(bytes.size(), 44u + 2 * 264600);
  for (std::size_t i = 0; i < played.size(); ++i) {
    const std::size_t at = 44 + 2 * (i < again ? i : i - again);
    ASSERT_EQ(played[i], static_cast<std::int16_t>(bytes[at] | bytes[at + 1] << 8))
        << "sample " << i;
  }
}

}  // namespace
}  // namespace quarvel::music
