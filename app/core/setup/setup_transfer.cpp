#include "app/core/setup/setup_transfer.h"

#include <set>

#include "app/core/setup/setup_strings.h"
#include "common/module_constants.h"
#include "common/module_registers.h"

namespace qd40::app::setup {

namespace {
// Shows the progress dialog for the transfer and closes it however it ends.
class ProgressScope {
public:
    ProgressScope(records::IWaitDialog* p, int titleId) : p_(p) {
        if (!p_)
            return;
        p_->create(titleId);
        p_->setRange(0, kSetupItemCount);
        p_->setStep(1);
        p_->setPos(0);
        p_->setMessage(setupText(titleId));
    }
    ~ProgressScope() {
        if (p_)
            p_->destroy();
    }
    ProgressScope(const ProgressScope&) = delete;
    ProgressScope& operator=(const ProgressScope&) = delete;
    bool cancelled() { return p_ && p_->IsCancelled(); }
    void step() {
        if (p_)
            p_->step();
    }

private:
    records::IWaitDialog* p_;
};

std::vector<uint16_t> words(const server::Variant& v) {
    std::vector<uint16_t> w;
    for (size_t i = 0; i + 1 < v.data.size(); i += 2)
        w.push_back(uint16_t(v.data[i] | v.data[i + 1] << 8));
    return w;
}
}  // namespace

SetupTransfer::SetupTransfer(ctl::Qd40Link& link, uint8_t devAddr, std::string moduleVersion)
    : link_(link), devAddr_(devAddr), version_(std::move(moduleVersion)) {}

HRESULT SetupTransfer::fail(int id, HRESULT hr, const std::string& cause) {
    failedItem_ = id;
    const ErrorInfo& linkError = link_.lastError();
    error_.source = linkError.source;
    error_.interfaceId = linkError.interfaceId;
    const SetupItemDef* d = id < 0 ? nullptr : findSetupItem(id);
    error_.description =
        d ? setupMessage(stext::kItemFailed, {std::to_string(id), d->key, cause}) : cause;
    return hr;
}

HRESULT SetupTransfer::sendBlock(const std::vector<uint16_t>& block) {
    int32_t err = 0;
    return link_.SendRegs(devAddr_, uint32_t(module::reg::kCommand), int16_t(block.size()),
                          server::Variant::words(block), &err);
}

HRESULT SetupTransfer::readItem(int id, SetupRecord& r) {
    const SetupItemDef* d = findSetupItem(id);
    if (!d)
        return fail(-1, E_INVALIDARG, "SETUP item " + std::to_string(id) + " does not exist");
    if (!itemPresent(id, version_)) {
        r.setNumber(id, absentValue(id));
        return S_OK;
    }
    if (HRESULT hr = sendBlock({kCmdReadSetupItem, 1, uint16_t(id)}); failed(hr))
        return fail(id, hr, link_.lastError().description);
    server::Variant answer;
    int32_t err = 0;
    if (HRESULT hr = link_.ReadRegs(devAddr_, uint32_t(module::reg::kCommand),
                                    kSetupAnswerRegisters, 1, &answer, &err);
        failed(hr))
        return fail(id, hr, link_.lastError().description);
    const std::vector<uint16_t> w = words(answer);
    const size_t need = size_t(wordCount(d->type));
    if (w.size() < 2 + need || w[1] < need)
        return fail(id, E_FAIL,
                    "the module answered " + std::to_string(w.size() < 2 ? 0 : w[1]) +
                        " words instead of " + std::to_string(need));
    r.fromWords(id, std::span<const uint16_t>(w).subspan(2, need));
    return S_OK;
}

HRESULT SetupTransfer::read(SetupRecord& out, records::IWaitDialog* progress) {
    failedItem_ = -1;
    ProgressScope scope(progress, stext::kReadingSetup);
    SetupRecord r;
    for (const SetupItemDef& d : setupItems()) {
        if (scope.cancelled())
            return fail(d.id, E_ABORT, "cancelled");
        if (HRESULT hr = readItem(d.id, r); failed(hr))
            return hr;
        scope.step();
    }
    out = r;
    return S_OK;
}

HRESULT SetupTransfer::write(const SetupRecord& edited, const SetupRecord& original,
                             records::IWaitDialog* progress, AppPrompter& prompter) {
    failedItem_ = -1;
    ProgressScope scope(progress, stext::kWritingSetup);
    std::set<int> explained;
    for (const SetupItemDef& d : setupItems()) {
        if (scope.cancelled())
            return fail(d.id, E_ABORT, "cancelled");
        if (edited.sameItem(original, d.id)) {
            scope.step();
            continue;
        }
        if (!itemPresent(d.id, version_)) {
            // Several items share one explanation (the interfaces): said once.
            if (const int text = absentChangeText(d.id); text != 0 && explained.insert(text).second)
                prompter.message(setupText(text), Buttons::Ok, Icon::Exclamation);
            scope.step();
            continue;
        }
        const std::vector<uint16_t> value = edited.toWords(d.id);
        std::vector<uint16_t> block{kCmdWriteSetupItem, uint16_t(3 + value.size()),
                                    module::kConfirmWord1, module::kConfirmWord2, uint16_t(d.id)};
        block.insert(block.end(), value.begin(), value.end());
        if (HRESULT hr = sendBlock(block); failed(hr))
            return fail(d.id, hr, link_.lastError().description);
        scope.step();
    }
    if (HRESULT hr = sendBlock({kCmdStoreSetup, 2, module::kConfirmWord1, module::kConfirmWord2});
        failed(hr))
        return fail(-1, hr, link_.lastError().description);
    return S_OK;
}

}  // namespace qd40::app::setup
