#include "XmWriter.h"

#include <stdexcept>

namespace {

void Put8(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(uint8_t(v));
}
void Put16(std::vector<uint8_t>& out, uint32_t v) {
    Put8(out, v & 0xFF);
    Put8(out, (v >> 8) & 0xFF);
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}
void PutText(std::vector<uint8_t>& out, const std::string& s, size_t width, char pad = '\0') {
    for (size_t i = 0; i < width; ++i) out.push_back(uint8_t(i < s.size() ? s[i] : pad));
}

std::vector<uint8_t> PackPattern(const TXmPattern& p, int channels) {
    std::vector<uint8_t> data;
    for (int row = 0; row < p.Rows; ++row) {
        for (int ch = 0; ch < channels; ++ch) {
            const TXmCell& c = p.Cells[size_t(row * channels + ch)];
            uint8_t mask = 0x80;
            if (c.Note) mask |= 1;
            if (c.Instrument) mask |= 2;
            if (c.Volume) mask |= 4;
            if (c.Effect) mask |= 8;
            if (c.Param) mask |= 16;
            data.push_back(mask);
            if (c.Note) data.push_back(c.Note);
            if (c.Instrument) data.push_back(c.Instrument);
            if (c.Volume) data.push_back(c.Volume);
            if (c.Effect) data.push_back(c.Effect);
            if (c.Param) data.push_back(c.Param);
        }
    }
    return data;
}

}  // namespace

std::vector<uint8_t> WriteXm(const TXmModule& m) {
    if (m.Orders.empty() || m.Orders.size() > 256) throw std::runtime_error("XM: 1..256 orders");
    if (m.Patterns.empty() || m.Patterns.size() > 256) throw std::runtime_error("XM: 1..256 patterns");
    if (m.Channels < 2 || m.Channels > 32 || m.Channels % 2) throw std::runtime_error("XM: channel count");
    if (m.Instruments.size() > 128) throw std::runtime_error("XM: too many instruments");
    for (uint8_t o : m.Orders)
        if (o >= m.Patterns.size()) throw std::runtime_error("XM: order names a missing pattern");

    std::vector<uint8_t> out;
    PutText(out, "Extended Module: ", 17);
    PutText(out, m.Name, 20, ' ');
    Put8(out, 0x1A);
    PutText(out, "Moswick audiogen", 20, ' ');
    Put16(out, 0x0104);
    Put32(out, 276);
    Put16(out, uint32_t(m.Orders.size()));
    Put16(out, uint32_t(m.Restart));
    Put16(out, uint32_t(m.Channels));
    Put16(out, uint32_t(m.Patterns.size()));
    Put16(out, uint32_t(m.Instruments.size()));
    Put16(out, 1);  // linear frequency table
    Put16(out, uint32_t(m.Speed));
    Put16(out, uint32_t(m.Bpm));
    for (size_t i = 0; i < 256; ++i) Put8(out, i < m.Orders.size() ? m.Orders[i] : 0);

    for (const TXmPattern& p : m.Patterns) {
        if (p.Rows < 1 || p.Rows > 256 || p.Cells.size() != size_t(p.Rows * m.Channels))
            throw std::runtime_error("XM: pattern shape");
        std::vector<uint8_t> data = PackPattern(p, m.Channels);
        if (data.size() > 0xFFFF) throw std::runtime_error("XM: pattern too big");
        Put32(out, 9);
        Put8(out, 0);
        Put16(out, uint32_t(p.Rows));
        Put16(out, uint32_t(data.size()));
        out.insert(out.end(), data.begin(), data.end());
    }

    for (const TXmInstrument& ins : m.Instruments) {
        if (ins.VolumeEnvelope.size() > 12) throw std::runtime_error("XM: envelope too long");
        const size_t headerStart = out.size();
        const uint32_t headerSize = 263;
        Put32(out, headerSize);
        PutText(out, ins.Name, 22);
        Put8(out, 0);
        Put16(out, ins.Sample.empty() ? 0 : 1);
        if (!ins.Sample.empty()) {
            Put32(out, 40);
            for (int k = 0; k < 96; ++k) Put8(out, 0);  // every key plays sample 0
            for (size_t i = 0; i < 12; ++i) {
                TXmEnvelopePoint pt = i < ins.VolumeEnvelope.size() ? ins.VolumeEnvelope[i] : TXmEnvelopePoint{0, 0};
                Put16(out, pt.Tick);
                Put16(out, pt.Value);
            }
            for (size_t i = 0; i < 12; ++i) Put32(out, 0);  // panning envelope unused
            Put8(out, uint32_t(ins.VolumeEnvelope.size()));
            Put8(out, 0);
            Put8(out, uint32_t(ins.SustainPoint < 0 ? 0 : ins.SustainPoint));
            Put8(out, 0);
            Put8(out, 0);
            Put8(out, 0);
            Put8(out, 0);
            Put8(out, 0);
            uint8_t volType = 0;
            if (!ins.VolumeEnvelope.empty()) volType |= 1;
            if (ins.SustainPoint >= 0) volType |= 2;
            Put8(out, volType);
            Put8(out, 0);
            Put8(out, 0);  // vibrato type: sine
            Put8(out, ins.VibratoSweep);
            Put8(out, ins.VibratoDepth);
            Put8(out, ins.VibratoRate);
            Put16(out, ins.Fadeout);
            Put16(out, 0);
        }
        while (out.size() < headerStart + headerSize) Put8(out, 0);
        if (ins.Sample.empty()) continue;

        const uint32_t frames = uint32_t(ins.Sample.size());
        Put32(out, frames * 2);
        Put32(out, ins.LoopLength ? ins.LoopStart * 2 : 0);
        Put32(out, ins.LoopLength * 2);
        Put8(out, ins.Volume);
        Put8(out, uint8_t(ins.FineTune));
        Put8(out, (ins.LoopLength ? 1u : 0u) | 0x10u);
        Put8(out, ins.Panning);
        Put8(out, uint8_t(ins.RelativeNote));
        Put8(out, 0);
        PutText(out, ins.Name, 22);
        int16_t previous = 0;
        for (int16_t v : ins.Sample) {
            Put16(out, uint16_t(int16_t(v - previous)));
            previous = v;
        }
    }
    return out;
}
