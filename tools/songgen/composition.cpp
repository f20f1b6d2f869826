// The demo's soundtrack: four sections that follow the scenes, written row by row.
#include "songgen/composition.h"

#include <initializer_list>

#include "songgen/instruments.h"

namespace quarvel::songgen {
namespace {

using xmwriter::Cell;
using xmwriter::kKeyOff;

// Pattern columns.
enum Column : int {
  kKickColumn = 0,
  kSnareColumn,
  kHatColumn,
  kBassColumn,
  kPadColumn,  // three voices: 4, 5, 6
  kLeadColumn = 7,
  kEchoColumn,
  kArpColumn,
  kFxColumn,
  kCrashColumn,
  kTempoColumn
};

// Effect numbers as stored in cells.
enum Effect : std::uint8_t {
  kArpeggio = 0,
  kPortaUp = 1,
  kPortaDown = 2,
  kTonePorta = 3,
  kVibrato = 4,
  kTremolo = 7,
  kSetPanning = 8,
  kVolumeSlide = 10,
  kSetTempo = 15,
  kPanningSlide = 25,
  kRetrig = 27
};

// Volume-column commands.
constexpr std::uint8_t volume(int v) {
  return static_cast<std::uint8_t>(0x10 + (v < 0 ? 0 : (v > 64 ? 64 : v)));
}
constexpr std::uint8_t kFineVolumeUp1 = 0x91;
constexpr std::uint8_t kFineVolumeDown2 = 0x82;

// Semitones within an octave.
enum Pitch : int {
  C = 0,
  Cs = 1,
  D = 2,
  Ds = 3,
  E = 4,
  F = 5,
  Fs = 6,
  G = 7,
  Gs = 8,
  A = 9,
  Bb = 10,
  B = 11
};

constexpr std::uint8_t nt(int octave, int pitch) {
  return xmwriter::note(octave, pitch);
}

constexpr int kTotalRows = kPatternCount * kRowsPerPattern;
constexpr int kEchoDelay = 6;  // a dotted eighth

constexpr int bar(int b, int row = 0) {
  return b * kRowsPerBar + row;
}

// Writes cells by absolute row (bar x 32 + row) across the pattern grid; rows outside the
// song are ignored so phrases may run off the end.
class Score {
 public:
  explicit Score(xmwriter::Module& module) : module_(module) {}

  Cell* cell(int row, int column) {
    if (row < 0 || row >= kTotalRows) return nullptr;
    return &module_.patterns[static_cast<std::size_t>(row / kRowsPerPattern)].at(
        row % kRowsPerPattern, column, kChannelCount);
  }

  void hit(int row, int column, std::uint8_t note, std::uint8_t instrument, int vol) {
    if (Cell* c = cell(row, column)) {
      c->note = note;
      c->instrument = instrument;
      c->volume = volume(vol);
    }
  }

  void effect(int row, int column, std::uint8_t effect, std::uint8_t parameter) {
    if (Cell* c = cell(row, column)) {
      c->effect = effect;
      c->parameter = parameter;
    }
  }

  void volumeColumn(int row, int column, std::uint8_t command) {
    if (Cell* c = cell(row, column)) c->volume = command;
  }

  // A key-off, unless a note already starts on that row.
  void release(int row, int column) {
    if (Cell* c = cell(row, column)) {
      if (c->note == 0) c->note = kKeyOff;
    }
  }

  // A tone portamento toward `note`: no instrument, so the sounding note glides on.
  void glide(int row, int column, std::uint8_t note, std::uint8_t speed) {
    if (Cell* c = cell(row, column)) {
      c->note = note;
      c->instrument = 0;
      c->effect = kTonePorta;
      c->parameter = speed;
    }
  }

 private:
  xmwriter::Module& module_;
};

// Harmony, one chord per bar; some bars resolve a suspension halfway (pad voices change).
struct Chord {
  std::uint8_t bass;
  std::uint8_t pad[3];
  std::uint8_t padLate[3];  // from row 16
  std::uint8_t arpRoot;
  std::uint8_t arpeggio;  // arpeggio parameter: the chord's third and fifth above the root
};

constexpr Chord chord(std::uint8_t bass, std::initializer_list<std::uint8_t> pad,
                      std::uint8_t arpRoot, std::uint8_t arpeggio) {
  Chord c{bass, {}, {}, arpRoot, arpeggio};
  int i = 0;
  for (const std::uint8_t n : pad) {
    c.pad[i] = n;
    c.padLate[i] = n;
    ++i;
  }
  return c;
}

constexpr Chord resolving(Chord c, int voice, std::uint8_t note) {
  c.padLate[voice] = note;
  return c;
}

constexpr Chord kDm9 = chord(nt(2, D), {nt(3, F), nt(3, A), nt(4, E)}, nt(5, D), 0x37);
constexpr Chord kBbMaj7 = chord(nt(1, Bb), {nt(3, F), nt(3, A), nt(4, D)}, nt(4, Bb), 0x47);
constexpr Chord kGm9 = chord(nt(1, G), {nt(3, F), nt(3, Bb), nt(4, D)}, nt(4, G), 0x37);
constexpr Chord kA7 =
    resolving(chord(nt(1, A), {nt(3, G), nt(4, D), nt(4, E)}, nt(4, A), 0x47), 1, nt(4, Cs));
constexpr Chord kC = chord(nt(2, C), {nt(3, G), nt(4, C), nt(4, E)}, nt(5, C), 0x47);
constexpr Chord kFMaj7 = chord(nt(1, F), {nt(3, A), nt(4, C), nt(4, E)}, nt(4, F), 0x47);
constexpr Chord kCOverE = chord(nt(2, E), {nt(3, G), nt(4, C), nt(4, D)}, nt(5, C), 0x47);
constexpr Chord kDm7 = chord(nt(2, D), {nt(3, A), nt(4, C), nt(4, F)}, nt(5, D), 0x37);
constexpr Chord kBbMaj7High = chord(nt(1, Bb), {nt(3, A), nt(4, D), nt(4, F)}, nt(4, Bb), 0x47);
constexpr Chord kGm7 = chord(nt(1, G), {nt(3, Bb), nt(4, D), nt(4, F)}, nt(4, G), 0x37);
constexpr Chord kB7 =
    resolving(chord(nt(1, B), {nt(3, A), nt(4, E), nt(4, Fs)}, nt(4, B), 0x47), 1, nt(4, Ds));
constexpr Chord kEm9 = chord(nt(2, E), {nt(3, G), nt(3, B), nt(4, Fs)}, nt(5, E), 0x37);
constexpr Chord kCMaj7 = chord(nt(2, C), {nt(3, G), nt(3, B), nt(4, E)}, nt(5, C), 0x47);
constexpr Chord kAm9 = chord(nt(1, A), {nt(3, G), nt(4, C), nt(4, E)}, nt(4, A), 0x37);

// Bars 0-5 intro, 6-15 groove, 16-21 breakdown, 22-31 climax (up a whole tone).
constexpr Chord kHarmony[kPatternCount * 2] = {
    kDm9,    kDm9,    kBbMaj7, kBbMaj7,     kGm9, kA7,                 // intro
    kDm9,    kBbMaj7, kGm9,    kA7,         kDm9, kBbMaj7, kGm9, kA7,  // groove
    kBbMaj7, kC,                                                       //
    kFMaj7,  kCOverE, kDm7,    kBbMaj7High, kGm7, kB7,                 // breakdown
    kEm9,    kCMaj7,  kAm9,    kB7,         kEm9, kCMaj7,  kAm9, kB7,  // climax
    kCMaj7,  kA7};

// One melody note: start row from the phrase start, length in rows, and how it is played.
struct Tone {
  int row;
  std::uint8_t note;
  int length;
  bool slide = false;    // glide from the previous note instead of striking
  bool vibrato = false;  // add vibrato after the attack
};

void playLine(Score& s, int start, int column, std::uint8_t instrument, int vol,
              std::initializer_list<Tone> tones, std::uint8_t slideSpeed, std::uint8_t vibrato) {
  for (const Tone& t : tones) {
    const int row = start + t.row;
    s.release(row + t.length, column);
    if (t.slide) {
      s.glide(row, column, t.note, slideSpeed);
    } else {
      s.hit(row, column, t.note, instrument, vol);
    }
    if (t.vibrato) {
      for (int r = row + 4; r < row + t.length; ++r) s.effect(r, column, kVibrato, vibrato);
    }
  }
}

// The lead's echo: its cells again a dotted eighth later, quieter, on the echo instrument.
void echoLead(Score& s, int from, int to, double level) {
  for (int row = from; row < to; ++row) {
    const Cell* source = s.cell(row, kLeadColumn);
    Cell* target = s.cell(row + kEchoDelay, kEchoColumn);
    if (source == nullptr || target == nullptr) continue;
    if (source->note == 0 && source->effect == 0 && source->parameter == 0) continue;
    *target = *source;
    if (source->instrument == kLead) target->instrument = kEchoLead;
    if (source->instrument != 0) {
      const int original =
          source->volume >= 0x10 && source->volume <= 0x50 ? source->volume - 0x10 : 64;
      target->volume = volume(static_cast<int>(original * level));
    }
  }
}

// A bell note with its echo, the two placed apart in the stereo field.
void bellNote(Score& s, int row, std::uint8_t note, int vol) {
  s.hit(row, kArpColumn, note, kBell, vol);
  s.effect(row, kArpColumn, kSetPanning, 0xB0);
  s.hit(row + kEchoDelay, kEchoColumn, note, kBell, vol * 2 / 5);
  s.effect(row + kEchoDelay, kEchoColumn, kSetPanning, 0x48);
}

// Pads: three voices struck at `row` and gliding through the chords of the following bars.
void padChords(Score& s, int firstBar, int lastBar, std::uint8_t instrument, int vol,
               std::uint8_t glideSpeed, bool strikeEveryBar) {
  std::uint8_t sounding[3] = {0, 0, 0};
  for (int b = firstBar; b <= lastBar; ++b) {
    const Chord& c = kHarmony[b];
    for (int v = 0; v < 3; ++v) {
      const int column = kPadColumn + v;
      if (b == firstBar || strikeEveryBar) {
        s.hit(bar(b), column, c.pad[v], instrument, vol);
      } else if (c.pad[v] != sounding[v]) {
        s.glide(bar(b), column, c.pad[v], glideSpeed);
      }
      sounding[v] = c.pad[v];
      if (c.padLate[v] != sounding[v]) {
        if (strikeEveryBar) {
          s.hit(bar(b, 16), column, c.padLate[v], 0, vol);
        } else {
          s.glide(bar(b, 16), column, c.padLate[v], glideSpeed);
        }
        sounding[v] = c.padLate[v];
      }
    }
  }
}

// A noise riser over `rows` rows: pitch climbing by portamento, volume by fine slides.
void riser(Score& s, int row, int rows, std::uint8_t speed, int startVolume, int endVolume) {
  s.hit(row, kFxColumn, nt(3, C), kRiser, startVolume);
  int vol = startVolume;
  for (int r = 0; r < rows; ++r) {
    s.effect(row + r, kFxColumn, kPortaUp, speed);
    const int wanted = startVolume + (endVolume - startVolume) * (r + 1) / rows;
    if (r > 0 && vol < wanted) {
      s.volumeColumn(row + r, kFxColumn, kFineVolumeUp1);
      ++vol;
    }
  }
  s.release(row + rows, kFxColumn);
}

// A downward noise sweep that marks the start of a section.
void sweepDown(Score& s, int row) {
  s.hit(row, kFxColumn, nt(6, C), kRiser, 30);
  for (int r = 0; r < 24; ++r) {
    s.effect(row + r, kFxColumn, kPortaDown, 0x08);
    if (r > 0) s.volumeColumn(row + r, kFxColumn, kFineVolumeDown2);
  }
  s.release(row + 24, kFxColumn);
}

void crash(Score& s, int row, int vol) {
  s.hit(row, kCrashColumn, nt(4, C), kCrash, vol);
}

void kick(Score& s, int row, int vol) {
  s.hit(row, kKickColumn, nt(4, C), kKick, vol);
}

// The kick played higher is a tom.
void tom(Score& s, int row, std::uint8_t note, int vol) {
  s.hit(row, kKickColumn, note, kKick, vol);
}

void snare(Score& s, int row, int vol) {
  s.hit(row, kSnareColumn, nt(4, C), kSnare, vol);
}

void hat(Score& s, int row, int vol, bool open, std::uint8_t pan) {
  s.hit(row, kHatColumn, nt(4, C), open ? kOpenHat : kClosedHat, vol);
  s.effect(row, kHatColumn, kSetPanning, pan);
}

// A snare roll from sixteenths to thirty-seconds, swelling from `from` to `to`.
void snareRoll(Score& s, int row, int rows, int from, int to) {
  for (int r = 0; r < rows; ++r) {
    if (r < rows / 2 && r % 2 != 0) continue;
    snare(s, row + r, from + (to - from) * r / rows);
  }
}

// Bass riff of the groove: syncopated sixteenths with a slide up to the octave.
void grooveBass(Score& s, int b, int vol) {
  const std::uint8_t root = kHarmony[b].bass;
  struct Step {
    int row, interval, length;
    bool slide;
  };
  const Step steps[] = {{0, 0, 4, false},   {6, 0, 2, false},  {10, 12, 2, false},
                        {14, 0, 2, false},  {16, 0, 4, false}, {22, 7, 2, false},
                        {26, 10, 2, false}, {28, 12, 3, true}};
  for (const Step& st : steps) {
    const int row = bar(b, st.row);
    const auto note = static_cast<std::uint8_t>(root + st.interval);
    s.release(row + st.length, kBassColumn);
    if (st.slide) {
      s.glide(row, kBassColumn, note, 0x30);
    } else {
      s.hit(row, kBassColumn, note, kBass, st.row == 0 ? vol + 6 : vol);
    }
  }
}

// Climax bass: sixteenths jumping between the root and its octave.
void octaveBass(Score& s, int b, int vol) {
  const std::uint8_t root = kHarmony[b].bass;
  for (int r = 0; r < kRowsPerBar; r += 2) {
    const auto note = static_cast<std::uint8_t>(root + ((r / 2) % 2 == 0 ? 0 : 12));
    s.hit(bar(b, r), kBassColumn, note, kBass, r % 8 == 0 ? vol + 6 : vol);
    s.release(bar(b, r + 1), kBassColumn);
  }
}

// Arpeggio pluck: the chord rippled by the arpeggio effect under a moving line.
void arpeggioBar(Score& s, int b, int step, int vol, std::initializer_list<int> shape) {
  const Chord& c = kHarmony[b];
  const int count = static_cast<int>(shape.size());
  int i = 0;
  for (int r = 0; r < kRowsPerBar; r += step, ++i) {
    const int offset = shape.begin()[i % count];
    s.hit(bar(b, r), kArpColumn, static_cast<std::uint8_t>(c.arpRoot + offset), kPluck,
          r % 8 == 0 ? vol + 4 : vol);
    s.effect(bar(b, r), kArpColumn, kArpeggio, c.arpeggio);
  }
}

void grooveDrums(Score& s, int b) {
  kick(s, bar(b, 0), 60);
  kick(s, bar(b, 12), 50);
  kick(s, bar(b, 20), 52);
  if (b % 2 == 1) kick(s, bar(b, 26), 40);
  snare(s, bar(b, 8), 60);
  snare(s, bar(b, 24), 60);
  snare(s, bar(b, 14), 16);
  for (int r = 0; r < kRowsPerBar; r += 2) {
    const bool open = r == 28;
    const int vol = open ? 40 : (r % 8 == 4 ? 46 : (r % 4 == 0 ? 38 : 26));
    hat(s, bar(b, r), vol, open, r % 4 == 0 ? 0x70 : 0x90);
  }
}

void climaxDrums(Score& s, int b) {
  for (int r = 0; r < kRowsPerBar; r += 8) kick(s, bar(b, r), r == 0 ? 62 : 56);
  if (b % 2 == 1) kick(s, bar(b, 30), 36);
  snare(s, bar(b, 8), 62);
  snare(s, bar(b, 24), 62);
  snare(s, bar(b, 30), 18);
  for (int r = 0; r < kRowsPerBar; r += 2) {
    const bool open = r % 8 == 4;
    const int vol = open ? 42 : (r % 4 == 0 ? 38 : 28);
    hat(s, bar(b, r), vol, open, r % 4 == 0 ? 0x68 : 0x98);
  }
}

// 0-15 s: the star grows out of the dark. Drone, pads swelling in, a bell with its echo;
// a heartbeat kick and hats gather, and a riser and snare roll lead into the groove.
void intro(Score& s) {
  const std::uint8_t drone[6] = {nt(2, D), nt(2, D), nt(1, Bb), nt(1, Bb), nt(1, G), nt(1, A)};
  for (int b = 0; b < 6; ++b) {
    if (b == 0 || drone[b] != drone[b - 1]) s.hit(bar(b), kBassColumn, drone[b], kBass, 22 + b * 3);
  }
  padChords(s, 0, 5, kPad, 8, 0x0A, false);
  // Slow swell: A10 (+4) every 32 rows; the pad envelope's attack adds its own rise.
  for (int v = 0; v < 3; ++v) {
    for (int r = 16; r < bar(5); r += 32) {
      if (s.cell(r, kPadColumn + v)->effect == 0) {
        s.effect(r, kPadColumn + v, kVolumeSlide, 0x10);
      }
    }
  }
  const struct {
    int row;
    std::uint8_t note;
  } bells[] = {{bar(0, 0), nt(5, D)},  {bar(0, 12), nt(4, A)}, {bar(0, 24), nt(5, E)},
               {bar(1, 0), nt(5, F)},  {bar(1, 12), nt(5, E)}, {bar(1, 20), nt(5, D)},
               {bar(1, 28), nt(4, A)}, {bar(2, 0), nt(5, D)},  {bar(2, 8), nt(5, F)},
               {bar(2, 16), nt(5, A)}, {bar(3, 0), nt(5, G)},  {bar(3, 16), nt(5, F)},
               {bar(3, 24), nt(5, D)}, {bar(4, 0), nt(4, Bb)}, {bar(4, 8), nt(5, D)},
               {bar(4, 16), nt(5, F)}, {bar(4, 24), nt(5, A)}, {bar(5, 0), nt(5, E)},
               {bar(5, 8), nt(5, Cs)}, {bar(5, 16), nt(4, A)}, {bar(5, 24), nt(5, E)}};
  for (const auto& b : bells) bellNote(s, b.row, b.note, 40);

  for (int b = 2; b < 4; ++b) {
    kick(s, bar(b, 0), 40);
    kick(s, bar(b, 16), 34);
    for (int r = 4; r < kRowsPerBar; r += 8) hat(s, bar(b, r), 18 + b * 3, false, 0x90);
  }
  for (int r = 0; r < kRowsPerBar; r += 8) kick(s, bar(4, r), 46);
  for (int r = 0; r < kRowsPerBar; r += 4) hat(s, bar(4, r), r % 8 == 4 ? 34 : 24, false, 0x80);
  for (int r = 0; r < kRowsPerBar; r += 8) kick(s, bar(5, r), 50);
  kick(s, bar(5, 28), 40);
  kick(s, bar(5, 30), 44);
  for (int r = 0; r < kRowsPerBar; r += 2)
    hat(s, bar(5, r), 22 + r / 2, false, r % 4 ? 0xA0 : 0x60);
  snareRoll(s, bar(5, 16), 16, 12, 40);
  riser(s, bar(4), 64, 0x02, 4, 24);
}

// 15-40 s: the ray-traced spheres. The full groove; arpeggios join at 20 s, the lead with its
// echo at 25 s; a fill and a riser lead out.
void groove(Score& s) {
  crash(s, bar(6), 54);
  sweepDown(s, bar(6));
  s.release(bar(6), kLeadColumn);
  s.release(bar(6), kEchoColumn);
  padChords(s, 6, 15, kPad, 32, 0x0C, false);
  for (int b = 6; b < 16; ++b) {
    if (b < 15) grooveDrums(s, b);
    grooveBass(s, b, 36);
    if (b >= 8) arpeggioBar(s, b, 4, 20, {0, 0, 12, 0, 7, 0, 12, 7});
  }
  // Fill in the last bar: kick, snare run and three toms falling into the breakdown.
  kick(s, bar(15, 0), 60);
  kick(s, bar(15, 12), 50);
  snare(s, bar(15, 8), 48);
  snareRoll(s, bar(15, 16), 8, 30, 44);
  tom(s, bar(15, 24), nt(4, A), 46);
  tom(s, bar(15, 27), nt(4, F), 48);
  tom(s, bar(15, 30), nt(4, D), 50);
  for (int r = 0; r < 16; r += 2) hat(s, bar(15, r), r % 4 == 0 ? 38 : 26, false, 0x80);
  crash(s, bar(10), 40);
  riser(s, bar(15), 32, 0x04, 8, 28);

  const int lead = bar(10);
  playLine(s, lead, kLeadColumn, kLead, 40,
           {{0, nt(4, A), 6},
            {6, nt(5, C), 2},
            {8, nt(5, D), 10},
            {18, nt(5, F), 2},
            {20, nt(5, E), 6},
            {26, nt(5, D), 2},
            {28, nt(5, C), 4},
            {32, nt(5, D), 14, false, true},
            {46, nt(4, A), 2},
            {48, nt(4, Bb), 4},
            {52, nt(5, C), 4},
            {56, nt(5, D), 2},
            {58, nt(5, F), 6, true},
            {64, nt(5, G), 6},
            {70, nt(5, F), 2},
            {72, nt(5, D), 8},
            {80, nt(4, Bb), 4},
            {84, nt(5, D), 4},
            {88, nt(5, F), 4},
            {92, nt(5, G), 4},
            {96, nt(5, A), 14, false, true},
            {110, nt(5, G), 2},
            {112, nt(5, E), 4},
            {116, nt(5, Cs), 4},
            {120, nt(5, E), 4},
            {124, nt(4, A), 4},
            {128, nt(5, F), 6},
            {134, nt(5, G), 2},
            {136, nt(5, A), 10},
            {146, nt(6, C), 6, true},
            {152, nt(5, Bb), 8},
            {160, nt(5, A), 8, false, true},
            {168, nt(5, G), 8},
            {176, nt(5, E), 8},
            {184, nt(5, C), 8}},
           0x20, 0x53);
  echoLead(s, lead, bar(16), 0.45);
}

// 40-55 s: the blobs. Drums drop out; the pads glide slowly and pulse, the bass slides and
// wobbles, a bell answers itself, and a gliding lead rises back toward the climax.
void breakdown(Score& s) {
  crash(s, bar(16), 40);
  padChords(s, 16, 21, kPad, 30, 0x05, false);
  for (int r = bar(18); r < bar(20); ++r) {
    if (s.cell(r, kPadColumn + 2)->effect == 0) s.effect(r, kPadColumn + 2, kTremolo, 0x63);
  }
  for (int b = 16; b < 20; ++b) {
    if (b == 16) {
      s.hit(bar(b), kBassColumn, kHarmony[b].bass, kBass, 32);
    } else {
      s.glide(bar(b), kBassColumn, kHarmony[b].bass, 0x08);
    }
    for (int r = 12; r < kRowsPerBar; ++r) s.effect(bar(b, r), kBassColumn, kVibrato, 0x42);
    for (int r = 2; r < kRowsPerBar; r += 4) hat(s, bar(b, r), 20, false, r % 8 == 2 ? 0x40 : 0xC0);
  }
  for (int b = 20; b < 22; ++b) grooveBass(s, b, 32);

  const struct {
    int row;
    std::uint8_t note;
  } bells[] = {{bar(16, 0), nt(6, C)},  {bar(16, 8), nt(5, A)},  {bar(16, 16), nt(5, E)},
               {bar(16, 24), nt(5, F)}, {bar(17, 0), nt(5, G)},  {bar(17, 8), nt(5, E)},
               {bar(17, 16), nt(5, D)}, {bar(17, 24), nt(5, C)}, {bar(18, 0), nt(5, A)},
               {bar(18, 12), nt(5, F)}, {bar(18, 24), nt(5, C)}, {bar(19, 0), nt(6, D)},
               {bar(19, 12), nt(5, A)}, {bar(19, 24), nt(5, F)}};
  for (const auto& b : bells) bellNote(s, b.row, b.note, 38);

  // Wind: low noise drifting across the stereo field.
  s.hit(bar(16), kFxColumn, nt(2, C), kRiser, 14);
  for (int r = bar(16) + 1; r < bar(20); ++r) {
    s.effect(r, kFxColumn, kPanningSlide, (r / 32) % 2 == 0 ? 0x10 : 0x01);
  }
  riser(s, bar(20), 64, 0x02, 6, 32);

  playLine(s, bar(18), kLeadColumn, kLead, 34,
           {{0, nt(5, F), 16},
            {16, nt(5, E), 16, true},
            {32, nt(5, D), 16, true},
            {48, nt(5, F), 16, true},
            {64, nt(5, D), 24, true, true},
            {88, nt(5, C), 8, true},
            {96, nt(5, Ds), 16, true},
            {112, nt(5, Fs), 16, true}},
           0x08, 0x44);

  kick(s, bar(20, 0), 44);
  kick(s, bar(20, 16), 40);
  for (int r = 0; r < kRowsPerBar; r += 4) hat(s, bar(20, r), r % 8 == 4 ? 32 : 22, false, 0x80);
  for (int r = 0; r < kRowsPerBar; r += 8) kick(s, bar(21, r), 52);
  for (int r = 0; r < kRowsPerBar; r += 2)
    hat(s, bar(21, r), 24 + r / 2, false, r % 4 ? 0xA0 : 0x60);
  snareRoll(s, bar(21), 32, 12, 50);
  // A retriggered crescendo on the last beat.
  for (int r = bar(21, 24); r < bar(22); ++r) s.effect(r, kSnareColumn, kRetrig, 0xA2);
}

// 55-80 s: the greetings and the fountain. Up a whole tone: four-on-the-floor, gated pads,
// octave bass, sixteenth arpeggios and the lead at its highest; a turnaround leads back.
void climax(Score& s) {
  for (int b = 22; b < 32; b += 4) crash(s, bar(b), 56);
  for (int b = 24; b < 32; b += 4) crash(s, bar(b), 36);
  sweepDown(s, bar(22));
  padChords(s, 22, 31, kGatePad, 32, 0, true);
  for (int b = 22; b < 32; ++b) {
    if (b < 31) climaxDrums(s, b);
    octaveBass(s, b, 36);
    arpeggioBar(s, b, 2, 18, {0, 12, 7, 12, 0, 12, 19, 12});
  }
  kick(s, bar(31, 0), 62);
  kick(s, bar(31, 8), 56);
  snare(s, bar(31, 8), 50);
  for (int r = 0; r < 16; r += 2) hat(s, bar(31, r), r % 4 == 0 ? 40 : 28, false, 0x80);
  snareRoll(s, bar(31, 16), 16, 26, 50);
  tom(s, bar(31, 16), nt(4, A), 46);
  tom(s, bar(31, 20), nt(4, G), 46);
  tom(s, bar(31, 24), nt(4, E), 48);
  tom(s, bar(31, 28), nt(4, C), 50);
  riser(s, bar(31), 32, 0x04, 8, 28);

  for (int start : {bar(22), bar(26)}) {
    const bool second = start == bar(26);
    playLine(s, start, kLeadColumn, kLead, 42,
             {{0, nt(5, E), 4},
              {4, nt(5, G), 4},
              {8, nt(5, B), 12, false, true},
              {20, nt(5, A), 4},
              {24, nt(5, G), 4},
              {28, nt(5, Fs), 4},
              {32, nt(5, G), 4},
              {36, nt(5, E), 4},
              {40, nt(4, B), 8},
              {48, nt(5, C), 4},
              {52, nt(5, E), 4},
              {56, nt(5, G), 8, true},
              {64, nt(5, A), 6},
              {70, nt(6, C), 2},
              {72, nt(5, B), 8},
              {80, nt(5, A), 4},
              {84, nt(5, E), 4},
              {88, nt(6, C), 8, true},
              {96, nt(5, B), 16, false, true},
              {112, nt(5, A), 4},
              {116, nt(5, Fs), 4},
              {120, nt(5, Ds), 4},
              {124, second ? nt(5, B) : nt(5, Fs), 4}},
             0x28, 0x64);
  }
  playLine(s, bar(30), kLeadColumn, kLead, 44,
           {{0, nt(6, E), 8, true},
            {8, nt(6, D), 4},
            {12, nt(6, C), 4},
            {16, nt(5, B), 8},
            {24, nt(5, G), 8},
            {32, nt(5, A), 12, false, true},
            {44, nt(5, G), 4},
            {48, nt(5, E), 4},
            {52, nt(5, Cs), 4},
            {56, nt(5, E), 4},
            {60, nt(4, A), 3}},
           0x28, 0x64);
  echoLead(s, bar(22), bar(32), 0.45);
  s.release(bar(31, 31), kEchoColumn);
}

}  // namespace

xmwriter::Module composeSong() {
  xmwriter::Module m;
  m.name = "zyl-mirvash2";
  m.channels = kChannelCount;
  m.tempo = kSpeed;
  m.bpm = kBpm;
  m.linearFrequencies = true;
  m.restartPosition = kRestartOrder;
  for (int p = 0; p < kPatternCount; ++p) {
    m.addPattern(kRowsPerPattern);
    m.orders.push_back(static_cast<std::uint8_t>(p));
  }
  m.instruments = demoInstruments();
  Score s(m);
  intro(s);
  groove(s);
  breakdown(s);
  climax(s);
  // Every pattern's last row runs four frames a tick longer, the next row restores the tempo:
  // 63 x 3445 + 3465 frames make each pattern exactly five seconds.
  for (int p = 0; p < kPatternCount; ++p) {
    s.effect(p * kRowsPerPattern, kTempoColumn, kSetTempo, kBpm);
    s.effect(p * kRowsPerPattern + kRowsPerPattern - 1, kTempoColumn, kSetTempo, kStretchBpm);
  }
  return m;
}

std::vector<std::uint8_t> songBytes() {
  return xmwriter::write(composeSong());
}

}  // namespace quarvel::songgen
