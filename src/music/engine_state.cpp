// Owner of the music engine's single process-wide state.
#include "music/engine_state.h"

namespace quarvel::music {
namespace {

void initialise(EngineState& state) {
  state.fileOps = memoryFileOps();
  state.blockFrames = 884;
  state.ringFrames = 88400;
  state.blocks = 100;
  state.rampFrames = 128;
  state.rampFramesReciprocal = 1.0f / 128.0f;
  state.threadFinished.store(true);
  for (int i = 0; i < kVoiceCount; ++i) state.voices[i].index = i;
}

}  // namespace

EngineState& engineState() {
  static EngineState state{};
  static const bool initialised = (initialise(state), true);
  static_cast<void>(initialised);
  return state;
}

}  // namespace quarvel::music
