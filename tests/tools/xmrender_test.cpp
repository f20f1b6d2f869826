// xmrender as a program: how long it renders, what --info tells, and the refusals.
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "run_tool.h"
#include "xmwriter/xm_writer.h"

namespace quarvel::xmwriter {
namespace {

using quarvel::testing::readFile;

// A scratch folder holding the module as in.xm; render() runs xmrender there.
struct Folder : quarvel::testing::ToolFolder {
  void save(const std::vector<std::uint8_t>& bytes) const {
    std::ofstream(dir / "in.xm", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
  }
  int render(const std::string& arguments, std::string* output = nullptr) const {
    return run(QUARVEL_XMRENDER " " + arguments, output);
  }
};

constexpr std::size_t kRow = 2646;  // frames of a row: 3 ticks of 882 at 125 BPM, 0.06 s

// Two channels at speed 3 and 125 BPM. Row 0 of pattern 0 plays a 100-value sample once, which
// ends within the row (C-4: 527 frames); `held` loops it instead.
Module song(std::vector<std::uint8_t> orders, const std::vector<std::uint16_t>& rows,
            bool held = false) {
  Module m;
  m.name = "pass test";
  m.channels = 2;
  m.tempo = 3;
  m.orders = std::move(orders);
  for (const std::uint16_t n : rows) m.addPattern(n);
  m.patterns[0].at(0, 0, 2) = {note(4, 0), 1, 0, 0, 0};
  Sample s;
  s.values.assign(100, 8000);
  s.sixteenBit = true;
  if (held) s.loop = Loop::kForward, s.loopLength = 100;
  m.instruments.push_back({});
  m.instruments[0].samples.push_back(s);
  return m;
}

// The left value of stereo frame `frame` of a 16-bit WAV file's data.
std::int16_t left(const std::string& wav, std::size_t frame) {
  const std::size_t at = 44 + frame * 4;
  return static_cast<std::int16_t>(static_cast<std::uint8_t>(wav[at]) |
                                   static_cast<std::uint8_t>(wav[at + 1]) << 8);
}

struct Effect {
  int pattern, row, channel;
  std::uint8_t effect, parameter;
};

Module with(Module m, const std::vector<Effect>& effects) {
  for (const Effect& e : effects) {
    m.patterns[e.pattern].at(e.row, e.channel, m.channels) = {0, 0, 0, e.effect, e.parameter};
  }
  return m;
}

TEST(XmRender, APassEndsWhereTheRowsAndTheirPatternLoopsRepeat) {
  struct Case {
    const char* name;
    Module module;
    const char* length;  // as --info tells it
    std::size_t onePass, twoPasses;
  };
  Module restartAt1 = song({0, 1}, {4, 2});
  restartAt1.restartPosition = 1;
  const std::vector<Case> cases = {
      {"the order list once, never a row again", song({0, 1}, {4, 2}), "0:00.360", 6 * kRow,
       12 * kRow},
      // 0-3, 0-1, 0-1 of order 2, then orders 1 and 2 again.
      {"B01 jumps back to the loop point", with(song({0, 1, 2}, {4, 2, 3}), {{2, 1, 1, 0xB, 0x01}}),
       "0:00.480", 8 * kRow, 12 * kRow},
      // Order 1 row 0 wraps to row 2 of order 0, played before.
      {"D02 breaks into an order already played",
       with(song({0, 1}, {4, 2}), {{1, 0, 1, 0xD, 0x02}}), "0:00.300", 5 * kRow, 8 * kRow},
      // 0 1 2 1 2 1 2 3; the loop row is 1 when the pass starts again, but E60 sets it first.
      {"E60 and E62 play rows 1 and 2 three times",
       with(song({0}, {4}), {{0, 1, 1, 0xE, 0x60}, {0, 2, 1, 0xE, 0x62}}), "0:00.480", 8 * kRow,
       16 * kRow},
      // Orders 0 (4 rows), 1 (4: B00 and E61 go to order 0 row 1), 0 from row 1 (3),
      // 1 (4: the loop is done, B00 alone).
      {"B00 and E61 in one row",
       with(song({0, 1}, {4, 4}),
            {{1, 1, 1, 0xE, 0x60}, {1, 3, 0, 0xB, 0x00}, {1, 3, 1, 0xE, 0x61}}),
       "0:00.900", 15 * kRow, 30 * kRow},
      // 0-2 of order 0 (D00 and E61 go to order 1 row 1), 1-3 of 1, 0-2 of 0 (the count left
      // at 1 ends the loop: D00 alone), 0-3 of 1.
      {"D00 and E61 in one row",
       with(song({0, 1}, {4, 4}),
            {{0, 1, 1, 0xE, 0x60}, {0, 2, 0, 0xD, 0x00}, {0, 2, 1, 0xE, 0x61}}),
       "0:00.780", 13 * kRow, 26 * kRow},
      // As E60 and E62 above with row 2 six ticks long each time: 5 x 3 + 3 x 6 = 33 ticks.
      {"EE1 on the looping row",
       with(song({0}, {4}), {{0, 1, 1, 0xE, 0x60}, {0, 2, 0, 0xE, 0xE1}, {0, 2, 1, 0xE, 0x62}}),
       "0:00.660", 11 * kRow, 22 * kRow},
      {"the restart position", restartAt1, "0:00.360", 6 * kRow, 8 * kRow},
      // E61 first loops to row 0 (0 1 2 0 1 2 3, then order 1 where E60 marks row 1), then to
      // row 1: from order 0 row 1 on, 8 rows repeat, one pass ending after 0 1 2 of order 0.
      {"E61 reads the loop row an earlier E60 set",
       with(song({0, 1}, {4, 2}), {{0, 2, 1, 0xE, 0x61}, {1, 1, 1, 0xE, 0x60}}), "0:00.720",
       12 * kRow, 20 * kRow},
  };
  const Folder folder;
  for (const Case& c : cases) {
    folder.save(write(c.module));
    std::string info;
    ASSERT_EQ(folder.render("--info in.xm", &info), 0) << c.name;
    EXPECT_NE(info.find(std::string("length:       ") + c.length + " (one pass)\n"),
              std::string::npos)
        << c.name << "\n"
        << info;
    ASSERT_EQ(folder.render("in.xm out.wav"), 0) << c.name;
    EXPECT_EQ(readFile(folder.dir / "out.wav").size(), 44 + 4 * c.onePass) << c.name;
    ASSERT_EQ(folder.render("in.xm out.wav --loops 2"), 0) << c.name;
    EXPECT_EQ(readFile(folder.dir / "out.wav").size(), 44 + 4 * c.twoPasses) << c.name;
  }
}

TEST(XmRender, SecondsFixTheLengthOrEndTheLoops) {
  const Folder folder;
  folder.save(write(song({0}, {4, 2})));
  ASSERT_EQ(folder.render("in.xm out.wav --seconds 0.5"), 0);
  EXPECT_EQ(readFile(folder.dir / "out.wav").size(), 44 + 4 * 22050u);
  ASSERT_EQ(folder.render("in.xm out.wav --loops 3 --seconds 0.1"), 0);
  EXPECT_EQ(readFile(folder.dir / "out.wav").size(), 44 + 4 * 4410u);
}

TEST(XmRender, TheLastRowIsHeldWhileItsNotesDieAwayOrFadeAfterOneSecond) {
  // Row 0 starts a looped note, row 1 releases it: with a volume envelope held at 64 the
  // fade-out (1024, 2048 per tick) takes fadeVolume from 65536 to 0 in 32 ticks: 3 in row 1,
  // the other 29 in the ring-out. On a ring-out tick with fadeVolume 2048k the voice volume
  // is truncate(255k / 64), the left gain truncate(volume x 128 / 255).
  Module released = song({0}, {2}, true);
  released.patterns[0].at(1, 0, 2).note = kKeyOff;
  Instrument& instrument = released.instruments[0];
  instrument.volumeEnvelope.points = {{0, 64}, {4, 64}};
  instrument.volumeEnvelope.sustain = true;
  instrument.fadeout = 1024;
  const Folder folder;
  folder.save(write(released));
  ASSERT_EQ(folder.render("in.xm out.wav"), 0);
  std::string wav = readFile(folder.dir / "out.wav");
  // Ring-out tick 28 sets the gains to 0; the 128-frame ramp down then ends the sound.
  const std::size_t ringOut = (wav.size() - 44) / 4 - 2 * kRow;
  EXPECT_GT(ringOut, 28 * 882u);
  EXPECT_LE(ringOut, 28 * 882u + 128);
  // Mid-tick, past the ramp: 8000 x 55 / 255 at k = 28, then lower on every tick down to
  // 8000 x 1 / 255 at k = 1.
  const auto midTick = [&](std::size_t tick) { return left(wav, 2 * kRow + tick * 882 + 441); };
  EXPECT_EQ(midTick(0), 1725);
  EXPECT_EQ(midTick(27), 31);
  for (std::size_t tick = 1; tick < 28; ++tick) {
    EXPECT_LT(midTick(tick), midTick(tick - 1)) << "ring-out tick " << tick;
  }

  // A note held with no release still sounds after 1 s: it fades to 0 over the last 50 ms.
  folder.save(write(song({0}, {4, 2}, true)));
  ASSERT_EQ(folder.render("in.xm out.wav"), 0);
  wav = readFile(folder.dir / "out.wav");
  ASSERT_EQ(wav.size(), 44 + 4 * (4 * kRow + 44100));
  const std::size_t fade = 4 * kRow + 44100 - 2205;
  EXPECT_EQ(left(wav, fade - 1), 1976);  // 8000 x 63 / 255
  EXPECT_EQ(left(wav, fade), 1976);
  EXPECT_EQ(left(wav, fade + 1102), 988);
  EXPECT_EQ(left(wav, fade + 2204), 0);
}

TEST(XmRender, InfoTellsWhatTheModuleHoldsAndHowLongItPlays) {
  Module m = song({0, 1}, {4, 2});
  m.restartPosition = 1;
  m.bpm = 150;  // 735 frames per tick: six rows last 13230 frames, 0.3 s
  m.linearFrequencies = false;
  const Folder folder;
  folder.save(write(m));
  std::string output;
  ASSERT_EQ(folder.render("--info in.xm", &output), 0);
  EXPECT_EQ(output,
            "name:         pass test\n"
            "channels:     2\n"
            "orders:       2 (restart at 1)\n"
            "patterns:     2\n"
            "instruments:  1\n"
            "samples:      1\n"
            "frequencies:  Amiga table\n"
            "tempo:        3 ticks per row, 150 BPM\n"
            "length:       0:00.300 (one pass)\n");
}

TEST(XmRender, RefusesBadModulesAndArgumentsInOneLineAndWritesNothing) {
  Module m = song({0}, {4, 2});
  m.instruments.push_back(m.instruments[0]);
  m.instruments[1].samples.push_back(m.instruments[0].samples[0]);
  Layout layout;
  const std::vector<std::uint8_t> good = write(m, &layout);
  m.instruments[0].samples.resize(23, m.instruments[0].samples[0]);
  std::vector<std::pair<std::vector<std::uint8_t>, std::string>> cases = {
      {{'X', 'M'}, "not an XM file (it does not start with \"Extended Module: \")"},
      {good, "33 channels; the player plays at most 32"},
      {{good.begin(), good.begin() + layout.patternHeaders[1] + 5},
       "the file ends inside pattern 1"},
      {{good.begin(), good.end() - 1}, "the file ends inside sample 1 of instrument 2"},
      {write(m), "instrument 1 has 23 samples; the player allows at most 16"},
  };
  cases[1].first[68] = 33;
  const Folder folder;
  for (const auto& [bytes, message] : cases) {
    folder.save(bytes);
    std::string output;
    EXPECT_EQ(folder.render("in.xm out.wav", &output), 1) << message;
    EXPECT_EQ(output, "xmrender: cannot play 'in.xm': " + message + "\n");
    EXPECT_FALSE(std::filesystem::exists(folder.dir / "out.wav")) << message;
  }
  std::string output;
  EXPECT_EQ(folder.render("missing.xm out.wav", &output), 1);
  EXPECT_EQ(output, "xmrender: cannot read 'missing.xm': No such file or directory\n");
  EXPECT_EQ(folder.render("in.xm no_such_directory/out.wav"), 1);
  for (const char* arguments : {"in.xm", "--seconds", "in.xm x.wav --seconds -2",
                                "in.xm x.wav --seconds 1x", "in.xm x.wav --loops 0",
                                "in.xm x.wav extra", "--info in.xm x.wav", "in.xm x.wav --bogus"}) {
    EXPECT_EQ(folder.render(arguments), 2) << arguments;
  }
}

}  // namespace
}  // namespace quarvel::xmwriter
