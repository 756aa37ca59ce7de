#include "common/config/variant_blob.h"

#include <algorithm>

#include "platform/strings.h"

namespace qd40::cfg {

VariantBlob packBlob(std::span<const uint8_t> blob) {
    return VariantBlob{kByteArrayType, 1, std::vector<uint8_t>(blob.begin(), blob.end())};
}

Status unpackBlob(const VariantBlob& v, std::span<uint8_t> blob) {
    std::fill(blob.begin(), blob.end(), uint8_t{0});
    const bool isArray = (v.vt & VT_ARRAY) != 0 && v.dims == 1;
    const bool byteLike = ((v.vt & VT_TYPEMASK) & 0x11) != 0;
    // A shorter array is refused: copying the blob's length from it would
    // read past its end.
    if (!isArray || !byteLike || v.data.size() < blob.size())
        return Status::failure(E_INVALIDARG, strings::controlStrings().textOrEmpty(517));
    std::copy_n(v.data.begin(), blob.size(), blob.begin());
    return Status::ok();
}

}  // namespace qd40::cfg
