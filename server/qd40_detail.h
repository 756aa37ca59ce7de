// What the parts of the Qd40 object share: request sizes, word and byte
// conversions, the checks of record batches and input images, and the parts
// of the full configuration record written as images.
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "common/config/cfg_layout.h"
#include "common/le_bytes.h"
#include "common/module_constants.h"
#include "common/raw_record.h"
#include "platform/strings.h"
#include "server/qd40.h"
#include "server/qd40_errors.h"
#include "server/variant.h"

namespace qd40::server::detail {

constexpr int kReadChunk = 125;
constexpr int kWriteChunk = 100;
constexpr int kMaxEventsPerRequest = 48;
constexpr int kMaxRecordsPerRequest = 49;
// Readings of a batch that looks foreign before the read fails.
constexpr int kForeignBatchRetries = 2;
constexpr uint32_t kDefaultCapacity = 12000;

constexpr int kRangesPerFunction[8] = {1, 5, 2, 5, 1, 13, 14, 1};

constexpr uint16_t kSetupNameItem = 34;

inline std::vector<uint8_t> wordsToBytes(std::span<const uint16_t> words) {
    std::vector<uint8_t> b(words.size() * 2);
    for (size_t i = 0; i < words.size(); ++i)
        le::setU16(b, 2 * i, words[i]);
    return b;
}

inline std::vector<uint16_t> bytesToWords(std::span<const uint8_t> bytes) {
    std::vector<uint16_t> w(bytes.size() / 2);
    for (size_t i = 0; i < w.size(); ++i)
        w[i] = le::u16(bytes, 2 * i);
    return w;
}

// Texts packed two characters per register, first character in the high byte.
inline std::string unpackText(std::span<const uint16_t> words, size_t maxWords) {
    std::string s;
    for (size_t i = 0; i < words.size() && i < maxWords; ++i) {
        const char hi = char(words[i] >> 8), lo = char(words[i] & 0xFF);
        if (hi == 0)
            break;
        s.push_back(hi);
        if (lo == 0)
            break;
        s.push_back(lo);
    }
    return s;
}

// "A.03" from 0x4103. A zero letter ends the text at once, as it ends a C
// string: no text carries an embedded zero to its clients.
inline std::string versionText(uint16_t word) {
    if ((word >> 8) == 0)
        return {};
    return strings::format("%c.%02d", char(word >> 8), int(word & 0xFF));
}

// Whether an answer to command 11 can be this read's own. The mailbox is
// shared by every master of the module and its answer carries no request
// identifier: another master's command between ours and our answer read
// leaves its own records there. What the answer allows to check: its length
// (whole records, as many as asked, or fewer when the block ends) and the
// channel of each measurement record against the block's stored channels.
enum class BatchCheck { Full, Last, Foreign };

inline BatchCheck checkBatch(std::span<const uint16_t> answer, uint32_t asked, uint32_t channels) {
    if (answer.size() % module::kRawRecordWords != 0 ||
        answer.size() > size_t(asked) * module::kRawRecordWords)
        return BatchCheck::Foreign;
    for (size_t i = 0; i < answer.size(); i += module::kRawRecordWords) {
        const auto type = module::recordType(answer[i]);
        if (type != module::RecordType::Measurement && type != module::RecordType::MeasurementError)
            continue;
        const int channel = module::recordChannel(answer[i]);
        if (channel < 1 || channel > module::kChannelCount || !(channels >> (channel - 1) & 1))
            return BatchCheck::Foreign;
    }
    return answer.size() == size_t(asked) * module::kRawRecordWords ? BatchCheck::Full
                                                                    : BatchCheck::Last;
}

// An input image: a one-dimension array whose element type has bit 0 or bit
// 4 set (bytes qualify), holding at least the image.
inline bool usableImage(const Variant& v, size_t size) {
    const uint16_t et = v.elementType();
    return v.isArray() && (et & 0x11) != 0 && v.data.size() >= size;
}

// The acquisition words of the full record, one image of 5 registers.
inline std::span<uint8_t> acqPart(std::span<uint8_t> fullCfg) {
    return fullCfg.subspan(cfg::FullCfgView::kAcqWordsOffset, cfg::FullCfgView::kAcqWordsSize);
}

// The four limit masks of global alarm g (1 or 2), one image of 8 registers.
inline std::span<uint8_t> globalAlarmPart(std::span<uint8_t> fullCfg, int g) {
    return fullCfg.subspan(
        g == 1 ? cfg::FullCfgView::kGlobalAlarm1Offset : cfg::FullCfgView::kGlobalAlarm2Offset,
        4 * cfg::kLimits);
}

}  // namespace qd40::server::detail

namespace qd40::server {

// The common start of a module method: out pointer, zeroed out value, open channel.
template <typename T>
bool Qd40::begin(T* out, const Guid& iid, HRESULT& result) {
    if (!out) {
        result = fail(kMsgInvalidPointer, E_POINTER, iid);
        return false;
    }
    *out = T{};
    if (!transport_) {
        result = fail(kMsgPortNotOpened, E_FAIL, iid);
        return false;
    }
    return true;
}

}  // namespace qd40::server
