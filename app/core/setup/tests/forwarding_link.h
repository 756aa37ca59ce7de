// A link that hands every call to another one; tests derive from it to watch
// some calls on their way to the real communication server. Its members are
// the generated forwarding ones, so it follows the link's interface.
#pragma once
#include <memory>

#include "control/ctl/qd40_link.h"

namespace qd40::app::setup::testing {

using ctl::Qd40Link;
using server::Variant;

class ForwardingLink : public Qd40Link {
public:
    explicit ForwardingLink(std::unique_ptr<Qd40Link> inner) : impl_(std::move(inner)) {}
    const ErrorInfo& lastError() const override { return impl_->lastError(); }

#include "control/ctl/qd40_link_forward.inc"

private:
    std::unique_ptr<Qd40Link> impl_;
};

}  // namespace qd40::app::setup::testing
