#include "app/core/tests/doc_test_support.h"

#include "app/core/doc_version.h"
#include "control/ctl/persistence.h"

namespace qd40::app::testing {

std::vector<uint8_t> buildDocument(const std::string& header, const std::vector<ItemSpec>& items,
                                   uint32_t lastNumber, int blocks, int recordsPerBlock) {
    const std::string v(versionOfHeader(header));
    archive::Writer ar;
    const std::string line = header + "\n";
    ar.writeBytes(std::span(reinterpret_cast<const uint8_t*>(line.data()), line.size()));
    if (docHasItemNumbers(v))
        ar.writeU32(lastNumber);
    ar.writeU32(static_cast<uint32_t>(items.size()));
    for (const ItemSpec& spec : items) {
        ar.writeObjectTag("CTavikItem", 0);
        ctl::CtlState state = ctl::CtlState::defaults();
        state.conn.serial = spec.serial;
        state.conn.ipAddr = spec.address;
        state.conn.port = static_cast<int16_t>(spec.port);
        state.conn.mbAddr = static_cast<uint8_t>(spec.slave);
        ctl::VectorOutStream out;
        EXPECT_TRUE(ctl::saveToStream(state, out).isOk());
        ar.writeU32(static_cast<uint32_t>(out.bytes().size()));
        ar.writeBytes(out.bytes());
        if (docHasOldModuleName(v))
            ar.writeString(spec.oldName);
        if (docHasItemNumbers(v))
            ar.writeU32(spec.number);
    }
    if (docHasBlocks(v)) {
        ar.writeI32(blocks);
        for (int b = 0; b < blocks; ++b) {
            records::CExplBloc block;
            block.name = "Block " + std::to_string(b + 1);
            block.comment = "comment";
            for (int r = 0; r < recordsPerBlock; ++r) {
                records::_tExplRecord rec;
                rec.setFlags(static_cast<uint16_t>(1u << 14 | (r % 30 + 1)));
                rec.setDate(40000.0 + r);
                rec.setPayload(static_cast<uint32_t>(r));
                block.records.push_back(rec);
            }
            ar.writeObjectTag("CExplBloc", 0);
            block.Serialize(ar);
        }
    }
    return ar.take();
}

}  // namespace qd40::app::testing
