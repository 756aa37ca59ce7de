#include "server/panel/panel_logic.h"

#include <charconv>

#include "common/module_constants.h"
#include "platform/strings.h"
#include "qd40svr_version.h"
#include "server/panel/panel_strings.h"

namespace qd40::panel {

using platform::Hive;
using server::kCommunicationKey;
using server::kPortCount;

namespace {

int rateIndexOf(uint32_t rate) {
    for (size_t i = 0; i < module::kBaudRates.size(); ++i)
        if (module::kBaudRates[i] == rate)
            return int(i);
    return 0;  // a rate outside the list selects 9600
}

// A whole decimal number, optionally signed, and nothing else.
bool parseInt(const std::string& text, long& out) {
    if (text.empty())
        return false;
    const char* first = text.data();
    const char* last = first + text.size();
    if (*first == '+')
        ++first;
    const auto [end, ec] = std::from_chars(first, last, out);
    return ec == std::errc() && end == last;
}

std::string versionNumbers(uint32_t ms, uint32_t ls) {
    return strings::format("%u,%u,%u,%u", ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF);
}

// The transport's version name without the component's own name, which the
// line already begins with: "OvixModbusServer (libmodbus 3.1.6)" reads
// "libmodbus 3.1.6".
std::string transportVersionName(std::string name) {
    const std::string component = "OvixModbusServer";
    if (name.rfind(component, 0) == 0)
        name.erase(0, component.size());
    const auto first = name.find_first_not_of(' ');
    name = first == std::string::npos ? std::string() : name.substr(first);
    if (name.size() >= 2 && name.front() == '(' && name.back() == ')')
        name = name.substr(1, name.size() - 2);
    return name;
}

}  // namespace

std::vector<std::string> rateEntries() {
    std::vector<std::string> out;
    for (uint32_t r : module::kBaudRates)
        out.push_back(std::to_string(r));
    return out;
}

uint32_t rateOfEntry(int index) {
    return index >= 0 && size_t(index) < module::kBaudRates.size()
               ? module::kBaudRates[size_t(index)]
               : module::kBaudRates[0];
}

std::vector<std::string> cablingEntries() {
    return {serverText(109), serverText(110), serverText(111)};
}

// ---- PortsPreConfig

PortsPreConfig::PortsPreConfig(platform::RegistryStore& store, DaemonAccess& daemon,
                               MessagePort& messages)
    : store_(store), daemon_(daemon), messages_(messages) {}

bool PortsPreConfig::load() {
    const bool ok = table_.load(store_);
    if (!ok) {
        messages_.message(MessagePort::Icon::Exclamation, serverText(100), serverText(106));
        rows_ = {};
        return false;
    }
    for (int n = 1; n <= kPortCount; ++n) {
        const auto& p = table_.port(n);
        rows_[size_t(n - 1)] = PortRow{p.available != 0, rateIndexOf(p.baudRate),
                                       p.halfDuplex >= 0 && p.halfDuplex <= 2 ? p.halfDuplex : 2};
    }
    return true;
}

void PortsPreConfig::setRateIndex(int port, int index) {
    if (index >= 0 && size_t(index) < module::kBaudRates.size())
        rows_[size_t(port - 1)].rateIndex = index;
}

void PortsPreConfig::setCablingIndex(int port, int index) {
    if (index >= 0 && index <= 2)
        rows_[size_t(port - 1)].cablingIndex = index;
}

server::PortSettings PortsPreConfig::settings(int port) const {
    server::PortSettings s;
    const PortRow& r = row(port);
    s.available = r.available ? 1 : 0;
    s.baudRate = rateOfEntry(r.rateIndex);
    s.halfDuplex = r.cablingIndex;
    return s;
}

Status PortsPreConfig::push(PanelObject& object, const std::array<PortRow, kPortCount>& rows) {
    for (int n = 1; n <= kPortCount; ++n) {
        const PortRow& r = rows[size_t(n - 1)];
        HRESULT h = object.PutAvailableComX(n, r.available ? 1 : 0);
        if (succeeded(h))
            h = object.PutBaudRateComX(n, rateOfEntry(r.rateIndex));
        if (succeeded(h))
            h = object.PutHalfDuplexComX(n, r.cablingIndex);
        if (failed(h))
            return Status{h, object.lastError()};
    }
    return Status::ok();
}

bool PortsPreConfig::validate() {
    bool stored = store_.createKey(Hive::LocalMachine, kCommunicationKey);
    for (int n = 1; n <= kPortCount && stored; ++n) {
        const auto s = settings(n);
        const std::string num = std::to_string(n);
        stored = store_.setDword(Hive::LocalMachine, kCommunicationKey, "Com" + num,
                                 s.available ? 1 : 0) &&
                 store_.setDword(Hive::LocalMachine, kCommunicationKey, "Rate" + num, s.baudRate) &&
                 store_.setDword(Hive::LocalMachine, kCommunicationKey, "HalfDuplex" + num,
                                 uint32_t(s.halfDuplex));
    }
    if (!stored) {
        messages_.message(MessagePort::Icon::Exclamation, serverText(100), serverText(106));
        return false;
    }
    // A daemon that runs takes the new table at once; one that does not
    // reads it from the store when it starts.
    Status st;
    auto object = daemon_.running(&st);
    if (object)
        st = push(*object, rows_);
    if (!st.isOk()) {
        messages_.message(
            MessagePort::Icon::Exclamation, serverText(100),
            strings::formatText(panelText(kTxtPushFailed), st.error.description.c_str()));
        return false;
    }
    return true;
}

bool PortsPreConfig::exit() {
    const Status st = daemon_.quit();
    if (!st.isOk()) {
        messages_.message(
            MessagePort::Icon::Exclamation, serverText(100),
            strings::formatText(panelText(kTxtQuitFailed), st.error.description.c_str()));
        return false;
    }
    return true;
}

// ---- ChannelTest

ChannelTest::ChannelTest(const std::array<PortRow, kPortCount>& rows, DaemonAccess& daemon,
                         MessagePort& messages)
    : rows_(rows), daemon_(daemon), messages_(messages) {
    for (int n = 1; n <= kPortCount; ++n)
        if (rows_[size_t(n - 1)].available)
            entries_.push_back({serverText(101) + std::to_string(n), n - 1});
    entries_.push_back({panelText(kTxtModbusTcp), kTcpEntry});
}

bool ChannelTest::ipEnabled() const {
    return selected_ >= 0 && size_t(selected_) < entries_.size() &&
           entries_[size_t(selected_)].data == kTcpEntry;
}

bool ChannelTest::test(const std::string& address, const std::string& ipAddress,
                       const std::string& ipPort) {
    const bool tcp = ipEnabled();
    long addr = 0, port = 0;
    const bool valid = selected_ >= 0 && size_t(selected_) < entries_.size() &&
                       parseInt(address, addr) &&
                       (!tcp || (!ipAddress.empty() && parseInt(ipPort, port)));
    if (!valid) {
        messages_.message(MessagePort::Icon::Exclamation, serverText(100), serverText(105));
        return false;
    }
    const int comPort = entries_[size_t(selected_)].data + 1;

    // The steps in order; the first failure's description is the report's.
    std::string failure;
    std::string cabling;
    Status st;
    auto object = daemon_.create(&st);
    if (!object) {
        failure = st.error.description;
    } else {
        auto fail = [&] { failure = object->lastError().description; };
        int32_t err = 0;
        // The window's rows, as they are now, are the table the channel opens with.
        st = PortsPreConfig::push(*object, rows_);
        if (!st.isOk()) {
            failure = st.error.description;
        } else if (failed(tcp ? object->OpenComm(ipAddress, int32_t(port), &err)
                              : object->OpenComm("", comPort, &err))) {
            fail();
        } else {
            uint16_t id = 0;
            if (failed(object->GetDevId(static_cast<uint8_t>(addr), &id))) {
                fail();
            } else if (id != module::kDeviceIdQd40M && id != module::kDeviceIdQd40E) {
                failure = serverText(107);
            } else if (!tcp) {
                int32_t half = 0;
                if (failed(object->CommIsHalfDuplex(&half)))
                    fail();
                else
                    cabling = serverText(half ? 110 : 109);
            }
            int32_t closeErr = 0;
            object->CloseComm(&closeErr);
        }
        object.reset();
    }
    if (!failure.empty()) {
        messages_.message(MessagePort::Icon::Exclamation, serverText(104),
                          serverText(103) + "\n" + failure);
        return false;
    }
    std::string text = serverText(102);
    if (!tcp)
        text += " (" + cabling + ")";
    messages_.message(MessagePort::Icon::Information, serverText(104), text);
    return true;
}

// ---- About box

AboutLines aboutLines(DaemonAccess& daemon) {
    namespace v = version::qd40svr;
    AboutLines lines;
    lines.component = panelText(kTxtComponent);
    lines.legal = v::kLegalCopyright;
    lines.special = v::kSpecialBuild;
    const std::string word = serverText(108);

    Status st;
    auto object = daemon.create(&st);
    std::string version;
    uint32_t ms = 0, ls = 0;
    if (object && failed(object->Version(&version)))
        st = Status{E_FAIL, object->lastError()};
    if (object && st.isOk() && failed(object->GetBinVersion(&ms, &ls)))
        st = Status{E_FAIL, object->lastError()};
    object.reset();
    if (st.isOk())
        lines.server = std::string(v::kProductName) + " " + word + " " + version + " (" +
                       versionNumbers(ms, ls) + ")";
    else
        lines.server =
            std::string(v::kProductName) + " " + word + " (" +
            strings::formatText(panelText(kTxtServerUnreachable), st.error.description.c_str()) +
            ")";

    std::string name;
    if (Status t = daemon.transportVersion(ms, ls, name); t.isOk())
        lines.transport = "OvixModbusServer " + word + " " + transportVersionName(name) + " (" +
                          versionNumbers(ms, ls) + ")";
    else
        lines.transport = "OvixModbusServer " + word + " (" + panelText(kTxtTransportMissing) + ")";
    return lines;
}

}  // namespace qd40::panel
