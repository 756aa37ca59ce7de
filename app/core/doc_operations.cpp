#include "app/core/doc_operations.h"

#include "app/core/app_strings.h"
#include "common/config/cfg_layout.h"
#include "common/le_bytes.h"

namespace qd40::app {

using security::AuditEvent;

namespace {
// Word 2 of the memory blocks status: the blocks that hold records.
constexpr size_t kHoldsRecordsOffset = 4;
constexpr int kStatusRunBit = 0;

std::string upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return s;
}
}  // namespace

std::string controlErrorText(HRESULT hr, const ErrorInfo& error) {
    return strings::formatText(appText(text::kControlError), static_cast<uint32_t>(hr),
                               static_cast<int32_t>(hr), error.source.c_str(),
                               error.description.c_str());
}

DocOperations::DocOperations(CTavikDoc& doc, AppPrompter& prompter, Session& session)
    : doc_(doc), prompter_(prompter), session_(session) {}

void DocOperations::showControlError(const CTavikItem& item, HRESULT hr) {
    prompter_.message(controlErrorText(hr, item.control().lastError()), Buttons::Ok,
                      Icon::Exclamation);
}

void DocOperations::audit(AuditEvent event, const CTavikItem& item) {
    session_.audit(event, {item.shortDisplayName()});
}

HRESULT DocOperations::withOpenItem(CTavikItem& item,
                                    const std::function<HRESULT(ctl::OvixQd40Ctl&)>& work) {
    ctl::OvixQd40Ctl& c = item.control();
    int32_t isOpen = 0;
    c.get_IsOpen(&isOpen);
    const bool opened = !isOpen;
    if (opened) {
        if (HRESULT h = c.Open(); failed(h)) {
            showControlError(item, h);
            return E_FAIL;
        }
    }
    HRESULT result = work(c);
    if (failed(result) && result != E_ABORT) {
        // The error text is the control's; work that failed for another
        // reason has shown its own message and returns E_FAIL.
        if (result != E_FAIL || !c.lastError().description.empty())
            showControlError(item, result);
        result = E_FAIL;
    }
    if (opened)
        c.Close();
    return result;
}

// ---- items ----------------------------------------------------------------------

std::optional<int> DocOperations::commParamsConflict(const ctl::CtlConnection& p,
                                                     const CTavikItem* self) const {
    for (const auto& other : doc_.items()) {
        if (other.get() == self)
            continue;
        const ctl::CtlConnection& o = other->connection();
        if (o.serial == p.serial && o.ipAddr == p.ipAddr && o.port == p.port &&
            o.mbAddr == p.mbAddr)
            return text::kSameCommParams;
        if (o.serial != p.serial && !p.ipAddr.empty() && o.ipAddr == p.ipAddr)
            return text::kAddressTaken;
    }
    return std::nullopt;
}

namespace {
void applyConnection(ctl::OvixQd40Ctl& c, const ctl::CtlConnection& p) {
    c.put_Serial(p.serial);
    if (p.serial) {
        c.put_OvixQd40SvrParams(p.ovixQd40SvrParams);
        c.put_Port(static_cast<uint16_t>(p.port));
        c.put_BaudRate(static_cast<int32_t>(p.baudRate));
        c.put_SerialMode(p.serialMode);
        c.put_IpAddr(p.ipAddr);
    } else {
        c.put_IpAddr(p.ipAddr);
        c.put_Port(static_cast<uint16_t>(p.port));
    }
    c.put_MbAddr(p.mbAddr);
}
}  // namespace

CTavikItem* DocOperations::addModule(const CTavikItem* model,
                                     const std::function<bool(CTavikItem&)>& easyProgramming) {
    ctl::CtlConnection params = ctl::CtlState::defaults().conn;
    if (model) {
        params = model->connection();
        if (params.serial)
            params.mbAddr = static_cast<uint8_t>(params.mbAddr + 1);
    }
    for (;;) {
        if (!prompter_.editCommParams(params))
            return nullptr;
        const std::optional<int> conflict = commParamsConflict(params, nullptr);
        if (!conflict)
            break;
        prompter_.message(appText(*conflict), Buttons::Ok, Icon::Exclamation);
    }
    CTavikItem& item = doc_.newItem();
    applyConnection(item.control(), params);
    if (easyProgramming && easyProgramming(item)) {
        cfg::FullCfgData full = item.control().state().cfg;
        cfg::FullCfgView(full).memBlock(1).setCloseOnFull(true);
        item.control().put_Cfg(cfg::packBlob(full));
    }
    doc_.numberItem(item);
    doc_.setModified();
    return &item;
}

bool DocOperations::editCommParams(CTavikItem& item) {
    ctl::CtlConnection params = item.connection();
    for (;;) {
        if (!prompter_.editCommParams(params))
            return false;
        const std::optional<int> conflict = commParamsConflict(params, &item);
        if (!conflict)
            break;
        prompter_.message(appText(*conflict), Buttons::Ok, Icon::Exclamation);
    }
    applyConnection(item.control(), params);
    doc_.setModified();
    return true;
}

// ---- programs --------------------------------------------------------------------

HRESULT DocOperations::transmitOpen(CTavikItem& item, ctl::OvixQd40Ctl& c) {
    HRESULT h = c.BoardInit();
    if (succeeded(h))
        h = c.SendCfg();
    if (succeeded(h)) {
        const ProgramIdentification id = doc_.programIdentification();
        h = c.SendCfgFileIdn(id.time, id.name);
    }
    if (succeeded(h))
        audit(AuditEvent::SEND_PROG, item);
    return h;
}

HRESULT DocOperations::transmit(CTavikItem& item, bool silent) {
    if (!silent && prompter_.message(appText(text::kTransmitOneAsk), Buttons::YesNoCancel,
                                     Icon::Question) != Answer::Yes)
        return E_ABORT;
    return withOpenItem(item, [&](ctl::OvixQd40Ctl& c) { return transmitOpen(item, c); });
}

HRESULT DocOperations::transmitAll() {
    if (prompter_.message(appText(text::kTransmitAllAsk), Buttons::YesNoCancel, Icon::Question) !=
        Answer::Yes)
        return E_ABORT;
    HRESULT result = S_OK;
    for (const auto& item : doc_.items())
        if (failed(transmit(*item, true)))
            result = E_FAIL;
    return result;
}

HRESULT DocOperations::programSentCheck(CTavikItem& item, bool ask) {
    return withOpenItem(item, [&](ctl::OvixQd40Ctl& c) -> HRESULT {
        uint32_t time = 0;
        std::string name;
        if (HRESULT h = c.ReadCfgFileIdn(&time, &name); failed(h))
            return h;
        const ProgramIdentification id = doc_.programIdentification();
        if (name == id.name && time == id.time)
            return S_OK;
        if (!ask)
            return S_FALSE;
        switch (prompter_.message(appMessage(text::kProgramNotSentAsk, {item.shortDisplayName()}),
                                  Buttons::YesNoCancel, Icon::Question)) {
            case Answer::Yes:
                return transmitOpen(item, c);
            case Answer::No:
                return S_FALSE;
            default:
                return E_ABORT;
        }
    });
}

HRESULT DocOperations::programSentCheckAll() {
    for (const auto& item : doc_.items()) {
        const HRESULT h = programSentCheck(*item);
        if (failed(h))
            return h;
    }
    return S_OK;
}

HRESULT DocOperations::readProgram(CTavikItem& item, bool silent) {
    if (!silent && prompter_.message(appText(text::kReadProgramAsk), Buttons::YesNoCancel,
                                     Icon::Question) != Answer::Yes)
        return E_ABORT;
    std::string moduleName;
    const HRESULT h = withOpenItem(item, [&](ctl::OvixQd40Ctl& c) -> HRESULT {
        if (HRESULT r = c.ReadCfg(); failed(r))
            return r;
        uint32_t time = 0;
        return c.ReadCfgFileIdn(&time, &moduleName);
    });
    if (failed(h))
        return h;
    doc_.setModified();
    moduleName = upper(moduleName);
    if (!moduleName.empty() &&
        (doc_.path().empty() || doc_.programIdentification().name != moduleName) &&
        prompter_.message(appMessage(text::kAssignNameAsk, {moduleName}), Buttons::YesNo,
                          Icon::Question) == Answer::Yes) {
        std::filesystem::path folder =
            doc_.path().empty() ? std::filesystem::current_path() : doc_.path().parent_path();
        if (Status st = doc_.save(folder / (moduleName + CTavikDoc::kExtension)); !st) {
            prompter_.message(st.error.description, Buttons::Ok, Icon::Exclamation);
            return E_FAIL;
        }
    }
    return S_OK;
}

HRESULT DocOperations::readName(CTavikItem& item) {
    std::string name;
    const HRESULT h =
        withOpenItem(item, [&](ctl::OvixQd40Ctl& c) { return c.ReadSetupName(&name); });
    if (failed(h))
        return h;
    item.setMnemonic(name);
    doc_.setModified();
    return S_OK;
}

// ---- acquisition --------------------------------------------------------------------

std::optional<uint16_t> DocOperations::blocksNeedingChoice(CTavikItem& item) {
    ctl::OvixQd40Ctl& c = item.control();
    int16_t status = 0;
    if (succeeded(c.GetStatus(&status)) && (status >> kStatusRunBit & 1))
        return uint16_t{0};
    cfg::VariantBlob mems;
    if (failed(c.GetMemsStatus(&mems)) || mems.data.size() < 8) {
        prompter_.message(appText(text::kUnableToReadStatus), Buttons::Ok, Icon::Exclamation);
        return std::nullopt;
    }
    const uint16_t holding = le::u16(mems.data, kHoldsRecordsOffset);
    const cfg::ConstFullCfgView cfgView(c.state().cfg);
    uint16_t need = 0;
    for (int b = 1; b <= cfg::kMemBlocks; ++b)
        if ((holding >> (b - 1) & 1) && !cfgView.memBlock(b).reopenable())
            need = static_cast<uint16_t>(need | 1u << (b - 1));
    return need;
}

std::optional<int> DocOperations::askRunOption() {
    return prompter_.threeChoices(
        appText(text::kRunTitle), appText(text::kRunChoiceText) + ":",
        {appText(text::kRunClearing), appText(text::kRunAdding), appText(text::kRunWithout)});
}

HRESULT DocOperations::run(CTavikItem& item) {
    const HRESULT check = programSentCheck(item);
    if (check == E_FAIL)
        return E_FAIL;
    return withOpenItem(item, [&](ctl::OvixQd40Ctl& c) -> HRESULT {
        const std::optional<uint16_t> need = blocksNeedingChoice(item);
        if (!need)
            return E_ABORT;
        HRESULT h;
        if (*need) {
            const std::optional<int> option = askRunOption();
            if (!option)
                return E_ABORT;
            h = c.RunWithOptMem(static_cast<int16_t>(*option));
        } else {
            h = c.Run();
        }
        if (succeeded(h))
            audit(AuditEvent::SEND_RUN, item);
        return h;
    });
}

HRESULT DocOperations::runAll() {
    programSentCheckAll();
    std::vector<bool> needs;
    bool anyNeeds = false;
    for (const auto& item : doc_.items()) {
        bool need = false;
        withOpenItem(*item, [&](ctl::OvixQd40Ctl&) -> HRESULT {
            const std::optional<uint16_t> blocks = blocksNeedingChoice(*item);
            need = blocks && *blocks;
            return S_OK;
        });
        needs.push_back(need);
        anyNeeds = anyNeeds || need;
    }
    int option = 0;
    if (anyNeeds) {
        const std::optional<int> chosen = askRunOption();
        if (!chosen)
            return E_ABORT;
        option = *chosen;
    }
    session_.audit(AuditEvent::SEND_RUN_ALL, {});
    HRESULT result = S_OK;
    for (size_t i = 0; i < doc_.items().size(); ++i) {
        const HRESULT h = withOpenItem(*doc_.items()[i], [&](ctl::OvixQd40Ctl& c) {
            return needs[i] ? c.RunWithOptMem(static_cast<int16_t>(option)) : c.Run();
        });
        if (failed(h))
            result = E_FAIL;
    }
    return result;
}

HRESULT DocOperations::stopAll() {
    session_.audit(AuditEvent::SEND_STOP_ALL, {});
    HRESULT result = S_OK;
    for (const auto& item : doc_.items())
        if (failed(withOpenItem(*item, [](ctl::OvixQd40Ctl& c) { return c.Stop(); })))
            result = E_FAIL;
    return result;
}

HRESULT DocOperations::forceRemote(CTavikItem& item) {
    return withOpenItem(item, [&](ctl::OvixQd40Ctl& c) {
        const HRESULT h = c.ForceRemote();
        if (succeeded(h))
            audit(AuditEvent::SEND_FORCE_REMOTE, item);
        return h;
    });
}

HRESULT DocOperations::setRelay(CTavikItem& item, int relay, bool on) {
    return withOpenItem(item, [&](ctl::OvixQd40Ctl& c) {
        return c.SetRel(static_cast<int16_t>(relay), on ? 1 : 0);
    });
}

// ---- communications ---------------------------------------------------------------

HRESULT DocOperations::openCommunications() {
    HRESULT result = S_OK;
    for (const auto& item : doc_.items()) {
        int32_t isOpen = 0;
        item->control().get_IsOpen(&isOpen);
        if (isOpen)
            continue;
        if (HRESULT h = item->control().Open(); failed(h)) {
            showControlError(*item, h);
            result = E_FAIL;
        }
    }
    doc_.communicationsOpen = true;
    return result;
}

HRESULT DocOperations::closeCommunications(bool opcServiceRunning) {
    if (opcServiceRunning) {
        prompter_.message(appText(text::kOpcServiceActive), Buttons::Ok, Icon::Exclamation);
        return E_ABORT;
    }
    for (const auto& item : doc_.items()) {
        int32_t isOpen = 0;
        item->control().get_IsOpen(&isOpen);
        if (isOpen)
            item->control().Close();
    }
    doc_.communicationsOpen = false;
    return S_OK;
}

}  // namespace qd40::app
