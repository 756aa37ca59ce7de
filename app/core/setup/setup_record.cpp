#include "app/core/setup/setup_record.h"

#include <algorithm>
#include <charconv>

#include "common/le_bytes.h"
#include "common/version_text.h"

namespace qd40::app::setup {

namespace {
using enum ValueType;

constexpr SetupItemDef kItems[kSetupItemCount] = {
    {0, DWord, 0, "p1-rate"},
    {1, Byte, 4, "p1-slave"},
    {2, Word, 6, "p1-msw-first"},
    {3, Byte, 10, "p1-format"},
    {4, DWord, 12, "p2-rate"},
    {5, Byte, 16, "p2-slave"},
    {6, Word, 18, "p2-msw-first"},
    {7, Byte, 22, "p2-format"},
    {8, Word, 24, "p1-two-wires"},
    {9, Word, 28, "p2-modem"},
    {10, Text, 32, "modem-init"},
    {11, Text, 160, "provider-phone"},
    {16, Text, 294, "users-id"},
    {17, Text, 422, "users-password"},
    {20, Short, 288, "idle-seconds"},
    {21, Ipv4, 814, "ip-address"},
    {22, Ipv4, 818, "subnet-mask"},
    {23, Ipv4, 822, "gateway"},
    {24, Word, 826, "dhcp"},
    {25, Ipv4, 830, "dns1"},
    {27, Word, 1618, "do-not-round"},
    {28, Word, 1622, "relative-time"},
    {30, Word, 1626, "mains-60hz"},
    {31, Ipv4, 834, "dns2"},
    {32, Ipv4, 838, "dns3"},
    {33, Text, 1098, "smtp-server"},
    {34, Text, 842, "module-name"},
    {35, Text, 970, "sender"},
    {36, Text, 1226, "recipient1"},
    {37, Text, 1354, "recipient2"},
    {38, Text, 1482, "recipient3"},
    {39, Word, 1610, "mail-on-power-on"},
    {40, Ipv4, 290, "modem-users-ip"},
    {41, Text, 550, "provider-id"},
    {42, Text, 678, "provider-password"},
    {43, Ipv4, 806, "modem-dns1"},
    {44, Ipv4, 810, "modem-dns2"},
    {45, Word, 1614, "mail-via-modem"},
    {47, Short, 1632, "language"},
    {48, Word, 1634, "modbus-gateway"},
    {49, Short, 1638, "gateway-wait"},
    {50, Word, 1644, "config-in-acquisition"},
    {51, Word, 1648, "front-run-stop"},
    {52, Short, 1652, "p1-pause"},
    {53, Short, 1654, "p2-pause"},
    {54, Short, 1656, "p1-eof-count"},
    {55, Short, 1658, "p2-eof-count"},
};

// Bounds of the items whose values are limited (the others take what their
// field holds).
struct Bounds {
    int id;
    uint32_t low, high;
};
constexpr Bounds kBounds[] = {
    {item::kP1Slave, 1, 250},
    {item::kP2Slave, 1, 250},
    {item::kGatewayWait, 0, 10},
};

const SetupItemDef& def(int id) {
    const SetupItemDef* d = findSetupItem(id);
    // Every caller names an item of the table; an unknown one is a programming error.
    return d ? *d : kItems[0];
}

bool atLeast(std::string_view v, std::string_view bound) {
    return compareVersionTexts(v, bound) >= 0;
}

// Present from a release version and from a test version.
bool since(std::string_view v, std::string_view release, std::string_view test) {
    return isTestVersion(v) ? atLeast(v, test) : atLeast(v, release);
}
}  // namespace

std::span<const SetupItemDef> setupItems() {
    return kItems;
}

const SetupItemDef* findSetupItem(int id) {
    const auto it = std::find_if(std::begin(kItems), std::end(kItems),
                                 [id](const auto& d) { return d.id == id; });
    return it == std::end(kItems) ? nullptr : it;
}

const SetupItemDef* findSetupItem(std::string_view keyOrId) {
    int id = -1;
    const auto [end, ec] = std::from_chars(keyOrId.data(), keyOrId.data() + keyOrId.size(), id);
    if (ec == std::errc() && end == keyOrId.data() + keyOrId.size())
        return findSetupItem(id);
    const auto it = std::find_if(std::begin(kItems), std::end(kItems),
                                 [keyOrId](const auto& d) { return keyOrId == d.key; });
    return it == std::end(kItems) ? nullptr : it;
}

size_t fieldSize(ValueType type) {
    switch (type) {
        case Byte:
            return 1;
        case Short:
            return 2;
        case Text:
            return kSetupTextSize;
        default:
            return 4;
    }
}

int wordCount(ValueType type) {
    switch (type) {
        case DWord:
            return 2;
        case Text:
            return int(kSetupTextSize / 2);
        case Ipv4:
            return 4;
        default:
            return 1;
    }
}

// ---- record ---------------------------------------------------------------------------

std::span<const uint8_t> SetupRecord::field(const SetupItemDef& d) const {
    return std::span<const uint8_t>(bytes_).subspan(d.offset, fieldSize(d.type));
}

uint32_t SetupRecord::number(int id) const {
    const SetupItemDef& d = def(id);
    switch (d.type) {
        case Byte:
            return bytes_[d.offset];
        case Short:
            return le::u16(bytes_, d.offset);
        case Text:
            return 0;
        default:
            return le::u32(bytes_, d.offset);
    }
}

void SetupRecord::setNumber(int id, uint32_t value) {
    const SetupItemDef& d = def(id);
    switch (d.type) {
        case Byte:
            bytes_[d.offset] = uint8_t(value);
            break;
        case Short:
            le::setU16(bytes_, d.offset, uint16_t(value));
            break;
        case Text:
            break;
        default:
            le::setU32(bytes_, d.offset, value);
            break;
    }
}

std::string SetupRecord::text(int id) const {
    const SetupItemDef& d = def(id);
    if (d.type != Text)
        return {};
    const auto f = field(d);
    const auto zero = std::find(f.begin(), f.end(), uint8_t(0));
    return std::string(f.begin(), zero);
}

bool SetupRecord::setText(int id, std::string_view value) {
    const SetupItemDef& d = def(id);
    if (d.type != Text || value.size() >= kSetupTextSize ||
        value.find('\0') != std::string_view::npos)
        return false;
    std::fill_n(bytes_.begin() + ptrdiff_t(d.offset), kSetupTextSize, uint8_t(0));
    std::copy(value.begin(), value.end(), bytes_.begin() + ptrdiff_t(d.offset));
    return true;
}

std::vector<uint16_t> SetupRecord::toWords(int id) const {
    const SetupItemDef& d = def(id);
    std::vector<uint16_t> w;
    switch (d.type) {
        case Byte:
        case Word:
        case Short:
            w.push_back(uint16_t(number(id)));
            break;
        case DWord: {
            const uint32_t v = number(id);
            w = {uint16_t(v), uint16_t(v >> 16)};
            break;
        }
        case Ipv4: {
            const uint32_t v = number(id);
            w = {uint16_t(v >> 24), uint16_t(v >> 16 & 0xFF), uint16_t(v >> 8 & 0xFF),
                 uint16_t(v & 0xFF)};
            break;
        }
        case Text: {
            const auto f = field(d);
            // Zero-filled past the text, so the module finds its end.
            for (size_t i = 0; i < kSetupTextSize; i += 2)
                w.push_back(uint16_t(f[i] << 8 | f[i + 1]));
            break;
        }
    }
    return w;
}

void SetupRecord::fromWords(int id, std::span<const uint16_t> words) {
    const SetupItemDef& d = def(id);
    auto at = [&](size_t i) -> uint32_t { return i < words.size() ? words[i] : 0; };
    switch (d.type) {
        case Byte:
            setNumber(id, at(0) & 0xFF);
            break;
        case Word:
        case Short:
            setNumber(id, at(0));
            break;
        case DWord:
            setNumber(id, at(0) | at(1) << 16);
            break;
        case Ipv4:
            setNumber(id, (at(0) & 0xFF) << 24 | (at(1) & 0xFF) << 16 | (at(2) & 0xFF) << 8 |
                              (at(3) & 0xFF));
            break;
        case Text: {
            // The text ends at the first zero character; the rest stays zero.
            std::string s;
            for (size_t i = 0; i < kSetupTextSize / 2; ++i) {
                const char hi = char(at(i) >> 8), lo = char(at(i) & 0xFF);
                if (hi == 0)
                    break;
                s += hi;
                if (lo == 0)
                    break;
                s += lo;
            }
            if (s.size() >= kSetupTextSize)
                s.resize(kSetupTextSize - 1);
            setText(id, s);
            break;
        }
    }
}

bool SetupRecord::sameItem(const SetupRecord& other, int id) const {
    const SetupItemDef& d = def(id);
    return std::ranges::equal(field(d), other.field(d));
}

// ---- gates -------------------------------------------------------------------------

bool itemPresent(int id, std::string_view v) {
    if (id >= item::kModemUsersIp && id <= item::kMailViaModem)
        return !(isTestVersion(v) && !atLeast(v, "Z.13"));
    if (id >= item::kLanguage && id <= item::kGatewayWait)
        return !(isTestVersion(v) && !atLeast(v, "Z.15"));
    if (id == item::kConfigInAcquisition)
        return since(v, "A.02", "Z.21");
    if (id == item::kFrontRunStop)
        return since(v, "B.04", "Z.29");
    if (id >= item::kP1Pause && id <= item::kP2EofCount)
        return since(v, "B.05", "Z.30");
    return true;
}

uint32_t absentValue(int id) {
    switch (id) {
        case item::kGatewayWait:
            return 10;
        case item::kP1EofCount:
        case item::kP2EofCount:
            return 4;
        default:
            return 0;
    }
}

int absentChangeText(int id) {
    if (id == item::kConfigInAcquisition)
        return 431;
    if (id == item::kFrontRunStop)
        return 432;
    if (id >= item::kP1Pause && id <= item::kP2EofCount)
        return 433;
    return 0;
}

// ---- interfaces ------------------------------------------------------------------------

namespace {
struct InterfaceForm {
    uint16_t pause, eofCount;
};
constexpr InterfaceForm kInterfaceForms[] = {{0, 4}, {10, 4}, {100, 8}};
constexpr uint16_t kRadioEofCount = 8;
}  // namespace

SerialInterface serialInterface(const SetupRecord& r, int port) {
    const uint32_t pause = r.number(port == 1 ? item::kP1Pause : item::kP2Pause);
    const uint32_t count = r.number(port == 1 ? item::kP1EofCount : item::kP2EofCount);
    if (count >= kRadioEofCount)
        return SerialInterface::Radio;
    return pause > 0 ? SerialInterface::Usb : SerialInterface::Standard;
}

void setSerialInterface(SetupRecord& r, int port, SerialInterface value) {
    const InterfaceForm f = kInterfaceForms[int(value)];
    r.setNumber(port == 1 ? item::kP1Pause : item::kP2Pause, f.pause);
    r.setNumber(port == 1 ? item::kP1EofCount : item::kP2EofCount, f.eofCount);
}

// ---- text form ---------------------------------------------------------------------------

std::string ipv4Text(uint32_t a) {
    return std::to_string(a >> 24) + "." + std::to_string(a >> 16 & 0xFF) + "." +
           std::to_string(a >> 8 & 0xFF) + "." + std::to_string(a & 0xFF);
}

std::optional<uint32_t> parseIpv4(std::string_view text) {
    uint32_t out = 0;
    const char* p = text.data();
    const char* end = p + text.size();
    for (int i = 0; i < 4; ++i) {
        unsigned part = 0;
        const auto [next, ec] = std::from_chars(p, end, part);
        if (ec != std::errc() || next == p || next - p > 3 || part > 255)
            return std::nullopt;
        out = out << 8 | part;
        p = next;
        if (i < 3) {
            if (p == end || *p != '.')
                return std::nullopt;
            ++p;
        }
    }
    if (p != end)
        return std::nullopt;
    return out;
}

std::string formatItem(const SetupRecord& r, int id) {
    const SetupItemDef& d = def(id);
    if (d.type == Text)
        return r.text(id);
    if (d.type == Ipv4)
        return ipv4Text(r.number(id));
    return std::to_string(r.number(id));
}

std::optional<std::string> parseItem(SetupRecord& r, int id, std::string_view value) {
    const SetupItemDef& d = def(id);
    if (d.type == Text) {
        if (!r.setText(id, value))
            return "a text of at most " + std::to_string(kSetupTextSize - 1) + " characters";
        return std::nullopt;
    }
    if (d.type == Ipv4) {
        const auto a = parseIpv4(value);
        if (!a)
            return "an IPv4 address such as 192.168.1.40";
        r.setNumber(id, *a);
        return std::nullopt;
    }
    uint32_t low = 0, high = 0;
    switch (d.type) {
        case Byte:
            high = 0xFF;
            break;
        case Word:
        case Short:
            high = 0xFFFF;
            break;
        default:
            high = 0xFFFFFFFF;
            break;
    }
    for (const Bounds& b : kBounds)
        if (b.id == id)
            low = b.low, high = b.high;
    uint32_t v = 0;
    const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), v);
    if (ec != std::errc() || end != value.data() + value.size() || value.empty() || v < low ||
        v > high)
        return "a whole number from " + std::to_string(low) + " to " + std::to_string(high);
    r.setNumber(id, v);
    return std::nullopt;
}

}  // namespace qd40::app::setup
