// The services of the operating system that the demo uses, as one bundle of interfaces.
#pragma once

#include "platform/clock.h"
#include "platform/draw_device.h"
#include "platform/sound_output.h"
#include "platform/threads.h"
#include "platform/window_system.h"

namespace quarvel::platform {

// Borrowed references to one backend's services; the backend outlives every user.
struct Platform {
  WindowSystem& windows;
  DrawSystem& draw;
  SoundSystem& sound;
  Clock& clock;
  Threads& threads;
};

}  // namespace quarvel::platform
