// Starting and stopping the sound output, and the worker that refills the ring behind the device.
#include "music/output.h"

#include <thread>

#include "music/engine_state.h"
#include "music/playback.h"

namespace quarvel::music {
namespace {

constexpr platform::WaveFormat kFormat{2, kOutputRate, 16};
constexpr std::uint32_t kPollMs = 5;
constexpr std::uint32_t kStopPollMs = 10;

}  // namespace

void setOutputServices(platform::SoundSystem& sound, platform::Threads& threads) {
  EngineState& state = engineState();
  state.soundSystem = &sound;
  state.threads = &threads;
}

bool startPlayback(Song* song) {
  if (song == nullptr) return false;
  EngineState& state = engineState();
  stopOutput(song);
  preparePlayback(song);

  state.device = state.soundSystem != nullptr ? state.soundSystem->openDevice(kFormat) : nullptr;
  if (state.device == nullptr) {
    releasePlaybackBuffers();
    return false;
  }
  const PcmView ring = pcmRing();
  state.device->prepareLoop(ring.samples, ring.frames * 4);

  // All of the ring is rendered before the device starts, on this thread.
  do {
    mixBlock();
  } while (state.blockIndex != 0);
  state.device->write();

  state.stopRequested.store(false);
  // Cleared here as well as by the worker, so that a stop that comes before
  // the worker has run still waits for it.
  state.threadFinished.store(false);
  state.worker = state.threads != nullptr ? state.threads->startTimeCritical(audioThread, nullptr) : 0;
  if (state.worker == 0) {
    state.threadFinished.store(true);
    stopOutput(song);
    return false;
  }
  return true;
}

bool stopOutput(Song* song) {
  if (song == nullptr) return false;
  EngineState& state = engineState();
  state.stopRequested.store(true);
  while (state.mixingInProgress.load()) std::this_thread::yield();
  if (state.worker != 0) {
    while (!state.threadFinished.load()) state.threads->sleep(kStopPollMs);
    state.threads->forget(state.worker);
    state.worker = 0;
  }
  // Releases the mix buffer and the ring; the device lets go of the ring first.
  if (state.device != nullptr) {
    state.device->reset();
    state.device->unprepare();
  }
  releasePlaybackBuffers();
  state.currentSong = nullptr;
  if (state.device != nullptr) {
    state.device->close();
    state.device = nullptr;
  }
  state.blockIndex = 0;
  return true;
}

void audioThread(void*) {
  EngineState& state = engineState();
  state.threadFinished.store(false);
  while (!state.stopRequested.load()) {
    const std::uint32_t frame = (state.device->playPositionBytes() / 4) % state.ringFrames;
    const std::uint32_t playBlock = frame / state.blockFrames;
    while (state.blockIndex != playBlock) {
      state.mixingInProgress.store(true);
      mixBlock();
      state.mixingInProgress.store(false);
    }
    state.threads->sleep(kPollMs);
  }
  state.threadFinished.store(true);
}

}  // namespace quarvel::music
