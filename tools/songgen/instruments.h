// The soundtrack's synthesised instruments: drums, bass, pads, lead, pluck, bell and effects.
#pragma once

#include <cstdint>
#include <vector>

#include "xmwriter/xm_writer.h"

namespace quarvel::songgen {

// Instrument numbers as cells name them (1-based, in the order demoInstruments gives them).
enum InstrumentNumber : std::uint8_t {
  kKick = 1,
  kSnare,
  kClosedHat,
  kOpenHat,
  kBass,
  kPad,
  kGatePad,
  kLead,
  kPluck,
  kBell,
  kRiser,
  kCrash,
  kEchoLead,
  kInstrumentCount = kEchoLead
};

// Every instrument, index i holding instrument number i + 1. Sample data is computed with
// deterministic arithmetic only, so the result is the same on every platform.
std::vector<xmwriter::Instrument> demoInstruments();

}  // namespace quarvel::songgen
