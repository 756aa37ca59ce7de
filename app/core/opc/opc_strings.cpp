#include "app/core/opc/opc_strings.h"

#include "app/security/security_strings.h"

namespace qd40::app::opc {

namespace {
using namespace text;
constexpr strings::Entry kEntries[] = {
    {kRelay1, "Relay 1", nullptr},
    {kRelay2, "Relay 2", nullptr},
    {kDefineService, "Define OPC Service", nullptr},
    {kSaveBeforeDeclaring,
     "Save Document before requesting activation of OPC Service on Tavik launching", nullptr},
    {kTooManyDocuments,
     "Too much documents are declared for OPC Service when starting Tavik (%1 as a "
     "Maximum).\n\nRemove a document before adding this one (Qd40|OPC Server|OPC Service "
     "Documents command).",
     nullptr},
    {kChannelsToPublish, "Channels to be published", nullptr},
    {kChannelListErrors, "Errors have been detected in the channels list", nullptr},
    {kModeAlways, "Always", nullptr},
    {kModeIfDifferent, "If Different", nullptr},
    {kModeNever, "Never", nullptr},
    {kYes, "Yes", nullptr},
    {kNo, "No", nullptr},
    {kListColumns,
     "No.\tStatus\tDocument\tTrans. Prog.\tInputs\tOutputs\tPeriod\tEnd Stop\tStart Delay",
     nullptr},
    {kActive, "Active", nullptr},
    {kInactive, "Inactive", nullptr},
    {kServerPage, "Server", nullptr},
    {kPeriodLabel, "Scanning period (ms):", nullptr},
    {kStartDelayLabel, "Start delay (s):", nullptr},
    {kModeAlwaysButton, "&Always transmit Program to the QD40 modules.", nullptr},
    {kModeIfDifferentButton,
     "&Transmit Program only when the QD40 modules current Program is different.", nullptr},
    {kModeNeverButton, "&Never transmit Program.", nullptr},
    {kStopOnClose, "Stop QD40 modules when closing Server.", nullptr},
    {kListTitle, "OPC Service Documents", nullptr},
    {kDeleteButton, "&Delete", nullptr},
    {kUnknownDocument, "???", nullptr},
    {kMilliseconds, " ms", nullptr},
    {kSeconds, " s", nullptr},
    {kOpcMenu, "&OPC Server", nullptr},
    {kServiceParamsItem, "Service &Parameters...", nullptr},
    {kServiceDocumentsItem, "Service &Documents...", nullptr},
    {kCmdServiceDocuments, "List documents declared for OPC Service", nullptr},
    {kCmdServiceParams, "Define OPC Service Parameters for the active document", nullptr},
};
constexpr strings::StringTable kTable{kEntries};
}  // namespace

const strings::StringTable& opcStrings() {
    return kTable;
}

std::string opcText(int id) {
    return kTable.textOrEmpty(id);
}

std::string opcMessage(int id, const std::vector<std::string>& args) {
    return security::fillPlaceholders(opcText(id), args);
}

}  // namespace qd40::app::opc
