// What a document publishes: its tags, the list of published channels with
// its stored form ("ChansIn"), the tags' names, and the reading of a
// module's cycle into tag values and time stamps.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "app/core/opc/opc_toolkit.h"
#include "app/core/tavik_doc.h"

namespace qd40::app::opc {

// One published tag.
struct COpcTag {
    static constexpr int32_t kRelay1Index = 30;
    static constexpr int32_t kRelay2Index = 31;

    TagHandle handle = kInvalidTag;
    int64_t fileTime = 0;  // of the last value; the creation time at first
    std::string name;
    std::string extra1, extra2;  // kept empty
    TagValue value = 0.0f;
    CTavikItem* item = nullptr;
    int32_t index = 0;  // 0..29 for channels 1..30, 30 and 31 for the relays

    bool isRelay() const { return index >= kRelay1Index; }
    int relay() const { return index - kRelay1Index + 1; }
};

// One entry of the published list: the channels (bit n-1 = channel n) of a module.
struct PublishedChannels {
    CTavikItem* item = nullptr;
    uint32_t mask = 0;
    bool operator==(const PublishedChannels&) const = default;
};

struct ChansInParse {
    // The entries read before the end or the first error.
    std::vector<PublishedChannels> list;
    bool ok = true;
};

// Reads "ITEM:MASK," entries: the text after the last comma is ignored; an
// entry without ":", with a 0 item number or mask, or naming no item of the
// document stops the reading with an error.
ChansInParse parseChansIn(const std::string& text, const CTavikDoc& doc);
// The stored form: "ITEM:MASK," for each entry.
std::string formatChansIn(const std::vector<PublishedChannels>& list);

// The module part of the item's tag names: its short display name with "."
// made "_", then ":" made ".".
std::string tagModulePart(const CTavikItem& item);
// "MODULE.CHANNEL" with the channel's mnemonic, else "Chan.NN", "." made "_".
std::string channelTagName(const CTavikItem& item, int channel);
std::string relayTagName(const CTavikItem& item, int relay);

// The module's current cycle as its cycle status gives it.
struct CycleStatus {
    static constexpr size_t kSize = 210;
    uint16_t milliseconds = 0;
    uint32_t seconds = 0;  // since 2000-01-01 00:00:00
    uint32_t errorMask = 0;
    std::array<float, 30> values{};
};
std::optional<CycleStatus> readCycleStatus(std::span<const uint8_t> bytes);
// The channels' measurement delays in milliseconds (all 0 when unreadable).
std::array<uint32_t, 30> readChannelDelays(std::span<const uint8_t> bytes);
// A cycle is new unless its time is set (seconds and milliseconds both
// non-zero) and equals the one remembered.
bool isNewCycle(uint32_t seconds, uint16_t milliseconds, uint32_t lastSeconds,
                uint16_t lastMilliseconds);
// The file time (100 ns since 1601-01-01) of a channel's measurement.
int64_t measurementFileTime(uint32_t seconds, uint16_t milliseconds, uint32_t delayMs);
// The file time of now.
int64_t fileTimeNow();

}  // namespace qd40::app::opc
