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

// Two channels at speed 3 and 125 BPM: 3 x 882 = 2646 frames per row. Pattern 0 has 4 rows,
// pattern 1 has 2; row 0 plays a 100-value sample that ends within the row (C-4: 527 frames).
Module twoPatterns(bool held = false) {
  Module m;
  m.name = "pass test";
  m.channels = 2;
  m.tempo = 3;
  m.orders = {0};
  m.addPattern(4);
  m.addPattern(2);
  m.patterns[0].at(0, 0, 2) = {note(4, 0), 1, 0, 0, 0};
  Sample s;
  s.values.assign(100, 8000);
  s.sixteenBit = true;
  if (held) s.loop = Loop::kForward, s.loopLength = 100;
  m.instruments.push_back({});
  m.instruments[0].samples.push_back(s);
  return m;
}

TEST(XmRender, RendersOnePassThenLetsTheLastNotesRingOut) {
  struct Case {
    const char* name;
    Module module;
    const char* options;
    std::size_t frames;
  };
  std::vector<Case> cases = {
      {"the order list once", twoPatterns(), "", 4 * 2646},
      {"a held note rings 1 s", twoPatterns(true), "", 4 * 2646 + 44100},
      {"B00 jumps back", twoPatterns(), "", 6 * 2646},
      {"a pattern loop plays on", twoPatterns(), "", 8 * 2646},
      {"D01 jumps ahead", twoPatterns(), "", 2 * 2646},
      {"two passes from the restart", twoPatterns(), "--loops 2", 8 * 2646},
      {"fixed length", twoPatterns(), "--seconds 0.5", 22050},
      {"the length ends the loops", twoPatterns(), "--loops 3 --seconds 0.1", 4410},
  };
  cases[2].module.orders = {0, 1};
  cases[2].module.patterns[1].at(1, 1, 2) = {0, 0, 0, 0xB, 0};
  cases[3].module.patterns[0].at(0, 1, 2) = {0, 0, 0, 0xE, 0x60};
  cases[3].module.patterns[0].at(1, 1, 2) = {0, 0, 0, 0xE, 0x62};  // rows 0 and 1 three times
  cases[4].module.orders = {0, 1};
  cases[4].module.patterns[0].at(0, 1, 2) = {0, 0, 0, 0xD, 0x01};  // to row 1 of pattern 1
  cases[5].module.orders = {0, 1};
  cases[5].module.restartPosition = 1;  // the second pass plays pattern 1 alone
  const Folder folder;
  for (const Case& c : cases) {
    folder.save(write(c.module));
    ASSERT_EQ(folder.render(std::string("in.xm out.wav ") + c.options), 0) << c.name;
    EXPECT_EQ(readFile(folder.dir / "out.wav").size(), 44 + 4 * c.frames) << c.name;
  }
}

TEST(XmRender, InfoTellsWhatTheModuleHoldsAndHowLongItPlays) {
  Module m = twoPatterns();
  m.orders = {0, 1};
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
  Module m = twoPatterns();
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
