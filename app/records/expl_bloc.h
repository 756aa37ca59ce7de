// Record blocks: the measurement records read from one storage memory block
// of a module, with the configuration snapshot that gives them meaning (the
// memory block record, the acquisition part of the full configuration, the
// channel records, the resolution codes and the extension configuration).
#pragma once
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/records/wait_progress.h"
#include "common/archive/archive.h"
#include "common/config/cfg_layout.h"
#include "common/le_bytes.h"
#include "platform/locale.h"

namespace qd40::records {

enum RecordType : int { kDateRecord = 0, kMeasureRecord = 1, kErrorRecord = 2, kOtherRecord = 3 };

// One stored record, 24 bytes kept byte for byte (reserved bytes included):
//   0 u16 flags: bits 15-14 type, 11-8 alarm flags of limits 4..1, 7-0 channel
//   4 f64 date (OLE automation date, whole seconds)
//  12 i32 date status (0 = valid)
//  16 u16 milliseconds added to the date
//  20 u32 payload: float value, error code, or seconds since 2000 (date record)
struct _tExplRecord {
    std::array<uint8_t, 24> bytes{};

    uint16_t flags() const { return le::u16(bytes, 0); }
    int type() const { return flags() >> 14; }
    int alarms() const { return (flags() >> 8) & 0xF; }
    int channel() const { return flags() & 0xFF; }
    double date() const { return le::f64(bytes, 4); }
    int32_t dateStatus() const { return le::i32(bytes, 12); }
    uint16_t ms() const { return le::u16(bytes, 16); }
    uint32_t payload() const { return le::u32(bytes, 20); }
    float value() const { return le::f32(bytes, 20); }
    int32_t errorCode() const { return le::i32(bytes, 20); }

    void setFlags(uint16_t v) { store(0, v); }
    void setDate(double v) { store(4, std::bit_cast<uint64_t>(v)); }
    void setDateStatus(int32_t v) { store(12, static_cast<uint32_t>(v)); }
    void setMs(uint16_t v) { store(16, v); }
    void setPayload(uint32_t v) { store(20, v); }

    // A key whose unsigned order is the order by date, then milliseconds
    // (a total order, even over dates that are not numbers).
    uint64_t dateKey() const {
        const uint64_t b = le::u64(bytes, 4);
        return b & 0x8000000000000000ull ? ~b : b | 0x8000000000000000ull;
    }
    bool operator==(const _tExplRecord&) const = default;

private:
    // Little-endian store; one move on a little-endian host.
    template <class T>
    void store(size_t off, T v) {
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(bytes.data() + off, &v, sizeof v);
        } else {
            for (size_t i = 0; i < sizeof v; ++i)
                bytes[off + i] = static_cast<uint8_t>(v >> (8 * i));
        }
    }
};
static_assert(sizeof(_tExplRecord) == 24);

inline bool recordLess(const _tExplRecord& a, const _tExplRecord& b) {
    const uint64_t ka = a.dateKey(), kb = b.dateKey();
    return ka < kb || (ka == kb && a.ms() < b.ms());
}

// The eight column texts of a record (No., Date, Module, Channel, Value, Unit,
// Alarm, Error) and the line that joins them. Texts are UTF-8.
struct RecordText {
    std::array<std::string, 8> columns;
    std::string line;
};

class CExplBloc {
public:
    static constexpr int kChannels = 30;
    static constexpr size_t kMemCfgSize = cfg::kMemBlockCfgSize;
    // The acquisition words of the full record.
    static constexpr size_t kAcqPartOffset = cfg::ConstFullCfgView::kAcqWordsOffset;
    static constexpr size_t kAcqPartSize = cfg::ConstFullCfgView::kAcqWordsSize;
    static constexpr size_t kChannelCfgSize = cfg::kChannelCfgSize;
    static constexpr size_t kExtCfgSize = cfg::kQd40ExtCfgSize;
    static constexpr size_t kFullCfgSize = cfg::kFullCfgSize;
    static constexpr size_t kChansResSize = cfg::kChansResCfgSize;
    static constexpr std::string_view kClassName = "CExplBloc";

    CExplBloc();

    std::string name;
    std::string comment;
    std::array<uint8_t, kMemCfgSize> memCfg{};
    std::array<uint8_t, kAcqPartSize> acqPart{};
    std::array<uint8_t, kChannelCfgSize * kChannels> chanCfg{};
    std::array<uint16_t, kChannels> resolutions{};
    std::array<uint8_t, kExtCfgSize> extCfg{};
    std::vector<_tExplRecord> records;

    // Takes the snapshot of memory block `block` (1..10) from a full
    // configuration record, its channel resolutions (empty when the module
    // could not give them: every code then is 6) and the extension
    // configuration.
    void setConfigSnapshot(std::span<const uint8_t, kFullCfgSize> fullCfg,
                           std::span<const uint8_t> chansRes,
                           std::span<const uint8_t, kExtCfgSize> ext, int block);

    // Snapshot fields. Channels are numbered 1..30; out of that range the
    // text getters give "" and the resolution is automatic.
    uint32_t storedChannelMask() const { return cfg::ConstMemBlockCfg(memCfg).chansToRecord(); }
    std::string moduleMnemonicAnsi() const;
    std::string channelMnemonicAnsi(int channel) const;
    std::string channelUnitAnsi(int channel) const;  // with the default unit when empty
    float channelDefaultValue(int channel) const;
    int channelResolution(int channel) const;  // 0..6
    // Index of the first date record, or records.size() when there is none.
    size_t firstDateRecord() const;

    // Converts count raw 8-byte module records (fewer when raw is shorter)
    // and appends them; returns the number appended.
    size_t AppendRawRecords(std::span<const uint8_t> raw, size_t count);

    // Sorts by date, then milliseconds, showing progress in dialog (may be
    // null) and asking prompter (may be null: a cancel is then refused) on
    // Cancel. Returns false when the user stopped the sort; the records are
    // then partly sorted.
    bool SortRecords(IWaitDialog* dialog, IRecordsPrompter* prompter);

    // The texts of record index; dateKnown tells whether its date is known
    // (see the callers). The joined line is left empty when joinLine is false
    // (a table shows the columns only).
    RecordText FormatRecordText(size_t index, char separator, bool dateKnown,
                                const platform::Locale& locale, bool joinLine = true) const;

    // Stores every field in the current layout.
    void Serialize(archive::Writer& ar) const;
    // The same in two parts, so that a large block goes to a file without a
    // copy: every field up to the record count, then the records' bytes as
    // they are kept.
    void SerializeHead(archive::Writer& ar) const;
    std::span<const uint8_t> recordBytes() const {
        return {reinterpret_cast<const uint8_t*>(records.data()),
                records.size() * sizeof(_tExplRecord)};
    }
    // Loads the layout of the given document format version. Throws
    // archive::ArchiveError on a truncated or inconsistent archive; the block
    // is then left unchanged.
    void Serialize(archive::Reader& ar, std::string_view formatVersion);

private:
    // Offset of channel n (1..30) in chanCfg.
    static size_t channelOffset(int n) { return kChannelCfgSize * static_cast<size_t>(n - 1); }
    cfg::ConstChannelCfg channelCfgOf(int channel) const;
};

// Whether a field introduced at the test format `threshold` is present in a
// document of formatVersion: releases ["A.00", "Z.00") have every field.
bool formatHasField(std::string_view formatVersion, std::string_view threshold);

// The document format version this program writes (its product version).
std::string_view currentFormatVersion();

// Date and time text of a record ("<date> <time><sep><ms>"), or "?" when its
// date cannot be shown.
void appendRecordDateText(std::string& out, const _tExplRecord& r, const platform::Locale& locale);

}  // namespace qd40::records
