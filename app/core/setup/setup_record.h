// The module SETUP record: the settings of the module's own communication
// interfaces (serial ports, network, modem, e-mail server), clock language and
// front button. The module keeps 47 items, each read and written on its own;
// the record holds them side by side at fixed offsets. This file gives the
// item table, the conversions between the module's words and the record, the
// version gates and the interface encoding of the serial ports.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qd40::app::setup {

// How an item lies in the record and on the wire.
enum class ValueType : uint8_t {
    Byte = 0,   // 1 byte; one word, low byte
    Word = 1,   // 4 bytes; one word, zero-extended
    DWord = 2,  // 4 bytes; two words, low word first
    Short = 3,  // 2 bytes; one word
    Text = 4,   // 128 bytes zero-filled; 64 words, two characters a word, high byte first
    Ipv4 = 5,   // 4 bytes, first number in the most significant byte; four words, first first
};

struct SetupItemDef {
    int id;
    ValueType type;
    size_t offset;
    const char* key;  // the item's name for scripts ("p1-rate")
};

inline constexpr size_t kSetupRecordSize = 1660;
inline constexpr size_t kSetupTextSize = 128;
inline constexpr int kSetupItemCount = 47;

// The items in transfer order (ascending identifiers).
std::span<const SetupItemDef> setupItems();
const SetupItemDef* findSetupItem(int id);
// By key or by identifier written in decimal.
const SetupItemDef* findSetupItem(std::string_view keyOrId);
size_t fieldSize(ValueType type);
// The value words of an item on the wire.
int wordCount(ValueType type);

// Item identifiers the pages and the gates name.
namespace item {
inline constexpr int kP1Rate = 0, kP1Slave = 1, kP1WordsOrder = 2, kP1Format = 3;
inline constexpr int kP2Rate = 4, kP2Slave = 5, kP2WordsOrder = 6, kP2Format = 7;
inline constexpr int kP1TwoWires = 8, kP2Modem = 9;
inline constexpr int kModemInit = 10, kProviderPhone = 11;
inline constexpr int kUsersId = 16, kUsersPassword = 17, kIdleSeconds = 20;
inline constexpr int kIpAddress = 21, kSubnetMask = 22, kGateway = 23, kDhcp = 24;
inline constexpr int kDns1 = 25, kDoNotRound = 27, kRelativeTime = 28, kMains60Hz = 30;
inline constexpr int kDns2 = 31, kDns3 = 32, kSmtpServer = 33, kModuleName = 34;
inline constexpr int kSender = 35, kRecipient1 = 36, kRecipient2 = 37, kRecipient3 = 38;
inline constexpr int kMailOnPowerOn = 39, kModemUsersIp = 40, kProviderId = 41;
inline constexpr int kProviderPassword = 42, kModemDns1 = 43, kModemDns2 = 44;
inline constexpr int kMailViaModem = 45, kLanguage = 47, kGateway485 = 48;
inline constexpr int kGatewayWait = 49, kConfigInAcquisition = 50, kFrontRunStop = 51;
inline constexpr int kP1Pause = 52, kP2Pause = 53, kP1EofCount = 54, kP2EofCount = 55;
}  // namespace item

class SetupRecord {
public:
    SetupRecord() = default;

    // Numbers of every type but Text (an IPv4 address as its 32-bit value).
    uint32_t number(int id) const;
    void setNumber(int id, uint32_t value);
    // Text items: up to the first zero character.
    std::string text(int id) const;
    // False when the text does not fit (127 characters at most).
    bool setText(int id, std::string_view value);

    // The value words the module sends for the item / expects for it.
    std::vector<uint16_t> toWords(int id) const;
    void fromWords(int id, std::span<const uint16_t> words);

    // Whether both records hold the same value for the item.
    bool sameItem(const SetupRecord& other, int id) const;
    bool operator==(const SetupRecord&) const = default;

    std::span<const uint8_t> bytes() const { return bytes_; }

private:
    std::span<const uint8_t> field(const SetupItemDef& def) const;
    std::array<uint8_t, kSetupRecordSize> bytes_{};
};

// ---- version gates ----------------------------------------------------------------
// Module versions are texts compared character by character; "Z" marks test
// builds, numbered on their own line, hence a release bound and a test bound.

// Whether a module of that version has the item.
bool itemPresent(int id, std::string_view moduleVersion);
// The value an absent item reads as.
uint32_t absentValue(int id);
// The message shown when the user changed an item the module does not have
// (431, 432, 433), 0 when the change is dropped silently.
int absentChangeText(int id);

// ---- serial interfaces -------------------------------------------------------------
// A port's interface is stored as a pause and an end-of-frame count.
enum class SerialInterface { Standard = 0, Usb = 1, Radio = 2 };
// port: 1 (P1, RS485) or 2 (P2, RS232).
SerialInterface serialInterface(const SetupRecord& r, int port);
void setSerialInterface(SetupRecord& r, int port, SerialInterface value);

// ---- text form (scripts) --------------------------------------------------------------
// An item's value as text: decimal numbers, dotted IPv4 addresses, texts as they are.
std::string formatItem(const SetupRecord& r, int id);
// Parses and stores a value; nullopt on success, else why it was refused.
std::optional<std::string> parseItem(SetupRecord& r, int id, std::string_view value);

// IPv4 helpers: "192.168.1.40" <-> 0xC0A80128.
std::string ipv4Text(uint32_t address);
std::optional<uint32_t> parseIpv4(std::string_view text);

}  // namespace qd40::app::setup
