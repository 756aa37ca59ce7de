// The module operations of a document, on one item or on all of them, with
// the questions they ask, the audit events they record and the messages they
// show. Every operation on an item follows the same envelope: open the
// item's control when it is closed, do the work, close it again only when
// this operation opened it.
//
// Results: S_OK done; S_FALSE the user chose not to do it; E_ABORT the user
// declined; E_FAIL the work failed (the control's error has been shown).
#pragma once
#include <array>
#include <filesystem>
#include <functional>

#include "app/core/app_ports.h"
#include "app/core/tavik_doc.h"

namespace qd40::app {

class DocOperations {
public:
    DocOperations(CTavikDoc& doc, AppPrompter& prompter, Session& session);

    // ---- items
    // Adds a module modelled on `model` (may be null) through the
    // communication parameters dialog; null when cancelled. `easyProgramming`
    // runs the easy programming sheet on the new item (may be empty: skipped);
    // when it returns true, block 1 is set to close when full.
    CTavikItem* addModule(const CTavikItem* model,
                          const std::function<bool(CTavikItem&)>& easyProgramming = {});
    // Edits the item's communication parameters; false on Cancel.
    bool editCommParams(CTavikItem& item);
    // The message that refuses params for item (106 or 227), or nullopt.
    std::optional<int> commParamsConflict(const ctl::CtlConnection& params,
                                          const CTavikItem* item) const;

    // ---- programs
    HRESULT transmit(CTavikItem& item, bool silent = false);
    HRESULT transmitAll();
    HRESULT programSentCheck(CTavikItem& item, bool ask = true);
    HRESULT programSentCheckAll();
    // `saveAs` saves the document under a new path (the module's program name).
    HRESULT readProgram(CTavikItem& item, bool silent = false);
    HRESULT readName(CTavikItem& item);

    // ---- acquisition
    HRESULT run(CTavikItem& item);
    HRESULT runAll();
    HRESULT stopAll();
    HRESULT forceRemote(CTavikItem& item);
    HRESULT setRelay(CTavikItem& item, int relay, bool on);

    // ---- communications of the whole document
    HRESULT openCommunications();
    // Refused with 402 while the document is in OPC service.
    HRESULT closeCommunications(bool opcServiceRunning);

    // Shows the control's last error with message 125.
    void showControlError(const CTavikItem& item, HRESULT hr);

    // Runs work on the item inside the open-use-close envelope; a failure of
    // the opening or of the work is shown and gives E_FAIL.
    HRESULT withOpenItem(CTavikItem& item, const std::function<HRESULT(ctl::OvixQd40Ctl&)>& work);

private:
    // The blocks (bit n-1 for block n) holding records that are not
    // re-openable, or nullopt when the status could not be read (shown).
    std::optional<uint16_t> blocksNeedingChoice(CTavikItem& item);
    std::optional<int> askRunOption();
    HRESULT transmitOpen(CTavikItem& item, ctl::OvixQd40Ctl& c);
    void audit(security::AuditEvent event, const CTavikItem& item);

    CTavikDoc& doc_;
    AppPrompter& prompter_;
    Session& session_;
};

// Message 125 filled with a failure.
std::string controlErrorText(HRESULT hr, const ErrorInfo& error);

}  // namespace qd40::app
