// The music player the demo sees: construct with a module name, play, destroy.
#pragma once

#include "music/song.h"
#include "platform/sound_output.h"
#include "platform/threads.h"

namespace quarvel::music {

// One player exists at a time: it drives the engine's process-wide tables.
// Nothing is ever reported: a module that cannot be loaded or a missing sound
// device leaves the demo silent.
class MusicPlayer {
 public:
  // Installs the memory-file operations and loads the module; the services
  // must outlive the player.
  MusicPlayer(const char* fileName, platform::SoundSystem& sound, platform::Threads& threads);
  // Stops the sound (returning once the worker has ended) and frees the module.
  ~MusicPlayer();

  MusicPlayer(const MusicPlayer&) = delete;
  MusicPlayer& operator=(const MusicPlayer&) = delete;

  // Starts the module from its beginning, also when it already plays; returns
  // after the first two seconds are rendered. False when nothing plays.
  bool play();

  // The loaded module; null when loading failed.
  Song* song() const { return song_; }

 private:
  Song* song_ = nullptr;
};

}  // namespace quarvel::music
