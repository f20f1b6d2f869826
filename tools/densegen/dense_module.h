// A dense 32-channel module for measuring rendering speed: every channel busy all the time.
#pragma once

#include "xmwriter/xm_writer.h"

namespace quarvel::densegen {

// 32 channels, 8 patterns of 64 rows at speed 6 and 125 BPM (about 61 s without repeating).
// Notes every two to four rows on every channel, so each channel's partner voice is fading
// out under a ramp; volume slides, vibrato, portamento and arpeggio change gains and steps
// every tick; samples are 8- and 16-bit with no loop, short and long forward loops and
// ping-pong loops, played at steps from about 0.1 to above 4. The same bytes every time.
xmwriter::Module denseModule();

}  // namespace quarvel::densegen
