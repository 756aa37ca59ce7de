// Saving and loading a control's state, in the two forms a container uses:
// a property bag of named typed values, and a stream of values in the
// variant stream encoding followed by the raw blobs. Which items exist
// depends on the file version of the control that saved them.
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "common/error_info.h"
#include "common/version_text.h"
#include "control/ctl/ctl_state.h"

namespace qd40::ctl {

// VARTYPE codes of persisted values.
inline constexpr uint16_t kVtI2 = 2;
inline constexpr uint16_t kVtBstr = 8;
inline constexpr uint16_t kVtBool = 11;
inline constexpr uint16_t kVtUi1 = 17;
inline constexpr uint16_t kVtUi4 = 19;
inline constexpr uint16_t kVtByteArray = 0x2011;

// One typed value of a property bag.
struct PropValue {
    uint16_t vt = 0;
    std::variant<uint32_t, bool, int16_t, uint8_t, std::string, std::vector<uint8_t>> value;

    static PropValue ui4(uint32_t v) { return {kVtUi4, v}; }
    static PropValue boolean(bool v) { return {kVtBool, v}; }
    static PropValue i2(int16_t v) { return {kVtI2, v}; }
    static PropValue ui1(uint8_t v) { return {kVtUi1, v}; }
    static PropValue bstr(std::string v) { return {kVtBstr, std::move(v)}; }
    static PropValue bytes(std::span<const uint8_t> b) {
        return {kVtByteArray, std::vector<uint8_t>(b.begin(), b.end())};
    }
    bool operator==(const PropValue&) const = default;
};

// Named values in the order they were written.
class PropertyBag {
public:
    void write(const std::string& name, PropValue value);
    const PropValue* read(const std::string& name) const;
    const std::vector<std::pair<std::string, PropValue>>& items() const { return items_; }

private:
    std::vector<std::pair<std::string, PropValue>> items_;
};

// The versions at which persisted items appeared or changed.
namespace persist_version {
inline constexpr FileVersion kChansRes = FileVersion::of(0, 0, 99, 300);
inline constexpr FileVersion kNoHalfDuplex = FileVersion::of(0, 0, 99, 400);
inline constexpr FileVersion kEmailAndMasks = FileVersion::of(0, 0, 99, 500);
inline constexpr FileVersion kChansExt = FileVersion::of(0, 0, 99, 700);
inline constexpr FileVersion kQd40Ext = FileVersion::of(0, 0, 99, 900);
inline constexpr FileVersion kSerialMode = FileVersion::of(1, 8, 99, 1800);
}  // namespace persist_version

// The marker written before the extent in the stream form.
inline constexpr uint32_t kExtentMarker = 0x0300;

// The file version this control writes into what it saves.
FileVersion ownFileVersion();

// Saves `state` with this control's version and every item that version has.
void saveToPropertyBag(const CtlState& state, PropertyBag& bag);
// Loads into `state`. On failure (a missing value, or a value of another type)
// returns E_INVALIDARG and leaves `state` unchanged. On success `state` holds
// the defaults overwritten by what the saving version stored.
Status loadFromPropertyBag(const PropertyBag& bag, CtlState& state);

// A byte sink that may accept fewer bytes than offered (a full disk).
class OutStream {
public:
    virtual ~OutStream() = default;
    // Returns the number of bytes written.
    virtual size_t write(std::span<const uint8_t> bytes) = 0;
};

class VectorOutStream : public OutStream {
public:
    explicit VectorOutStream(size_t limit = SIZE_MAX) : limit_(limit) {}
    size_t write(std::span<const uint8_t> bytes) override;
    const std::vector<uint8_t>& bytes() const { return bytes_; }

private:
    size_t limit_;
    std::vector<uint8_t> bytes_;
};

// Fails with STG_E_CANTSAVE on a short write.
Status saveToStream(const CtlState& state, OutStream& out);
// Reads from the start of `in`; `consumed` receives the bytes used. A short
// read or a value of another type fails and leaves `state` unchanged.
Status loadFromStream(std::span<const uint8_t> in, CtlState& state, size_t* consumed = nullptr);

// The channel resolutions as a loaded or read control keeps them: 6 for a
// channel without linearisation points, and at most 6 otherwise.
void fixChannelResolutions(const cfg::FullCfgData& cfg, cfg::ChansResCfgData& res);

}  // namespace qd40::ctl
