#include "server/rpc/rpc_server.h"

#include <deque>
#include <memory>

#include "server/rpc/wire.h"

namespace qd40::rpc {

namespace {

using server::Variant;

// What a call left: its HRESULT and, on failure, its error record.
struct Done {
    HRESULT h = S_OK;
    ErrorInfo error;
};

class Qd40Impl final : public schema::Qd40::Server {
public:
    Qd40Impl(server::Qd40Context& context, CallThreads* calls)
        : obj_(std::make_unique<server::Qd40>(context)),
          thread_(calls ? calls->start() : nullptr) {}
    // The object goes on its own thread after the calls already there: giving
    // a module its control back may wait on the module, the event loop not.
    ~Qd40Impl() {
        if (!thread_)
            return;
        thread_->post([obj = kj::mv(obj_)]() mutable {
            const auto turn = obj->lineTurn();
            obj.reset();
        });
        thread_->retire();
    }

#include "server/rpc/qd40_methods_server.inc"

private:
    // Runs `work` on the object in its turn on its line: on the object's
    // thread when it has one, the result coming back to the event loop.
    kj::Promise<Done> call(kj::Function<HRESULT(server::Qd40&)> work) {
        if (!thread_)
            return run(*obj_, work);
        auto paf = kj::newPromiseAndCrossThreadFulfiller<Done>();
        thread_->post([obj = obj_.get(), work = kj::mv(work),
                       done = kj::mv(paf.fulfiller)]() mutable { done->fulfill(run(*obj, work)); });
        return kj::mv(paf.promise);
    }
    static Done run(server::Qd40& obj, kj::Function<HRESULT(server::Qd40&)>& work) {
        const auto turn = obj.lineTurn();
        Done d;
        d.h = work(obj);
        if (failed(d.h))
            d.error = obj.lastError();
        return d;
    }

    template <typename Results>
    static void finish(Results& r, const Done& d) {
        r.setHr(d.h);
        if (failed(d.h))
            toWire(d.error, r.initError());
    }

    std::unique_ptr<server::Qd40> obj_;  // released with the capability
    std::shared_ptr<CallThread> thread_;
};

class FactoryImpl final : public schema::Qd40Factory::Server {
public:
    FactoryImpl(server::Qd40Context& context, CallThreads* calls)
        : context_(context), calls_(calls) {}

protected:
    kj::Promise<void> createInstance(CreateInstanceContext context) override {
        auto r = context.getResults();
        r.setHr(S_OK);
        r.setObject(kj::heap<Qd40Impl>(context_, calls_));
        return kj::READY_NOW;
    }
    kj::Promise<void> lockServer(LockServerContext context) override {
        if (context.getParams().getFLock())
            locks_.emplace_back(context_.life);
        else if (!locks_.empty())
            locks_.pop_back();
        context.getResults().setHr(S_OK);
        return kj::READY_NOW;
    }

private:
    server::Qd40Context& context_;
    CallThreads* calls_;
    std::deque<server::ServerLife::Hold> locks_;  // the client's lockServer(true) calls
};

}  // namespace

kj::Own<schema::Qd40Factory::Server> makeFactory(server::Qd40Context& context, CallThreads* calls) {
    return kj::heap<FactoryImpl>(context, calls);
}

}  // namespace qd40::rpc
