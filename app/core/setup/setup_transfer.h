// Reading and writing a module's SETUP, item by item, through the command
// mailbox: command 24 reads an item, command 25 (with the two confirmation
// words) changes one, command 26 stores them all in the module's permanent
// memory. The version gates decide which items the module has; the others
// read as their default and are never sent.
#pragma once
#include <cstdint>
#include <string>

#include "app/core/app_ports.h"
#include "app/core/setup/setup_record.h"
#include "app/records/wait_progress.h"
#include "control/ctl/qd40_link.h"

namespace qd40::app::setup {

// Command block sizes of the mailbox.
inline constexpr uint16_t kCmdReadSetupItem = 24;
inline constexpr uint16_t kCmdWriteSetupItem = 25;
inline constexpr uint16_t kCmdStoreSetup = 26;
// An answer read back from the mailbox: the code, the length, 64 words.
inline constexpr int16_t kSetupAnswerRegisters = 66;

class SetupTransfer {
public:
    // link: open on the module's line, under remote control for writes.
    SetupTransfer(ctl::Qd40Link& link, uint8_t devAddr, std::string moduleVersion);

    // Reads every item into out. progress (may be null) shows "Reading SETUP
    // Data" with one step an item; its Cancel gives E_ABORT.
    HRESULT read(SetupRecord& out, records::IWaitDialog* progress);
    // Reads one item into r (its default when the module lacks it).
    HRESULT readItem(int id, SetupRecord& r);
    // Sends the items of edited that differ from original, then stores the
    // SETUP. A changed item the module does not have is not sent; for the
    // front button, the acquisition setting and the interfaces the prompter
    // says why (once each). The first failing write ends the transfer.
    HRESULT write(const SetupRecord& edited, const SetupRecord& original,
                  records::IWaitDialog* progress, AppPrompter& prompter);

    // After a failure: the item it stopped at (-1 for none, e.g. the final
    // store) and the error record naming it.
    int failedItem() const { return failedItem_; }
    const ErrorInfo& lastError() const { return error_; }
    const std::string& moduleVersion() const { return version_; }

private:
    HRESULT fail(int id, HRESULT hr, const std::string& cause);
    HRESULT sendBlock(const std::vector<uint16_t>& block);

    ctl::Qd40Link& link_;
    uint8_t devAddr_;
    std::string version_;
    int failedItem_ = -1;
    ErrorInfo error_;
};

}  // namespace qd40::app::setup
