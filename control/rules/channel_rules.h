// Which choices a channel may take, and the edits that keep a channel record
// consistent when its function, range or connection changes.
#pragma once
#include <string_view>
#include <vector>

#include "common/config/cfg_layout.h"

namespace qd40::rules {

// The channel of 1 to 10 wired with channel n (n - 10 for 11 to 20, n - 20
// for 21 to 30); 0 for channels 1 to 10.
int partnerChannel(int n);

// Functions offered to channel n: every function on 1 to 10; no Ohm or RT on
// 11 to 30; only Not Prog. when the partner uses a connection other than 0.
std::vector<int> functionsOffered(cfg::ConstFullCfgView cfg, int n);
// Range set when the function changes ("5 V", "100 V", "100 Ohm", "20 mA",
// "Pt100", "K", "TOR"); 0 for Not Prog.
int defaultRangeForFunction(int fct);
// Connection codes offered to channel n with function fct.
std::vector<int> connectionsOffered(int n, int fct);
// Connection after a function change: code 2 when offered, else the last
// offered; 0 when none is offered.
int connectionAfterFunctionChange(int n, int fct);
bool speedOffered(int fct);
bool cutOffTestAllowed(int fct, int connection);
bool rjcAllowed(int fct);

// The multi-wire rule, applied when channel n (1 to 10) is stored with a
// connection other than 0: channels n + 10 and n + 20 become Not Prog.
// (their other bits stay). Nothing happens for other channels.
void applyMultiWireRule(cfg::FullCfgView cfg, int n);

// Edits of channel n that follow the rules: a function change sets the
// default range, the connection, the test and RJC flags and the unit text; a
// range change sets the unit text; a connection change sets the test flag.
void changeFunction(cfg::FullCfgView cfg, cfg::ChansExtCfg texts, int n, int fct);
void changeRange(cfg::FullCfgView cfg, cfg::ChansExtCfg texts, int n, int rge);
void changeConnection(cfg::FullCfgView cfg, int n, int connection);

}  // namespace qd40::rules
