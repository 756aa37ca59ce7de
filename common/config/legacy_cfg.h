// Full configuration records persisted by earlier controls: their size and
// their conversion into today's 4684-byte layout, chosen by the saving
// control's file version.
#pragma once
#include <cstddef>
#include <optional>
#include <span>

#include "common/config/cfg_layout.h"
#include "common/version_text.h"

namespace qd40::cfg {

// 4544 bytes before 0.0.99.500, 4664 bytes before 0.0.99.900, then 4684.
inline constexpr size_t kFullCfgSize4544 = 4544;
inline constexpr size_t kFullCfgSize4664 = 4664;
inline constexpr FileVersion kFirstVersion4664 = FileVersion::of(0, 0, 99, 500);
inline constexpr FileVersion kFirstVersion4684 = FileVersion::of(0, 0, 99, 900);

size_t persistedFullCfgSize(const FileVersion& saver);

// Today's record from the bytes a control of version `saver` persisted; empty
// when the bytes do not have the size that version wrote.
std::optional<FullCfgData> convertPersistedFullCfg(const FileVersion& saver,
                                                   std::span<const uint8_t> bytes);

}  // namespace qd40::cfg
