// The music player: loading, starting and stopping a module over the engine.
#include "music/music_player.h"

#include "music/file_ops.h"
#include "music/loader.h"
#include "music/output.h"
#include "music/playback.h"

namespace quarvel::music {

MusicPlayer::MusicPlayer(const char* fileName, platform::SoundSystem& sound,
                         platform::Threads& threads) {
  installMemoryFileOps();
  setOutputServices(sound, threads);
  song_ = loadSong(fileName);
}

MusicPlayer::~MusicPlayer() {
  if (song_ != nullptr) freeSong(song_);
}

bool MusicPlayer::play() { return song_ != nullptr && startPlayback(song_); }

}  // namespace quarvel::music
