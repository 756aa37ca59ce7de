#include "app/core/setup/setup_strings.h"

#include "app/security/security_strings.h"

namespace qd40::app::setup {

namespace {
using namespace stext;
constexpr strings::Entry kEntries[] = {
    {kResetSetupAsk,
     "Do you want to reset default SETUP Configuration Parameters of the connected module ?",
     nullptr},
    {kUnableToOpenComm, "Unable to open communication", nullptr},
    {kServiceAdjustmentReading, "Adjustment reading", nullptr},
    {kServiceManufacturing, "Manufacturing", nullptr},
    {kServiceAdjustment, "Adjustment", nullptr},
    {kAccessCodeTitle, "Enter Access Code", nullptr},
    {kAccessCodePrompt, "Access code to Service \"%1\"", nullptr},
    {kAccessCodeRefused, "This code does not grant access to Service \"%1\"", nullptr},
    {kReadingSetup, "Reading SETUP Data", nullptr},
    {kWritingSetup, "Writing SETUP Data", nullptr},
    {kConfigInAcquisitionSince,
     "Authorizing configuration modifications during acquisition is available since QD40 "
     "Module version A.02 only",
     nullptr},
    {kFrontButtonSince,
     "Front button action definition is available since QD40 Module version B.04 only", nullptr},
    {kUsbRadioSince,
     "P1 and P2 ports USB and Radio definition is available since QD40 Module version B.05 only",
     nullptr},
    {kCmdSetup, "QD40 Module Communication Interfaces Configuration", nullptr},
    {kCmdEthernetAddress, "Define Address of the Module Ethernet Component", nullptr},
    {kCmdResetSetup, "Reset module with default Setup values", nullptr},

    {kItemFailed, "SETUP item %1 (%2): %3", nullptr},
    {kSheetTitle, "QD40 Module Communication Interfaces", nullptr},
    {kPagePorts, "Serial Ports", nullptr},
    {kPageNetwork, "Network", nullptr},
    {kPageModem, "Modem", nullptr},
    {kPageEmail, "E-mail", nullptr},
    {kPageOther, "Other", nullptr},
    {kP1Port, "P1 Port (RS485)", nullptr},
    {kP2Port, "P2 Port (RS232)", nullptr},
    {kRate, "Rate:", nullptr},
    {kSlaveNo, "MODBUS Slave No.:", nullptr},
    {kTwoWires, "2 wires", nullptr},
    {kFourWires, "4 wires", nullptr},
    {kInterface, "Interface:", nullptr},
    {kStandard, "Standard", nullptr},
    {kUsb, "USB", nullptr},
    {kRadio, "Radio", nullptr},
    {kWordsOrder, "Words order:", nullptr},
    {kMsbFirst, "Most significant first", nullptr},
    {kLsbFirst, "Least significant first", nullptr},
    {kResultsFormat, "Measurement results format:", nullptr},
    {kFormatNames, "Floating point (32 bits)\nLong integer (32 bits)\nInteger (16 bits)", nullptr},
    {kModbusMode, "MODBUS operating mode", nullptr},
    {kModeSlave, "Standard (Slave)", nullptr},
    {kModeGateway, "MODBUS Gateway (Master on P1)", nullptr},
    {kMaxWait, "Max. waiting time:", nullptr},
    {kModemConnected, "Connected to a Modem", nullptr},
    {kDhcp, "Obtain an IP address automatically", nullptr},
    {kFixedIp, "Specify an IP address:", nullptr},
    {kIpAddress, "IP address:", nullptr},
    {kSubnetMask, "Subnet mask:", nullptr},
    {kGateway, "Gateway:", nullptr},
    {kDns1, "First DNS server:", nullptr},
    {kDns2, "Second DNS server:", nullptr},
    {kDns3, "Third DNS server:", nullptr},
    {kModemInit, "Modem Initialization AT String:", nullptr},
    {kProviderGroup, "Connection to an access provider", nullptr},
    {kPhone, "Phone number:", nullptr},
    {kConnectionId, "Connection identifier:", nullptr},
    {kConnectionPassword, "Connection password:", nullptr},
    {kPrimaryDns, "Primary DNS:", nullptr},
    {kSecondaryDns, "Secondary DNS:", nullptr},
    {kUsersGroup, "Users connection", nullptr},
    {kUsersIp, "IP address:", nullptr},
    {kIdleDisconnect, "Disconnect when idle for more than:", nullptr},
    {kSmtpServer, "SMTP Server:", nullptr},
    {kAccessVia, "Access via:", nullptr},
    {kViaEthernet, "Ethernet", nullptr},
    {kViaModem, "Modem", nullptr},
    {kSender, "Sender:", nullptr},
    {kRecipient, "Recipient %1:", nullptr},
    {kMailOnPowerOn, "Send an E-mail on every Power On", nullptr},
    {kModuleClock, "Module date and time", nullptr},
    {kSynchronize, "&Synchronize", nullptr},
    {kSendTime, "S&end", nullptr},
    {kLanguage, "Language:", nullptr},
    {kLanguageNames, "English\nFrench", nullptr},
    {kTimeStamp, "Time stamp", nullptr},
    {kAbsolute, "Absolute", nullptr},
    {kRelativeToRun, "Relative to RUN command", nullptr},
    {kMainsRejection, "Mains rejection", nullptr},
    {k50Hz, "50 Hz", nullptr},
    {k60Hz, "60 Hz", nullptr},
    {kFrontButton, "Front button action", nullptr},
    {kRun, "RUN", nullptr},
    {kRunStop, "RUN / STOP", nullptr},
    {kConfigInAcquisition, "Authorize configuration modifications during acquisition", nullptr},
    {kDoNotRound, "Do not round the results", nullptr},
    {kModuleName, "QD40 Module Name:", nullptr},
    {kEthernetTitle, "Ethernet Address", nullptr},
    {kHex, "&Hex.", nullptr},
    {kDec, "&Dec.", nullptr},
    {kEthernetNotReadable,
     "The module offers no way to read or write its Ethernet component address through this "
     "connection; nothing was sent.",
     nullptr},
    {kEmailCounterTitle, "Counter of E-mails sent by module \"%1\"", nullptr},
    {kEmailsSent, "E-mails sent:", nullptr},
    {kUpdate, "&Update", nullptr},
    {kForceCounter, "&Force counter to value:", nullptr},
    {kResetConditions, "Reset E-mails Sending Conditions", nullptr},
    {kCmdEmailCounter, "E-mails &Counter...", nullptr},
    {kSecondsUnit, "s", nullptr},
    {kInvalidAddress,
     "\"%1\" is not an IP address: enter four numbers from 0 to 255 such as 192.168.1.40.",
     nullptr},
    {kByteOutOfRange,
     "Each byte of the address is a number from 0 to 255 (00 to FF in hexadecimal).", nullptr},
};
}  // namespace

const strings::StringTable& setupStrings() {
    static const strings::StringTable table{kEntries};
    return table;
}

std::string setupText(int id) {
    return setupStrings().text(id, strings::Language::English).value_or(std::string());
}

std::string setupMessage(int id, const std::vector<std::string>& args) {
    return security::fillPlaceholders(setupText(id), args);
}

std::vector<std::string> setupList(int id) {
    std::vector<std::string> out;
    const std::string all = setupText(id);
    size_t start = 0;
    while (start <= all.size()) {
        const size_t end = all.find('\n', start);
        out.push_back(
            all.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return out;
}

}  // namespace qd40::app::setup
