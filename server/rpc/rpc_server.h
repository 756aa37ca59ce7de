// The daemon's side of the RPC: a factory per client connection, whose
// createInstance makes one Qd40 object per call and whose lockServer locks
// the daemon until the client unlocks or goes away.
#pragma once
#include <capnp/capability.h>

#include "qd40.capnp.h"
#include "server/qd40.h"
#include "server/rpc/call_threads.h"

namespace qd40::rpc {

// The bootstrap capability of one client connection. Releasing it (the
// client dropping the connection) gives back the locks that client took.
// With `calls`, each object runs its calls on a thread of its own and the
// event loop only carries them; without, calls run on the event loop.
kj::Own<schema::Qd40Factory::Server> makeFactory(server::Qd40Context& context,
                                                 CallThreads* calls = nullptr);

}  // namespace qd40::rpc
