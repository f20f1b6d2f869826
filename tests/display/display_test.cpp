// Display set-up order and fatal texts, presenting onto each kind of surface, and the window
// procedure, seen through the recording platform.
#include <memory>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "display/display.h"
#include "support/recording_platform.h"

namespace quarvel::display {
namespace {

using quarvel::testing::RecordingPlatform;
using ::testing::ElementsAre;

TEST(DisplayConstruction, FullScreenCallsInOrderAndReleasesInReverse) {
  RecordingPlatform fake;
  {
    Display display(fake, fake, "Quarvel", 320, 240, 1, 1);
    EXPECT_TRUE(display.rowConverter == rowCopy32 && display.pixelCount == 76800);
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
  EXPECT_TRUE(first->width == 320 && first->height == 240);
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
  EXPECT_EQ(fake.callsStartingWith("registerClass").size(), 1u);
  first.reset();
  EXPECT_TRUE(fake.callsStartingWith("unregisterClass").empty());
  second.reset();
  EXPECT_EQ(fake.callsStartingWith("unregisterClass").size(), 1u);
  EXPECT_EQ(fake.callsStartingWith("release back").size(), 2u);  // windowed backs are our own
}

TEST(DisplayConstruction, SixteenBitFallbackAndFormatsWithoutAConverter) {
  RecordingPlatform fake;
  fake.failing = {"setDisplayMode32"};
  fake.format = {platform::kPixelFormatRgb, 16, 0xF800, 0x07E0, 0x001F};
  Display sixteen(fake, fake, "Quarvel", 320, 240, 1, 1);
  EXPECT_THAT(fake.callsStartingWith("setDisplayMode"),
              ElementsAre("setDisplayMode 320x240x32", "setDisplayMode 320x240x16"));
  EXPECT_EQ(sixteen.rowConverter, rowToRgb565);
  RecordingPlatform palette;
  palette.format = {0x20, 8, 0, 0, 0};
  Display display(palette, palette, "Quarvel", 320, 240, 1, 1);
  EXPECT_EQ(display.rowConverter, nullptr);
  EXPECT_TRUE(display.present());  // nothing it could show, but the flip still happens
  EXPECT_EQ(palette.backMemory->pixel32(0, 0), 0xABABABABu);
  EXPECT_EQ(palette.callsStartingWith("flip").size(), 1u);
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

// A framebuffer where every pixel says where it is.
void fillWithCoordinates(Display& display) {
  for (std::uint32_t i = 0; i < display.pixelCount; ++i) {
    display.pixels[i] = (i / display.width) << 12 | i % display.width;
  }
}

TEST(DisplayPresent, FullScreenCopiesFlipsAndSkipsWhatCannotBeShown) {
  RecordingPlatform fake;
  Display display(fake, fake, "Quarvel", 320, 240, 1, 1);
  fillWithCoordinates(display);
  fake.calls.clear();
  EXPECT_TRUE(display.present());
  EXPECT_THAT(fake.calls, ElementsAre("restore primary", "restore back", "isLost primary",
                                      "lock back", "unlock back", "flip primary back"));
  EXPECT_EQ(fake.backMemory->pixel32(319, 239), (239u << 12) | 319u);
  EXPECT_EQ(fake.backMemory->pixel32(17, 101), (101u << 12) | 17u);
  EXPECT_TRUE(fake.backMemory->guardsIntact());
  fake.failing = {"lock"};
  fake.calls.clear();
  EXPECT_TRUE(display.present());  // the lock failed: no copy and no flip
  EXPECT_EQ(fake.calls.back(), "lock back");
  fake.failing = {"lost"};
  fake.calls.clear();
  EXPECT_FALSE(display.present());
  EXPECT_THAT(fake.calls, ElementsAre("restore primary", "restore back", "isLost primary"));
  fake.calls.clear();
  display.clear(0x123456);
  EXPECT_TRUE(fake.calls.empty());
  EXPECT_TRUE(display.pixels[0] == 0x123456 && display.pixels[76799] == 0x123456);
}

TEST(DisplayPresent, ScaleTwoReplicatesEachPixelAndBlitsToTheClientArea) {
  RecordingPlatform fake;
  Display display(fake, fake, "Quarvel", 320, 240, 2, 0);
  fillWithCoordinates(display);
  EXPECT_TRUE(display.present());
  const auto& back = *fake.backMemory;
  for (std::uint32_t y : {0u, 7u, 239u}) {
    for (std::uint32_t x : {0u, 5u, 319u}) {
      const std::uint32_t expected = (y << 12) | x;
      EXPECT_TRUE(back.pixel32(2 * x, 2 * y) == expected &&
                  back.pixel32(2 * x + 1, 2 * y) == expected &&
                  back.pixel32(2 * x, 2 * y + 1) == expected &&
                  back.pixel32(2 * x + 1, 2 * y + 1) == expected)
          << x << "," << y;
    }
  }
  EXPECT_TRUE(back.guardsIntact());
  // The bottom-right corner is converted to screen coordinates first.
  EXPECT_THAT(fake.callsStartingWith("clientToScreen"),
              ElementsAre("clientToScreen 646,506", "clientToScreen 0,0"));
  EXPECT_THAT(fake.callsStartingWith("blit"), ElementsAre("blit primary back 1000,500,1646,1006"));
}

TEST(DisplayPresent, WidePitchesAreHonouredAndSixteenBitsConverted) {
  for (const std::uint32_t bits : {16u, 32u}) {
    RecordingPlatform fake;
    if (bits == 16) fake.failing = {"setDisplayMode32"};
    fake.format = {platform::kPixelFormatRgb, bits, 0xF800, 0x07E0, 0x001F};
    if (bits == 32) fake.format = {platform::kPixelFormatRgb, 32, 0xFF0000, 0xFF00, 0xFF};
    fake.pitchPadding = 200;
    Display display(fake, fake, "Quarvel", 320, 240, 1, 1);
    display.clear(0x00FFFFFF);
    display.pixels[0] = 0x00FF0000;
    display.pixels[239 * 320 + 319] = 0x000000FF;
    EXPECT_TRUE(display.present());
    const auto& back = *fake.backMemory;
    ASSERT_EQ(back.pitch, static_cast<std::int32_t>(320 * bits / 8 + 200));
    if (bits == 16) {
      EXPECT_TRUE(back.pixel16(0, 0) == 0xF800 && back.pixel16(1, 0) == 0xFFFF &&
                  back.pixel16(319, 239) == 0x001F);
    } else {
      EXPECT_TRUE(back.pixel32(0, 0) == 0xFF0000 && back.pixel32(0, 1) == 0xFFFFFF &&
                  back.pixel32(319, 239) == 0xFF);
    }
    // The padding at the end of every row is left alone.
    EXPECT_EQ(back.bytes[RecordingPlatform::SurfaceMemory::kGuard + 320 * bits / 8], 0xAB) << bits;
    EXPECT_TRUE(back.guardsIntact()) << bits;
  }
}

TEST(WindowProc, CloseDestroysAndDestroyPostsQuit) {
  RecordingPlatform fake;
  Display display(fake, fake, "Quarvel", 320, 240, 1, 1);
  fake.calls.clear();
  EXPECT_EQ(windowProc(fake, 100, platform::kMessageClose, 0, 0), 0);
  EXPECT_THAT(fake.calls, ElementsAre("destroyWindow 100", "postQuitMessage 0"));
  fake.calls.clear();
  EXPECT_EQ(windowProc(fake, 100, platform::kMessageKeyDown, 27, 0), 7);
  EXPECT_THAT(fake.calls, ElementsAre("defaultWindowProcedure 256"));
}

}  // namespace
}  // namespace quarvel::display
