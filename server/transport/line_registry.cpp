#include <string>

#include "common/module_constants.h"
#include "server/transport/line.h"

namespace qd40::transport {

Status exceptionStatus(int code, bool write) {
    if (code == 4 && write)
        return Status::failure(qd40TransportErrWriteRefused,
                               "The module refused the write (MODBUS exception 4)");
    const char* what = "unknown exception";
    switch (code) {
        case 1:
            what = "illegal function";
            break;
        case 2:
            what = "illegal data address";
            break;
        case 3:
            what = "illegal data value";
            break;
        case 4:
            what = "slave device failure";
            break;
        case 5:
            what = "acknowledge";
            break;
        case 6:
            what = "slave device busy";
            break;
        case 8:
            what = "memory parity error";
            break;
        case 10:
            what = "gateway path unavailable";
            break;
        case 11:
            what = "gateway target device failed to respond";
            break;
    }
    return Status::failure(kErrExceptionBase + code,
                           "MODBUS exception " + std::to_string(code) + ": " + what);
}

Status checkRequest(int dev, int32_t start, int qty, int maxQty) {
    if (dev < 0 || dev > 255)
        return Status::failure(kErrInvalidArg, "Invalid device address " + std::to_string(dev));
    if (qty < 1 || qty > maxQty)
        return Status::failure(kErrInvalidArg, "Invalid quantity " + std::to_string(qty) +
                                                   " (1 to " + std::to_string(maxQty) + ")");
    if (start < 0 || int64_t(start) + qty > 65536)
        return Status::failure(kErrInvalidArg, "Invalid start address " + std::to_string(start));
    return Status::ok();
}

Status checkSerialRequest(int dev, int32_t start, int qty, int maxQty) {
    if (dev < module::kFirstSerialAddress || dev > module::kLastSerialAddress)
        return Status::failure(
            kErrInvalidArg, "MODBUS address " + std::to_string(dev) +
                                " cannot be used on a serial line: " + module::kSerialAddressRule);
    return checkRequest(dev, start, qty, maxQty);
}

LineRegistry::LineRegistry(LineOpener opener) : opener_(std::move(opener)) {}

LineOpener LineRegistry::defaultOpener() {
    return [](ChannelKind kind, const LineSettings& settings, Status& status) {
        return kind == ChannelKind::Serial ? openRtuLine(settings, status)
                                           : openTcpLine(settings, status);
    };
}

std::shared_ptr<LineRegistry::Slot> LineRegistry::slot(const std::string& name) {
    std::lock_guard lock(mutex_);
    auto& s = slots_[name];
    if (!s)
        s = std::make_shared<Slot>();
    return s;
}

std::shared_ptr<Line> LineRegistry::find(const std::string& name) {
    std::lock_guard lock(mutex_);
    auto it = slots_.find(name);
    return it == slots_.end() ? nullptr : it->second->line.lock();
}

std::shared_ptr<Line> LineRegistry::open(const std::string& name, ChannelKind kind,
                                         const LineSettings& settings, Status& status) {
    const auto s = slot(name);
    std::lock_guard opening(s->opening);
    if (auto line = s->line.lock()) {
        status = Status::ok();
        return line;
    }
    auto line = opener_(kind, settings, status);
    if (line) {
        std::lock_guard lock(mutex_);
        s->line = line;
    }
    return line;
}

size_t LineRegistry::openCount() {
    std::lock_guard lock(mutex_);
    size_t n = 0;
    for (auto it = slots_.begin(); it != slots_.end();) {
        if (it->second->line.expired() && it->second.use_count() == 1) {
            it = slots_.erase(it);
        } else {
            n += it->second->line.expired() ? 0 : 1;
            ++it;
        }
    }
    return n;
}

}  // namespace qd40::transport
