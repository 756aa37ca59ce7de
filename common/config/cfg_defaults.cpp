#include "common/config/cfg_defaults.h"

#include <algorithm>

#include "common/config/code_tables.h"

namespace qd40::cfg {

FullCfgData defaultFullCfg() {
    FullCfgData data{};
    const FullCfgView cfg(data);
    cfg.setGlobalWord(0);
    cfg.setAcqWord(kDefaultAcqWord);
    cfg.setChansToScan(kDefaultChansToScan);
    cfg.setAcqPeriod(kDefaultAcqPeriod);
    cfg.setAuxPeriod(kDefaultAuxPeriod);
    for (int n = 1; n <= kChannels; ++n) {
        const ChannelCfg ch = cfg.channel(n);
        ch.setFlags(kDefaultChannelFlags);
        ch.setDefaultValue(kMaxFloat);
        for (int k = 1; k <= kLimits; ++k)
            ch.limit(k).setFlags(kDefaultLimitFlags);
    }
    for (int b = 1; b <= kMemBlocks; ++b) {
        const MemBlockCfg blk = cfg.memBlock(b);
        blk.setChansToRecord(kAllChannelsMask);
        blk.setOpeningWord(kOpenAcquisition);
        blk.setRecordingWord(0x0008);  // "Every"
        blk.setEveryN(1);
    }
    return data;
}

ChansResCfgData defaultChansResCfg() {
    ChansResCfgData data{};
    const ChansResCfg res(data);
    for (int n = 1; n <= kChannels; ++n)
        res.setResol(n, ChansResCfg::kAuto);
    return data;
}

EmailCfgData defaultEmailCfg() {
    return EmailCfgData{};
}

MemsStatusMaskCfgData defaultMemsStatusMaskCfg() {
    MemsStatusMaskCfgData data{};
    MemsStatusMaskCfg(data).setMask(kEvtFullBlock, 0x0001);
    return data;
}

Qd40ExtCfgData defaultQd40ExtCfg(strings::Language language) {
    Qd40ExtCfgData data{};
    const FullCfgData full = defaultFullCfg();
    const ConstFullCfgView cfg(full);
    const Qd40ExtCfg ext(data);
    for (int n = 1; n <= kChannels; ++n) {
        const ConstChannelCfg ch = cfg.channel(n);
        ext.setChanMnemonic(n, defaultMnemonic(n, language));
        ext.setChanUnit(n, defaultUnit(ch.function(), ch.range()));
    }
    return data;
}

Qd40ExtCfgData defaultQd40ExtCfg() {
    return defaultQd40ExtCfg(strings::languageFromEnvironment());
}

ChansExtCfgData defaultChansExtCfg(strings::Language language) {
    const Qd40ExtCfgData ext = defaultQd40ExtCfg(language);
    ChansExtCfgData data{};
    const auto part = ConstQd40ExtCfg(ext).chansExt().bytes();
    std::copy(part.begin(), part.end(), data.begin());
    return data;
}

ChansExtCfgData defaultChansExtCfg() {
    return defaultChansExtCfg(strings::languageFromEnvironment());
}

}  // namespace qd40::cfg
