// The blobs of a new control: the base every editor fills before it reads a blob.
#pragma once
#include "common/config/cfg_layout.h"
#include "platform/strings.h"

namespace qd40::cfg {

inline constexpr uint16_t kDefaultAcqWord = 0x2A00;
inline constexpr uint32_t kDefaultChansToScan = 0x000003FF;
inline constexpr uint16_t kDefaultAcqPeriod = 1000;
inline constexpr uint16_t kDefaultAuxPeriod = 10000;
inline constexpr uint16_t kDefaultChannelFlags = 0x1000;
inline constexpr uint16_t kDefaultLimitFlags = 0x0101;

FullCfgData defaultFullCfg();
ChansResCfgData defaultChansResCfg();
EmailCfgData defaultEmailCfg();
MemsStatusMaskCfgData defaultMemsStatusMaskCfg();
// Every channel's default mnemonic (in the given language) and the default
// unit of its function and range in the default full record.
Qd40ExtCfgData defaultQd40ExtCfg(strings::Language language);
Qd40ExtCfgData defaultQd40ExtCfg();
// The channel part of the default Qd40ExtCfg.
ChansExtCfgData defaultChansExtCfg(strings::Language language);
ChansExtCfgData defaultChansExtCfg();

}  // namespace qd40::cfg
