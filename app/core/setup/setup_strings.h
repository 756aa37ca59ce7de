// Texts of the module SETUP commands, their pages and dialogs, and of the
// e-mail counter dialog (English only, like the rest of the application).
#pragma once
#include <string>
#include <vector>

#include "platform/strings.h"

namespace qd40::app::setup {

namespace stext {
inline constexpr int kResetSetupAsk = 105;
inline constexpr int kUnableToOpenComm = 110;
inline constexpr int kServiceAdjustmentReading = 169;
inline constexpr int kServiceManufacturing = 170;
inline constexpr int kServiceAdjustment = 171;
inline constexpr int kAccessCodeTitle = 172;
inline constexpr int kAccessCodePrompt = 173;
inline constexpr int kAccessCodeRefused = 174;
inline constexpr int kReadingSetup = 429;
inline constexpr int kWritingSetup = 430;
inline constexpr int kConfigInAcquisitionSince = 431;
inline constexpr int kFrontButtonSince = 432;
inline constexpr int kUsbRadioSince = 433;
// Commands of the frame.
inline constexpr int kCmdSetup = 32800;
inline constexpr int kCmdEthernetAddress = 32824;
inline constexpr int kCmdResetSetup = 32850;

// Ours, 9400 to 9499: the failing item, the sheet, its pages and the dialogs.
inline constexpr int kItemFailed = 9400;
inline constexpr int kSheetTitle = 9401;
inline constexpr int kPagePorts = 9402;
inline constexpr int kPageNetwork = 9403;
inline constexpr int kPageModem = 9404;
inline constexpr int kPageEmail = 9405;
inline constexpr int kPageOther = 9406;
inline constexpr int kP1Port = 9410;
inline constexpr int kP2Port = 9411;
inline constexpr int kRate = 9412;
inline constexpr int kSlaveNo = 9413;
inline constexpr int kTwoWires = 9414;
inline constexpr int kFourWires = 9415;
inline constexpr int kInterface = 9416;
inline constexpr int kStandard = 9417;
inline constexpr int kUsb = 9418;
inline constexpr int kRadio = 9419;
inline constexpr int kWordsOrder = 9420;
inline constexpr int kMsbFirst = 9421;
inline constexpr int kLsbFirst = 9422;
inline constexpr int kResultsFormat = 9423;
inline constexpr int kFormatNames = 9424;  // the list, separated by line feeds
inline constexpr int kModbusMode = 9425;
inline constexpr int kModeSlave = 9426;
inline constexpr int kModeGateway = 9427;
inline constexpr int kMaxWait = 9428;
inline constexpr int kModemConnected = 9429;
inline constexpr int kDhcp = 9430;
inline constexpr int kFixedIp = 9431;
inline constexpr int kIpAddress = 9432;
inline constexpr int kSubnetMask = 9433;
inline constexpr int kGateway = 9434;
inline constexpr int kDns1 = 9435;
inline constexpr int kDns2 = 9436;
inline constexpr int kDns3 = 9437;
inline constexpr int kModemInit = 9440;
inline constexpr int kProviderGroup = 9441;
inline constexpr int kPhone = 9442;
inline constexpr int kConnectionId = 9443;
inline constexpr int kConnectionPassword = 9444;
inline constexpr int kPrimaryDns = 9445;
inline constexpr int kSecondaryDns = 9446;
inline constexpr int kUsersGroup = 9447;
inline constexpr int kUsersIp = 9448;
inline constexpr int kIdleDisconnect = 9449;
inline constexpr int kSmtpServer = 9450;
inline constexpr int kAccessVia = 9451;
inline constexpr int kViaEthernet = 9452;
inline constexpr int kViaModem = 9453;
inline constexpr int kSender = 9454;
inline constexpr int kRecipient = 9455;
inline constexpr int kMailOnPowerOn = 9456;
inline constexpr int kModuleClock = 9460;
inline constexpr int kLanguage = 9461;
inline constexpr int kLanguageNames = 9462;  // the list, separated by line feeds
inline constexpr int kTimeStamp = 9463;
inline constexpr int kAbsolute = 9464;
inline constexpr int kRelativeToRun = 9465;
inline constexpr int kMainsRejection = 9466;
inline constexpr int k50Hz = 9467;
inline constexpr int k60Hz = 9468;
inline constexpr int kFrontButton = 9469;
inline constexpr int kRun = 9470;
inline constexpr int kRunStop = 9471;
inline constexpr int kConfigInAcquisition = 9472;
inline constexpr int kDoNotRound = 9473;
inline constexpr int kModuleName = 9474;
inline constexpr int kEthernetTitle = 9480;
inline constexpr int kHex = 9481;
inline constexpr int kDec = 9482;
inline constexpr int kEthernetNotReadable = 9483;
inline constexpr int kEmailCounterTitle = 9490;
inline constexpr int kEmailsSent = 9491;
inline constexpr int kUpdate = 9492;
inline constexpr int kForceCounter = 9493;
inline constexpr int kResetConditions = 9494;
inline constexpr int kCmdEmailCounter = 9495;
inline constexpr int kSecondsUnit = 9496;
inline constexpr int kInvalidAddress = 9497;
inline constexpr int kByteOutOfRange = 9498;
inline constexpr int kSynchronize = 9499;
inline constexpr int kSendTime = 9407;
}  // namespace stext

const strings::StringTable& setupStrings();
// The text of id ("" when the table lacks it).
std::string setupText(int id);
// The text with "%1", "%2"... replaced by the arguments.
std::string setupMessage(int id, const std::vector<std::string>& args);
// The entries of a list text (separated by line feeds).
std::vector<std::string> setupList(int id);

}  // namespace qd40::app::setup
