// The soundtrack: the committed module is what the generator makes, and it plays as the demo
// needs (five-second patterns, a loop, no clipping).
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "music/file_ops.h"
#include "music/loader.h"
#include "music/playback.h"
#include "music/song.h"
#include "songgen/composition.h"

namespace quarvel::songgen {
namespace {

constexpr std::int64_t kRate = 44100;
constexpr std::int64_t kPatternFrames = 5 * kRate;

TEST(SongModule, RegeneratedBytesMatchTheCommittedFile) {
  std::ifstream in(QUARVEL_SONG_FILE, std::ios::binary);
  const std::vector<std::uint8_t> committed{std::istreambuf_iterator<char>(in), {}};
  EXPECT_TRUE(songBytes() == committed)
      << "the composition changed: rerun songgen " << QUARVEL_SONG_FILE;
}

// Renders the committed module through the player for 82 s: every pattern lasts exactly five
// seconds, the song loops to its restart order at 80 s, and it stays below full scale without gaps.
TEST(SongPlayback, FiveSecondPatternsALoopAtEightySecondsNoClippingNoGaps) {
  music::installMemoryFileOps();
  music::Song* song = music::loadSong(QUARVEL_SONG_FILE);
  ASSERT_NE(song, nullptr);
  EXPECT_EQ(song->restartPosition, kRestartOrder);
  music::preparePlayback(song);
  std::vector<std::pair<int, std::int64_t>> changes;  // order, first frame of its first row
  int lastOrder = song->order, peak = 0;
  std::int64_t frame = 0, lastLoud = 0, longestQuiet = 0;
  while (frame < 82 * kRate) {
    const std::uint32_t block = music::blockIndex();
    music::mixBlock();
    const std::int16_t* pcm = music::pcmBlock(block);
    for (std::uint32_t i = 0; i < 2 * music::blockFrames(); ++i) {
      peak = std::max(peak, std::abs(int{pcm[i]}));
      if (std::abs(int{pcm[i]}) >= 200) lastLoud = frame + i / 2;
      longestQuiet = std::max(longestQuiet, frame + i / 2 - lastLoud);
    }
    frame += music::blockFrames();
    if (song->order != lastOrder) {
      // The order's first row started (tick - 1) whole ticks and part of one before now.
      const std::int64_t intoRow = std::int64_t{song->tick - 1} * song->samplesPerTick +
                                   (song->samplesPerTick - song->samplesLeftInTick);
      changes.push_back({song->order, song->row == 0 ? frame - intoRow : -1});
      lastOrder = song->order;
    }
  }
  music::freeSong(song);
  ASSERT_EQ(changes.size(), std::size_t{kPatternCount});
  for (int k = 1; k < kPatternCount; ++k) {
    EXPECT_EQ(changes[k - 1], std::make_pair(k, k * kPatternFrames)) << "order " << k;
  }
  // The only step back goes to the restart order (the 15 s scene change), at 80 s.
  EXPECT_EQ(changes.back(), std::make_pair(kRestartOrder, 80 * kRate));
  EXPECT_TRUE(peak > 16000 && peak < 29000) << peak;  // below about -1 dBFS, not timid
  EXPECT_LT(longestQuiet, kRate / 2);
}

}  // namespace
}  // namespace quarvel::songgen
