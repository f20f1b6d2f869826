// The music engine's process-wide tables: the only global state of the music code.
#pragma once

#include <atomic>
#include <cstdint>

#include "music/channel.h"
#include "music/file_ops.h"
#include "music/song.h"
#include "music/voice.h"
#include "platform/sound_output.h"
#include "platform/threads.h"

namespace quarvel::music {

inline constexpr std::uint32_t kOutputRate = 44100;
inline constexpr std::uint32_t kBufferMs = 1000;

// One instance exists (engineState()); it owns the voices, the channels, the file-operation
// table and the output buffers, so one player exists at a time. While a song plays only the
// rendering thread touches it; the three flags are what other threads may read and write.
struct EngineState {
  FileOps fileOps;
  Voice voices[kVoiceCount];
  Channel channels[kChannelCount];
  Song* currentSong;           // song being rendered; null when stopped
  std::int16_t* pcmRing;       // ringFrames interleaved stereo frames; owned (new[])
  float* mixStorage;           // owned (new[]): 2 x ringFrames floats plus 256 bytes
  float* mixBuffer;            // first 16-byte-aligned address inside mixStorage
  std::uint32_t blockIndex;    // next block to render, 0..blocks-1
  std::uint32_t blockFrames;   // 884
  std::uint32_t ringFrames;    // 88400
  std::uint32_t blocks;        // 100
  std::uint32_t rampFrames;    // 128
  float rampFramesReciprocal;  // 1 / rampFrames
  // The services the output runs on, set by the player; the device and the
  // worker exist only while playing.
  platform::SoundSystem* soundSystem;
  platform::Threads* threads;
  platform::SoundDevice* device;
  platform::ThreadHandle worker;
  std::atomic<bool> stopRequested;
  std::atomic<bool> mixingInProgress;
  std::atomic<bool> threadFinished;
};

// The single engine state, created on first use.
EngineState& engineState();

}  // namespace quarvel::music
