// Block rendering into the PCM ring, and the playback state's start and release.
#pragma once

#include <cstdint>

#include "music/song.h"

namespace quarvel::music {

struct MixKernels;

// A view of the PCM ring: `frames` interleaved stereo frames (left first) of 16-bit samples.
struct PcmView {
  const std::int16_t* samples;  // null when no ring is allocated
  std::uint32_t frames;
};

// Gets `song` ready to render, without any sound device: derives the block sizes, clears the
// voices (voice i gets index i and step 1.0), resets the song's playback fields, zeroes the
// song's channels (channel i on voice i), makes `song` current, and allocates the zeroed PCM
// ring and the mix buffer (reused when they exist). Safe to call again; restarts the song.
// Gives false only for a null song.
bool preparePlayback(Song* song);

// Renders block blockIndex of the ring (ticks and mixing) and advances blockIndex, wrapping at
// the block count. Does nothing without prepared buffers; renders silence without a song.
void mixBlock();

// mixBlock on the given mixer kernels, whatever the program's path.
void mixBlockWith(const MixKernels& kernels);

// The whole ring. Block b starts at frame b x blockFrames().
PcmView pcmRing();

// The first of blockFrames() stereo frames of ring block `block`; null without a ring or for a
// block at or beyond blockCount().
const std::int16_t* pcmBlock(std::uint32_t block);

// Frames of one block (884), frames of the ring (88400) and the block count (100).
std::uint32_t blockFrames();
std::uint32_t ringFrames();
std::uint32_t blockCount();

// The block mixBlock renders next, 0..blockCount()-1.
std::uint32_t blockIndex();

// Releases the PCM ring and the mix buffer. Safe to call when they do not exist.
void releasePlaybackBuffers();

// Releases `song` and everything it owns; when it is the current song, output is stopped
// first. Gives false for a null song. Works with or without any device.
bool freeSong(Song* song);

}  // namespace quarvel::music
