// Writes small fuzzing seeds: modules from the module writer and the generated demo meshes.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "meshgen/mesh_builder.h"
#include "xmwriter/xm_writer.h"

namespace {

namespace xw = quarvel::xmwriter;

bool writeBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

// A short waveform: a saw for 8-bit samples, a triangle scaled up for 16-bit ones.
xw::Sample makeSample(bool sixteenBit, xw::Loop loop, std::uint32_t length) {
  xw::Sample s;
  s.sixteenBit = sixteenBit;
  s.loop = loop;
  for (std::uint32_t i = 0; i < length; ++i) {
    const std::int32_t saw = static_cast<std::int32_t>(i * 256 / length) - 128;
    s.values.push_back(sixteenBit ? saw * 200 : saw);
  }
  if (loop != xw::Loop::kNone) {
    s.loopStart = length / 4;
    s.loopLength = length / 2;
  }
  return s;
}

xw::Envelope makeEnvelope(bool sustain, bool loop) {
  xw::Envelope e;
  e.points = {{0, 64}, {4, 48}, {10, 32}, {20, 40}, {40, 8}, {60, 0}};
  e.sustain = sustain;
  e.sustainPoint = 2;
  e.loop = loop;
  e.loopStart = 1;
  e.loopEnd = 3;
  return e;
}

// Two instruments with every loop mode, both sample widths and envelopes with sustain and loop.
void addInstruments(xw::Module& m) {
  xw::Instrument a;
  a.samples.push_back(makeSample(false, xw::Loop::kNone, 64));
  a.samples.push_back(makeSample(false, xw::Loop::kForward, 64));
  a.samples.push_back(makeSample(true, xw::Loop::kPingPong, 48));
  for (std::size_t k = 0; k < a.keymap.size(); ++k) a.keymap[k] = static_cast<std::uint8_t>(k % 3);
  a.volumeEnvelope = makeEnvelope(true, true);
  a.panningEnvelope = makeEnvelope(false, true);
  a.vibratoType = 1;
  a.vibratoSweep = 4;
  a.vibratoDepth = 8;
  a.vibratoRate = 16;
  a.fadeout = 512;
  m.instruments.push_back(a);

  xw::Instrument b;
  b.samples.push_back(makeSample(true, xw::Loop::kForward, 80));
  b.samples.back().finetune = -40;
  b.samples.back().relativeNote = 12;
  b.samples.back().panning = 20;
  b.volumeEnvelope = makeEnvelope(true, false);
  b.panningEnvelope = makeEnvelope(true, true);
  b.fadeout = 4000;
  m.instruments.push_back(b);
}

// One cell per effect number 0..35 with a varied parameter, plus every volume-column range.
xw::Module effectsModule(bool linear) {
  xw::Module m;
  m.channels = 4;
  m.linearFrequencies = linear;
  m.tempo = 3;
  m.bpm = 200;
  m.orders = {0, 1, 0};
  m.restartPosition = 1;
  m.addPattern(48);
  m.addPattern(16);
  addInstruments(m);
  xw::Pattern& p = m.patterns[0];
  static constexpr std::uint8_t kParams[] = {0x37, 0x0F, 0xF0, 0x21, 0x84, 0xE3, 0x1A, 0x05};
  for (int row = 0; row < 36; ++row) {
    const auto effect = static_cast<std::uint8_t>(row);
    std::uint8_t param = kParams[row % 8];
    if (effect == 0x0B) param = 1;       // position jump into the second order
    if (effect == 0x0D) param = 0x02;    // pattern break to row 2
    if (effect == 0x0F) param = 0x04;    // speed
    p.at(row, 0, m.channels) = {xw::note(4, row % 12), 1, 0, effect, param};
    // Extended effects on channel 1: every sub-command.
    p.at(row, 1, m.channels) = {
        static_cast<std::uint8_t>(row % 3 == 0 ? xw::note(3, 0) : 0), 2, 0, 0x0E,
        static_cast<std::uint8_t>(((row % 16) << 4) | 2)};
    // Volume column: set, slides, fine slides, vibrato, panning, porta.
    const auto volume = static_cast<std::uint8_t>(0x10 + row * 7 % 0xF0);
    p.at(row, 2, m.channels) = {static_cast<std::uint8_t>(row % 4 == 0 ? xw::note(5, 7) : 0), 1,
                                volume, 0, 0};
  }
  p.at(40, 0, m.channels) = {xw::kKeyOff, 0, 0, 0, 0};
  p.at(41, 3, m.channels) = {xw::note(2, 0), 2, 0x40, 0x03, 0x10};  // tone portamento
  p.at(42, 3, m.channels) = {xw::note(6, 0), 0, 0, 0x03, 0x00};
  p.at(43, 3, m.channels) = {0, 0, 0, 0x0E, 0x61};  // pattern loop
  p.at(44, 3, m.channels) = {0, 0, 0, 0x0E, 0x63};
  xw::Pattern& q = m.patterns[1];
  q.at(0, 0, m.channels) = {xw::note(4, 0), 2, 0, 0x09, 0x01};  // sample offset
  q.at(4, 1, m.channels) = {xw::note(4, 4), 1, 0, 0x14, 0x02};  // key off at tick
  q.at(8, 2, m.channels) = {xw::note(7, 11), 1, 0, 0x21, 0x15}; // extra-fine porta
  return m;
}

// A minimal module: one channel, one short pattern, one sample.
xw::Module tinyModule(bool sixteenBit, xw::Loop loop) {
  xw::Module m;
  m.channels = 1;
  m.orders = {0};
  m.addPattern(4);
  xw::Instrument ins;
  ins.samples.push_back(makeSample(sixteenBit, loop, 16));
  m.instruments.push_back(ins);
  m.patterns[0].at(0, 0, m.channels) = {xw::note(4, 0), 1, 0, 0, 0};
  return m;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_seeds <output directory>\n");
    return 2;
  }
  const std::filesystem::path root = argv[1];
  std::filesystem::create_directories(root / "xm");
  std::filesystem::create_directories(root / "mesh");
  bool ok = true;

  ok &= writeBytes(root / "xm" / "effects_linear.xm", xw::write(effectsModule(true)));
  ok &= writeBytes(root / "xm" / "effects_amiga.xm", xw::write(effectsModule(false)));
  const xw::Loop loops[] = {xw::Loop::kNone, xw::Loop::kForward, xw::Loop::kPingPong};
  for (int bits = 0; bits < 2; ++bits) {
    for (xw::Loop loop : loops) {
      const std::string name = "tiny_" + std::string(bits != 0 ? "16_" : "8_") +
                               std::to_string(static_cast<int>(loop)) + ".xm";
      ok &= writeBytes(root / "xm" / name, xw::write(tinyModule(bits != 0, loop)));
    }
  }
  xw::Module empty;
  empty.orders = {0};
  empty.addPattern(1);
  ok &= writeBytes(root / "xm" / "empty.xm", xw::write(empty));

  std::vector<std::uint8_t> all;
  for (const quarvel::meshgen::MeshFile& f : quarvel::meshgen::demoMeshFiles()) {
    const std::vector<std::uint8_t> chunk = quarvel::meshgen::encodeChunk(f.chunkName, f.mesh);
    ok &= writeBytes(root / "mesh" / f.fileName, chunk);
    all.insert(all.end(), chunk.begin(), chunk.end());
  }
  // Several chunks in one file, and a small hand-made chunk.
  ok &= writeBytes(root / "mesh" / "all.df", all);
  const quarvel::math::Vec3 tri[] = {{-1, -1, 0}, {1, -1, 0}, {0, 1, 0}};
  const std::int32_t idx[] = {0, 1, 2};
  ok &= writeBytes(root / "mesh" / "triangle.df",
                   quarvel::meshgen::encodeChunk("tri", quarvel::mesh::Mesh(tri, 3, idx, 3)));
  if (!ok) std::fprintf(stderr, "make_seeds: could not write every seed\n");
  return ok ? 0 : 1;
}
