#include "server/rpc/rpc_server.h"

#include <memory>

#include "server/rpc/wire.h"

namespace qd40::rpc {

namespace {

using server::Variant;

class Qd40Impl final : public schema::Qd40::Server {
public:
    explicit Qd40Impl(server::Qd40Context& context)
        : obj_(std::make_unique<server::Qd40>(context)) {}

#include "server/rpc/qd40_methods_server.inc"

private:
    template <typename Results>
    void finish(Results& r, HRESULT h) {
        r.setHr(h);
        if (failed(h))
            toWire(obj_->lastError(), r.initError());
    }

    std::unique_ptr<server::Qd40> obj_;  // released with the capability
};

class FactoryImpl final : public schema::Qd40Factory::Server {
public:
    explicit FactoryImpl(server::Qd40Context& context) : context_(context) {}
    ~FactoryImpl() {
        for (; locks_ > 0; --locks_)
            context_.life.unlock();
    }

protected:
    kj::Promise<void> createInstance(CreateInstanceContext context) override {
        auto r = context.getResults();
        r.setHr(S_OK);
        r.setObject(kj::heap<Qd40Impl>(context_));
        return kj::READY_NOW;
    }
    kj::Promise<void> lockServer(LockServerContext context) override {
        if (context.getParams().getFLock()) {
            ++locks_;
            context_.life.lock();
        } else if (locks_ > 0) {
            --locks_;
            context_.life.unlock();
        }
        context.getResults().setHr(S_OK);
        return kj::READY_NOW;
    }

private:
    server::Qd40Context& context_;
    int locks_ = 0;
};

}  // namespace

kj::Own<schema::Qd40Factory::Server> makeFactory(server::Qd40Context& context) {
    return kj::heap<FactoryImpl>(context);
}

}  // namespace qd40::rpc
