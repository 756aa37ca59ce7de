// The list of the documents declared for the OPC service at launch: one row
// per slot with its settings and the names of the tags it publishes (worked
// out by opening the document without showing it). Delete blanks a row and
// closes the open document of that slot; OK removes the blanked slots from
// the machine-wide store, Cancel leaves it as it was.
#pragma once
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/core/app_ports.h"
#include "app/core/opc/opc_service.h"
#include "app/core/settings/settings_store.h"

namespace qd40::app::opc {

struct OpcDocRow {
    int slot = 0;
    bool declared = false;
    bool active = false;  // an open document holds the slot
    bool blanked = false;
    OpcSlot settings;
    std::vector<std::string> inputs;   // channel tag names
    std::vector<std::string> outputs;  // relay tag names
    bool unreadable = false;           // the document could not be opened
};

class OpcDocsList {
public:
    // Opens a document without showing it; null when it cannot be opened.
    using Loader = std::function<std::unique_ptr<CTavikDoc>(const std::filesystem::path&)>;
    // Closes the open document that holds a slot.
    using CloseSlot = std::function<void(int slot)>;

    OpcDocsList(settings::SettingsStore& machine, Session& session, const Loader& load,
                std::function<bool(int slot)> isActive);

    const std::vector<OpcDocRow>& rows() const { return rows_; }
    static std::vector<std::string> columns();
    // The texts of a row, in the columns' order.
    std::vector<std::string> cells(int row) const;

    // Delete needs right 1.
    bool canDelete() const;
    void deleteRow(int row, const CloseSlot& close);
    // OK: the blanked rows' slots are removed and DOC_OPC_REMOVED recorded.
    void commit();

private:
    settings::SettingsStore& machine_;
    Session& session_;
    std::vector<OpcDocRow> rows_;
};

}  // namespace qd40::app::opc
