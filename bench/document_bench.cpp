// A document of 10 modules and 10 record blocks of 1,000,000 records each
// (about 240 MB), opened and saved, beside the same bytes read and written
// with plain file calls (read(2) into one buffer; write(2) and fsync(2) of a
// new file, as the save flushes its file too).
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <vector>

#include "app/core/file_io.h"
#include "app/core/tavik_doc.h"

using namespace qd40;
using namespace qd40::app;

namespace {

constexpr int kModules = 10;
constexpr int kBlocks = 10;
constexpr size_t kRecordsPerBlock = 1'000'000;

std::filesystem::path folder() {
    static const std::filesystem::path p = [] {
        auto f = std::filesystem::temp_directory_path() /
                 ("qd40-doc-bench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(f);
        return f;
    }();
    return p;
}

CTavikDoc::ControlFactory factory() {
    return [](ctl::CtlContainer* c) {
        return std::make_unique<ctl::OvixQd40Ctl>(ctl::Qd40Factory{}, c,
                                                  platform::RegistryStore(folder() / "reg"));
    };
}

std::unique_ptr<CTavikDoc> bigDocument() {
    auto doc = std::make_unique<CTavikDoc>(factory());
    for (int m = 0; m < kModules; ++m) {
        CTavikItem& item = doc->newItem();
        item.control().put_Serial(0);
        item.control().put_IpAddr("10.0.0." + std::to_string(m + 1));
        doc->numberItem(item);
    }
    for (int b = 0; b < kBlocks; ++b) {
        auto block = std::make_unique<records::CExplBloc>();
        block->name = "Block " + std::to_string(b + 1);
        block->records.resize(kRecordsPerBlock);
        for (size_t r = 0; r < kRecordsPerBlock; ++r) {
            records::_tExplRecord& rec = block->records[r];
            rec.setFlags(static_cast<uint16_t>(1u << 14 | (r % 30 + 1)));
            rec.setDate(46000.0 + double(r / 30) / 86400.0);
            rec.setPayload(static_cast<uint32_t>(r));
        }
        doc->blocks().push_back(std::move(block));
    }
    return doc;
}

// The saved document, written once for the reading benchmarks.
const std::filesystem::path& savedDocument() {
    static const std::filesystem::path p = [] {
        const auto path = folder() / "big.dqx";
        if (!bigDocument()->save(path).isOk())
            std::abort();
        return path;
    }();
    return p;
}

void BM_OpenDocument(benchmark::State& state) {
    const auto& path = savedDocument();
    for (auto _ : state) {
        CTavikDoc doc(factory());
        if (!doc.load(path).isOk())
            state.SkipWithError("load failed");
        benchmark::DoNotOptimize(doc.blocks().data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) *
                            int64_t(std::filesystem::file_size(path)));
}

void BM_ReadPlain(benchmark::State& state) {
    const auto& path = savedDocument();
    const size_t size = std::filesystem::file_size(path);
    for (auto _ : state) {
        std::vector<uint8_t> bytes(size);
        const int fd = ::open(path.c_str(), O_RDONLY);
        size_t done = 0;
        while (done < size) {
            const ssize_t n = ::read(fd, bytes.data() + done, size - done);
            if (n <= 0)
                break;
            done += size_t(n);
        }
        ::close(fd);
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(size));
}

void BM_SaveDocument(benchmark::State& state) {
    const auto doc = bigDocument();
    const auto path = folder() / "saved.dqx";
    for (auto _ : state)
        if (!doc->save(path).isOk())
            state.SkipWithError("save failed");
}

void BM_WritePlain(benchmark::State& state) {
    const std::vector<uint8_t> bytes = bigDocument()->write();
    const auto path = folder() / "plain.bin";
    for (auto _ : state) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
            if (n <= 0)
                break;
            done += size_t(n);
        }
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace

BENCHMARK(BM_OpenDocument)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_ReadPlain)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_SaveDocument)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_WritePlain)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(folder());
    return 0;
}
