// Sequencer: every effect and volume-column command on tick 0 and a later tick, row flow, tables.
#include <array>
#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include <gtest/gtest.h>

#include "music/channel.h"
#include "music/engine_state.h"
#include "music/playback.h"
#include "music/sequencer.h"
#include "music_test_support.h"

namespace quarvel::music {
namespace {

namespace xw = xmwriter;

// One channel, before row 5 of order 1 (of 4) plays: the cell under test, one instrument
// (fadeout 256, volume envelope (0,64) (10,0) (20,32), off unless a case sets envType) with
// one 1024-value sample without a loop (volume 48, panning 100), and the state of kRigState.
struct Rig {
  std::vector<std::int16_t> values = std::vector<std::int16_t>(1024 + kSampleGuardValues);
  Sample sample{values.data(), 1024, 0, 1024, 48, 0, 100, 16, kLoopNone, 0};
  Instrument instrument{};
  NoteCell cells[8] = {};
  Pattern pattern{8, cells};
  Song song{};

  explicit Rig(const NoteCell& cell) {
    for (Sample*& s : instrument.samples) s = &kEmptySample;
    instrument.samples[0] = &sample;
    instrument.numSamples = 1;
    instrument.volumeEnvelope[1] = {10, 0};
    instrument.volumeEnvelope[2] = {20, 32};
    instrument.volumePoints = 3;
    instrument.fadeout = 256;
    cells[5] = cell;
    song.patterns = &pattern;
    song.patternSlots = 1;
    song.instruments = &instrument;
    song.numInstruments = song.numChannels = 1;
    song.songLength = 4;
    EngineState& state = engineState();
    state.voices[0] = Voice{};
    state.voices[32] = Voice{};
    state.voices[32].index = 32;
    state.channels[0] = Channel{};
    state.channels[0].voice = &state.voices[0];
  }
};

// Note 48 on the linear table, volume 32, panning 128, envelopes at rest, vibrato speed 8 and
// depth 15, tremolo speed 4 and depth 8, speed 6, 125 BPM.
constexpr const char* kRigState =
    "note=48 realNote=48 period=4608 target=4608 volume=32 panning=128 env=64 panEnv=32 "
    "fade=65536 vibSpeed=8 vibDepth=15 tremSpeed=4 tremDepth=8 songFlags=1 speed=6 bpm=125 "
    "tickFrames=882 gvol=64 order=1 row=5 nextRow=-1 nextOrder=-1 envY0=64";

using Ref =
    std::variant<std::uint8_t*, std::int8_t*, std::uint16_t*, std::int32_t*, std::uint32_t*>;

// Every state field a case may set or expect, by name.
std::vector<std::pair<std::string, Ref>> fields(Rig& r) {
  Channel& c = engineState().channels[0];
  Song& s = r.song;
  // clang-format off
  return {{"note", &c.note}, {"inst", &c.instrument}, {"realNote", &c.realNote},
    {"period", &c.period}, {"target", &c.targetPeriod}, {"pDelta", &c.periodDelta},
    {"volume", &c.volume}, {"vDelta", &c.volumeDelta}, {"panning", &c.panning},
    {"flags", &c.flags}, {"keyOff", &c.keyOff}, {"fade", &c.fadeVolume},
    {"env", &c.volumeEnvelope.value}, {"envTick", &c.volumeEnvelope.tick},
    {"envIndex", &c.volumeEnvelope.pointIndex}, {"envStep", &c.volumeEnvelope.step},
    {"envDone", &c.volumeEnvelope.finished}, {"panEnv", &c.panningEnvelope.value},
    {"lastEffect", &c.lastEffect}, {"offsetMem", &c.sampleOffsetMemory},
    {"upMem", &c.portaUpMemory}, {"downMem", &c.portaDownMemory},
    {"fineUpMem", &c.finePortaUpMemory}, {"fineDownMem", &c.finePortaDownMemory},
    {"xUpMem", &c.extraFinePortaUpMemory}, {"xDownMem", &c.extraFinePortaDownMemory},
    {"slideMem", &c.volumeSlideMemory}, {"fineSlideMem", &c.fineVolumeSlideMemory},
    {"panSlideMem", &c.panningSlideMemory}, {"retrigType", &c.retrigVolumeType},
    {"retrigInterval", &c.retrigInterval}, {"portaTarget", &c.portaTarget},
    {"portaSpeed", &c.portaSpeed}, {"vibPos", &c.vibratoPosition}, {"vibSpeed", &c.vibratoSpeed},
    {"vibDepth", &c.vibratoDepth}, {"tremPos", &c.tremoloPosition},
    {"tremSpeed", &c.tremoloSpeed}, {"tremDepth", &c.tremoloDepth},
    {"tremorCount", &c.tremorCounter}, {"tremorOn", &c.tremorOn}, {"tremorOff", &c.tremorOff},
    {"loopRow", &c.patternLoopRow}, {"loopCount", &c.patternLoopCount}, {"wave", &c.waveControl},
    {"voice", &c.voice->index}, {"vStart", &c.voice->startOffset}, {"vPos", &c.voice->position},
    {"speed", &s.speed}, {"bpm", &s.bpm}, {"tickFrames", &s.samplesPerTick},
    {"gvol", &s.globalVolume}, {"gslideMem", &s.globalVolumeSlideMemory},
    {"nextRow", &s.nextRow}, {"nextOrder", &s.nextOrder}, {"delay", &s.patternDelayTicks},
    {"order", &s.order}, {"row", &s.row}, {"songFlags", &s.flags},
    {"finetune", &r.sample.finetune}, {"relNote", &r.sample.relativeNote},
    {"envType", &r.instrument.volumeType}, {"envY0", &r.instrument.volumeEnvelope[0].y}};
  // clang-format on
}

using State = std::map<std::string, std::int64_t>;

State snapshot(Rig& r) {
  State out;
  for (const auto& [name, ref] : fields(r)) {
    out[name] = std::visit([](auto* p) { return static_cast<std::int64_t>(*p); }, ref);
  }
  return out;
}

// Applies "name=value ..." to `state`: decimal or 0x hex values; flags are letters
// F(requency) V(olume) P(anning) T(rigger) R(estart).
void merge(State& state, const std::string& text, const std::string& where) {
  std::istringstream in(text);
  std::string item;
  while (in >> item) {
    const std::string name = item.substr(0, item.find('='));
    const std::string value = item.substr(item.find('=') + 1);
    if (state.count(name) == 0) ADD_FAILURE() << where << ": no field " << name;
    state[name] = name == "flags" ? 0 : std::stoll(value, nullptr, 0);
    for (char f : name == "flags" ? value : "") state[name] |= 1 << std::string("FVPT R").find(f);
  }
}

void set(Rig& r, const std::string& text, const std::string& where) {
  State wanted = snapshot(r);
  merge(wanted, text, where);
  for (const auto& [name, ref] : fields(r)) {
    const std::int64_t v = wanted[name];
    std::visit([v](auto* p) { *p = static_cast<std::remove_pointer_t<decltype(p)>>(v); }, ref);
  }
}

// What a case does not name must keep its value.
void expectState(Rig& r, const State& expected, const std::string& where) {
  const State actual = snapshot(r);
  for (const auto& [name, value] : expected) EXPECT_EQ(actual.at(name), value) << where << name;
}

struct EffectCase {
  const char* name;
  std::uint8_t effect, parameter;
  const char* start;  // state before tick 0, over kRigState
  const char* row;    // what tick 0 changes (flags default to FV)
  const char* later;  // what tick `tick` then changes (flags default to F)
  int tick = 1;
  struct {
    std::uint8_t note = 0, instrument = 0, volume = 0;
  } cell = {};  // the rest of the cell
};

// Waveform values: sine at position 8 is 181 (256 |sin(pi/4)|), ramp 64 at 8 and 255 - 192
// at -8, square 255. Vibrato depth 15: (15 w >> 5) & ~3 = 84, 28, 116. Tremolo depth 8:
// 8 w >> 6 = 22, 31. Envelope L: steps -64 x 65536 / 10 and 32 x 65536 / 10. What the
// soundtrack plays all the time (arpeggio, porta up, sine vibrato and tremolo, panning) is pinned
// by the whole-demo run and has no row of its own. A parameter of 1 is stored as the command's
// memory; 0 uses it (rows "from memory").
// clang-format off
const EffectCase kEffectCases[] = {
  {"0 arpeggio, Amiga: y", 0, 0x37, "songFlags=0", "", "pDelta=-570", 2},
  {"1 from memory stops at 56", 1, 0, "upMem=16 period=100", "", "period=56"},
  {"2 from memory, no limit", 2, 0, "period=65000 downMem=16", "", "period=65064"},
  {"3 with note and instrument: neither taken, no trigger", 3, 0x10, "",
   "realNote=50 target=4480 portaTarget=4480 portaSpeed=16 volume=48 panning=100 flags=FVP",
   "period=4544", 1, {51, 2, 0}},
  {"3 stops at the target from below", 3, 0, "period=4478 target=4480 portaSpeed=1",
   "portaTarget=4480", "period=4480"},
  {"3 stops at it from above", 3, 0x10, "period=4500 target=4480", "portaTarget=4480 portaSpeed=16",
   "period=4480"},
  {"4 ramp", 4, 0, "vibPos=8 wave=1", "pDelta=-28", "pDelta=-28 vibPos=16"},
  {"4 ramp below zero", 4, 0, "vibPos=-8 wave=1", "pDelta=28", "pDelta=28 vibPos=0"},
  {"4 square at position 0", 4, 0, "wave=2", "pDelta=-116", "pDelta=-116 vibPos=8"},
  {"4 waveform 3 is square", 4, 0x50, "vibPos=-8 wave=3", "vibSpeed=5 pDelta=116",
   "pDelta=116 vibPos=-3"},
  {"4 position 31 stays", 4, 0, "vibPos=23 wave=2", "pDelta=-116", "pDelta=-116 vibPos=31"},
  {"5 slides pitch and volume", 5, 2, "target=4480 portaSpeed=16", "portaTarget=4480 slideMem=2",
   "period=4544 volume=30 flags=FV"},
  {"5 with a note keeps the old one", 5, 0, "slideMem=0x20 portaSpeed=16",
   "realNote=50 target=4480 portaTarget=4480 volume=48 panning=100 flags=FVP",
   "period=4544 volume=50 flags=FV", 1, {51, 1, 0}},
  {"6 vibrato and volume slide", 6, 1, "vibPos=8", "slideMem=1 pDelta=-84",
   "pDelta=-84 vibPos=16 volume=31 flags=FV"},
  {"7 cut at 64", 7, 0, "tremPos=8 volume=60", "", "vDelta=4 tremPos=12 flags=FV"},
  {"7 cut at 0", 7, 0, "tremPos=-8 volume=10", "", "vDelta=-10 tremPos=-4 flags=FV"},
  {"7 square at position 0", 7, 0, "wave=0x20", "", "vDelta=31 tremPos=4 flags=FV"},
  {"7 waveform 3 is the sine", 7, 0, "tremPos=8 wave=0x30", "", "vDelta=22 tremPos=12 flags=FV"},
  {"7 offset stays after the last tremolo row", 0, 0, "lastEffect=7 vDelta=10", "volume=42", ""},
  {"7 offset not kept while tremolo goes on", 7, 0, "lastEffect=7 vDelta=10", "",
   "tremPos=4 flags=FV"},
  {"9 start offset", 9, 1, "", "offsetMem=1 vStart=256", ""},
  {"9 at the loop end restarts", 9, 4, "", "offsetMem=4 flags=FVR", ""},
  {"9 with a note starts there", 9, 3, "", "offsetMem=3 vPos=768 flags=FVT", "", 1, {49, 0, 0}},
  {"9 with a note at the loop end", 9, 4, "", "offsetMem=4 flags=FVR", "", 1, {49, 0, 0}},
  {"A slides down by y", 10, 3, "", "slideMem=3", "volume=29 flags=FV"},
  {"A from memory stops at 64", 10, 0, "slideMem=0x20 volume=63", "", "volume=64 flags=FV"},
  {"A stops at 0", 10, 5, "volume=3", "slideMem=5", "volume=0 flags=FV"},
  {"A down from above 64", 10, 1, "volume=80", "slideMem=1", "volume=79 flags=FV"},
  {"B order jump", 11, 3, "", "nextOrder=3 nextRow=0", ""},
  {"B beyond the song goes to order 0", 11, 4, "", "nextOrder=0 nextRow=0", ""},
  {"C volume without a limit", 12, 0x50, "", "volume=80", ""},
  {"D pattern break", 13, 0x32, "", "nextRow=32 nextOrder=2", ""},
  {"D63 on the last order", 13, 0x63, "order=3", "nextRow=63 nextOrder=0", ""},
  {"D above 63 is row 0", 13, 0x64, "", "nextRow=0 nextOrder=2", ""},
  {"E1 fine porta up", 14, 0x11, "", "fineUpMem=1 period=4604", ""},
  {"E2 fine porta down", 14, 0x21, "", "fineDownMem=1 period=4612", ""},
  {"E4 vibrato waveform", 14, 0x42, "wave=0x10", "wave=0x12", ""},
  {"E5 finetune of the sample", 14, 0x5F, "", "finetune=15", ""},
  {"E60 marks the loop row", 14, 0x60, "", "loopRow=5", ""},
  {"E62 starts the count", 14, 0x62, "loopRow=2", "loopCount=2 nextRow=2", ""},
  {"E62 counts down", 14, 0x62, "loopRow=2 loopCount=2", "loopCount=1 nextRow=2", ""},
  {"E62 ends the loop", 14, 0x62, "loopRow=2 loopCount=1", "loopCount=0", ""},
  {"E7 tremolo waveform", 14, 0x71, "wave=0x02", "wave=0x12", ""},
  {"E8 panning", 14, 0x8C, "", "panning=192 flags=FVP", ""},
  {"E93 on tick 3", 14, 0x93, "", "", "flags=FVT", 3},
  {"E93 on tick 4", 14, 0x93, "", "", "", 4},
  {"E90", 14, 0x90, "", "", "", 3},
  {"EA fine volume up", 14, 0xA3, "", "fineSlideMem=3 volume=35", ""},
  {"EA from memory stops at 64", 14, 0xA0, "fineSlideMem=5 volume=62", "volume=64", ""},
  {"EB fine volume down", 14, 0xB3, "", "fineSlideMem=3 volume=29", ""},
  {"EB from memory stops at 0", 14, 0xB0, "fineSlideMem=5 volume=2", "volume=0", ""},
  {"EC2 on tick 1", 14, 0xC2, "", "", ""},
  {"EC2 on tick 2", 14, 0xC2, "", "", "volume=0 flags=FV", 2},
  {"ED2 holds the note", 14, 0xD2, "volume=20", "note=52 realNote=52 target=4352 flags=F", "", 1,
   {53, 1, 0x30}},
  {"ED2 plays it on tick 2", 14, 0xD2, "volume=20", "note=52 realNote=52 target=4352 flags=F",
   "period=4352 volume=32 panning=100 flags=FVPT", 2, {53, 1, 0x30}},
  {"EE2 delays the row", 14, 0xE2, "speed=3", "delay=6", ""},
  {"F1F speed 31", 15, 0x1F, "", "speed=31", ""},
  {"F20 is a tempo", 15, 0x20, "", "bpm=32 tickFrames=3445", ""},
  {"G global volume", 16, 0x20, "", "gvol=32", ""},
  {"G above 64 is 64", 16, 0x41, "gvol=10", "gvol=64", ""},
  {"H slides up, no flag", 17, 0x21, "gvol=40", "gslideMem=0x21", "gvol=42"},
  {"H from memory slides down", 17, 0, "gvol=40 gslideMem=3", "", "gvol=37"},
  {"H down by 15", 17, 0x0F, "gvol=40", "gslideMem=15", "gvol=25"},
  {"H stops at 64", 17, 0x10, "", "gslideMem=16", ""},
  {"K without envelope", 20, 0, "", "keyOff=1 env=0 fade=65280", "fade=65024 flags=FV"},
  {"K fade-out stops at 0", 20, 9, "fade=300", "keyOff=1 env=0 fade=44", "fade=0 flags=FV"},
  {"key-off note", 0, 0, "", "keyOff=1 env=0 fade=65280", "fade=65024 flags=FV", 1, {255, 0, 0}},
  {"L05", 21, 5, "envType=1", "envTick=5 envIndex=1 envStep=-419430 env=32",
   "envTick=6 env=25 flags=FV"},
  {"L10 on a point", 21, 0x0A, "envType=1", "envTick=10 envIndex=1 envStep=-419430 env=0",
   "envTick=11 envIndex=2 envStep=209715 flags=FV"},
  {"L20", 21, 0x14, "envType=1", "envTick=20 envIndex=2 envStep=209715 env=31",
   "env=32 envDone=1 flags=FV"},
  {"L30 past it", 21, 0x1E, "envType=1", "envTick=1 envIndex=3 envStep=-419430 env=32 envDone=1",
   ""},
  {"L with the envelope off", 21, 5, "", "", ""},
  {"P from memory stops at 255", 25, 0, "panSlideMem=0x20 panning=254", "flags=FVP",
   "panning=255 flags=FP"},
  {"P down stops at 0", 25, 3, "panning=2", "panSlideMem=3 flags=FVP", "panning=0 flags=FP"},
  {"RC2 off its interval", 27, 0xC2, "", "retrigType=12 retrigInterval=2", ""},
  {"RC2 on its interval", 27, 0xC2, "", "retrigType=12 retrigInterval=2", "volume=40 flags=FVT", 2},
  {"R00 from memory", 27, 0, "retrigType=3 retrigInterval=1", "", "volume=28 flags=FVT"},
  {"R type 0", 27, 1, "", "retrigInterval=1", "flags=FT"},
  {"R type 5", 27, 0x51, "volume=10", "retrigType=5 retrigInterval=1", "volume=0 flags=FVT"},
  {"R type 6", 27, 0x61, "", "retrigType=6 retrigInterval=1", "volume=21 flags=FVT"},
  {"R type 7", 27, 0x71, "volume=33", "retrigType=7 retrigInterval=1", "volume=16 flags=FVT"},
  {"R type 8", 27, 0x81, "volume=80", "retrigType=8 retrigInterval=1", "volume=64 flags=FVT"},
  {"R type 9", 27, 0x91, "", "retrigType=9 retrigInterval=1", "volume=33 flags=FVT"},
  {"R type 13", 27, 0xD1, "", "retrigType=13 retrigInterval=1", "volume=48 flags=FVT"},
  {"R type 14", 27, 0xE1, "volume=33", "retrigType=14 retrigInterval=1", "volume=49 flags=FVT"},
  {"R type 15", 27, 0xF1, "volume=40", "retrigType=15 retrigInterval=1", "volume=64 flags=FVT"},
  {"T12 on the last on tick", 29, 0x12, "tremorCount=1", "tremorOn=2 tremorOff=3 tremorCount=2",
   "vDelta=-32 tremorCount=3 flags=FV"},
  {"T12 wraps after on + off", 29, 0x12, "tremorCount=4",
   "tremorOn=2 tremorOff=3 vDelta=-32 tremorCount=0", "tremorCount=1 flags=FV"},
  {"T00 from memory", 29, 0, "tremorOn=1 tremorOff=1 tremorCount=1", "vDelta=-32 tremorCount=0",
   "tremorCount=1 flags=FV"},
  {"X1 extra fine up", 33, 0x11, "", "xUpMem=1 period=4607", ""},
  {"X2 extra fine down", 33, 0x21, "", "xDownMem=1 period=4609", ""},
  {"unknown effect 18", 18, 0x55, "", "", ""},
  {"note and instrument start afresh", 0, 0,
   "keyOff=1 fade=100 env=9 vibPos=5 tremPos=5 tremorCount=3 wave=4 relNote=2 finetune=-3",
   "note=50 realNote=52 target=4353 period=4353 volume=48 panning=100 keyOff=0 fade=65536 env=64 tremPos=0 tremorCount=0 flags=FVPT",
   "", 1, {51, 1, 0}},
  {"note on the Amiga table", 0, 0, "songFlags=0 finetune=-3",
   "period=1714 target=1714 volume=48 panning=100 flags=FVPT", "", 1, {49, 1, 0}},
  {"instrument alone", 0, 0, "", "volume=48 panning=100 flags=FVP", "", 1, {0, 1, 0}},
  {"instrument beyond the song's", 0, 0, "", "inst=2 volume=0 panning=0 flags=FVPT", "", 1,
   {49, 3, 0}},
  {"volume 0xF1 with a note takes the pitch, no trigger", 0, 0, "",
   "note=50 realNote=50 target=4480 period=4480 portaTarget=4480 portaSpeed=16", "", 1,
   {51, 0, 0xF1}},
};

// The volume column alone (byte, start, tick 0, tick 1), as in kEffectCases.
const struct {
  std::uint8_t volume;
  const char *start, *row, *later;
} kVolumeColumnCases[] = {
  {0x0F, "", "", ""}, {0x10, "", "volume=0", ""}, {0x50, "", "volume=64", ""}, {0x51, "", "", ""},
  {0x60, "", "", "flags=FV"}, {0x6F, "", "volume=17", "volume=2 flags=FV"},
  {0x61, "volume=80", "volume=79", "volume=78 flags=FV"},
  {0x63, "volume=1", "volume=0", "flags=FV"}, {0x70, "", "", "flags=FV"},
  {0x7F, "", "volume=47", "volume=62 flags=FV"}, {0x71, "volume=80", "volume=64", "flags=FV"},
  {0x80, "", "", ""}, {0x8F, "", "volume=17", ""}, {0x81, "volume=80", "volume=79", ""},
  {0x83, "volume=2", "volume=0", ""}, {0x90, "", "", ""}, {0x9F, "", "volume=47", ""},
  {0x93, "volume=63", "volume=64", ""}, {0xA0, "", "vibSpeed=0", ""}, {0xAF, "", "vibSpeed=15", ""},
  {0xB0, "vibPos=8 vibDepth=3", "vibDepth=0", "vibPos=16"},
  {0xBF, "vibPos=8 vibDepth=3", "vibDepth=15", "pDelta=-84 vibPos=16"},
  {0xC0, "", "panning=0 flags=FVP", ""}, {0xCF, "", "panning=240 flags=FVP", ""},
  {0xD0, "", "flags=FVP", "flags=FP"}, {0xDF, "", "panning=113 flags=FVP", "panning=98 flags=FP"},
  {0xD3, "panning=2", "panning=-1 flags=FVP", "panning=-4 flags=FP"},
  {0xE0, "", "flags=FVP", "flags=FP"}, {0xEF, "", "panning=143 flags=FVP", "panning=158 flags=FP"},
  {0xE3, "panning=254", "panning=257 flags=FVP", "panning=260 flags=FP"},
  {0xF0, "target=4480 portaSpeed=8", "portaTarget=4480", "period=4576"},
  {0xFF, "target=4480", "portaSpeed=240 portaTarget=4480", "period=4480"},
};
// clang-format on

void runCase(const EffectCase& c) {
  const std::string name = c.name;
  Rig rig({c.cell.note, c.cell.instrument, c.cell.volume, c.effect, c.parameter});
  set(rig, std::string(kRigState) + " " + c.start, name);
  State expected = snapshot(rig);
  merge(expected, "pDelta=0 vDelta=0 flags=FV lastEffect=" + std::to_string(c.effect), name);
  merge(expected, c.row, name);
  processRow(&rig.song);
  expectState(rig, expected, name + ", tick 0: ");
  expected = snapshot(rig);
  merge(expected, std::string("pDelta=0 vDelta=0 flags=F ") + c.later, name);
  rig.song.tick = c.tick;
  processTickEffects(&rig.song);
  expectState(rig, expected, name + ", tick " + std::to_string(c.tick) + ": ");
}

TEST(Sequencer, EachCommandOnTickZeroAndALaterTick) {
  for (const EffectCase& c : kEffectCases) runCase(c);
  for (const auto& v : kVolumeColumnCases) {
    char name[24];
    std::snprintf(name, sizeof name, "volume column 0x%02X", v.volume);
    runCase({name, 0, 0, v.start, v.row, v.later, 1, {0, 0, v.volume}});
  }
}

struct FlowCase {
  const char* name;
  std::uint16_t tempo;
  std::vector<std::uint16_t> rows;  // per pattern
  std::vector<std::uint8_t> orders;
  std::vector<std::array<std::uint8_t, 5>> effects;  // pattern, row, channel, effect, parameter
  int ticks;
  const char* expected;  // order:row@tick for each row started
};

// clang-format off
const FlowCase kFlowCases[] = {
  {"EE2 makes the row 18 ticks long", 6, {4}, {0}, {{0, 0, 0, 14, 0xE2}}, 25,
   "0:0@0 0:1@18 0:2@24"},
  {"B05 with D10 in a later column, D32, D70, then the last order wraps", 1,
   {40, 40, 40, 40, 40, 40, 40}, {0, 1, 2, 3, 4, 5, 6},
   {{0, 0, 0, 11, 5}, {0, 0, 1, 13, 0x10}, {5, 10, 0, 13, 0x32}, {6, 32, 1, 13, 0x70}}, 4,
   "0:0@0 5:10@1 6:32@2 0:0@3"},
  {"B after D in the same row takes row 0", 1, {4, 4, 4, 4, 4, 4}, {0, 1, 2, 3, 4, 5},
   {{0, 0, 0, 13, 0x02}, {0, 0, 1, 11, 5}}, 2, "0:0@0 5:0@1"},
  {"a break past a short pattern's end plays nothing and moves on", 1, {4, 8, 2}, {0, 1, 2},
   {{0, 0, 0, 13, 0x20}}, 3, "0:0@0 1:20@1 2:0@2"},
  {"F00 plays a row per tick", 6, {8}, {0}, {{0, 0, 0, 15, 0}}, 3, "0:0@0 0:1@1 0:2@2"},
  {"F03 applies to its own row", 6, {8}, {0}, {{0, 0, 1, 15, 3}}, 10, "0:0@0 0:1@3 0:2@6 0:3@9"},
};
// clang-format on

TEST(Sequencer, RowAndOrderFlow) {
  for (const FlowCase& c : kFlowCases) {
    xw::Module m;
    m.channels = 2;
    m.tempo = c.tempo;
    m.orders = c.orders;
    for (std::uint16_t rows : c.rows) m.addPattern(rows);
    for (const auto& e : c.effects) m.patterns[e[0]].at(e[1], e[2], 2) = {0, 0, 0, e[3], e[4]};
    testing::SongPtr song = testing::loadModule(m);
    ASSERT_NE(song, nullptr) << c.name;
    preparePlayback(song.get());
    std::string played;
    for (int t = 0; t < c.ticks; ++t) {
      const bool rowStarts = song->tick == 0;
      song->tickOperation(song.get());
      if (rowStarts) {
        played += (played.empty() ? "" : " ") + std::to_string(song->order) + ":" +
                  std::to_string(song->row) + "@" + std::to_string(t);
      }
    }
    EXPECT_EQ(played, c.expected) << c.name;
  }
}

TEST(Sequencer, PeriodTables) {
  // Amiga values from truncate(13.375 x 2^((132 - k) / 12)): k = 0, 1 give 27392, 25854;
  // 47..49 give 1813, 1712, 1615; 95, 96 give 113, 107.
  struct {
    int note, finetune, amiga, linear;
  } cases[] = {{48, 0, 1712, 4608},   {60, 0, 856, 3840},     {48, 64, 1664, 4576},
               {48, -64, 1762, 4640}, {48, 3, 1710, 4607},    {48, -3, 1714, 4609},
               {0, -3, 27428, 7681},  {1, -128, 27392, 7680}, {95, 127, 108, 1537}};
  for (const auto& c : cases) {
    EXPECT_EQ(noteToAmigaPeriod(c.note, c.finetune), c.amiga) << c.note << " " << c.finetune;
    EXPECT_EQ(noteToLinearPeriod(c.note, c.finetune), c.linear) << c.note << " " << c.finetune;
  }
}

TEST(Sequencer, TickLengthFollowsBpm) {
  const std::pair<int, int> cases[] = {
      {33, 3340}, {255, 432}, {1, 110250}, {0, 882}, {1000000000, 1}};
  for (const auto& [bpm, frames] : cases) {
    Song song{};
    setBpm(&song, bpm);
    EXPECT_EQ(std::pair(song.samplesPerTick, song.bpm), std::pair(frames, bpm == 0 ? 125 : bpm));
  }
}

}  // namespace
}  // namespace quarvel::music
