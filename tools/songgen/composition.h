// The demo's soundtrack, composed in code: arrangement, harmony, melodies and drum parts.
#pragma once

#include <cstdint>
#include <vector>

#include "xmwriter/xm_writer.h"

namespace quarvel::songgen {

// 13 channels: kick, snare, hats, bass, three pad voices, lead, echo, arpeggio/bell,
// effects, crash, and one that carries only tempo corrections.
inline constexpr int kChannelCount = 13;
inline constexpr int kRowsPerBar = 32;      // eight rows per beat at 96 beats a minute
inline constexpr int kRowsPerPattern = 64;  // two bars: exactly five seconds
inline constexpr int kPatternCount = 16;    // 80 s
inline constexpr int kRestartOrder = 3;     // the main groove, at 15 s

// Player speed and BPM: 5 ticks of 689 frames per row, and the last row of every pattern at
// BPM 159 (693 frames per tick) so a pattern lasts exactly 220500 frames (5 s at 44100 Hz).
inline constexpr std::uint16_t kSpeed = 5;
inline constexpr std::uint16_t kBpm = 160;
inline constexpr std::uint8_t kStretchBpm = 159;

// Seconds at which the demo's scenes change; each falls on a pattern boundary.
inline constexpr double kSceneSeconds[] = {0.0, 15.0, 40.0, 55.0, 80.0};

// The whole module.
xmwriter::Module composeSong();

// The module's file bytes (what songgen writes).
std::vector<std::uint8_t> songBytes();

}  // namespace quarvel::songgen
