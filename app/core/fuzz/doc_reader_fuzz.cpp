// Fuzz target: the document reader (header recognition, version gates, item
// list with each control's saved state, record blocks). Whatever it accepts
// must write back to bytes that read again and write the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "app/core/tavik_doc.h"

using namespace qd40;

namespace {
app::CTavikDoc::ControlFactory factory() {
    return [](ctl::CtlContainer* c) {
        // Never opened: no server and a registry that is never written.
        return std::make_unique<ctl::OvixQd40Ctl>(ctl::Qd40Factory{}, c,
                                                  platform::RegistryStore("/nonexistent"));
    };
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    app::CTavikDoc doc(factory());
    if (!doc.read(std::span(data, size), "fuzz").isOk())
        return 0;
    const std::vector<uint8_t> written = doc.write();
    app::CTavikDoc again(factory());
    if (!again.read(written, "fuzz").isOk() || again.write() != written)
        std::abort();
    return 0;
}
