#include "app/core/opc/opc_tags.h"

#include <chrono>
#include <cstdlib>

#include "app/core/app_strings.h"
#include "app/core/opc/opc_strings.h"
#include "common/le_bytes.h"

namespace qd40::app::opc {

namespace {

// 2000-01-01 00:00:00 as a file time.
constexpr int64_t kFileTime2000 = 125911584000000000LL;
constexpr int64_t kFileTimeUnix = 116444736000000000LL;
constexpr int64_t kFileTicksPerMs = 10000;

// The leading decimal number of text, as atoi reads it (0 when none).
uint32_t decimal(const std::string& text) {
    return static_cast<uint32_t>(std::strtoul(text.c_str(), nullptr, 10));
}

std::string replaced(std::string text, char from, char to) {
    for (char& c : text)
        if (c == from)
            c = to;
    return text;
}

}  // namespace

ChansInParse parseChansIn(const std::string& text, const CTavikDoc& doc) {
    ChansInParse result;
    size_t start = 0;
    for (size_t comma; (comma = text.find(',', start)) != std::string::npos; start = comma + 1) {
        const std::string entry = text.substr(start, comma - start);
        const size_t colon = entry.find(':');
        if (colon == std::string::npos) {
            result.ok = false;
            break;
        }
        const uint32_t number = decimal(entry.substr(0, colon));
        const uint32_t mask = decimal(entry.substr(colon + 1));
        CTavikItem* item = number ? doc.findItemByNumber(number) : nullptr;
        if (!item || mask == 0) {
            result.ok = false;
            break;
        }
        result.list.push_back({item, mask});
    }
    return result;
}

std::string formatChansIn(const std::vector<PublishedChannels>& list) {
    std::string text;
    for (const auto& e : list)
        text += std::to_string(e.item->number) + ":" + std::to_string(e.mask) + ",";
    return text;
}

std::string tagModulePart(const CTavikItem& item) {
    return replaced(replaced(item.shortDisplayName(), '.', '_'), ':', '.');
}

std::string channelTagName(const CTavikItem& item, int channel) {
    std::string mnemo;
    auto& control = const_cast<CTavikItem&>(item).control();
    if (failed(control.GetChanMnemo(static_cast<int16_t>(channel), &mnemo)) || mnemo.empty())
        mnemo = strings::formatText(appText(app::text::kChannelDefault), channel);
    return tagModulePart(item) + "." + replaced(mnemo, '.', '_');
}

std::string relayTagName(const CTavikItem& item, int relay) {
    return tagModulePart(item) + "." + opcText(relay == 1 ? text::kRelay1 : text::kRelay2);
}

std::optional<CycleStatus> readCycleStatus(std::span<const uint8_t> bytes) {
    if (bytes.size() < CycleStatus::kSize)
        return std::nullopt;
    CycleStatus s;
    s.milliseconds = le::u16(bytes, 0);
    s.seconds = le::u32(bytes, 2);
    s.errorMask = le::u32(bytes, 10);
    for (size_t i = 0; i < s.values.size(); ++i)
        s.values[i] = le::f32(bytes, 30 + 4 * i);
    return s;
}

std::array<uint32_t, 30> readChannelDelays(std::span<const uint8_t> bytes) {
    static constexpr uint32_t kUnitMs[] = {1, 10, 100, 1000};
    std::array<uint32_t, 30> delays{};
    if (bytes.size() < 2 * delays.size())
        return delays;
    for (size_t i = 0; i < delays.size(); ++i) {
        const uint16_t word = le::u16(bytes, 2 * i);
        delays[i] = (word & 0x3FFFu) * kUnitMs[word >> 14];
    }
    return delays;
}

bool isNewCycle(uint32_t seconds, uint16_t milliseconds, uint32_t lastSeconds,
                uint16_t lastMilliseconds) {
    return !(seconds != 0 && milliseconds != 0 && seconds == lastSeconds &&
             milliseconds == lastMilliseconds);
}

int64_t measurementFileTime(uint32_t seconds, uint16_t milliseconds, uint32_t delayMs) {
    const int64_t ms = int64_t{seconds} * 1000 + milliseconds + delayMs;
    return kFileTime2000 + ms * kFileTicksPerMs;
}

int64_t fileTimeNow() {
    using namespace std::chrono;
    const auto ms = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    return kFileTimeUnix + ms * kFileTicksPerMs;
}

}  // namespace qd40::app::opc
