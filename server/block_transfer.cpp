#include "server/block_transfer.h"

#include <algorithm>

#include "server/qd40.h"
#include "server/qd40_detail.h"
#include "server/qd40_errors.h"

namespace qd40::server {

using namespace detail;

Status BlockTransfer::refused(Status st, int dev) {
    if (st.hr != qd40TransportErrWriteRefused)
        return st;
    std::vector<uint16_t> code;
    int32_t ret = 0;
    Status read = t_.ReadInputRegisters(dev, reg::kModuleError, 1, code, ret);
    if (!read)
        return read;
    return moduleError(code.empty() ? -1 : code[0]);
}

Status BlockTransfer::readRegs(int dev, int32_t start, int qty, bool holding,
                               std::vector<uint16_t>& out, int32_t& ret) {
    out.assign(size_t(std::max(qty, 0)), 0);
    int done = 0;
    std::vector<uint16_t> part;
    while (done < qty) {
        // The remainder first, then full requests.
        const int n = done == 0 && qty % kReadChunk != 0 ? qty % kReadChunk : kReadChunk;
        Status st = holding ? t_.ReadOutputRegisters(dev, start + done, n, part, ret)
                            : t_.ReadInputRegisters(dev, start + done, n, part, ret);
        if (!st)
            return st;
        std::copy_n(part.begin(), std::min<size_t>(part.size(), size_t(n)), out.begin() + done);
        done += n;
    }
    return Status::ok();
}

Status BlockTransfer::writeRegs(int dev, int32_t start, std::span<const uint16_t> words,
                                int32_t& ret) {
    const int qty = int(words.size());
    int done = 0;
    while (done < qty) {
        const int n = done == 0 && qty % kWriteChunk != 0 ? qty % kWriteChunk : kWriteChunk;
        Status st = t_.PresetMultipleRegisters(dev, start + done,
                                               words.subspan(size_t(done), size_t(n)), ret);
        if (!st)
            return refused(st, dev);
        done += n;
    }
    return Status::ok();
}

Status BlockTransfer::writeSingle(int dev, int32_t regNum, uint16_t value, int32_t& ret) {
    return refused(t_.PresetSingleRegister(dev, regNum, value, ret), dev);
}

// Writes a command block highest request first, so that the request at 44000,
// which holds the command code, comes last.
Status BlockTransfer::commandTopDown(int dev, std::span<const uint16_t> block, int32_t& ret) {
    const int total = int(block.size());
    int offset = ((total - 1) / kWriteChunk) * kWriteChunk;
    int count = total - offset;
    while (offset >= 0) {
        Status st = t_.PresetMultipleRegisters(dev, reg::kCommand + offset,
                                               block.subspan(size_t(offset), size_t(count)), ret);
        if (!st)
            return refused(st, dev);
        offset -= kWriteChunk;
        count = kWriteChunk;
    }
    return Status::ok();
}

Status BlockTransfer::readAnswer(int dev, std::vector<uint16_t>& words, int32_t& ret) {
    std::vector<uint16_t> length;
    if (Status st = t_.ReadInputRegisters(dev, reg::kAnswerLength, 1, length, ret); !st)
        return st;
    const int n = std::min<int>(length.empty() ? 0 : length[0], kMaxAnswerWords);
    return readRegs(dev, reg::kAnswer, n, false, words, ret);
}

Status BlockTransfer::readImage(int dev, int32_t start, size_t bytes, std::vector<uint8_t>& image,
                                int32_t& ret) {
    std::vector<uint16_t> words;
    if (Status st = readRegs(dev, start, int(bytes / 2), true, words, ret); !st)
        return st;
    image = wordsToBytes(words);
    return Status::ok();
}

Status BlockTransfer::writeImage(int dev, int32_t start, std::span<const uint8_t> image,
                                 int32_t& ret) {
    const std::vector<uint16_t> words = bytesToWords(image);
    return writeRegs(dev, start, words, ret);
}

}  // namespace qd40::server
