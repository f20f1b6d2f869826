// Module writer: header, packed patterns, instruments and delta-encoded samples.
#include "xmwriter/xm_writer.h"

#include <fstream>

namespace quarvel::xmwriter {
namespace {

class Out {
 public:
  std::vector<std::uint8_t> bytes;

  void u8(std::uint32_t v) { bytes.push_back(static_cast<std::uint8_t>(v)); }
  void u16(std::uint32_t v) {
    u8(v & 0xFF);
    u8((v >> 8) & 0xFF);
  }
  void u32(std::uint32_t v) {
    u16(v & 0xFFFF);
    u16(v >> 16);
  }
  void text(const std::string& s, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i) u8(i < s.size() ? static_cast<std::uint8_t>(s[i]) : 0);
  }
  void zeros(std::size_t n) { bytes.insert(bytes.end(), n, 0); }
  std::size_t size() const { return bytes.size(); }
  void put32(std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
  }
  void put16(std::size_t at, std::uint32_t v) {
    bytes[at] = static_cast<std::uint8_t>(v);
    bytes[at + 1] = static_cast<std::uint8_t>(v >> 8);
  }
};

void writeCell(Out& out, const Cell& c) {
  const bool full = c.note != 0 && c.note < 0x80 && c.instrument != 0 && c.volume != 0 &&
                    c.effect != 0 && c.parameter != 0;
  if (full) {  // all five fields: the unpacked form is one byte shorter
    out.u8(c.note);
    out.u8(c.instrument);
    out.u8(c.volume);
    out.u8(c.effect);
    out.u8(c.parameter);
    return;
  }
  std::uint8_t mask = 0x80;
  if (c.note != 0) mask |= 1;
  if (c.instrument != 0) mask |= 2;
  if (c.volume != 0) mask |= 4;
  if (c.effect != 0) mask |= 8;
  if (c.parameter != 0) mask |= 16;
  out.u8(mask);
  if (c.note != 0) out.u8(c.note);
  if (c.instrument != 0) out.u8(c.instrument);
  if (c.volume != 0) out.u8(c.volume);
  if (c.effect != 0) out.u8(c.effect);
  if (c.parameter != 0) out.u8(c.parameter);
}

void writePattern(Out& out, const Pattern& p, std::uint16_t channels) {
  out.u32(9);
  out.u8(0);
  out.u16(p.rows);
  const std::size_t sizeAt = out.size();
  out.u16(0);
  const std::size_t count = static_cast<std::size_t>(p.rows) * channels;
  bool empty = true;
  for (std::size_t i = 0; i < count && i < p.cells.size(); ++i) {
    const Cell& c = p.cells[i];
    if (c.note || c.instrument || c.volume || c.effect || c.parameter) empty = false;
  }
  if (empty) return;
  const std::size_t start = out.size();
  for (std::size_t i = 0; i < count; ++i) writeCell(out, i < p.cells.size() ? p.cells[i] : Cell{});
  out.put16(sizeAt, static_cast<std::uint32_t>(out.size() - start));
}

void writeEnvelopePoints(Out& out, const Envelope& e) {
  for (std::size_t i = 0; i < 12; ++i) {
    const EnvelopePoint p = i < e.points.size() ? e.points[i] : EnvelopePoint{};
    out.u16(p.tick);
    out.u16(p.value);
  }
}

std::uint8_t envelopeType(const Envelope& e) {
  std::uint8_t type = e.points.empty() ? 0 : 1;
  if (e.sustain) type |= 2;
  if (e.loop) type |= 4;
  return type;
}

std::uint32_t bytesPerValue(const Sample& s) {
  return s.sixteenBit ? 2 : 1;
}

void writeSampleHeader(Out& out, const Sample& s) {
  const std::uint32_t scale = bytesPerValue(s);
  out.u32(static_cast<std::uint32_t>(s.values.size()) * scale);
  out.u32(s.loopStart * scale);
  out.u32(s.loopLength * scale);
  out.u8(s.volume);
  out.u8(static_cast<std::uint8_t>(s.finetune));
  std::uint8_t type = s.loop == Loop::kForward ? 1 : (s.loop == Loop::kPingPong ? 2 : 0);
  if (s.sixteenBit) type |= 16;
  out.u8(type);
  out.u8(s.panning);
  out.u8(static_cast<std::uint8_t>(s.relativeNote));
  out.u8(0);
  out.text(s.name, 22);
}

void writeSampleData(Out& out, const Sample& s) {
  std::int32_t previous = 0;
  for (const std::int32_t v : s.values) {
    const std::int32_t delta = v - previous;
    previous = v;
    if (s.sixteenBit) {
      out.u16(static_cast<std::uint32_t>(delta) & 0xFFFF);
    } else {
      out.u8(static_cast<std::uint32_t>(delta) & 0xFF);
    }
  }
}

}  // namespace

std::size_t Module::addPattern(std::uint16_t rows) {
  Pattern p;
  p.rows = rows;
  p.cells.resize(static_cast<std::size_t>(rows) * channels);
  patterns.push_back(std::move(p));
  return patterns.size() - 1;
}

std::vector<std::uint8_t> write(const Module& m, Layout* layout) {
  Layout local;
  Layout& where = layout != nullptr ? *layout : local;
  where = Layout{};
  Out out;
  out.text("Extended Module: ", 17);
  out.text(m.name, 20);
  out.u8(0x1A);
  out.text("quarvel xmwriter", 20);
  out.u16(0x0104);
  out.u32(276);  // header size from here: 20 bytes of fields and the order table
  out.u16(static_cast<std::uint32_t>(m.orders.size()));
  out.u16(m.restartPosition);
  out.u16(m.channels);
  out.u16(static_cast<std::uint32_t>(m.patterns.size()));
  out.u16(static_cast<std::uint32_t>(m.instruments.size()));
  out.u16(m.linearFrequencies ? 1 : 0);
  out.u16(m.tempo);
  out.u16(m.bpm);
  for (std::size_t i = 0; i < 256; ++i) out.u8(i < m.orders.size() ? m.orders[i] : 0);

  for (const Pattern& p : m.patterns) {
    where.patternHeaders.push_back(out.size());
    writePattern(out, p, m.channels);
  }
  for (const Instrument& in : m.instruments) {
    where.instrumentHeaders.push_back(out.size());
    where.sampleHeaders.emplace_back();
    where.sampleData.emplace_back();
    const std::size_t start = out.size();
    out.u32(0);  // header size, patched below
    out.text(in.name, 22);
    out.u8(0);
    out.u16(static_cast<std::uint32_t>(in.samples.size()));
    if (!in.samples.empty()) {
      out.u32(40);
      for (const std::uint8_t k : in.keymap) out.u8(k);
      writeEnvelopePoints(out, in.volumeEnvelope);
      writeEnvelopePoints(out, in.panningEnvelope);
      out.u8(static_cast<std::uint32_t>(in.volumeEnvelope.points.size()));
      out.u8(static_cast<std::uint32_t>(in.panningEnvelope.points.size()));
      out.u8(in.volumeEnvelope.sustainPoint);
      out.u8(in.volumeEnvelope.loopStart);
      out.u8(in.volumeEnvelope.loopEnd);
      out.u8(in.panningEnvelope.sustainPoint);
      out.u8(in.panningEnvelope.loopStart);
      out.u8(in.panningEnvelope.loopEnd);
      out.u8(envelopeType(in.volumeEnvelope));
      out.u8(envelopeType(in.panningEnvelope));
      out.u8(in.vibratoType);
      out.u8(in.vibratoSweep);
      out.u8(in.vibratoDepth);
      out.u8(in.vibratoRate);
      out.u16(in.fadeout);
      out.zeros(22);
    }
    out.put32(start, static_cast<std::uint32_t>(out.size() - start));
    for (const Sample& s : in.samples) {
      where.sampleHeaders.back().push_back(out.size());
      writeSampleHeader(out, s);
    }
    for (const Sample& s : in.samples) {
      where.sampleData.back().push_back(out.size());
      writeSampleData(out, s);
    }
  }
  return std::move(out.bytes);
}

bool save(const Module& module, const std::string& path) {
  const std::vector<std::uint8_t> bytes = write(module);
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (!file) return false;
  file.write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(file);
}

}  // namespace quarvel::xmwriter
