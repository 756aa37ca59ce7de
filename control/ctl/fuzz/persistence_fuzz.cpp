// Fuzz target of the control's two persistence loaders. The input edits what
// this control saves of a default state, so that the loaders are reached past
// their headers: the first byte chooses the stream form or the property bag,
// the rest overwrites bytes of the stream (or cuts it short), or changes the
// type, number or text of the bag's values, or drops values. Whatever the
// input, a failed load leaves the state as it was, and a stream load never
// says it used more bytes than it was given.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "control/ctl/persistence.h"

using namespace qd40;
using namespace qd40::ctl;

namespace {

void check(bool ok) {
    if (!ok)
        std::abort();
}

// A state unlike the defaults, so that "unchanged" is told apart from "reset".
CtlState marked() {
    CtlState s = CtlState::defaults();
    s.conn.mbAddr = 77;
    return s;
}

void fuzzStream(const uint8_t* data, size_t size) {
    VectorOutStream out;
    check(saveToStream(CtlState::defaults(), out).isOk());
    std::vector<uint8_t> bytes = out.bytes();
    if (size >= 2) {
        // Cut short to this length when it is below the saved size.
        const size_t cut = size_t(data[0]) << 8 | data[1];
        if (cut < bytes.size())
            bytes.resize(cut);
        data += 2;
        size -= 2;
    }
    for (size_t i = 0; i + 2 < size && !bytes.empty(); i += 3) {
        const size_t at = (size_t(data[i]) << 8 | data[i + 1]) % bytes.size();
        bytes[at] = data[i + 2];
    }
    CtlState state = marked();
    size_t used = 0;
    const Status st = loadFromStream(bytes, state, &used);
    check(used <= bytes.size());
    if (!st.isOk())
        check(state == marked());
}

PropValue retyped(const PropValue& v, uint8_t kind, uint32_t number, std::string text) {
    switch (kind % 6) {
        case 0:
            return PropValue::ui4(number);
        case 1:
            return PropValue::boolean(number & 1);
        case 2:
            return PropValue::i2(int16_t(number));
        case 3:
            return PropValue::ui1(uint8_t(number));
        case 4:
            return PropValue::bstr(std::move(text));
        default: {
            std::vector<uint8_t> b(text.begin(), text.end());
            if (const auto* old = std::get_if<std::vector<uint8_t>>(&v.value); old && b.empty())
                b = *old;
            return PropValue::bytes(b);
        }
    }
}

void fuzzBag(const uint8_t* data, size_t size) {
    PropertyBag saved;
    saveToPropertyBag(CtlState::defaults(), saved);
    auto items = saved.items();
    // Operations of 7 bytes: item, what, kind, number (4 bytes); a text
    // takes the following bytes, as many as the number's low byte says.
    size_t i = 0;
    while (i + 7 <= size && !items.empty()) {
        const size_t item = data[i] % items.size();
        const uint8_t what = data[i + 1] % 4;
        const uint8_t kind = data[i + 2];
        const uint32_t number = uint32_t(data[i + 3]) << 24 | uint32_t(data[i + 4]) << 16 |
                                uint32_t(data[i + 5]) << 8 | data[i + 6];
        i += 7;
        const size_t n = std::min<size_t>(number & 0xFF, size - i);
        std::string text(reinterpret_cast<const char*>(data + i), n);
        PropValue& v = items[item].second;
        switch (what) {
            case 0:
                items.erase(items.begin() + std::ptrdiff_t(item));
                break;
            case 1:
                v = retyped(v, kind, number, text);
                i += n;
                break;
            case 2:
                // Same type, another value.
                v = retyped(v,
                            v.vt == kVtUi4    ? 0
                            : v.vt == kVtBool ? 1
                            : v.vt == kVtI2   ? 2
                            : v.vt == kVtUi1  ? 3
                            : v.vt == kVtBstr ? 4
                                              : 5,
                            number, text);
                i += n;
                break;
            default:
                // The same name twice: the loader reads the first.
                items.push_back(items[item]);
                break;
        }
    }
    PropertyBag bag;
    for (auto& [name, value] : items)
        bag.write(name, value);
    CtlState state = marked();
    if (!loadFromPropertyBag(bag, state).isOk())
        check(state == marked());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    if (data[0] & 1)
        fuzzStream(data + 1, size - 1);
    else
        fuzzBag(data + 1, size - 1);
    return 0;
}
