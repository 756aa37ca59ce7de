// The control's way to its communication server: a Qd40 object in the local
// daemon (started by activation when nobody listens) or in the daemon of a
// remote host, reached through the RPC proxy.
#pragma once
#include "control/ctl/qd40_link.h"

namespace qd40::ctl {

Qd40Factory daemonFactory();

}  // namespace qd40::ctl
