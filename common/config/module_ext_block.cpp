#include "common/config/module_ext_block.h"

#include <algorithm>

namespace qd40::cfg {

std::vector<uint16_t> bytesToRegisters(std::span<const uint8_t> bytes) {
    std::vector<uint16_t> regs(bytes.size() / 2);
    for (size_t i = 0; i < regs.size(); ++i)
        regs[i] = le::u16(bytes, 2 * i);
    return regs;
}

std::vector<uint8_t> registersToBytes(std::span<const uint16_t> regs) {
    std::vector<uint8_t> bytes(regs.size() * 2);
    for (size_t i = 0; i < regs.size(); ++i)
        le::setU16(bytes, 2 * i, regs[i]);
    return bytes;
}

ModuleExtBlockData makeModuleExtBlock(const FileVersion& writer, ConstQd40ExtCfg ext) {
    ModuleExtBlockData data{};
    const ModuleExtBlock block(data);
    block.setWriterText(kExtBlockText);
    block.setFileVersionMS(writer.ms);
    block.setFileVersionLS(writer.ls);
    std::copy(ext.bytes().begin(), ext.bytes().end(), block.ext().bytes().begin());
    return data;
}

CfgIdentityData makeCfgIdentity(const FileVersion& writer, std::string_view name, uint32_t time) {
    CfgIdentityData data{};
    const CfgIdentity id(data);
    id.setWriterText(kExtBlockText);
    id.setFileVersionMS(writer.ms);
    id.setFileVersionLS(writer.ls);
    id.setCfgName(name);
    id.setCfgTime(time);
    return data;
}

bool isTrustedIdentity(ConstCfgIdentity id, const FileVersion& own) {
    return id.writerText() == kExtBlockText &&
           FileVersion{id.fileVersionMS(), id.fileVersionLS()} <= own;
}

}  // namespace qd40::cfg
