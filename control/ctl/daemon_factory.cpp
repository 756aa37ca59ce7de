#include "control/ctl/daemon_factory.h"

#include "server/rpc/qd40_client.h"

namespace qd40::ctl {

Qd40Factory daemonFactory() {
    return [](const std::string& host, std::unique_ptr<Qd40Link>& out) -> Status {
        Status st;
        auto client = rpc::Qd40Client::create(host, &st);
        if (!client)
            return st.isOk() ? Status::failure(E_FAIL, "No Qd40 object was created") : st;
        out = std::make_unique<Qd40LinkTo<rpc::Qd40Client>>(std::move(client));
        return Status::ok();
    };
}

}  // namespace qd40::ctl
