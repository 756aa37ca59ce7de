#include "app/core/setup/email_counter.h"

#include "app/core/setup/setup_strings.h"

namespace qd40::app::setup {

EmailCounter::EmailCounter(DocOperations& ops, CTavikItem& item) : ops_(ops), item_(item) {}

std::string EmailCounter::title() const {
    return setupMessage(stext::kEmailCounterTitle, {item_.longDisplayName()});
}

bool EmailCounter::update() {
    uint16_t value = 0;
    const HRESULT hr =
        ops_.withOpenItem(item_, [&](ctl::OvixQd40Ctl& c) { return c.GetSentEmailCount(&value); });
    if (failed(hr))
        return false;
    count_ = value;
    return true;
}

bool EmailCounter::forceTo(uint16_t value) {
    if (failed(ops_.withOpenItem(
            item_, [value](ctl::OvixQd40Ctl& c) { return c.SetSentEmailCount(value); })))
        return false;
    return update();
}

bool EmailCounter::resetConditions() {
    return succeeded(
        ops_.withOpenItem(item_, [](ctl::OvixQd40Ctl& c) { return c.ReInitEmailAlerter(); }));
}

}  // namespace qd40::app::setup
