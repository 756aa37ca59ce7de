// Small handmade record blocks shared by the record tests.
#pragma once
#include <bit>
#include <cstdint>
#include <vector>

#include "app/records/expl_bloc.h"
#include "common/le_bytes.h"

namespace qd40::records::testing {

// 2001-01-01 10:20:30 in seconds since 2000-01-01.
inline constexpr uint32_t kS = 366 * 86400 + 10 * 3600 + 20 * 60 + 30;

struct Raw {
    std::vector<uint8_t> bytes;

    Raw& date(uint32_t seconds, uint16_t ms) { return put(0x0000, ms, seconds); }
    Raw& value(int channel, uint16_t word1, float v, int alarms = 0) {
        return put(static_cast<uint16_t>(0x4000 | alarms << 8 | channel), word1,
                   std::bit_cast<uint32_t>(v));
    }
    Raw& error(int channel, uint16_t word1, int32_t code) {
        return put(static_cast<uint16_t>(0x8000 | channel), word1, static_cast<uint32_t>(code));
    }
    Raw& other(uint16_t word0, uint16_t word1, uint32_t payload) {
        return put(static_cast<uint16_t>(0xC000 | word0), word1, payload);
    }
    Raw& put(uint16_t w0, uint16_t w1, uint32_t payload) {
        const size_t at = bytes.size();
        bytes.resize(at + 8);
        le::setU16(bytes, at, w0);
        le::setU16(bytes, at + 2, w1);
        le::setU32(bytes, at + 4, payload);
        return *this;
    }
    size_t count() const { return bytes.size() / 8; }
};

inline void setChannel(CExplBloc& b, int channel, int function, int range, float defaultValue,
                       const char* mnemonic, const char* unit, int resolution) {
    const size_t at = CExplBloc::kChannelCfgSize * static_cast<size_t>(channel - 1);
    le::setU16(b.chanCfg, at, static_cast<uint16_t>(function | range << 4));
    le::setF32(b.chanCfg, at + 4, defaultValue);
    le::setText(b.extCfg, 39 + 23 * static_cast<size_t>(channel - 1), 17, mnemonic);
    le::setText(b.extCfg, 56 + 23 * static_cast<size_t>(channel - 1), 6, unit);
    b.resolutions[channel - 1] = static_cast<uint16_t>(resolution);
}

// "Run 1" of module "LAB": channels 1 ("Temp", a thermocouple, 1 decimal) and 3
// (no name, unit "V", automatic) stored; channel 2 measured but not stored.
//  #1 value ch1 before the first date record
//  #2 date kS .250
//  #3 ch1 +5 x 100 ms      21.46  -> kS .750
//  #4 ch3 +10 x 1 s        1.5    -> kS+10 .250
//  #5 ch3 +11 x 1 s        2.25   -> kS+11 .250 (same cycle: replaces #4)
//  #6 ch2 +1 ms            9      -> kS .251
//  #7 date kS+60 .100
//  #8 ch1 +0               -0.125 alarms 1 and 3
//  #9 ch3 error -3
inline CExplBloc sampleBlock() {
    CExplBloc b;
    b.name = "Run 1";
    le::setText(b.extCfg, 22, 17, "LAB");
    le::setU32(b.memCfg, 4, 0b101);
    setChannel(b, 1, 6, 0, 0.0f, "Temp", "", 1);
    setChannel(b, 2, 1, 0, 0.0f, "Aux", "", 6);
    setChannel(b, 3, 1, 2, 0.0f, "", "V", 6);
    Raw raw;
    raw.value(1, 0, 5.0f)
        .date(kS, 250)
        .value(1, 0x8005, 21.46f)
        .value(3, 0xC00A, 1.5f)
        .value(3, 0xC00B, 2.25f)
        .value(2, 0x0001, 9.0f)
        .date(kS + 60, 100)
        .value(1, 0x0000, -0.125f, 0b0101)
        .error(3, 0x0000, -3);
    b.AppendRawRecords(raw.bytes, raw.count());
    return b;
}

}  // namespace qd40::records::testing
