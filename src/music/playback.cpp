// Block renderer over the process-wide output state, and song release.
#include "music/playback.h"

#include <cstdint>
#include <cstring>
#include <thread>

#include "lanes/vector_path.h"
#include "music/engine_state.h"
#include "music/mix_kernels.h"
#include "music/output.h"
#include "music/sequencer.h"
#include "music/voice.h"

namespace quarvel::music {
namespace {

void deriveSizes(EngineState& state) {
  state.blockFrames = ((kOutputRate * 20 / 1000) + 3) & ~3u;
  state.ringFrames = (kBufferMs / 20) * state.blockFrames * 2;
  state.blocks = state.ringFrames / state.blockFrames;
  state.rampFrames = kOutputRate * 128 / 44100;
  state.rampFramesReciprocal = 1.0f / static_cast<float>(state.rampFrames);
}

void allocateBuffers(EngineState& state) {
  const std::size_t values = static_cast<std::size_t>(state.ringFrames) * 2;
  if (state.pcmRing == nullptr) state.pcmRing = new std::int16_t[values];
  std::memset(state.pcmRing, 0, values * sizeof(std::int16_t));
  if (state.mixStorage == nullptr) {
    state.mixStorage = new float[values + 256 / sizeof(float)]{};
    const auto address = reinterpret_cast<std::uintptr_t>(state.mixStorage);
    const std::uintptr_t aligned = (address + 15) & ~static_cast<std::uintptr_t>(15);
    state.mixBuffer = state.mixStorage + (aligned - address) / sizeof(float);
  }
}

}  // namespace

bool preparePlayback(Song* song) {
  if (song == nullptr) return false;
  EngineState& state = engineState();
  deriveSizes(state);
  for (std::int32_t i = 0; i < kVoiceCount; ++i) {
    state.voices[i] = Voice{};
    state.voices[i].index = i;
    state.voices[i].stepInteger = 1;
  }
  song->speed = song->defaultTempo;
  song->globalVolume = song->defaultGlobalVolume;
  song->row = 0;
  song->order = 0;
  song->nextRow = -1;
  song->nextOrder = -1;
  song->samplesLeftInTick = 0;
  song->tick = 0;
  song->patternDelayTicks = 0;
  setBpm(song, song->defaultBpm);
  const int channels = song->numChannels < kChannelCount ? song->numChannels : kChannelCount;
  for (int i = 0; i < channels; ++i) {
    state.channels[i] = Channel{};
    state.channels[i].voice = &state.voices[i];
  }
  state.currentSong = song;
  allocateBuffers(state);
  state.blockIndex = 0;
  return true;
}

void mixBlock() {
  mixBlockWith(mixKernelsFor(lanes::vectorPath()));
}

void mixBlockWith(const MixKernels& kernels) {
  EngineState& state = engineState();
  if (state.mixBuffer == nullptr || state.pcmRing == nullptr) return;
  const std::uint32_t frames = state.blockFrames;
  const std::size_t first = static_cast<std::size_t>(state.blockIndex) * frames * 2;
  float* mix = state.mixBuffer + first;
  std::memset(mix, 0, static_cast<std::size_t>(frames) * 2 * sizeof(float));
  Song* song = state.currentSong;
  if (song != nullptr && song->tickOperation != nullptr) {
    std::uint32_t done = 0;
    std::int32_t left = song->samplesLeftInTick;
    while (done < frames) {
      if (left <= 0) {
        song->tickOperation(song);
        left = song->samplesPerTick > 0 ? song->samplesPerTick : 1;
      }
      const std::uint32_t room = frames - done;
      const std::uint32_t n =
          static_cast<std::uint32_t>(left) < room ? static_cast<std::uint32_t>(left) : room;
      mixVoicesWith(kernels, mix + static_cast<std::size_t>(done) * 2,
                    static_cast<std::int32_t>(n));
      done += n;
      left -= static_cast<std::int32_t>(n);
    }
    song->samplesLeftInTick = left;
  }
  convertToPcm16With(kernels, state.pcmRing + first, mix, static_cast<std::int32_t>(frames));
  state.blockIndex += 1;
  if (state.blockIndex >= state.blocks) state.blockIndex = 0;
}

PcmView pcmRing() {
  const EngineState& state = engineState();
  if (state.pcmRing == nullptr) return {nullptr, 0};
  return {state.pcmRing, state.ringFrames};
}

const std::int16_t* pcmBlock(std::uint32_t block) {
  const EngineState& state = engineState();
  if (state.pcmRing == nullptr || block >= state.blocks) return nullptr;
  return state.pcmRing + static_cast<std::size_t>(block) * state.blockFrames * 2;
}

std::uint32_t blockFrames() {
  return engineState().blockFrames;
}
std::uint32_t ringFrames() {
  return engineState().ringFrames;
}
std::uint32_t blockCount() {
  return engineState().blocks;
}
std::uint32_t blockIndex() {
  return engineState().blockIndex;
}

void releasePlaybackBuffers() {
  EngineState& state = engineState();
  delete[] state.mixStorage;
  state.mixStorage = nullptr;
  state.mixBuffer = nullptr;
  delete[] state.pcmRing;
  state.pcmRing = nullptr;
}

bool freeSong(Song* song) {
  if (song == nullptr) return false;
  EngineState& state = engineState();
  while (state.mixingInProgress.load()) std::this_thread::yield();
  const bool current = state.currentSong == song;
  if (current) stopOutput(song);
  // Idle voices may still point into this song's samples; another song's voices are left alone.
  if (current || state.currentSong == nullptr) {
    for (Voice& voice : state.voices) voice.sample = nullptr;
  }
  if (song->instruments != nullptr) {
    for (std::uint32_t i = 0; i < song->numInstruments; ++i) {
      Instrument& instrument = song->instruments[i];
      const std::uint32_t n = instrument.numSamples < kMaxSamplesPerInstrument
                                  ? instrument.numSamples
                                  : kMaxSamplesPerInstrument;
      for (std::uint32_t s = 0; s < n; ++s) {
        Sample* sample = instrument.samples[s];
        if (sample == nullptr || sample == &kEmptySample) continue;
        delete[] sample->data;
        delete sample;
      }
    }
    delete[] song->instruments;
  }
  if (song->patterns != nullptr) {
    for (std::uint32_t i = 0; i < song->patternSlots; ++i) delete[] song->patterns[i].cells;
    delete[] song->patterns;
  }
  delete song;
  return true;
}

}  // namespace quarvel::music
