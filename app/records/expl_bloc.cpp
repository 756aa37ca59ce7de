#include "app/records/expl_bloc.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "app/records/records_strings.h"
#include "app/records/value_text.h"
#include "common/ansi_text.h"
#include "common/config/code_tables.h"
#include "common/dates.h"
#include "records_version.h"

namespace qd40::records {

namespace {

constexpr int64_t kOleDay2000 = 36526;  // 2000-01-01 as an OLE automation date
constexpr int kUnitMs[4] = {1, 10, 100, 1000};

bool validChannel(int channel) {
    return channel >= 1 && channel <= CExplBloc::kChannels;
}

// OLE date of whole seconds since 2000-01-01: days plus the fraction of the
// day, the same value as the calendar conversion gives. For days from 2000 to
// past the u32 range, the sum rounds to the same double whether the fraction
// comes from a division or from the product by the reciprocal (a test checks
// every second of a day on each side of the 2^16-day binade), so the cheaper
// product is used.
double oleDateOf(uint64_t seconds2000) {
    const uint64_t days = seconds2000 / 86400;
    const uint64_t rest = seconds2000 - days * 86400;
    return static_cast<double>(kOleDay2000 + static_cast<int64_t>(days)) +
           static_cast<double>(static_cast<int64_t>(rest)) * (1.0 / 86400.0);
}

void appendMs(std::string& out, char separator, int ms) {
    out += separator;
    out += strings::format("%.3d", ms);
}

}  // namespace

std::string_view currentFormatVersion() {
    return version::records::kProductVersion;
}

bool formatHasField(std::string_view v, std::string_view threshold) {
    const bool current = v >= std::string_view("A.00") && v < std::string_view("Z.00");
    return current || v >= threshold;
}

CExplBloc::CExplBloc() {
    resolutions.fill(kAutoResolution);
}

void CExplBloc::setConfigSnapshot(std::span<const uint8_t, kFullCfgSize> fullCfg,
                                  std::span<const uint8_t> chansRes,
                                  std::span<const uint8_t, kExtCfgSize> ext, int block) {
    const cfg::ConstFullCfgView full(fullCfg);
    if (block >= 1 && block <= 10) {
        const auto mem = full.memBlock(block).bytes();
        std::copy(mem.begin(), mem.end(), memCfg.begin());
    }
    std::copy_n(fullCfg.begin() + kAcqPartOffset, kAcqPartSize, acqPart.begin());
    for (int n = 1; n <= kChannels; ++n) {
        const auto channel = full.channel(n).bytes();
        std::copy(channel.begin(), channel.end(), chanCfg.begin() + channelOffset(n));
    }
    resolutions.fill(kAutoResolution);
    if (chansRes.size() >= kChansResSize) {
        const cfg::ConstChansResCfg res(chansRes.first(kChansResSize));
        for (int n = 1; n <= kChannels; ++n)
            resolutions[n - 1] = res.resol(n);
    }
    std::copy(ext.begin(), ext.end(), extCfg.begin());
}

std::string CExplBloc::moduleMnemonicAnsi() const {
    return cfg::ConstQd40ExtCfg(extCfg).moduleMnemonic();
}

std::string CExplBloc::channelMnemonicAnsi(int channel) const {
    if (!validChannel(channel))
        return {};
    return cfg::ConstQd40ExtCfg(extCfg).chanMnemonic(channel);
}

std::string CExplBloc::channelUnitAnsi(int channel) const {
    if (!validChannel(channel))
        return {};
    std::string unit = cfg::ConstQd40ExtCfg(extCfg).chanUnit(channel);
    if (!unit.empty())
        return unit;
    const cfg::ConstChannelCfg c = channelCfgOf(channel);
    return std::string(cfg::defaultUnit(c.function(), c.range()));
}

float CExplBloc::channelDefaultValue(int channel) const {
    if (!validChannel(channel))
        return std::nanf("");
    return channelCfgOf(channel).defaultValue();
}

cfg::ConstChannelCfg CExplBloc::channelCfgOf(int channel) const {
    return cfg::ConstChannelCfg(
        std::span(chanCfg).subspan(channelOffset(channel), kChannelCfgSize));
}

int CExplBloc::channelResolution(int channel) const {
    if (!validChannel(channel))
        return kAutoResolution;
    return std::min<int>(resolutions[channel - 1], kAutoResolution);
}

size_t CExplBloc::firstDateRecord() const {
    for (size_t i = 0; i < records.size(); ++i) {
        if (records[i].type() == kDateRecord)
            return i;
    }
    return records.size();
}

// ---- Conversion of raw module records --------------------------------------

size_t CExplBloc::AppendRawRecords(std::span<const uint8_t> raw, size_t count) {
    count = std::min(count, raw.size() / 8);
    const size_t first = records.size();
    records.resize(first + count);
    _tExplRecord* out = records.data() + first;
    // Every call starts from 2000-01-01 00:00:00.000.
    uint64_t baseSeconds = 0;
    uint32_t baseMs = 0;
    const uint8_t* p = raw.data();
    for (size_t i = 0; i < count; ++i, p += 8) {
        const uint16_t w0 = static_cast<uint16_t>(p[0] | p[1] << 8);
        const uint16_t w1 = static_cast<uint16_t>(p[2] | p[3] << 8);
        const uint32_t payload =
            uint32_t(p[4]) | uint32_t(p[5]) << 8 | uint32_t(p[6]) << 16 | uint32_t(p[7]) << 24;
        uint64_t seconds;
        uint32_t ms;
        if ((w0 >> 14) == kDateRecord) {
            // A millisecond word of 1000 or more (never sent by a sound
            // module) carries into the seconds, so that the stored
            // milliseconds stay 0..999.
            seconds = uint64_t{payload} + w1 / 1000u;
            ms = w1 % 1000u;
            baseSeconds = seconds;
            baseMs = ms;
        } else {
            const uint32_t offset = (w1 & 0x3FFFu) * kUnitMs[w1 >> 14] + baseMs;
            seconds = baseSeconds + offset / 1000;
            ms = offset % 1000;
        }
        _tExplRecord& r = out[i];
        r.setFlags(static_cast<uint16_t>(w0 & ~0x3000u));
        r.setDate(oleDateOf(seconds));
        r.setMs(static_cast<uint16_t>(ms));
        r.setPayload(payload);
    }
    return count;
}

// ---- Sort -------------------------------------------------------------------

namespace {

// Counts comparisons and reports every 1000th to the progress callback.
class SortContext {
public:
    SortContext(IWaitDialog* dialog, IRecordsPrompter* prompter)
        : dialog_(dialog), prompter_(prompter) {}

    bool less(const _tExplRecord& a, uint64_t kb, uint16_t mb) {
        tick();
        const uint64_t ka = a.dateKey();
        return ka < kb || (ka == kb && a.ms() < mb);
    }
    bool less(uint64_t ka, uint16_t ma, const _tExplRecord& b) {
        tick();
        const uint64_t kb = b.dateKey();
        return ka < kb || (ka == kb && ma < b.ms());
    }
    bool less(const _tExplRecord& a, const _tExplRecord& b) {
        tick();
        return recordLess(a, b);
    }
    bool stopped() const { return stopped_; }

private:
    void tick() {
        if (++comparisons_ < 1000)
            return;
        comparisons_ = 0;
        report();
    }
    void report() {
        if (!dialog_ || stopped_)
            return;
        dialog_->setPos(++position_);
        if (!dialog_->IsCancelled())
            return;
        if (prompter_ &&
            prompter_->askYesNoCancel(recordsText(IDS_SORT_ABORT_QUESTION)) == Answer::Yes)
            stopped_ = true;
    }

    IWaitDialog* dialog_;
    IRecordsPrompter* prompter_;
    int comparisons_ = 0;
    int64_t position_ = 0;
    bool stopped_ = false;
};

void insertionSort(_tExplRecord* a, ptrdiff_t n, SortContext& ctx) {
    for (ptrdiff_t i = 1; i < n; ++i) {
        const _tExplRecord v = a[i];
        const uint64_t key = v.dateKey();
        const uint16_t ms = v.ms();
        ptrdiff_t j = i;
        while (j > 0 && ctx.less(key, ms, a[j - 1])) {
            a[j] = a[j - 1];
            --j;
        }
        a[j] = v;
    }
}

void siftDown(_tExplRecord* a, ptrdiff_t root, ptrdiff_t n, SortContext& ctx) {
    for (;;) {
        ptrdiff_t child = 2 * root + 1;
        if (child >= n)
            return;
        if (child + 1 < n && ctx.less(a[child], a[child + 1]))
            ++child;
        if (!ctx.less(a[root], a[child]))
            return;
        std::swap(a[root], a[child]);
        root = child;
    }
}

// Guards the quicksort against inputs that would make it quadratic.
void heapSort(_tExplRecord* a, ptrdiff_t n, SortContext& ctx) {
    for (ptrdiff_t i = n / 2 - 1; i >= 0 && !ctx.stopped(); --i)
        siftDown(a, i, n, ctx);
    for (ptrdiff_t end = n - 1; end > 0 && !ctx.stopped(); --end) {
        std::swap(a[0], a[end]);
        siftDown(a, 0, end, ctx);
    }
}

// Quicksort (median of three, Hoare partition, smaller side first) down to
// runs of 8 or fewer, which insertion sort finishes. A stop request is
// honoured between steps, so every record stays in the array exactly once.
void quickSort(_tExplRecord* a, ptrdiff_t n, int depthLeft, SortContext& ctx) {
    while (n > 8) {
        if (ctx.stopped())
            return;
        if (depthLeft-- == 0) {
            heapSort(a, n, ctx);
            return;
        }
        const ptrdiff_t mid = n / 2;
        if (ctx.less(a[mid], a[0]))
            std::swap(a[mid], a[0]);
        if (ctx.less(a[n - 1], a[mid])) {
            std::swap(a[n - 1], a[mid]);
            if (ctx.less(a[mid], a[0]))
                std::swap(a[mid], a[0]);
        }
        const uint64_t pk = a[mid].dateKey();
        const uint16_t pm = a[mid].ms();
        // a[0] <= pivot <= a[n-1] stop both scans inside the range.
        ptrdiff_t i = 0, j = n - 1;
        for (;;) {
            do
                ++i;
            while (ctx.less(a[i], pk, pm));
            do
                --j;
            while (ctx.less(pk, pm, a[j]));
            if (i >= j)
                break;
            std::swap(a[i], a[j]);
        }
        // [0, j] <= pivot <= [j+1, n)
        const ptrdiff_t left = j + 1;
        const ptrdiff_t right = n - left;
        if (left < right) {
            quickSort(a, left, depthLeft, ctx);
            a += left;
            n = right;
        } else {
            quickSort(a + left, right, depthLeft, ctx);
            n = left;
        }
    }
    if (!ctx.stopped())
        insertionSort(a, n, ctx);
}

}  // namespace

bool CExplBloc::SortRecords(IWaitDialog* dialog, IRecordsPrompter* prompter) {
    const size_t count = records.size();
    if (count < 2)
        return true;
    if (dialog) {
        dialog->create(IDS_SORTING);
        const auto factor = static_cast<int64_t>((std::log(static_cast<double>(count)) + 1) * 1.5);
        dialog->setRange(0, static_cast<int64_t>(count) * factor / 1000);
        dialog->setPos(0);
    }
    SortContext ctx(dialog, prompter);
    int depth = 0;
    for (size_t n = count; n > 1; n >>= 1)
        depth += 2;
    quickSort(records.data(), static_cast<ptrdiff_t>(count), depth + 4, ctx);
    if (dialog)
        dialog->destroy();
    return !ctx.stopped();
}

// ---- Record text -------------------------------------------------------------

void appendRecordDateText(std::string& out, const _tExplRecord& r, const platform::Locale& locale) {
    const auto dt = r.dateStatus() == 0 ? fromOleDate(r.date()) : std::nullopt;
    if (!dt) {
        out += '?';
        return;
    }
    locale.appendShortDate(out, *dt);
    out += ' ';
    const size_t mark = out.size();
    locale.appendTime(out, *dt);
    if (out.size() == mark)
        out += "00:00:00";
    appendMs(out, locale.decimalSeparator(), r.ms());
}

RecordText CExplBloc::FormatRecordText(size_t index, char separator, bool dateKnown,
                                       const platform::Locale& locale, bool joinLine) const {
    RecordText t;
    if (index >= records.size())
        return t;
    const _tExplRecord& r = records[index];
    const int type = r.type();
    t.columns[0] = strings::format("%.6d", static_cast<int>(index + 1));
    if (type == kDateRecord || ((type == kMeasureRecord || type == kErrorRecord) && dateKnown)) {
        appendRecordDateText(t.columns[1], r, locale);
    } else {
        t.columns[1] += '?';
    }
    if (type == kMeasureRecord || type == kErrorRecord) {
        const int channel = r.channel();
        t.columns[2] = text::ansiToUtf8(moduleMnemonicAnsi());
        const std::string mnemonic = channelMnemonicAnsi(channel);
        t.columns[3] = mnemonic.empty()
                           ? strings::format(recordsText(IDS_CHANNEL_DEFAULT_NAME).c_str(), channel)
                           : text::ansiToUtf8(mnemonic);
        const float value = type == kMeasureRecord ? r.value() : channelDefaultValue(channel);
        t.columns[4] =
            formatValueText(value, channelResolution(channel), locale.decimalSeparator());
        t.columns[5] = text::ansiToUtf8(channelUnitAnsi(channel));
        if (type == kMeasureRecord) {
            for (int limit = 1; limit <= 4; ++limit) {
                if (!(r.alarms() & (1 << (limit - 1))))
                    continue;
                if (!t.columns[6].empty())
                    t.columns[6] += ';';
                t.columns[6] += strings::format("%d", limit);
            }
        } else {
            t.columns[7] = strings::format(" %ld", static_cast<long>(r.errorCode()));
        }
    }
    for (size_t c = 0; joinLine && c < t.columns.size(); ++c) {
        if (c > 0)
            t.line += separator;
        t.line += t.columns[c];
    }
    return t;
}

// ---- Storage ------------------------------------------------------------------

void CExplBloc::Serialize(archive::Writer& ar) const {
    SerializeHead(ar);
    ar.writeBytes(recordBytes());
}

void CExplBloc::SerializeHead(archive::Writer& ar) const {
    ar.writeString(name);
    ar.writeString(comment);
    ar.writeBytes(memCfg);
    ar.writeBytes(acqPart);
    ar.writeBytes(chanCfg);
    for (uint16_t code : resolutions)
        ar.writeU16(code);
    ar.writeBytes(extCfg);
    if (records.size() > 0xFFFFFFFFu)
        throw archive::ArchiveError("too many records in one block");
    ar.writeCount(static_cast<uint32_t>(records.size()));
}

void CExplBloc::Serialize(archive::Reader& ar, std::string_view v) {
    // Read into a fresh block so that a failure leaves this one as it was.
    CExplBloc b;
    b.name = ar.readString();
    if (formatHasField(v, "Z.02"))
        b.comment = ar.readString();
    if (formatHasField(v, "Z.04")) {
        if (formatHasField(v, "Z.12")) {
            ar.readBytes(b.memCfg);
        } else {
            // Older 30-byte record: a u16 size widened to the u32 of today.
            cfg::MemBlockCfg(b.memCfg).setSize(ar.readU16());
            ar.readBytes(std::span(b.memCfg).subspan(4));
        }
        ar.readBytes(b.acqPart);
        if (formatHasField(v, "Z.07")) {
            ar.readBytes(b.chanCfg);
        } else {
            // Older 140-byte channel records: the last 4 bytes stay 0.
            for (int n = 1; n <= kChannels; ++n)
                ar.readBytes(std::span(b.chanCfg).subspan(channelOffset(n), 140));
        }
        for (uint16_t& code : b.resolutions)
            code = ar.readU16();
        if (formatHasField(v, "Z.13"))
            ar.readBytes(b.extCfg);
    }
    const uint32_t count = ar.readCount(sizeof(_tExplRecord));
    b.records.resize(count);
    // Records are kept as their 24 stored bytes: one copy for the whole block.
    ar.readBytes(std::span(reinterpret_cast<uint8_t*>(b.records.data()),
                           size_t{count} * sizeof(_tExplRecord)));
    *this = std::move(b);
}

}  // namespace qd40::records
