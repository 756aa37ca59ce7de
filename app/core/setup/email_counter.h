// The e-mail counter of a module item, without its dialog: the number of
// e-mails the module has sent, forcing it to a value, and resetting the
// module's e-mail sending conditions. Each action opens the item's
// communication when it is closed and gives it back afterwards; failures are
// shown by the document operations.
#pragma once
#include <cstdint>
#include <string>

#include "app/core/doc_operations.h"
#include "app/core/tavik_item.h"

namespace qd40::app::setup {

class EmailCounter {
public:
    EmailCounter(DocOperations& ops, CTavikItem& item);

    // "Counter of E-mails sent by module "NAME"".
    std::string title() const;
    // Reads the counter again; false when it could not be read.
    bool update();
    // The counter as last read (nullopt before a successful read).
    std::optional<uint16_t> count() const { return count_; }
    // Writes value into the module's counter, then reads it back.
    bool forceTo(uint16_t value);
    bool resetConditions();

private:
    DocOperations& ops_;
    CTavikItem& item_;
    std::optional<uint16_t> count_;
};

}  // namespace qd40::app::setup
