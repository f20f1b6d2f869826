// xmrender as a program: repeatable WAV output, and refusals with a non-zero exit.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "xmwriter/xm_writer.h"

namespace quarvel::xmwriter {
namespace {

std::vector<std::uint8_t> readFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(file), {});
}

int run(const std::string& arguments) {
  const std::string command = std::string(QUARVEL_XMRENDER) + " " + arguments + " 2>/dev/null";
  return std::system(command.c_str());
}

Module tune() {
  Module m;
  m.channels = 2;
  m.orders = {0};
  m.addPattern(16);
  for (int r = 0; r < 16; r += 2) {
    m.patterns[0].at(r, r % 4 == 0 ? 0 : 1, 2) = {note(4, r % 12), 1, 0x40, 0, 0};
  }
  Instrument in;
  Sample s;
  for (int i = 0; i < 100; ++i) s.values.push_back((i * 2560) % 20000 - 10000);
  s.sixteenBit = true;
  s.loop = Loop::kForward;
  s.loopLength = 100;
  in.samples.push_back(s);
  in.volumeEnvelope.points = {{0, 64}, {20, 16}};
  m.instruments.push_back(in);
  return m;
}

TEST(XmRender, RendersTheSameBytesTwice) {
  ASSERT_TRUE(save(tune(), "xmrender_test_tune.xm"));
  ASSERT_EQ(run("xmrender_test_tune.xm xmrender_test_a.wav --seconds 1.5"), 0);
  ASSERT_EQ(run("xmrender_test_tune.xm xmrender_test_b.wav --seconds 1.5"), 0);
  const std::vector<std::uint8_t> a = readFile("xmrender_test_a.wav");
  const std::vector<std::uint8_t> b = readFile("xmrender_test_b.wav");
  ASSERT_EQ(a.size(), 44u + 66150u * 4u);
  EXPECT_EQ(a, b);
  EXPECT_EQ(std::string(a.begin(), a.begin() + 4), "RIFF");
  EXPECT_EQ(std::string(a.begin() + 8, a.begin() + 16), "WAVEfmt ");
  EXPECT_EQ(a[22], 2);     // channels
  EXPECT_EQ(a[24], 0x44);  // 44100 = 0xAC44
  EXPECT_EQ(a[25], 0xAC);
  EXPECT_EQ(a[34], 16);  // bits
  bool sound = false;
  for (std::size_t i = 44; i < a.size(); ++i) sound = sound || a[i] != 0;
  EXPECT_TRUE(sound);
  std::remove("xmrender_test_a.wav");
  std::remove("xmrender_test_b.wav");
  std::remove("xmrender_test_tune.xm");
}

TEST(XmRender, RefusesBadFilesAndArguments) {
  {
    std::ofstream bad("xmrender_test_bad.xm", std::ios::binary);
    bad << "this is not a module";
  }
  EXPECT_NE(run("xmrender_test_bad.xm xmrender_test_c.wav"), 0);
  EXPECT_NE(run("no_such_module.xm xmrender_test_c.wav"), 0);
  ASSERT_TRUE(save(tune(), "xmrender_test_tune2.xm"));
  EXPECT_NE(run("xmrender_test_tune2.xm"), 0);
  EXPECT_NE(run("xmrender_test_tune2.xm xmrender_test_c.wav --seconds"), 0);
  EXPECT_NE(run("xmrender_test_tune2.xm xmrender_test_c.wav --seconds -2"), 0);
  EXPECT_NE(run("xmrender_test_tune2.xm xmrender_test_c.wav --seconds 1x"), 0);
  EXPECT_NE(run("xmrender_test_tune2.xm xmrender_test_c.wav extra"), 0);
  EXPECT_NE(run("xmrender_test_tune2.xm no_such_directory/out.wav --seconds 1"), 0);
  std::remove("xmrender_test_bad.xm");
  std::remove("xmrender_test_tune2.xm");
  std::remove("xmrender_test_c.wav");
}

}  // namespace
}  // namespace quarvel::xmwriter
