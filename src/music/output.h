// The sound output: a looping two-second ring kept full by a time-critical worker thread.
#pragma once

#include "music/song.h"
#include "platform/sound_output.h"
#include "platform/threads.h"

namespace quarvel::music {

// The device and thread services that playback uses; they must outlive it.
// Set by the music player before anything plays.
void setOutputServices(platform::SoundSystem& sound, platform::Threads& threads);

// Stops whatever plays, restarts `song` from its first order, renders the whole
// ring on the calling thread, starts the device looping it and a worker that
// re-renders each block as soon as the device has played it. Gives false for a
// null song, when there is no sound device, or when no worker can be started:
// nothing plays then.
bool startPlayback(Song* song);

// Stops the worker (waiting until it has ended), then the device, and releases
// the output buffers; clears the current song. Gives false only for a null song.
// Safe when nothing was ever started.
bool stopOutput(Song* song);

// The worker: every 5 ms, renders every block the device has left behind,
// never the one it is playing, until a stop is requested.
void audioThread(void* unused);

}  // namespace quarvel::music
