// The frame timer's wrap and frame-rate windows, and the timeline: scene selection and the first
// frame of each scene, worked out from the rules.
#include <array>
#include <vector>

#include <gtest/gtest.h>

#include "driver/frame_timer.h"
#include "driver/timeline.h"
#include "effects/particle_sprite.h"
#include "support/recording_platform.h"

namespace quarvel::driver {
namespace {

struct ManualClock final : platform::Clock {
  std::uint32_t now = 0;
  std::uint32_t milliseconds() override { return now; }
};

TEST(FrameTimer, MeasuresInUnsignedMillisecondsAcrossTheWrap) {
  struct Case {
    std::uint32_t start, stop;
    double seconds;
  };
  const Case cases[] = {{4294967291u, 5, 0.010},        // wrapped once
                        {100, 100, 0.0},                // same millisecond
                        {0, 4294967295u, 4294967.295},  // unsigned, not -1
                        {1000, 1017, 0.017}};
  for (const Case& c : cases) {
    ManualClock clock;
    FrameTimer timer(clock);
    EXPECT_EQ(timer.seconds(), 0.0);  // before the first stop
    clock.now = c.start;
    timer.start();
    clock.now = c.stop;
    timer.stop();
    clock.now += 500;
    timer.start();  // a new frame: seconds() still reports the last one, without the clock
    EXPECT_EQ(timer.seconds(), c.seconds) << c.start << " to " << c.stop;
  }
}

TEST(FpsCounter, ReportsOnTheCallAfterASecondWithoutItsOwnFrame) {
  // The sum passes 1.0 s on the 3rd call; the 4th reports 3 / 1.1 and drops its own
  // frame, so the next window starts empty; zero-length frames count without time.
  const std::uint32_t frameMs[] = {400, 400, 300, 999, 0, 1000, 0, 0, 0, 1000, 5};
  const std::vector<double> reports = {0, 0, 0, 3 / 1.1, 0, 0, 2.0, 0, 0, 0, 3.0};
  ManualClock clock;
  FrameTimer timer(clock);
  FpsCounter counter(&timer);
  std::vector<double> got;
  for (std::uint32_t ms : frameMs) {
    timer.start();
    clock.now += ms;
    timer.stop();
    got.push_back(counter.tick());
  }
  EXPECT_EQ(got, reports);
}

// One triangle facing the eye around (x, y, 0): lit at full intensity.
mesh::MeshList triangleAt(float x, float y, float half) {
  const math::Vec3 v[3] = {{x - half, y - half, 0}, {x + half, y - half, 0}, {x, y + half, 0}};
  const std::int32_t indices[3] = {0, 1, 2};
  return {mesh::Mesh(v, 3, indices, 3)};
}

// Everything a scene step touches; small meshes whose place on the screen shows the scene's moves.
struct Rig {
  testing::RecordingPlatform fake;
  display::Display display{fake, fake, "Quarvel", 320, 240, 1, 1};
  display::Bitmap frame{display.pixels, 320, 240};
  FrameTimer timer{fake};
  DemoState state;
  raster::MeshRenderer renderer{&frame, 0, 240, 0, 320};
  mesh::MeshList star = triangleAt(0, 0, 5000);
  // Each greeting sits so that its scene-4 translation brings it to a spot of its own:
  // hv to (-3, 0, -28), plonix to (3, 0, -28), wendup to (0, 3, -28), tolvenaq to (0, -3, -38).
  std::array<mesh::MeshList, kGreetingCount> greetings = {
      triangleAt(17, 4, 0.5f), triangleAt(-3, 12, 0.5f), triangleAt(-15, 6, 0.5f),
      triangleAt(0, -13, 0.5f)};
  std::array<effects::BlobPoint, 2> blobs = {{{100, 100, 3, -2, 5}, {318, 30, 3, 1, 1}}};
  effects::BlobField field;
  std::array<std::uint32_t, 64> spritePixels{};
  display::Bitmap sprite{spritePixels.data(), 8, 8};
  effects::DemoRandom random;
  effects::ParticleSystem particles{1, {40, 200, 0}, random};
  Stage stage{fake, display,   frame, timer, state,  renderer,
              star, greetings, blobs, field, sprite, particles};

  Rig() {
    effects::fillParticleSprite(sprite);
    effects::ParticleSystem::swing = 1.0f;
  }
  ~Rig() { effects::ParticleSystem::swing = 1.0f; }
  std::uint32_t at(int x, int y) const { return display.pixels[y * 320 + x]; }
};

TEST(Timeline, StarSceneFirstFrames) {
  Rig rig;
  rig.display.pixels[10 * 320 + 10] = 0xFFFFFF;
  ASSERT_EQ(runTimelineStep(rig.stage), Scene::Star);
  // The variables advance first: fov pi + 0.0005, red 0.001.
  EXPECT_TRUE(rig.state.zoomFov == 0x1.923018p+1f && rig.state.redLevel == 0.001);
  EXPECT_EQ(rig.renderer.projection.m[0], -0x1.062bbcp-12f);
  // Angle 0: no turn, centre at (0, 4, -7).
  EXPECT_EQ(rig.renderer.model, math::translation(0, 4, -7));
  // Factors (red level, 0.5, 1) at full light: 0.255 -> 0, 127.5 -> 127, 255.
  EXPECT_EQ(rig.at(160, 120), 0x01007FFFu);
  // The old picture is blurred twice, then faded: 255 smears to 20 and 15.
  EXPECT_TRUE(rig.at(9, 10) == 0x141414u && rig.at(10, 10) == 0x0F0F0Fu);
  // The orbit takes sine and cosine of the float angle in double, rounded once
  // (frame 794's angle, where the float cosine is an ulp off).
  rig.state.angle = 0x1.3d98f2p+5f;
  runTimelineStep(rig.stage);
  EXPECT_TRUE(rig.state.zoomFov == 0x1.92407ap+1f && rig.state.redLevel == 0.002);
  const auto& m = rig.renderer.model.m;
  EXPECT_TRUE(m[0] == -0x1.aaa9e4p-2f && m[8] == 0x1.d17068p-1f);
  EXPECT_TRUE(m[12] == 0x1.d17068p+1f && m[13] == -0x1.aaa9e4p+0f && m[14] == -7.0f);
}

TEST(Timeline, RaySceneFirstFrame) {
  Rig rig;
  rig.state.sceneClock = 15.0f;
  rig.state.angle = 0x1.921fb6p+0f;  // sphere 1 off to the right
  rig.display.clear(0x123456);
  ASSERT_EQ(runTimelineStep(rig.stage), Scene::Rays);
  EXPECT_TRUE(rig.state.drift == 0.002 && rig.at(0, 0) == 0);
  // Sphere 0 at (0, -2, 10), radius 0.5: its top edge crosses column 160 between rows 177
  // and 178, and just misses pixel (153, 179), which the sphere covers once risen by 0.002.
  EXPECT_TRUE(rig.at(160, 177) == 0 && rig.at(160, 178) != 0 && rig.at(153, 179) == 0);
  runTimelineStep(rig.stage);
  EXPECT_NE(rig.at(153, 179), 0u);
}

TEST(Timeline, BlobSceneDrawsAtTheOldPositionsThenMoves) {
  Rig rig;
  rig.state.sceneClock = 40.0f;
  rig.display.clear(0x123456);
  rig.field.data()[0] = 5.0f;  // last frame's field is cleared first
  ASSERT_EQ(runTimelineStep(rig.stage), Scene::Blobs);
  // The disc of radius 5 / 0.99 around (100, 100), thresholded to 255 and then
  // smeared by the in-place blur (worked out pixel by pixel); drawn at the moved
  // centre (103, 98), (96, 100) would stay dark.
  EXPECT_EQ(rig.at(100, 100), 0xFDFDFDu);
  EXPECT_TRUE(rig.at(96, 100) == 0xCDCDCDu && rig.at(0, 0) == 0);
  const effects::BlobPoint& a = rig.blobs[0];
  EXPECT_TRUE(a.x == 103 && a.y == 98 && a.vx == 3 && a.vy == -2);
  EXPECT_EQ(rig.blobs[1].vx, -3.0f);  // 321 is past the width, 320
}

TEST(Timeline, GreetingsSceneFirstFrame) {
  Rig rig;
  rig.state.sceneClock = 55.0f;
  rig.timer.elapsed = 0.5;  // the previous frame's duration
  rig.particles.particles[0].velocity = {-300, 0, 0};
  rig.renderer.clearDepth(-1e30f);  // cleared before drawing, or nothing would show
  ASSERT_EQ(runTimelineStep(rig.stage), Scene::Greetings);
  EXPECT_EQ(rig.state.slide, 0.01);
  // Each greeting in its own colour, inverted: 255 minus 0.5 or 0.6 of 255.
  EXPECT_EQ(rig.at(118, 119), 0x808066u) << "hv";
  EXPECT_EQ(rig.at(201, 119), 0x668080u) << "plonix";
  EXPECT_EQ(rig.at(160, 78), 0x806680u) << "wendup";
  EXPECT_EQ(rig.at(160, 150), 0x666666u) << "tolvenaq";
  // The particle moved by dt * (-300 + 80 * 4) to x = 50 before it was drawn
  // with life 1 and the green tint: half of 141 * (0.2, 0.8, 0.3), inverted.
  EXPECT_TRUE(rig.at(53, 203) == 0xF1C7EAu && rig.at(43, 203) == 0xFFFFFFu);
  // Then aged by 5 dt: reborn at the origin.
  EXPECT_EQ(rig.particles.particles[0].position.x, 40.0f);
}

}  // namespace
}  // namespace quarvel::driver
