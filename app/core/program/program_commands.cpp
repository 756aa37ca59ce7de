#include "app/core/program/program_commands.h"

#include "app/core/app_strings.h"
#include "app/core/program/program_strings.h"

namespace qd40::app::program {

namespace {
using views::Selection;
}

bool progCommandEnabled(ProgCommand command, const ProgContext& c) {
    const auto has = [&](int bit) { return (c.rights >> bit & 1u) != 0; };
    const bool module = c.selection == Selection::Module;
    const bool connected = module && c.connected;
    if (c.available && !c.available(command))
        return false;
    switch (command) {
        case ProgCommand::AddModule:
            return has(right::kProgram) && (c.selection == Selection::Host ||
                                            c.selection == Selection::NewModule || module);
        case ProgCommand::ModuleConfiguration:
        case ProgCommand::CommProperties:
        case ProgCommand::Delete:
        case ProgCommand::Rename:
            return module && has(right::kProgram);
        case ProgCommand::ProgramByControl:
            return module && c.securityOffOrConnected;
        case ProgCommand::Transmit:
        case ProgCommand::Trigger:
        case ProgCommand::ForceRemote:
        case ProgCommand::Local:
        case ProgCommand::Initialize:
        case ProgCommand::Relays:
        case ProgCommand::EmailCounter:
        case ProgCommand::SetClock:
            return connected && has(right::kTransmit);
        case ProgCommand::ReadProgram:
        case ProgCommand::ReadName:
        case ProgCommand::Identify:
        case ProgCommand::CommInterfaces:
            return connected && has(right::kReadProgram);
        case ProgCommand::ReadMemory:
        case ProgCommand::ClearMemory:
        case ProgCommand::Events:
        case ProgCommand::Status:
            return connected && has(right::kReadMemory);
        case ProgCommand::Run:
            return connected && has(right::kRun);
        case ProgCommand::Stop:
            return connected && has(right::kStop);
        case ProgCommand::OpcParameters:
            return c.communicationsOpen && c.securityOffOrConnected;
        case ProgCommand::ExportProgram:
            return has(right::kReadProgram);
        case ProgCommand::Print:
        case ProgCommand::PrintPreview:
            return has(right::kPrint);
        case ProgCommand::Copy:
        case ProgCommand::Cut:
            // Offered, not carried out: Copy beeps, Cut does nothing.
            return true;
        case ProgCommand::Paste:
            return false;
    }
    return false;
}

std::string progCommandText(ProgCommand command) {
    return programText(static_cast<int>(command));
}

HRESULT ProgramCommands::programModule(CTavikItem& item, int selectedRow, bool easy,
                                       const SheetRunner& run, pages::PagePrompter& pagePrompter,
                                       char decimalSep) {
    const int16_t channel = selectedRow >= 0 && selectedRow < cfg::kChannels ? selectedRow + 1 : 1;
    item.control().put_DefEditChanNum(channel);
    ProgramSheet sheet(easy ? ProgramSheet::Kind::Easy : ProgramSheet::Kind::Full, item,
                       decimalSep);
    if (!sheet.open()) {
        prompter_.message(appText(text::kCannotAccessModule), Buttons::Ok, Icon::Exclamation);
        return E_FAIL;
    }
    for (;;) {
        if (!run(sheet))
            return S_FALSE;
        bool changed = false;
        const HRESULT h = sheet.finish(pagePrompter, prompter_, changed);
        if (h == S_FALSE)
            continue;  // a field could not be read: the sheet again
        if (failed(h))
            return h;
        if (changed)
            doc_.setModified();
        return S_OK;
    }
}

std::function<bool(CTavikItem&)> ProgramCommands::easyProgrammingHook(
    const SheetRunner& run, pages::PagePrompter& pagePrompter, char decimalSep) {
    return [this, run, &pagePrompter, decimalSep](CTavikItem& item) {
        return programModule(item, 0, true, run, pagePrompter, decimalSep) == S_OK;
    };
}

HRESULT ProgramCommands::clearMemory(CTavikItem& item) {
    if (prompter_.message(appText(text::kClearMemoryAsk), Buttons::YesNoCancel, Icon::Question) !=
        Answer::Yes)
        return E_ABORT;
    return ops_.withOpenItem(item, [](ctl::OvixQd40Ctl& c) {
        for (int16_t b = 1; b <= cfg::kMemBlocks; ++b)
            if (HRESULT h = c.MemClear(b); failed(h))
                return h;
        return S_OK;
    });
}

HRESULT ProgramCommands::initialize(CTavikItem& item) {
    if (prompter_.message(appMessage(text::kInitializeAsk, {item.shortDisplayName()}),
                          Buttons::YesNoCancel, Icon::Question) != Answer::Yes)
        return E_ABORT;
    return ops_.withOpenItem(item, [](ctl::OvixQd40Ctl& c) { return c.BoardInit(); });
}

HRESULT ProgramCommands::identify(CTavikItem& item) {
    std::string type, version, fileVersion, setupName;
    const HRESULT h = ops_.withOpenItem(item, [&](ctl::OvixQd40Ctl& c) {
        for (HRESULT r : {c.get_DevType(&type), c.get_DevVersion(&version),
                          c.get_DevFileVersion(&fileVersion), c.ReadSetupName(&setupName)})
            if (failed(r))
                return r;
        return S_OK;
    });
    if (failed(h))
        return h;
    prompter_.message(strings::formatText(appText(text::kIdentifyModule), type.c_str(),
                                          version.c_str(), fileVersion.c_str(), setupName.c_str()),
                      Buttons::Ok, Icon::Information);
    return S_OK;
}

HRESULT ProgramCommands::trigger(CTavikItem& item) {
    return ops_.withOpenItem(item, [](ctl::OvixQd40Ctl& c) { return c.Trig(); });
}

HRESULT ProgramCommands::stop(CTavikItem& item) {
    return ops_.withOpenItem(item, [](ctl::OvixQd40Ctl& c) { return c.Stop(); });
}

HRESULT ProgramCommands::local(CTavikItem& item) {
    return ops_.withOpenItem(item, [](ctl::OvixQd40Ctl& c) { return c.Local(); });
}

bool ProgramCommands::deleteModule(const CTavikItem& item, const std::string& nodeText) {
    if (prompter_.message(appMessage(text::kDeleteModuleAsk, {nodeText}), Buttons::YesNoCancel,
                          Icon::Question) != Answer::Yes)
        return false;
    doc_.deleteItem(&item);
    doc_.setModified();
    return true;
}

}  // namespace qd40::app::program
