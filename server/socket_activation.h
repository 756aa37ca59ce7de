// Socket activation by the service manager (systemd's LISTEN_FDS protocol):
// the daemon started for a connection on a socket the manager holds takes
// that socket instead of creating its own, and leaves it in place when it
// ends, so the next client starts it again.
#pragma once

namespace qd40::server {

// The listening socket handed to this process (descriptor 3), or -1 when
// none was. The environment variables are cleared, so children do not take
// them for theirs.
int handedListenSocket();

}  // namespace qd40::server
