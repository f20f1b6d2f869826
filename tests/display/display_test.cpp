// Display set-up order, fatal paths, presenting onto every kind of surface, and the window procedure.
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

std::vector<std::string> withoutPeeks(const std::vector<std::string>& calls) {
  std::vector<std::string> out;
  for (const auto& c : calls) {
    if (c.rfind("peekMessage", 0) != 0) out.push_back(c);
  }
  return out;
}

TEST(DisplayConstruction, FullScreenCallsInOrder) {
  RecordingPlatform fake;
  {
    Display display(fake, fake, "Quarvel", 320, 240, 1, 1);
    EXPECT_EQ(display.rowConverter, rowCopy32);
    EXPECT_EQ(display.pixelCount, 76800u);
  }
  EXPECT_THAT(
      withoutPeeks(fake.calls),
      ElementsAre("loadArrowCursor", "registerClass project_screen style=3",
                  "adjustWindowRect 320x240 style=2415919104 ex=262144",
                  "createWindow project_screen \"Quarvel\" style=2415919104 ex=262144 size=320x240",
                  "createDevice", "queryDrawDevice", "release firstInterface",
                  "setCooperativeLevel 100 17", "setDisplayMode 320x240x32",
                  "createSurface primary flags=33 caps=16920 count=1 size=0x0",
                  "getAttachedSurface primary 4", "getPixelFormat primary",
                  // destruction: framebuffer, primary (its back buffer goes with it), device, class
                  "release primary", "release directDraw", "unregisterClass project_screen"));
}

TEST(DisplayConstruction, WindowedScaleTwoSizesTheClientAreaAndBackSurface) {
  RecordingPlatform fake;
  Display display(fake, fake, "Quarvel", 320, 240, 2, 0);
  EXPECT_EQ(display.width, 320u);
  EXPECT_EQ(display.height, 240u);
  // Client 640 x 480 grown by the fake's borders (3 each side, 20 more on top).
  EXPECT_GE(fake.indexOf("createWindow project_screen \"Quarvel\" style=281673728 ex=262144 "
                         "size=646x506"),
            0);
  EXPECT_GE(fake.indexOf("setCooperativeLevel 100 8"), 0);
  EXPECT_GE(fake.indexOf("createSurface primary flags=1 caps=16896"), 0);
  EXPECT_GE(fake.indexOf("createSurface back flags=7 caps=64 count=0 size=640x480"), 0);
  EXPECT_LT(fake.indexOf("createClipper"), fake.indexOf("setClipperWindow"));
  EXPECT_LT(fake.indexOf("setClipperWindow"), fake.indexOf("setClipper primary"));
  EXPECT_EQ(fake.indexOf("setDisplayMode"), -1);
}

TEST(DisplayConstruction, ClassIsRegisteredByTheFirstAndRemovedByTheLast) {
  RecordingPlatform fake;
  auto first = std::make_unique<Display>(fake, fake, "a", 320, 240, 1, 0);
  auto second = std::make_unique<Display>(fake, fake, "b", 320, 240, 1, 0);
  EXPECT_EQ(fake.callsStartingWith("registerClass").size(), 1u);
  first.reset();
  EXPECT_TRUE(fake.callsStartingWith("unregisterClass").empty());
  second.reset();
  EXPECT_EQ(fake.callsStartingWith("unregisterClass").size(), 1u);
  // The windowed back surface is the display's own and is released with it.
  EXPECT_EQ(fake.callsStartingWith("release back").size(), 2u);
}

TEST(DisplayConstruction, FallsBackToSixteenBits) {
  RecordingPlatform fake;
  fake.failing = {"setDisplayMode32"};
  fake.format = {platform::kPixelFormatRgb, 16, 0xF800, 0x07E0, 0x001F};
  Display display(fake, fake, "Quarvel", 320, 240, 1, 1);
  EXPECT_THAT(fake.callsStartingWith("setDisplayMode"),
              ElementsAre("setDisplayMode 320x240x32", "setDisplayMode 320x240x16"));
  EXPECT_EQ(display.rowConverter, rowToRgb565);
}

TEST(DisplayConstruction, NonRgbFormatLeavesNoConverter) {
  RecordingPlatform fake;
  fake.format = {0x20, 8, 0, 0, 0};
  Display display(fake, fake, "Quarvel", 320, 240, 1, 1);
  EXPECT_EQ(display.rowConverter, nullptr);
  fake.backMemory->bytes.assign(fake.backMemory->bytes.size(), 0xAB);
  EXPECT_TRUE(display.present());
  EXPECT_EQ(fake.backMemory->pixel32(0, 0), 0xABABABABu);  // nothing it could show
  EXPECT_EQ(fake.callsStartingWith("flip").size(), 1u);
}

struct FatalCase {
  std::string failing;
  std::uint8_t fullScreen;
  std::string text;
};

class DisplayFatal : public ::testing::TestWithParam<FatalCase> {};

void constructWithFailure(const FatalCase& c) {
  RecordingPlatform fake;
  if (c.failing == "format24") {
    fake.format = {platform::kPixelFormatRgb, 24, 0xFF0000, 0xFF00, 0xFF};
  } else if (c.failing == "setDisplayMode") {
    fake.failing = {"setDisplayMode32", "setDisplayMode16"};
  } else {
    fake.failing = {c.failing};
  }
  Display display(fake, fake, "Quarvel", 320, 240, 1, c.fullScreen);
}

// Exit code -1 as the parent sees it: Windows keeps all 32 bits, POSIX only the low byte.
#if defined(_WIN32)
constexpr int kMinusOneStatus = -1;
#else
constexpr int kMinusOneStatus = 255;
#endif

TEST_P(DisplayFatal, ShowsItsTextAndExitsWithMinusOne) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(constructWithFailure(GetParam()), ::testing::ExitedWithCode(kMinusOneStatus),
              "messageBox: " + GetParam().text + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    EveryCheckedStep, DisplayFatal,
    ::testing::Values(
        FatalCase{"registerClass", 1, "Error registering window class"},
        FatalCase{"createDevice", 1, "Directdraw UNABLE to load"},
        FatalCase{"queryDrawDevice", 1, "Directdraw interface NOT aquired"},
        FatalCase{"setCooperativeLevel", 1, "Directdraw NOT able to set Cooperative Level"},
        FatalCase{"setCooperativeLevel", 0, "Directdraw NOT able to set Cooperative Level"},
        FatalCase{"setDisplayMode", 1, "Could not find a supported ddraw pixelformat mode"},
        FatalCase{"createPrimary", 1, "Unable to create ddraw surface"},
        FatalCase{"createClipper", 0, "Failed to create clipper"},
        FatalCase{"setClipperWindow", 0, "failed to set clipper window"},
        FatalCase{"setClipper", 0, "failed to apply clipper to surface"},
        FatalCase{"format24", 1, "Unknown or unsupported adapterformat"}));

// A framebuffer where every pixel says where it is.
void fillWithCoordinates(Display& display) {
  for (std::uint32_t y = 0; y < display.height; ++y) {
    for (std::uint32_t x = 0; x < display.width; ++x) {
      display.pixels[y * display.width + x] = (y << 12) | x;
    }
  }
}

TEST(DisplayPresent, FullScreenCopiesAndFlips) {
  RecordingPlatform fake;
  Display display(fake, fake, "Quarvel", 320, 240, 1, 1);
  fillWithCoordinates(display);
  fake.calls.clear();
  EXPECT_TRUE(display.present());
  EXPECT_THAT(fake.calls, ElementsAre("restore primary", "restore back", "isLost primary",
                                      "lock back", "unlock back", "flip primary back"));
  EXPECT_EQ(fake.backMemory->pixel32(0, 0), 0u);
  EXPECT_EQ(fake.backMemory->pixel32(319, 239), (239u << 12) | 319u);
  EXPECT_TRUE(fake.backMemory->guardsIntact());
}

TEST(DisplayPresent, ScaleTwoReplicatesEachPixelIntoASquare) {
  RecordingPlatform fake;
  Display display(fake, fake, "Quarvel", 320, 240, 2, 0);
  fillWithCoordinates(display);
  EXPECT_TRUE(display.present());
  const auto& back = *fake.backMemory;
  for (std::uint32_t y : {0u, 7u, 239u}) {
    for (std::uint32_t x : {0u, 5u, 319u}) {
      const std::uint32_t expected = (y << 12) | x;
      EXPECT_EQ(back.pixel32(2 * x, 2 * y), expected);
      EXPECT_EQ(back.pixel32(2 * x + 1, 2 * y), expected);
      EXPECT_EQ(back.pixel32(2 * x, 2 * y + 1), expected);
      EXPECT_EQ(back.pixel32(2 * x + 1, 2 * y + 1), expected);
    }
  }
  EXPECT_TRUE(back.guardsIntact());
  // The blit goes to the client area in screen coordinates, bottom-right corner converted first.
  EXPECT_THAT(fake.callsStartingWith("clientToScreen"),
              ElementsAre("clientToScreen 646,506", "clientToScreen 0,0"));
  EXPECT_THAT(fake.callsStartingWith("blit"), ElementsAre("blit primary back 1000,500,1646,1006"));
}

TEST(DisplayPresent, SixteenBitSurfaceWithAWidePitchIsConvertedRowByRow) {
  RecordingPlatform fake;
  fake.failing = {"setDisplayMode32"};
  fake.format = {platform::kPixelFormatRgb, 16, 0xF800, 0x07E0, 0x001F};
  fake.pitchPadding = 200;
  Display display(fake, fake, "Quarvel", 320, 240, 1, 1);
  display.clear(0x00FFFFFF);
  display.pixels[0] = 0x00FF0000;
  display.pixels[239 * 320 + 319] = 0x000000FF;
  EXPECT_TRUE(display.present());
  const auto& back = *fake.backMemory;
  EXPECT_EQ(back.pitch, 840);
  EXPECT_EQ(back.pixel16(0, 0), 0xF800);
  EXPECT_EQ(back.pixel16(1, 0), 0xFFFF);
  EXPECT_EQ(back.pixel16(319, 239), 0x001F);
  // The padding at the end of every row is left alone.
  EXPECT_EQ(back.bytes[RecordingPlatform::SurfaceMemory::kGuard + 640], 0xAB);
  EXPECT_TRUE(back.guardsIntact());
}

TEST(DisplayPresent, ThirtyTwoBitSurfaceWithAWidePitchHonoursThePitch) {
  RecordingPlatform fake;
  fake.pitchPadding = 4096;
  Display display(fake, fake, "Quarvel", 320, 240, 1, 1);
  fillWithCoordinates(display);
  EXPECT_TRUE(display.present());
  EXPECT_EQ(fake.backMemory->pixel32(17, 101), (101u << 12) | 17u);
  EXPECT_TRUE(fake.backMemory->guardsIntact());
}

TEST(DisplayPresent, LostPrimaryDrawsNothing) {
  RecordingPlatform fake;
  Display display(fake, fake, "Quarvel", 320, 240, 1, 1);
  fake.failing = {"lost"};
  fake.calls.clear();
  EXPECT_FALSE(display.present());
  EXPECT_THAT(fake.calls, ElementsAre("restore primary", "restore back", "isLost primary"));
}

TEST(DisplayPresent, FailedLockSkipsTheCopyAndTheFlip) {
  RecordingPlatform fake;
  Display display(fake, fake, "Quarvel", 320, 240, 1, 1);
  fake.failing = {"lock"};
  EXPECT_TRUE(display.present());
  EXPECT_TRUE(fake.callsStartingWith("flip").empty());
  EXPECT_TRUE(fake.callsStartingWith("unlock").empty());
}

TEST(DisplayClear, FillsTheFramebufferOnly) {
  RecordingPlatform fake;
  Display display(fake, fake, "Quarvel", 320, 240, 1, 1);
  EXPECT_EQ(display.pixels[12345], 0u);  // starts black
  fake.calls.clear();
  display.clear(0x123456);
  for (std::uint32_t i = 0; i < display.pixelCount; ++i) ASSERT_EQ(display.pixels[i], 0x123456u);
  EXPECT_TRUE(fake.calls.empty());
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
