// Sound output: a PCM device that plays one looping buffer and reports how far it got.
#pragma once

#include <cstdint>

namespace quarvel::platform {

struct WaveFormat {
  std::uint16_t channels = 2;
  std::uint32_t framesPerSecond = 44100;
  std::uint16_t bitsPerSample = 16;
};

class SoundDevice {
 public:
  // Describes the buffer to play, as one block that loops forever.
  // The buffer must stay valid until unprepare().
  virtual void prepareLoop(const void* data, std::uint32_t bytes) = 0;
  // Starts playing the prepared buffer; it loops until reset().
  virtual void write() = 0;
  // Bytes played since write(), counting every lap of the loop (wraps at 2^32).
  virtual std::uint32_t playPositionBytes() = 0;
  // Stops at once and hands the buffer back.
  virtual void reset() = 0;
  virtual void unprepare() = 0;
  // Ends the device; the object is gone afterwards.
  virtual void close() = 0;

 protected:
  ~SoundDevice() = default;
};

class SoundSystem {
 public:
  virtual ~SoundSystem() = default;
  // Opens the default output device; null when there is none or it refuses the format.
  virtual SoundDevice* openDevice(const WaveFormat& format) = 0;
};

}  // namespace quarvel::platform
