// The block transfer layer of the Qd40 object over its transport: register
// ranges read and written in MODBUS-sized requests (the remainder first),
// command blocks written highest request first so that the command code goes
// last, the mailbox's answer, configuration images as bytes, and a refused
// write read back as the module's own error.
#pragma once
#include <cstdint>
#include <span>
#include <vector>

#include "common/error_info.h"
#include "server/transport/transport.h"

namespace qd40::server {

class BlockTransfer {
public:
    explicit BlockTransfer(transport::Transport& transport) : t_(transport) {}

    // A write the module refused comes back as its own error ("QD40: ...").
    Status refused(Status st, int dev);
    Status readRegs(int dev, int32_t start, int qty, bool holding, std::vector<uint16_t>& out,
                    int32_t& ret);
    Status writeRegs(int dev, int32_t start, std::span<const uint16_t> words, int32_t& ret);
    Status writeSingle(int dev, int32_t reg, uint16_t value, int32_t& ret);
    Status commandTopDown(int dev, std::span<const uint16_t> block, int32_t& ret);
    Status readAnswer(int dev, std::vector<uint16_t>& words, int32_t& ret);
    Status readImage(int dev, int32_t start, size_t bytes, std::vector<uint8_t>& image,
                     int32_t& ret);
    Status writeImage(int dev, int32_t start, std::span<const uint8_t> image, int32_t& ret);

private:
    transport::Transport& t_;
};

}  // namespace qd40::server
