// tavik_demo_doc FILE HOST:PORT: writes a Tavik document holding the module
// at HOST:PORT (MODBUS/TCP, slave 1) with the configuration read from it and
// one record block read from its memory block 1. When the block holds fewer
// than 50 records, the module runs until it has them (10 s at most).
#include <chrono>
#include <cstdio>
#include <thread>

#include "app/core/tavik_doc.h"
#include "control/ctl/daemon_factory.h"

namespace {

using namespace qd40;
using namespace std::chrono_literals;

constexpr int16_t kBlock = 1;
constexpr uint32_t kWanted = 50;
constexpr uint32_t kMostRecords = 5000;
constexpr uint32_t kPerCall = 256;
constexpr auto kRunLimit = 10s;

int fail(const char* step, const ctl::OvixQd40Ctl& c) {
    std::fprintf(stderr, "tavik_demo_doc: %s failed: %s\n", step,
                 c.lastError().description.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: tavik_demo_doc FILE HOST:PORT\n");
        return 2;
    }
    const std::string target = argv[2];
    const size_t colon = target.rfind(':');
    if (colon == std::string::npos) {
        std::fprintf(stderr, "tavik_demo_doc: %s is not HOST:PORT\n", argv[2]);
        return 2;
    }
    const std::string host = target.substr(0, colon);
    const int port = std::atoi(target.c_str() + colon + 1);

    app::CTavikDoc doc([](ctl::CtlContainer* container) {
        return std::make_unique<ctl::OvixQd40Ctl>(ctl::daemonFactory(), container);
    });
    app::CTavikItem& item = doc.newItem();
    ctl::OvixQd40Ctl& c = item.control();
    c.put_Serial(0);
    c.put_IpAddr(host);
    if (failed(c.put_Port(port)))
        return fail("setting the port", c);
    c.put_MbAddr(1);
    doc.numberItem(item);

    if (failed(c.Open()))
        return fail("opening the module", c);
    if (failed(c.ReadCfg()))
        return fail("reading the configuration", c);

    uint32_t count = 0;
    if (failed(c.GetMemRecCount(kBlock, &count)))
        return fail("counting the records", c);
    if (count < kWanted) {
        if (failed(c.Run()))
            return fail("RUN", c);
        const auto deadline = std::chrono::steady_clock::now() + kRunLimit;
        while (count < kWanted && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(100ms);
            if (failed(c.GetMemRecCount(kBlock, &count)))
                return fail("counting the records", c);
        }
        if (failed(c.Stop()))
            return fail("STOP", c);
    }

    std::vector<uint8_t> raw;
    const uint32_t wanted = std::min(count, kMostRecords);
    for (uint32_t read = 0; read < wanted;) {
        uint32_t got = 0;
        cfg::VariantBlob data;
        if (failed(c.GetMemRecords(kBlock, read + 1, std::min(wanted - read, kPerCall), 0, &got,
                                   &data)))
            return fail("reading the records", c);
        got = std::min<uint32_t>(got, uint32_t(data.data.size() / 8));
        raw.insert(raw.end(), data.data.begin(), data.data.begin() + size_t(got) * 8);
        read += got;
        if (got == 0)
            break;
    }
    cfg::VariantBlob res;
    std::vector<uint8_t> resolutions;
    if (succeeded(c.GetChansResStatus(&res)) && res.data.size() >= cfg::kChansResCfgSize)
        resolutions = res.data;
    c.Close();

    item.setMnemonic("DEMO");
    auto block = std::make_unique<records::CExplBloc>();
    block->name = "DEMO_01_1";
    block->comment = "Memory block 1 of the demonstration module";
    block->setConfigSnapshot(c.state().cfg, resolutions, c.state().ext, kBlock);
    block->AppendRawRecords(raw, raw.size() / 8);
    doc.blocks().push_back(std::move(block));

    if (Status st = doc.save(argv[1]); !st) {
        std::fprintf(stderr, "tavik_demo_doc: %s\n", st.error.description.c_str());
        return 1;
    }
    std::printf("%s: module %s, %zu records in block %s\n", argv[1], target.c_str(),
                doc.blocks().front()->records.size(), doc.blocks().front()->name.c_str());
    return 0;
}
