#include "common/config/legacy_cfg.h"

#include <algorithm>

namespace qd40::cfg {

namespace {

constexpr size_t kOldChannelSize = 140;
constexpr size_t kOldBlockSize = 30;
constexpr size_t kMaskGroupSize = 16;

void copyBytes(std::span<const uint8_t> from, size_t fromOff, std::span<uint8_t> to, size_t toOff,
               size_t n) {
    std::copy_n(from.begin() + fromOff, n, to.begin() + toOff);
}

// The 30-byte block record had a u16 size: it becomes today's u32 and the
// other 28 bytes follow it.
void convertBlocks(std::span<const uint8_t> from, size_t fromOff, std::span<uint8_t> to) {
    for (int b = 0; b < kMemBlocks; ++b) {
        const size_t src = fromOff + kOldBlockSize * size_t(b);
        const size_t dst =
            BasicFullCfgView<uint8_t>::kMemBlocksOffset + kMemBlockCfgSize * size_t(b);
        le::setU32(to, dst, le::u16(from, src));
        copyBytes(from, src + 2, to, dst + 4, kOldBlockSize - 2);
    }
}

void copyMasks(std::span<const uint8_t> from, size_t fromOff, std::span<uint8_t> to) {
    copyBytes(from, fromOff, to, FullCfgView::kGlobalAlarm1Offset, 2 * kMaskGroupSize);
}

}  // namespace

size_t persistedFullCfgSize(const FileVersion& saver) {
    if (saver < kFirstVersion4664)
        return kFullCfgSize4544;
    if (saver < kFirstVersion4684)
        return kFullCfgSize4664;
    return kFullCfgSize;
}

std::optional<FullCfgData> convertPersistedFullCfg(const FileVersion& saver,
                                                   std::span<const uint8_t> bytes) {
    const size_t expected = persistedFullCfgSize(saver);
    if (bytes.size() != expected)
        return std::nullopt;
    FullCfgData out{};
    if (expected == kFullCfgSize) {
        std::copy(bytes.begin(), bytes.end(), out.begin());
    } else if (expected == kFullCfgSize4664) {
        copyBytes(bytes, 0, out, 0, FullCfgView::kMemBlocksOffset);
        convertBlocks(bytes, FullCfgView::kMemBlocksOffset, out);
        copyMasks(bytes, FullCfgView::kMemBlocksOffset + kMemBlocks * kOldBlockSize, out);
    } else {
        const size_t head = FullCfgView::kChannelsOffset;
        copyBytes(bytes, 0, out, 0, head);
        for (int n = 1; n <= kChannels; ++n) {
            copyBytes(bytes, head + kOldChannelSize * size_t(n - 1), out,
                      head + kChannelCfgSize * size_t(n - 1), kOldChannelSize);
            FullCfgView(out).channel(n).setDeadBandAbs(0.0f);
        }
        const size_t blocks = head + kChannels * kOldChannelSize;  // 4212
        convertBlocks(bytes, blocks, out);
        copyMasks(bytes, blocks + kMemBlocks * kOldBlockSize, out);
    }
    return out;
}

}  // namespace qd40::cfg
