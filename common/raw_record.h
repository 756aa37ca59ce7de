// The module's raw 8-byte memory record (and event) as GetMemRecords passes
// it through: word 0 carries the record type in bits 15-14, alarm flags in
// bits 11-8 and the channel in bits 7-0; word 1 a time offset or the
// milliseconds of a date record; bytes 4-7 the payload.
#pragma once
#include <cstdint>

namespace qd40::module {

inline constexpr int kRawRecordSize = 8;
inline constexpr int kRawRecordWords = 4;

enum class RecordType : int { Date = 0, Measurement = 1, MeasurementError = 2, Other = 3 };

constexpr RecordType recordType(uint16_t word0) {
    return RecordType(word0 >> 14);
}
// The type's bits of word 0.
constexpr uint16_t recordTypeBits(RecordType type) {
    return uint16_t(int(type) << 14);
}
constexpr int recordChannel(uint16_t word0) {
    return word0 & 0xFF;
}

}  // namespace qd40::module
