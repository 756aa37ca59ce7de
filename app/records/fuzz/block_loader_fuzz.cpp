// Fuzz target: the archive reader and record block loading, followed by the
// record text and the spreadsheet export of whatever loaded.
// Input: one byte choosing the document format version, then the record
// block part of a document: an i32 count and each block as a tagged object.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "app/records/expl_bloc.h"
#include "app/records/record_export.h"

using namespace qd40;

namespace {
constexpr const char* kVersions[] = {"", "Z.01", "Z.02", "Z.04", "Z.07", "Z.12", "Z.13", "B.10"};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    const char* version = kVersions[data[0] % 8];
    archive::Reader ar(std::span(data + 1, size - 1));
    static std::FILE* sink = std::fopen("/dev/null", "wb");
    const platform::Locale locale = platform::Locale::posix();
    try {
        const int32_t count = ar.readI32();
        for (int32_t i = 0; i < count && !ar.atEnd(); ++i) {
            const auto tag = ar.readObjectTag();
            if (tag.kind != archive::Reader::ObjectTag::Kind::New ||
                tag.className != records::CExplBloc::kClassName)
                break;
            records::CExplBloc block;
            block.Serialize(ar, version);
            for (size_t k = 0; k < block.records.size() && k < 64; ++k)
                block.FormatRecordText(k, '\t', k % 2 == 0, locale);
            if (block.records.size() <= 4096)
                block.SortRecords(nullptr, nullptr);
            records::SpreadsheetOptions options;
            options.groupByCycle = data[0] & 8;
            options.date = data[0] & 16;
            options.time = data[0] & 32;
            if (sink)
                records::exportSpreadsheetTo(sink, {&block}, options, locale, nullptr);
        }
    } catch (const archive::ArchiveError&) {
    }
    return 0;
}
