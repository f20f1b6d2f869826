// The display: set-up order and fatal texts, presenting onto each kind of surface, the window
// procedure, and the row converters with the rules that choose them.
#include <array>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "display/display.h"
#include "display/row_converters.h"
#include "support/recording_platform.h"

namespace quarvel::display {
namespace {

using quarvel::testing::RecordingPlatform;
using ::testing::ElementsAre;

TEST(DisplayConstruction, FullScreenCallsInOrderAndReleasesInReverse) {
  RecordingPlatform fake;
  {
    Display display(fake, fake, "Quarvel", 320, 240, 1, 1);
    EXPECT_EQ(display.pixels[76799], 0u);  // starts black
  }
  EXPECT_THAT(
      fake.calls,
      ElementsAre("loadArrowCursor", "registerClass project_screen style=3",
                  "adjustWindowRect 320x240 style=2415919104 ex=262144",
                  "createWindow project_screen \"Quarvel\" style=2415919104 ex=262144 size=320x240",
                  "createDevice", "queryDrawDevice", "release firstInterface",
                  "setCooperativeLevel 100 17", "setDisplayMode 320x240x32",
                  "createSurface primary flags=33 caps=16920 count=1 size=0x0",
                  "getAttachedSurface primary 4", "getPixelFormat primary",
                  // the back buffer goes with the primary in full screen
                  "release primary", "release directDraw", "unregisterClass project_screen"));
}

TEST(DisplayConstruction, WindowedScaleTwoAndTheSharedClass) {
  RecordingPlatform fake;
  auto first = std::make_unique<Display>(fake, fake, "Quarvel", 320, 240, 2, 0);
  // The client area 640 x 480, grown by the fake's borders (3 a side, 20 more on top).
  EXPECT_THAT(
      fake.calls,
      ElementsAre("loadArrowCursor", "registerClass project_screen style=3",
                  "adjustWindowRect 640x480 style=281673728 ex=262144",
                  "createWindow project_screen \"Quarvel\" style=281673728 ex=262144 "
                  "size=646x506",
                  "createDevice", "queryDrawDevice", "release firstInterface",
                  "setCooperativeLevel 100 8",
                  "createSurface primary flags=1 caps=16896 count=0 size=0x0",
                  "createSurface back flags=7 caps=64 count=0 size=640x480", "createClipper",
                  "setClipperWindow 100", "setClipper primary", "getPixelFormat primary"));
  auto second = std::make_unique<Display>(fake, fake, "b", 320, 240, 1, 0);
  EXPECT_EQ(fake.count("registerClass"), 1);
  first.reset();
  EXPECT_EQ(fake.count("unregisterClass"), 0);
  second.reset();
  EXPECT_TRUE(fake.count("unregisterClass") == 1 && fake.count("release back") == 2);
}

// Exit code -1 as the parent sees it: Windows keeps all 32 bits, POSIX only the low byte.
#if defined(_WIN32)
constexpr int kMinusOneStatus = -1;
#else
constexpr int kMinusOneStatus = 255;
#endif

TEST(DisplayConstruction, EveryCheckedStepShowsItsTextAndExitsWithMinusOne) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const char* cases[][3] = {
      {"registerClass", "1", "Error registering window class"},
      {"createDevice", "1", "Directdraw UNABLE to load"},
      {"queryDrawDevice", "1", "Directdraw interface NOT aquired"},
      {"setCooperativeLevel", "1", "Directdraw NOT able to set Cooperative Level"},
      {"setCooperativeLevel", "0", "Directdraw NOT able to set Cooperative Level"},
      {"setDisplayMode", "1", "Could not find a supported ddraw pixelformat mode"},
      {"createPrimary", "1", "Unable to create ddraw surface"},
      {"createClipper", "0", "Failed to create clipper"},
      {"setClipperWindow", "0", "failed to set clipper window"},
      {"setClipper", "0", "failed to apply clipper to surface"},
      {"format24", "1", "Unknown or unsupported adapterformat"}};
  for (const auto& [step, fullScreen, text] : cases) {
    EXPECT_EXIT(
        {
          RecordingPlatform fake;
          fake.failing = {step};
          if (fake.fails("format24")) fake.format.rgbBitCount = 24;
          Display display(fake, fake, "Quarvel", 320, 240, 1, fullScreen[0] == '1');
        },
        ::testing::ExitedWithCode(kMinusOneStatus), std::string("messageBox: ") + text + "\n")
        << step;
  }
}

TEST(DisplayPresent, FullScreenFlipsAndSkipsWhatCannotBeShown) {
  RecordingPlatform fake;
  Display display(fake, fake, "Quarvel", 320, 240, 1, 1);
  fake.failing = {"lock"};
  fake.calls.clear();
  EXPECT_TRUE(display.present());  // the lock failed: no copy and no flip
  EXPECT_EQ(fake.calls.back(), "lock back");
  fake.failing = {"lost"};
  fake.calls.clear();
  EXPECT_FALSE(display.present());
  EXPECT_THAT(fake.calls, ElementsAre("restore primary", "restore back", "isLost primary"));
  display.clear(0x123456);
  EXPECT_TRUE(display.pixels[0] == 0x123456 && display.pixels[76799] == 0x123456);
}

// A colour of its own for every pixel.
std::uint32_t colourOf(std::uint32_t index) {
  return index * 0x9E3779B9u >> 8;
}

TEST(DisplayPresent, EverySurfaceGetsEachPixelScaledAndConvertedAtItsPitch) {
  struct Case {
    std::uint32_t bits, scale;
    std::uint8_t fullScreen;
    std::int32_t padding;  // none: the packed 32-bit copy; otherwise row by row
  };
  // 8 bits: a palette, which no converter shows; the flip happens all the same.
  const Case cases[] = {{32, 1, 1, 0},   {32, 2, 0, 0},   {32, 1, 1, 200},
                        {16, 1, 1, 200}, {16, 2, 0, 200}, {8, 1, 1, 0}};
  for (const Case& c : cases) {
    const std::string name = std::to_string(c.bits) + " bits, scale " + std::to_string(c.scale) +
                             ", padding " + std::to_string(c.padding);
    RecordingPlatform fake;
    if (c.bits == 16) {  // a 16-bit full-screen mode, or a 16-bit desktop
      fake.failing = {"setDisplayMode32"};
      fake.format = {platform::kPixelFormatRgb, 16, 0xF800, 0x07E0, 0x001F};
    }
    if (c.bits == 8) fake.format = {0x20, 8, 0, 0, 0};
    fake.pitchPadding = c.padding;
    Display display(fake, fake, "Quarvel", 320, 240, c.scale, c.fullScreen);
    if (c.bits == 16 && c.fullScreen) {  // 32 bits first, then 16
      EXPECT_EQ(fake.indexOf("setDisplayMode 320x240x32") + 1,
                fake.indexOf("setDisplayMode 320x240x16"));
    }
    for (std::uint32_t i = 0; i < 76800; ++i) display.pixels[i] = colourOf(i);
    fake.calls.clear();
    EXPECT_TRUE(display.present());
    // Windowed, the back surface is not restored, and the client area's
    // bottom-right corner is converted to screen coordinates first.
    const std::string calls = fake.callsFrom("");
    EXPECT_EQ(calls, c.fullScreen ? "restore primary; restore back; isLost primary; lock back; "
                                    "unlock back; flip primary back; "
                                  : "restore primary; isLost primary; lock back; unlock back; "
                                    "clientToScreen 646,506; clientToScreen 0,0; "
                                    "blit primary back 1000,500,1646,1006; ")
        << name;
    const auto& back = *fake.backMemory;
    for (std::uint32_t y : {0u, 7u, 239u}) {
      for (std::uint32_t x : {0u, 5u, 319u}) {
        const std::uint32_t p = colourOf(y * 320 + x);
        const std::uint32_t want = c.bits == 32 ? p
                                   : c.bits == 16
                                       ? (p >> 8 & 0xF800) | (p >> 5 & 0x07E0) | (p >> 3 & 0x1F)
                                       : 0xABABABABu;
        for (std::uint32_t k = 0; k < c.scale * c.scale; ++k) {
          EXPECT_EQ(back.pixel(c.scale * x + k % c.scale, c.scale * y + k / c.scale), want)
              << name << ": " << x << "," << y << " copy " << k;
        }
      }
    }
    if (c.padding != 0) {  // the padding at the end of every row is left alone
      EXPECT_EQ(back.bytes[back.kGuard + 320 * c.scale * c.bits / 8], 0xAB) << name;
    }
    EXPECT_TRUE(back.guardsIntact()) << name;
  }
}

TEST(RowConverters, ChosenByTheFormatAndTruncatingEveryChannel) {
  constexpr std::uint32_t rgb = platform::kPixelFormatRgb;
  const std::uint32_t in[7] = {0x00FFFFFF, 0x00FF0000, 0x0000FF00, 0x000000FF,
                               0x00070307, 0x80FFFFFF, 0x00123456};
  // RGB formats of 16 and 32 bits get a converter (all 0 below: one that shows nothing),
  // other RGB formats are fatal, and the rest get nothing.
  const std::pair<platform::PixelFormat, std::array<std::uint32_t, 7>> cases[] = {
      {{rgb, 16, 0xF800, 0x07E0, 0x001F}, {0xFFFF, 0xF800, 0x07E0, 0x001F, 0, 0xFFFF, 0x11AA}},
      {{rgb, 16, 0x7C00, 0x03E0, 0x001F}, {0x7FFF, 0x7C00, 0x03E0, 0x001F, 0, 0xFFFF, 0x08CA}},
      {{rgb, 16, 0x001F, 0x07E0, 0xF800}, {0xFFFF, 0x001F, 0x07E0, 0xF800, 0, 0xFFFF, 0x51A2}},
      {{rgb, 16, 0x001F, 0x03E0, 0x7C00}, {0x7FFF, 0x001F, 0x03E0, 0x7C00, 0, 0xFFFF, 0x28C2}},
      {{rgb, 16, 0xF800, 0x001F, 0x07E0}, {}},
      {{rgb, 32, 0xFF0000, 0xFF00, 0xFF},
       {0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0x070307, 0x80FFFFFF, 0x123456}},
      {{rgb, 32, 0xFF, 0xFF00, 0xFF0000},
       {0xFFFFFF, 0x0000FF, 0x00FF00, 0xFF0000, 0x070307, 0x80FFFFFF, 0x563412}},
      {{rgb, 32, 0xFF00, 0xFF000000, 0xFF0000}, {}},
      {{rgb, 24, 0xFF0000, 0xFF00, 0xFF}, {}},
      {{0x20, 8, 0, 0, 0}, {}},
  };
  for (const auto& [format, expected] : cases) {
    std::ostringstream name;
    name << format.rgbBitCount << " bits, masks " << std::hex << format.redMask << " "
         << format.greenMask << " " << format.blueMask;
    const ConverterChoice choice = chooseRowConverter(format);
    const std::uint32_t bits = format.flags == rgb ? format.rgbBitCount : 0;
    using Outcome = ConverterChoice::Outcome;
    EXPECT_EQ(choice.outcome, bits == 0    ? Outcome::None
                              : bits == 24 ? Outcome::Unsupported
                                           : Outcome::Converter)
        << name.str();
    EXPECT_EQ(choice.bitsPerPixel, bits == 24 ? 0 : bits) << name.str();
    ASSERT_EQ(choice.converter != nullptr, expected[0] != 0) << name.str();
    if (choice.converter == nullptr) continue;
    std::uint8_t out[8 * 4];
    std::memset(out, 0xAA, sizeof out);
    choice.converter(in, out, 7);
    for (std::uint32_t i = 0; i < 8; ++i) {  // nothing past the count
      std::uint32_t got = 0;
      std::memcpy(&got, out + i * bits / 8, bits / 8);
      EXPECT_EQ(got, i < 7 ? expected[i] : 0xAAAAAAAAu >> (32 - bits)) << name.str() << ", " << i;
    }
  }
}

}  // namespace
}  // namespace quarvel::display
