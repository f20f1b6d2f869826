// The soundtrack's synthesised instruments.
#include "songgen/instruments.h"

#include <utility>

#include "songgen/synth.h"

namespace quarvel::songgen {
namespace {

using xmwriter::Envelope;
using xmwriter::Instrument;
using xmwriter::Loop;
using xmwriter::Sample;

constexpr double kRate = 44100.0;
constexpr double kPeak16 = 28000.0;
constexpr double kPeak8 = 124.0;

// Note C-4 plays a sample at about 44100 values per second: drums and noises keep their
// generated speed there.
void tuneNative(Sample& s) {
  s.relativeNote = 29;
  s.finetune = -27;
}

// Note C-4 sounds middle C (261.6 Hz) for a waveform whose cycle is `cycle` values long
// (32, 64, 128 or 256): 32 values at C-4 is 8372 values per second, the player's base rate.
void tuneCycle(Sample& s, int cycle) {
  int octaves = 0;
  for (int c = cycle; c > 32; c /= 2) ++octaves;
  s.relativeNote = static_cast<std::int8_t>(12 * octaves);
  s.finetune = 2;
}

Envelope envelope(std::vector<xmwriter::EnvelopePoint> points) {
  Envelope e;
  e.points = std::move(points);
  return e;
}

Envelope sustained(std::vector<xmwriter::EnvelopePoint> points, std::uint8_t sustainPoint) {
  Envelope e = envelope(std::move(points));
  e.sustain = true;
  e.sustainPoint = sustainPoint;
  return e;
}

Envelope looped(std::vector<xmwriter::EnvelopePoint> points, std::uint8_t from, std::uint8_t to) {
  Envelope e = envelope(std::move(points));
  e.loop = true;
  e.loopStart = from;
  e.loopEnd = to;
  return e;
}

Sample sample16(const std::vector<double>& signal, double peak = kPeak16) {
  Sample s;
  s.sixteenBit = true;
  s.values = quantise(signal, peak);
  return s;
}

Sample sample8(const std::vector<double>& signal) {
  Sample s;
  s.values = quantise(signal, kPeak8);
  return s;
}

void loopWhole(Sample& s, Loop loop, std::uint32_t from = 0) {
  s.loop = loop;
  s.loopStart = from;
  s.loopLength = static_cast<std::uint32_t>(s.values.size()) - from;
}

Instrument single(const char* name, Sample s) {
  Instrument in;
  in.name = name;
  s.name = name;
  in.samples.push_back(std::move(s));
  return in;
}

// A sine whose pitch falls fast from a thump to a low boom, soft-clipped for weight.
Instrument kick() {
  const int length = 13000;
  std::vector<double> x(length);
  double phase = 0.0, sweep = 1.0, amplitude = 1.0;
  Noise noise{0x1234567u};
  OnePole click{0.3};
  for (int i = 0; i < length; ++i) {
    const double f = 46.0 + 120.0 * sweep;
    sweep *= 0.99925;
    double v = sineTurns(phase) * amplitude * 1.4;
    v = v > 1.0 ? 1.0 : (v < -1.0 ? -1.0 : v);
    v = 1.5 * v - 0.5 * v * v * v;
    if (i < 220) v += click.lowpass(noise.next()) * (1.0 - i / 220.0) * 0.5;
    if (i > length - 400) v *= (length - i) / 400.0;
    x[i] = v;
    phase += f / kRate;
    amplitude *= 0.99988;
  }
  Sample s = sample16(x);
  tuneNative(s);
  Instrument in = single("kick", s);
  in.volumeEnvelope = envelope({{0, 64}, {4, 60}, {12, 34}, {22, 10}, {30, 0}});
  return in;
}

// A short tuned body under a burst of bright noise.
Instrument snare() {
  const int length = 10000;
  std::vector<double> x(length);
  Noise noise{0xBEEF1u};
  OnePole low{0.55}, high{0.08};
  double phase = 0.0, body = 1.0, hiss = 1.0;
  for (int i = 0; i < length; ++i) {
    const double n = high.highpass(low.lowpass(noise.next()));
    double v = (sineTurns(phase) * body * 0.8 + n * hiss * 1.3) * 1.6;
    v = v > 1.0 ? 1.0 : (v < -1.0 ? -1.0 : v);
    v = 1.5 * v - 0.5 * v * v * v;  // soft clip: a denser, louder crack at the same peak
    if (i > length - 300) v *= (length - i) / 300.0;
    x[i] = v;
    phase += (172.0 + 60.0 * body) / kRate;
    body *= 0.99935;
    hiss *= 0.99975;
  }
  Sample s = sample16(x);
  tuneNative(s);
  Instrument in = single("snare", s);
  in.volumeEnvelope = envelope({{0, 64}, {6, 54}, {16, 28}, {28, 0}});
  return in;
}

std::vector<double> hiss(int length, std::uint32_t seed, double keep) {
  std::vector<double> x(length);
  Noise noise{seed};
  OnePole a{keep}, b{keep};
  for (int i = 0; i < length; ++i) x[i] = b.highpass(a.highpass(noise.next()));
  return x;
}

Instrument closedHat() {
  std::vector<double> x = hiss(2400, 0xC105Eu, 0.35);
  double amplitude = 1.0;
  for (double& v : x) {
    v *= amplitude;
    amplitude *= 0.9992;
  }
  Sample s = sample8(x);
  tuneNative(s);
  Instrument in = single("closed hat", s);
  in.volumeEnvelope = envelope({{0, 64}, {3, 44}, {7, 16}, {10, 0}});
  return in;
}

// Looped noise: the envelope shapes the ring, and the next hat on the channel chokes it.
Instrument openHat() {
  std::vector<double> x = hiss(6144, 0x0BE7u, 0.3);
  for (int i = 0; i < 400; ++i) x[i] *= 1.0 + (400 - i) / 400.0;
  Sample s = sample8(x);
  loopWhole(s, Loop::kForward, 2048);
  tuneNative(s);
  Instrument in = single("open hat", s);
  in.volumeEnvelope = envelope({{0, 64}, {4, 42}, {16, 18}, {40, 0}});
  in.fadeout = 0x1000;
  return in;
}

// A ringing noise with a few inharmonic square partials; ping-pong hides the loop.
Instrument crash() {
  const int length = 12288;
  std::vector<double> x = hiss(length, 0xCCA5u, 0.45);
  double phases[3] = {0.0, 0.0, 0.0};
  const double freqs[3] = {3120.0, 4410.0, 5970.0};
  for (int i = 0; i < length; ++i) {
    double metal = 0.0;
    for (int k = 0; k < 3; ++k) {
      metal += (sineTurns(phases[k]) > 0.0 ? 0.12 : -0.12);
      phases[k] += freqs[k] / kRate;
    }
    const double attack = i < 1500 ? 1.0 + (1500 - i) / 1500.0 : 1.0;
    x[i] = (x[i] + metal * 0.5) * attack;
  }
  Sample s = sample8(x);
  loopWhole(s, Loop::kPingPong, 4096);
  tuneNative(s);
  Instrument in = single("crash", s);
  in.volumeEnvelope = envelope({{0, 64}, {6, 44}, {40, 20}, {100, 8}, {160, 0}});
  in.fadeout = 0x0200;
  return in;
}

// One cycle of a rounded sawtooth over a sine sub: a warm, solid bass.
Instrument bass() {
  const int cycle = 256;
  std::vector<double> x(cycle);
  for (int i = 0; i < cycle; ++i) {
    const double t = static_cast<double>(i) / cycle;
    double v = 0.0;
    for (int k = 1; k <= 40; ++k) {
      const double roll = 1.0 / (1.0 + (k / 7.0) * (k / 7.0));
      v += sineTurns(t * k) / k * roll;
    }
    x[i] = v + 0.6 * sineTurns(t);
  }
  Sample s = sample16(x);
  loopWhole(s, Loop::kForward);
  tuneCycle(s, cycle);
  Instrument in = single("bass", s);
  in.volumeEnvelope = sustained({{0, 64}, {4, 54}, {12, 46}, {18, 0}}, 2);
  in.fadeout = 0x0400;
  return in;
}

// Three detuned sawtooths: a chorus that needs no seamless loop because it plays ping-pong.
std::vector<double> padWave() {
  const int length = 16384;
  const int cycle = 128;
  std::vector<double> x(length);
  const double detune[3] = {1.0, 1.0 + 1.0 / 128.0, 1.0 - 1.0 / 160.0};
  for (int i = 0; i < length; ++i) {
    const double t = static_cast<double>(i) / cycle;
    double v = 0.0;
    for (const double d : detune) v += sawTurns(t * d, 18);
    v += 0.25 * sineTurns(t * 0.5);  // an octave below for body
    x[i] = v;
  }
  return x;
}

Instrument pad() {
  Sample s = sample16(padWave(), 24000.0);
  loopWhole(s, Loop::kPingPong);
  tuneCycle(s, 128);
  Instrument in = single("pad", s);
  in.volumeEnvelope = sustained({{0, 0}, {40, 52}, {80, 64}, {200, 0}}, 2);
  in.panningEnvelope = looped({{0, 32}, {80, 18}, {240, 46}, {320, 32}}, 0, 3);
  in.vibratoType = 0;
  in.vibratoDepth = 3;
  in.vibratoRate = 6;
  in.fadeout = 0x0100;
  return in;
}

// The pad's sound chopped in eighth notes by a looping envelope, swaying in the stereo field.
Instrument gatePad() {
  Sample s = sample16(padWave(), 24000.0);
  loopWhole(s, Loop::kPingPong);
  tuneCycle(s, 128);
  Instrument in = single("gate pad", s);
  in.volumeEnvelope = looped({{0, 64}, {4, 46}, {12, 12}, {20, 0}}, 0, 3);
  in.panningEnvelope = looped({{0, 18}, {40, 46}, {80, 18}}, 0, 2);
  in.fadeout = 0x0200;
  return in;
}

// A square against a slightly sharper sawtooth: the slow beat between them makes it sing.
Instrument lead() {
  const int length = 32768;
  const int cycle = 128;
  std::vector<double> x(length);
  for (int i = 0; i < length; ++i) {
    const double t = static_cast<double>(i) / cycle;
    x[i] = pulseTurns(t, 0.5, 13) + 0.8 * sawTurns(t * (257.0 / 256.0), 13);
  }
  Sample s = sample16(x, 26000.0);
  loopWhole(s, Loop::kForward);
  tuneCycle(s, cycle);
  s.panning = 150;
  Instrument in = single("lead", s);
  in.volumeEnvelope = sustained({{0, 0}, {2, 64}, {10, 50}, {40, 0}}, 2);
  in.vibratoType = 0;
  in.vibratoSweep = 48;
  in.vibratoDepth = 8;
  in.vibratoRate = 20;
  in.fadeout = 0x0300;
  return in;
}

// A softer, darker copy of the lead that sits to the right: the lead's delayed echo.
Instrument echoLead() {
  const int length = 8192;
  const int cycle = 128;
  std::vector<double> x(length);
  for (int i = 0; i < length; ++i) {
    const double t = static_cast<double>(i) / cycle;
    x[i] = pulseTurns(t, 0.5, 7) + 0.8 * sawTurns(t, 7);
  }
  Sample s = sample16(x, 26000.0);
  loopWhole(s, Loop::kForward);
  tuneCycle(s, cycle);
  s.panning = 72;
  Instrument in = single("echo lead", s);
  in.volumeEnvelope = sustained({{0, 0}, {3, 64}, {12, 48}, {40, 0}}, 2);
  in.vibratoType = 0;
  in.vibratoSweep = 48;
  in.vibratoDepth = 8;
  in.vibratoRate = 20;
  in.fadeout = 0x0300;
  return in;
}

// A narrow pulse, 8-bit: bright enough to cut through as a fast arpeggio.
Instrument pluck() {
  const int cycle = 32;
  std::vector<double> x(cycle);
  for (int i = 0; i < cycle; ++i) x[i] = pulseTurns(static_cast<double>(i) / cycle, 0.25, 8);
  Sample s = sample8(x);
  loopWhole(s, Loop::kForward);
  tuneCycle(s, cycle);
  s.panning = 96;
  Instrument in = single("pluck", s);
  in.volumeEnvelope = envelope({{0, 64}, {3, 40}, {10, 16}, {24, 0}});
  return in;
}

// Inharmonic partials at 1, 2.75, 4.25 and 6.5 times the pitch: whole cycles in 32 periods,
// so the tail loops seamlessly after the bright partials have died away.
Instrument bell() {
  const int cycle = 64;
  const int attack = 4096;
  const int loop = 32 * cycle;
  const double ratio[4] = {1.0, 2.75, 4.25, 6.5};
  const double level[4] = {1.0, 0.55, 0.35, 0.2};
  const double decay[4] = {0.99985, 0.9993, 0.9988, 0.998};
  double amplitude[4] = {1.0, 1.0, 1.0, 1.0};
  std::vector<double> x(attack + loop);
  for (int i = 0; i < attack + loop; ++i) {
    const double t = static_cast<double>(i) / cycle;
    double v = 0.0;
    for (int k = 0; k < 4; ++k) {
      v += sineTurns(t * ratio[k]) * level[k] * amplitude[k];
      if (i < attack) amplitude[k] *= decay[k];
    }
    x[i] = v;
  }
  Sample s = sample16(x);
  loopWhole(s, Loop::kForward, attack);
  tuneCycle(s, cycle);
  Instrument in = single("bell", s);
  in.volumeEnvelope = envelope({{0, 64}, {8, 46}, {40, 22}, {120, 8}, {220, 0}});
  in.fadeout = 0x0200;
  return in;
}

// Band-passed noise for risers, sweeps and wind; its panning drifts across while held.
Instrument riser() {
  const int length = 8192;
  std::vector<double> x(length);
  Noise noise{0x5EEDu};
  OnePole low{0.25}, high{0.03};
  for (int i = 0; i < length; ++i) x[i] = high.highpass(low.lowpass(noise.next()));
  Sample s = sample8(x);
  loopWhole(s, Loop::kPingPong);
  tuneNative(s);
  Instrument in = single("riser", s);
  in.panningEnvelope = sustained({{0, 10}, {300, 54}}, 1);
  in.fadeout = 0x0400;
  return in;
}

}  // namespace

std::vector<xmwriter::Instrument> demoInstruments() {
  return {kick(), snare(), closedHat(), openHat(), bass(),  pad(),     gatePad(),
          lead(), pluck(), bell(),      riser(),   crash(), echoLead()};
}

}  // namespace quarvel::songgen
