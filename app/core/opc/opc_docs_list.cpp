#include "app/core/opc/opc_docs_list.h"

#include "app/core/opc/opc_strings.h"
#include "app/core/tavik_app.h"
#include "common/config/cfg_layout.h"

namespace qd40::app::opc {

namespace {

constexpr int kChannels = 30;

std::string joined(const std::vector<std::string>& names) {
    std::string text;
    for (const auto& n : names)
        text += (text.empty() ? "" : ", ") + n;
    return text;
}

std::string modeText(int mode) {
    switch (mode) {
        case kModeAlways:
            return opcText(text::kModeAlways);
        case kModeIfDifferent:
            return opcText(text::kModeIfDifferent);
        case kModeNever:
            return opcText(text::kModeNever);
        default:
            return {};
    }
}

// The tags a declared document publishes.
void tagNames(CTavikDoc& doc, const std::string& chansIn, OpcDocRow& row) {
    const ChansInParse parsed = parseChansIn(chansIn, doc);
    if (parsed.ok) {
        for (const auto& e : parsed.list)
            for (int n = 1; n <= kChannels; ++n)
                if (e.mask >> (n - 1) & 1)
                    row.inputs.push_back(channelTagName(*e.item, n));
    }
    for (const auto& item : doc.items()) {
        const cfg::ConstFullCfgView full(item->control().state().cfg);
        for (int relay = 1; relay <= 2; ++relay)
            if (full.relayModbus(relay))
                row.outputs.push_back(relayTagName(*item, relay));
    }
}

}  // namespace

OpcDocsList::OpcDocsList(settings::SettingsStore& machine, Session& session, const Loader& load,
                         std::function<bool(int slot)> isActive)
    : machine_(machine), session_(session) {
    for (int slot = 0; slot < kOpcSlots; ++slot) {
        OpcDocRow row;
        row.slot = slot;
        row.settings = readSlot(machine_, slot);
        row.declared = !row.settings.path.empty();
        row.active = row.declared && isActive && isActive(slot);
        if (row.declared) {
            if (auto doc = load ? load(row.settings.path) : nullptr)
                tagNames(*doc, row.settings.chansIn, row);
            else
                row.unreadable = true;
        }
        rows_.push_back(std::move(row));
    }
}

std::vector<std::string> OpcDocsList::columns() {
    std::vector<std::string> names;
    const std::string all = opcText(text::kListColumns);
    size_t start = 0;
    for (size_t tab; (tab = all.find('\t', start)) != std::string::npos; start = tab + 1)
        names.push_back(all.substr(start, tab - start));
    names.push_back(all.substr(start));
    return names;
}

std::vector<std::string> OpcDocsList::cells(int index) const {
    const OpcDocRow& r = rows_.at(static_cast<size_t>(index));
    std::vector<std::string> c(columns().size());
    c[0] = std::to_string(r.slot + 1);
    if (!r.declared || r.blanked)
        return c;
    const std::string unknown = opcText(text::kUnknownDocument);
    c[1] = opcText(r.active ? text::kActive : text::kInactive);
    c[2] = r.settings.path;
    c[3] = modeText(r.settings.sendProg);
    c[4] = r.unreadable ? unknown : joined(r.inputs);
    c[5] = r.unreadable ? unknown : joined(r.outputs);
    c[6] = std::to_string(r.settings.period) + opcText(text::kMilliseconds);
    c[7] = opcText(r.settings.stopOnClose ? text::kYes : text::kNo);
    c[8] = std::to_string(machine_.readInt(kOpcSection, "StartDelay", 5) & 0xFF) +
           opcText(text::kSeconds);
    return c;
}

bool OpcDocsList::canDelete() const {
    return session_.hasRight(right::kCloseWindow);
}

void OpcDocsList::deleteRow(int index, const CloseSlot& close) {
    OpcDocRow& r = rows_.at(static_cast<size_t>(index));
    if (!canDelete() || !r.declared || r.blanked)
        return;
    if (r.active && close)
        close(r.slot);
    r.active = false;
    r.blanked = true;
}

void OpcDocsList::commit() {
    for (const OpcDocRow& r : rows_) {
        if (!r.blanked)
            continue;
        machine_.deleteSection(slotSection(r.slot));
        session_.audit(security::AuditEvent::DOC_OPC_REMOVED, {r.settings.path});
    }
}

}  // namespace qd40::app::opc
