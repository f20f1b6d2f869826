// The sound output and the player: which blocks the worker renders, stopping, restarting, and
// that what the device plays is exactly the offline rendering.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "music/engine_state.h"
#include "music/music_player.h"
#include "music/output.h"
#include "music/playback.h"
#include "music_test_support.h"
#include "platform/headless/headless_platform.h"
#include "xmwriter/xm_writer.h"

namespace quarvel::music {
namespace {

namespace fs = std::filesystem;
using platform::headless::HeadlessPlatform;

constexpr std::uint32_t kBlockBytes = 884 * 4;

// A short looping tune (notes on every other row of two patterns, so that blocks differ) in
// a file of the test's own, removed at the end.
struct TuneFile {
  const std::string path = testing::uniqueTempPath(".xm");
  TuneFile() {
    xmwriter::Module m = testing::basicModule(2, 16);
    m.addPattern(16);
    m.orders = {0, 1};
    for (int row = 0; row < 32; row += 2) {
      m.patterns[row / 16].at(row % 16, row % 4 / 2, 2) = {xmwriter::note(3, row % 12), 1, 0, 0, 0};
    }
    EXPECT_TRUE(xmwriter::save(m, path));
  }
  ~TuneFile() {
    std::error_code ignored;
    fs::remove(path, ignored);
  }
  const char* name() const { return path.c_str(); }
};

// A sound device whose play position the test sets by hand.
class ScriptedSound final : public platform::SoundSystem, public platform::SoundDevice {
 public:
  platform::SoundDevice* openDevice(const platform::WaveFormat& format) override {
    if (!available || open || format.framesPerSecond != 44100) return nullptr;
    open = true;
    return this;
  }
  void prepareLoop(const void*, std::uint32_t bytes) override { preparedBytes = bytes; }
  void write() override { playing = true; }
  std::uint32_t playPositionBytes() override { return position; }
  void reset() override { playing = false; }
  void unprepare() override { preparedBytes = 0; }
  void close() override { open = false; }

  bool available = true;
  bool open = false;
  bool playing = false;
  std::uint32_t preparedBytes = 0;
  std::uint32_t position = 0;
};

TEST(SoundOutput, WorkerRendersExactlyTheBlocksTheDeviceHasLeftBehind) {
  const TuneFile tune;
  HeadlessPlatform headless;
  ScriptedSound sound;
  {
    MusicPlayer player(tune.name(), sound, headless);
    ASSERT_TRUE(player.play());
    EXPECT_EQ(sound.preparedBytes, 88400u * 4);
    EXPECT_TRUE(sound.playing);
    EXPECT_EQ(blockIndex(), 0u);  // the whole ring is rendered before the device starts

    headless.sleep(20);
    EXPECT_EQ(blockIndex(), 0u);  // block 0 is playing: nothing to do

    sound.position = 3 * kBlockBytes + 100;
    headless.sleep(6);
    EXPECT_EQ(blockIndex(), 3u);  // 0, 1 and 2 again; never 3, which is playing

    sound.position = 40 * kBlockBytes;  // a stall: many blocks at once, in order
    headless.sleep(6);
    EXPECT_EQ(blockIndex(), 40u);

    sound.position = (100 + 2) * kBlockBytes + 4;  // round the ring and into block 2
    headless.sleep(6);
    EXPECT_EQ(blockIndex(), 2u);
  }
  EXPECT_FALSE(sound.open);
  EXPECT_FALSE(sound.playing);
}

TEST(SoundOutput, DestroyingAPlayingPlayerEndsTheWorkerFirst) {
  const TuneFile tune;
  HeadlessPlatform headless;
  {
    MusicPlayer player(tune.name(), headless, headless);
    ASSERT_TRUE(player.play());
    headless.sleep(100);
    EXPECT_FALSE(engineState().threadFinished.load());
  }
  const EngineState& state = engineState();
  EXPECT_TRUE(state.threadFinished.load());
  EXPECT_EQ(state.worker, 0u);
  EXPECT_EQ(state.device, nullptr);
  EXPECT_EQ(state.currentSong, nullptr);
  EXPECT_EQ(pcmRing().samples, nullptr);
  // The device was closed: it can be opened again.
  platform::SoundDevice* again = headless.openDevice({2, 44100, 16});
  ASSERT_NE(again, nullptr);
  again->close();
}

TEST(SoundOutput, MissingModuleOrDeviceLeavesItSilent) {
  HeadlessPlatform headless;
  {
    MusicPlayer player("no-such-module.xm", headless, headless);
    EXPECT_EQ(player.song(), nullptr);
    EXPECT_FALSE(player.play());
  }
  const TuneFile tune;
  ScriptedSound sound;
  sound.available = false;
  MusicPlayer player(tune.name(), sound, headless);
  ASSERT_NE(player.song(), nullptr);
  EXPECT_FALSE(player.play());
  EXPECT_EQ(engineState().worker, 0u);
  EXPECT_EQ(pcmRing().samples, nullptr);
}

TEST(SoundOutput, PlayingAgainRestartsFromTheBeginning) {
  const TuneFile tune;
  HeadlessPlatform headless;
  MusicPlayer player(tune.name(), headless, headless);
  ASSERT_TRUE(player.play());
  const PcmView first = pcmRing();
  const std::vector<std::int16_t> opening(first.samples, first.samples + 2 * first.frames);
  headless.sleep(3000);  // the worker has replaced the whole ring by now
  ASSERT_NE(std::vector<std::int16_t>(first.samples, first.samples + 2 * first.frames), opening);
  ASSERT_TRUE(player.play());
  const PcmView again = pcmRing();
  EXPECT_EQ(std::vector<std::int16_t>(again.samples, again.samples + 2 * again.frames), opening);
}

TEST(SoundOutput, ManyStartsAndStopsLeaveNothingBehind) {
  const TuneFile tune;
  HeadlessPlatform headless;
  MusicPlayer player(tune.name(), headless, headless);
  for (int i = 0; i < 300; ++i) {
    ASSERT_TRUE(startPlayback(player.song()));
    if (i % 3 == 0) headless.sleep(7);  // sometimes the worker runs before the stop
    ASSERT_TRUE(stopOutput(player.song()));
  }
  EXPECT_EQ(engineState().worker, 0u);
  EXPECT_TRUE(stopOutput(player.song()));  // stopping twice is harmless
}

std::vector<std::uint8_t> readBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(SoundOutput, WhatTheDevicePlaysEqualsTheOfflineRendering) {
  const TuneFile tune;
  std::vector<std::int16_t> played;
  {
    HeadlessPlatform headless;
    MusicPlayer player(tune.name(), headless, headless);
    ASSERT_TRUE(player.play());
    headless.sleep(3000);  // one and a half laps of the ring
    played = headless.recordedSound();
  }
  ASSERT_EQ(played.size(), 2u * 132300);

  const std::string wav = testing::uniqueTempPath(".wav");
  const std::string command =
      std::string(QUARVEL_XMRENDER) + " " + tune.path + " " + wav + " --seconds 3 2>/dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0);
  const std::vector<std::uint8_t> bytes = readBytes(wav);
  fs::remove(wav);
  ASSERT_GE(bytes.size(), 44 + played.size() * 2);
  for (std::size_t i = 0; i < played.size(); ++i) {
    const auto offline = static_cast<std::int16_t>(bytes[44 + 2 * i] | (bytes[45 + 2 * i] << 8));
    ASSERT_EQ(played[i], offline) << "sample " << i;
  }
}

}  // namespace
}  // namespace quarvel::music
