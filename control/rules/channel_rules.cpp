#include "control/rules/channel_rules.h"

#include <algorithm>

#include "common/config/code_tables.h"

namespace qd40::rules {

using namespace qd40::cfg;

namespace {
bool multiWireChannel(int n) {
    return n >= 1 && n <= 10;
}
}  // namespace

int partnerChannel(int n) {
    if (n >= 11 && n <= 20)
        return n - 10;
    if (n >= 21 && n <= 30)
        return n - 20;
    return 0;
}

std::vector<int> functionsOffered(ConstFullCfgView cfg, int n) {
    const int partner = partnerChannel(n);
    if (partner != 0 && cfg.channel(partner).connection() != kConn1Wire)
        return {kFctNotProg};
    std::vector<int> fcts;
    for (int f = kFctNotProg; f <= kFctContact; ++f) {
        if (!multiWireChannel(n) && (f == kFctOhm || f == kFctRt))
            continue;
        fcts.push_back(f);
    }
    return fcts;
}

int defaultRangeForFunction(int fct) {
    switch (fct) {
        case kFctVdc:
            return 2;  // "5 V"
        case kFctVac:
            return 1;  // "100 V"
        case kFctRt:
            return 1;  // "Pt100"
        default:
            return 0;  // "100 Ohm", "20 mA", "K", "TOR"
    }
}

std::vector<int> connectionsOffered(int n, int fct) {
    if (fct == kFctNotProg || fct < 0 || fct > kFctContact)
        return {};
    if (!multiWireChannel(n))
        return {kConn1Wire};
    switch (fct) {
        case kFctOhm:
        case kFctRt:
            return {kConn2Wires, kConn3Wires, kConn4Wires};
        case kFctContact:
            return {kConn1Wire, kConn2Wires};
        default:  // Vdc, Vac, Current, TC
            return {kConn1Wire, kConn3Wires};
    }
}

int connectionAfterFunctionChange(int n, int fct) {
    const auto offered = connectionsOffered(n, fct);
    if (offered.empty())
        return kConn1Wire;
    if (std::find(offered.begin(), offered.end(), kConn3Wires) != offered.end())
        return kConn3Wires;
    return offered.back();
}

bool speedOffered(int fct) {
    return fct != kFctNotProg && fct != kFctVac && fct != kFctContact && fct >= 0 &&
           fct <= kFctContact;
}

bool cutOffTestAllowed(int fct, int connection) {
    if (fct == kFctTc)
        return true;
    return (fct == kFctOhm || fct == kFctRt) &&
           (connection == kConn3Wires || connection == kConn4Wires);
}

bool rjcAllowed(int fct) {
    return fct == kFctTc;
}

void applyMultiWireRule(FullCfgView cfg, int n) {
    if (!multiWireChannel(n) || cfg.channel(n).connection() == kConn1Wire)
        return;
    cfg.channel(n + 10).setFunction(kFctNotProg);
    cfg.channel(n + 20).setFunction(kFctNotProg);
}

void changeFunction(FullCfgView cfg, ChansExtCfg texts, int n, int fct) {
    const ChannelCfg ch = cfg.channel(n);
    ch.setFunction(fct);
    ch.setRange(defaultRangeForFunction(fct));
    ch.setConnection(connectionAfterFunctionChange(n, fct));
    ch.setCutOffTest(cutOffTestAllowed(fct, ch.connection()));
    ch.setRjc(rjcAllowed(fct));
    texts.setUnit(n, defaultUnit(fct, ch.range()));
}

void changeRange(FullCfgView cfg, ChansExtCfg texts, int n, int rge) {
    const ChannelCfg ch = cfg.channel(n);
    ch.setRange(rge);
    texts.setUnit(n, defaultUnit(ch.function(), rge));
}

void changeConnection(FullCfgView cfg, int n, int connection) {
    const ChannelCfg ch = cfg.channel(n);
    ch.setConnection(connection);
    ch.setCutOffTest(cutOffTestAllowed(ch.function(), connection));
}

}  // namespace qd40::rules
