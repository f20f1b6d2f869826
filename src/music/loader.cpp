// Module parser: header, packed patterns, instruments, envelopes and delta-coded samples.
#include "music/loader.h"

#include <cstring>
#include <string>
#include <vector>

#include "music/channel.h"
#include "music/playback.h"
#include "music/sequencer.h"

namespace quarvel::music {

Sample kEmptySample{};
const Instrument kEmptyInstrument{};

namespace {

constexpr char kSignature[] = "Extended Module: ";
constexpr std::uint32_t kMaxPatterns = 256;
constexpr std::uint32_t kMaxRows = 256;
constexpr std::uint16_t kMaxInstruments = 128;
constexpr std::uint16_t kDefaultBpm = 125;
// The fastest tempo the speed effect can set (432 frames per tick). A file tempo beyond it
// would tick nearly every frame, multiplying the audio thread's work by up to 400.
constexpr std::uint16_t kMaxBpm = 255;

// Reads through the installed FileOps and remembers any short read.
class Reader {
 public:
  explicit Reader(Stream* stream) : stream_(stream) {}

  bool ok() const { return ok_; }

  void bytes(void* out, std::int32_t count) {
    if (!ok_) return;
    const std::int32_t got = stream_ != nullptr && stream_->handle != nullptr
                                 ? fileOps().read(out, count, stream_->handle)
                                 : 0;
    if (got != count) ok_ = false;
  }
  std::uint8_t u8() {
    std::uint8_t b[1] = {0};
    bytes(b, 1);
    return ok_ ? b[0] : 0;
  }
  std::uint16_t u16() {
    std::uint8_t b[2] = {0, 0};
    bytes(b, 2);
    return ok_ ? static_cast<std::uint16_t>(b[0] | (b[1] << 8)) : 0;
  }
  std::uint32_t u32() {
    std::uint8_t b[4] = {0, 0, 0, 0};
    bytes(b, 4);
    if (!ok_) return 0;
    return static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
           (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
  }
  void seek(std::int64_t offset, std::int32_t origin) {
    if (stream_ == nullptr || stream_->handle == nullptr) return;
    // Offsets past the 32-bit range can only point beyond the file's end.
    if (offset > INT32_MAX) offset = INT32_MAX;
    if (offset < INT32_MIN) offset = INT32_MIN;
    fileOps().seek(stream_->handle, static_cast<std::int32_t>(offset), origin);
  }
  std::int32_t tell() {
    return stream_ != nullptr && stream_->handle != nullptr ? fileOps().tell(stream_->handle) : 0;
  }
  // Bytes between the position and the end of the file.
  std::int64_t remaining() {
    const std::int32_t here = tell();
    seek(0, kSeekEnd);
    const std::int32_t end = tell();
    seek(here, kSeekStart);
    return end > here ? end - here : 0;
  }
  void fail() { ok_ = false; }

 private:
  Stream* stream_;
  bool ok_ = true;
};

// Records the first problem found; gives false, for `return refuse(...)`.
bool refuse(LoadError* error, const LoadError& problem) {
  if (error != nullptr && error->problem == LoadProblem::kNone) *error = problem;
  return false;
}

bool readPattern(Reader& in, Pattern& pattern, std::uint16_t channels, std::uint32_t index,
                 LoadError* error) {
  const LoadError truncated{.problem = LoadProblem::kEndsInPattern, .pattern = index};
  in.u32();  // header length: the packed data follows the 9-byte header directly
  in.u8();   // packing type
  const std::uint16_t rows = in.u16();
  const std::uint16_t packedSize = in.u16();
  if (!in.ok()) return refuse(error, truncated);
  if (rows > kMaxRows) {
    return refuse(error, {.problem = LoadProblem::kTooManyRows, .count = rows, .pattern = index});
  }
  pattern.rows = rows;
  const std::size_t count = static_cast<std::size_t>(rows) * channels;
  if (count == 0) return true;
  pattern.cells = new NoteCell[count]{};
  if (packedSize == 0) return true;
  for (std::size_t i = 0; i < count && in.ok(); ++i) {
    NoteCell& cell = pattern.cells[i];
    const std::uint8_t b = in.u8();
    if ((b & 0x80) != 0) {
      if ((b & 1) != 0) cell.note = in.u8();
      if ((b & 2) != 0) cell.instrument = in.u8();
      if ((b & 4) != 0) cell.volume = in.u8();
      if ((b & 8) != 0) cell.effect = in.u8();
      if ((b & 16) != 0) cell.parameter = in.u8();
    } else {
      cell.note = b;
      cell.instrument = in.u8();
      cell.volume = in.u8();
      cell.effect = in.u8();
      cell.parameter = in.u8();
    }
    if (cell.note == 97) cell.note = 255;
    if (cell.instrument > 128) cell.instrument = 0;
  }
  return in.ok() || refuse(error, truncated);
}

void readEnvelope(Reader& in, EnvelopePoint* points) {
  for (int i = 0; i < kEnvelopeFilePoints; ++i) {
    points[i].x = in.u16();
    const std::uint16_t y = in.u16();
    points[i].y = y > 64 ? 64 : y;  // values beyond full scale would overflow the 16.16 steps
  }
}

struct SampleLayout {
  std::uint32_t fileBytes;  // bytes of data in the file
};

bool readSampleHeader(Reader& in, Sample& s, SampleLayout& layout) {
  std::uint32_t length = in.u32();
  std::uint32_t loopStart = in.u32();
  std::uint32_t loopLength = in.u32();
  s.volume = in.u8();
  s.finetune = static_cast<std::int8_t>(in.u8());
  s.loopMode = kLoopNone;
  s.bits = 8;
  const std::uint8_t type = in.u8();
  if ((type & 1) != 0) s.loopMode = kLoopForward;
  if ((type & 2) != 0) s.loopMode = kLoopPingPong;
  if ((type & 16) != 0) s.bits = 16;
  s.panning = in.u8();
  s.relativeNote = static_cast<std::int8_t>(in.u8());
  in.seek(23, kSeekCurrent);
  if (!in.ok()) return false;
  layout.fileBytes = length;
  if (s.loopMode == kLoopNone) {
    loopStart = 0;
    loopLength = length;
  }
  if (s.bits == 16) {
    length /= 2;  // an odd byte count leaves one byte unused, skipped after the data
    loopStart /= 2;
    loopLength /= 2;
  }
  if (loopLength == 0) {
    loopStart = 0;
    loopLength = length;
    s.loopMode = kLoopNone;
  }
  // Loops reaching outside the data are cut to it, so the guard value stays inside the buffer.
  if (s.loopMode != kLoopNone) {
    if (loopStart >= length) {
      loopStart = 0;
      loopLength = length;
      s.loopMode = kLoopNone;
    } else if (static_cast<std::uint64_t>(loopStart) + loopLength > length) {
      loopLength = length - loopStart;
    }
  }
  s.length = length;
  s.loopStart = loopStart;
  s.loopLength = loopLength;
  return true;
}

bool readSampleData(Reader& in, Sample& s, const SampleLayout& layout) {
  if (s.length == 0) {
    if (layout.fileBytes != 0) in.seek(layout.fileBytes, kSeekCurrent);  // a lone odd byte
    s.bits = 16;
    return in.ok();
  }
  const std::size_t values = s.length;
  std::int16_t* data = new std::int16_t[values + kSampleGuardValues]{};
  s.data = data;
  const std::size_t bytes = s.bits == 16 ? values * 2 : values;
  std::vector<std::uint8_t> scratch(bytes);
  in.bytes(scratch.data(), static_cast<std::int32_t>(bytes));
  if (!in.ok()) return false;
  if (s.bits == 16) {
    for (std::size_t i = 0; i < values; ++i) {
      data[i] = static_cast<std::int16_t>(scratch[2 * i] | (scratch[2 * i + 1] << 8));
    }
    if (layout.fileBytes > bytes) in.seek(layout.fileBytes - bytes, kSeekCurrent);
  } else {
    for (std::size_t i = 0; i < values; ++i) {
      data[i] = static_cast<std::int16_t>(static_cast<std::uint16_t>(scratch[i] << 8));
    }
  }
  s.bits = 16;
  std::uint16_t sum = 0;  // deltas add up in wrapping 16-bit arithmetic
  for (std::size_t i = 0; i < values; ++i) {
    sum = static_cast<std::uint16_t>(sum + static_cast<std::uint16_t>(data[i]));
    data[i] = static_cast<std::int16_t>(sum);
  }
  const std::size_t loopEnd = static_cast<std::size_t>(s.loopStart) + s.loopLength;
  if (s.loopMode == kLoopForward) {
    data[loopEnd] = data[s.loopStart];
  } else if (s.loopMode == kLoopPingPong) {
    data[loopEnd] = data[loopEnd - 1];
  }
  return in.ok();
}

// `number` counts from 1.
bool readInstrument(Reader& in, Instrument& instrument, std::uint32_t number, LoadError* error) {
  const LoadError truncated{.problem = LoadProblem::kEndsInInstrument, .instrument = number};
  const auto truncatedSample = [&](std::uint32_t sample) {
    return refuse(error,
                  {.problem = LoadProblem::kEndsInSample, .instrument = number, .sample = sample});
  };
  for (Sample*& slot : instrument.samples) slot = &kEmptySample;
  const std::int64_t start = in.tell();
  const std::uint32_t headerSize = in.u32();
  in.seek(23, kSeekCurrent);
  const std::uint16_t numSamples = in.u16();
  if (!in.ok()) return refuse(error, truncated);
  if (numSamples > kMaxSamplesPerInstrument) {
    return refuse(
        error,
        {.problem = LoadProblem::kTooManySamples, .count = numSamples, .instrument = number});
  }
  if (numSamples == 0) {
    in.seek(start + headerSize, kSeekStart);
    return true;
  }
  in.u32();  // sample header size: every sample header is 40 bytes
  in.bytes(instrument.keymap, kKeymapNotes);
  readEnvelope(in, instrument.volumeEnvelope);
  readEnvelope(in, instrument.panningEnvelope);
  instrument.volumePoints = in.u8();
  instrument.panningPoints = in.u8();
  instrument.volumeSustain = in.u8();
  instrument.volumeLoopStart = in.u8();
  instrument.volumeLoopEnd = in.u8();
  instrument.panningSustain = in.u8();
  instrument.panningLoopStart = in.u8();
  instrument.panningLoopEnd = in.u8();
  instrument.volumeType = in.u8();
  instrument.panningType = in.u8();
  instrument.vibratoType = in.u8();
  instrument.vibratoSweep = in.u8();
  instrument.vibratoDepth = in.u8();
  instrument.vibratoRate = in.u8();
  instrument.fadeout = static_cast<std::uint16_t>(in.u16() * 2);
  if (!in.ok()) return refuse(error, truncated);
  // The file holds 12 points per envelope; larger counts would read points it never gave.
  if (instrument.volumePoints > kEnvelopeFilePoints) instrument.volumePoints = kEnvelopeFilePoints;
  if (instrument.panningPoints > kEnvelopeFilePoints) {
    instrument.panningPoints = kEnvelopeFilePoints;
  }
  if (instrument.volumePoints < 2) instrument.volumeType = 0;
  if (instrument.panningPoints < 2) instrument.panningType = 0;
  in.seek(start + headerSize, kSeekStart);

  SampleLayout layouts[kMaxSamplesPerInstrument] = {};
  std::uint64_t dataBytes = 0;
  for (std::uint16_t i = 0; i < numSamples; ++i) {
    auto* sample = new Sample{};
    instrument.samples[i] = sample;
    instrument.numSamples = i + 1u;
    if (!readSampleHeader(in, *sample, layouts[i])) return truncatedSample(i);
    dataBytes += layouts[i].fileBytes;
  }
  // Sample data must be in the file: this bounds every allocation by the file's size.
  const auto remaining = static_cast<std::uint64_t>(in.remaining());
  if (dataBytes > remaining) {
    // Name the first sample whose data reaches past the end.
    std::uint16_t i = 0;
    std::uint64_t end = layouts[0].fileBytes;
    while (end <= remaining) end += layouts[++i].fileBytes;
    return truncatedSample(i);
  }
  for (std::uint16_t i = 0; i < numSamples; ++i) {
    if (!readSampleData(in, *instrument.samples[i], layouts[i])) return truncatedSample(i);
  }
  return true;
}

}  // namespace

std::string describeLoadError(const LoadError& e) {
  const std::string count = std::to_string(e.count);
  const std::string pattern = "pattern " + std::to_string(e.pattern);
  const std::string instrument = "instrument " + std::to_string(e.instrument);
  switch (e.problem) {
    case LoadProblem::kNone:
      return "";
    case LoadProblem::kCannotOpen:
      return "the file cannot be opened";
    case LoadProblem::kNotXm:
      return "not an XM file (it does not start with \"Extended Module: \")";
    case LoadProblem::kEndsInHeader:
      return "the file ends inside the song header";
    case LoadProblem::kTooManyChannels:
      return count + " channels; the player plays at most 32";
    case LoadProblem::kTooManyPatterns:
      return count + " patterns; the format allows at most 256";
    case LoadProblem::kTooManyInstruments:
      return count + " instruments; the format allows at most 128";
    case LoadProblem::kTooManyRows:
      return pattern + " has " + count + " rows; the format allows at most 256";
    case LoadProblem::kEndsInPattern:
      return "the file ends inside " + pattern;
    case LoadProblem::kEndsInInstrument:
      return "the file ends inside " + instrument;
    case LoadProblem::kTooManySamples:
      return instrument + " has " + count + " samples; the player allows at most 16";
    case LoadProblem::kEndsInSample:
      return "the file ends inside sample " + std::to_string(e.sample) + " of " + instrument;
  }
  return "";
}

bool parseXm(Song* song, Stream* stream, LoadError* error) {
  if (song == nullptr) return false;
  Reader in(stream);
  char signature[17] = {};
  in.seek(0, kSeekStart);
  in.bytes(signature, 17);
  if (!in.ok() || std::memcmp(signature, kSignature, 17) != 0) {
    return refuse(error, {.problem = LoadProblem::kNotXm});
  }
  song->tickOperation = tickUpdate;
  song->defaultGlobalVolume = 64;

  in.seek(60, kSeekStart);
  const std::uint32_t headerSize = in.u32();
  in.seek(64, kSeekStart);
  song->songLength = in.u16();
  song->restartPosition = in.u16();
  song->numChannels = in.u16();
  const std::uint16_t filePatterns = in.u16();
  song->numInstruments = in.u16();
  song->flags = in.u16();
  song->defaultTempo = in.u16();
  song->defaultBpm = in.u16();
  in.bytes(song->orderTable, 256);
  if (!in.ok()) return refuse(error, {.problem = LoadProblem::kEndsInHeader});
  // Playback holds 32 channels; the format allows 256 patterns and 128 instruments.
  if (song->numChannels > kChannelCount) {
    return refuse(error, {.problem = LoadProblem::kTooManyChannels, .count = song->numChannels});
  }
  if (filePatterns > kMaxPatterns) {
    return refuse(error, {.problem = LoadProblem::kTooManyPatterns, .count = filePatterns});
  }
  if (song->numInstruments > kMaxInstruments) {
    return refuse(error,
                  {.problem = LoadProblem::kTooManyInstruments, .count = song->numInstruments});
  }
  if (song->songLength > 256) song->songLength = 256;
  if (song->restartPosition >= song->songLength) song->restartPosition = 0;
  if (song->defaultBpm == 0) song->defaultBpm = kDefaultBpm;
  if (song->defaultBpm > kMaxBpm) song->defaultBpm = kMaxBpm;

  in.seek(60 + static_cast<std::int64_t>(headerSize), kSeekStart);
  std::uint32_t highest = 0;
  for (std::uint32_t i = 0; i < song->songLength; ++i) {
    if (song->orderTable[i] + 1u > highest) highest = song->orderTable[i] + 1u;
  }
  song->patternsUsed = highest;
  song->patternSlots = filePatterns > highest ? filePatterns : highest;
  if (song->patternSlots != 0) song->patterns = new Pattern[song->patternSlots]{};
  for (std::uint32_t i = 0; i < filePatterns; ++i) {
    if (!readPattern(in, song->patterns[i], song->numChannels, i, error)) return false;
  }
  for (std::uint32_t i = filePatterns; i < song->patternsUsed; ++i) {
    Pattern& pattern = song->patterns[i];
    pattern.rows = 64;
    const std::size_t count = 64u * song->numChannels;
    if (count != 0) pattern.cells = new NoteCell[count]{};
  }

  if (song->numInstruments != 0) song->instruments = new Instrument[song->numInstruments]{};
  for (std::uint16_t i = 0; i < song->numInstruments; ++i) {
    if (!readInstrument(in, song->instruments[i], i + 1u, error)) return false;
  }
  return in.ok();
}

Song* loadSong(const char* fileName, LoadError* error) {
  // A cleared table (an incomplete one was refused when installed) opens nothing.
  if (fileOps().open == nullptr) {
    refuse(error, {.problem = LoadProblem::kCannotOpen});
    return nullptr;
  }
  auto* song = new Song{};
  auto* stream = new Stream{fileOps().open(fileName)};
  if (stream->handle == nullptr) {
    delete stream;
    delete song;
    refuse(error, {.problem = LoadProblem::kCannotOpen});
    return nullptr;
  }
  const bool ok = parseXm(song, stream, error);
  fileOps().close(stream->handle);
  delete stream;
  if (!ok) {
    freeSong(song);
    return nullptr;
  }
  return song;
}

}  // namespace quarvel::music
