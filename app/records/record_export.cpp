#include "app/records/record_export.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <memory>

#include "app/records/records_strings.h"
#include "app/records/value_text.h"
#include "common/ansi_text.h"
#include "common/dates.h"

namespace qd40::records {

namespace {

constexpr uint64_t kProgressEvery = 1024;
constexpr size_t kFlushSize = 1 << 16;
constexpr long kFar = 9'000'000'000'000'000'000;
// Room for one field of a row: its separator and a cell.
constexpr size_t kFieldRoom = 1 + kValueTextMax;

// An append-only text buffer whose appends stay inline; growing is the rare path.
class TextBuffer {
public:
    void put(char c) {
        if (size_ == capacity_)
            grow(1);
        data_[size_++] = c;
    }
    void put(const char* s, size_t n) {
        if (capacity_ - size_ < n)
            grow(n);
        std::memcpy(data_.get() + size_, s, n);
        size_ += n;
    }
    void put(std::string_view s) { put(s.data(), s.size()); }
    // Room for n bytes written directly, then committed.
    char* room(size_t n) {
        if (capacity_ - size_ < n)
            grow(n);
        return data_.get() + size_;
    }
    void commit(size_t n) { size_ += n; }
    const char* data() const { return data_.get(); }
    size_t size() const { return size_; }
    void clear() { size_ = 0; }

private:
    void grow(size_t n) {
        const size_t capacity = std::max(capacity_ * 2, size_ + n + 256);
        auto data = std::make_unique<char[]>(capacity);
        if (size_ > 0)
            std::memcpy(data.get(), data_.get(), size_);
        data_ = std::move(data);
        capacity_ = capacity;
    }

    std::unique_ptr<char[]> data_;
    size_t size_ = 0;
    size_t capacity_ = 0;
};

// Collects whole lines and writes them in large pieces; remembers a failure.
class LineWriter {
public:
    explicit LineWriter(std::FILE* file) : file_(file) {}

    TextBuffer& text() { return buffer_; }
    void endLine() {
        buffer_.put("\r\n", 2);
        if (buffer_.size() >= kFlushSize)
            flush();
    }
    // A write failed: what follows would be lost too.
    bool failed() const { return failed_; }
    bool finish() {
        flush();
        if (!failed_ && std::fflush(file_) != 0)
            failed_ = true;
        return !failed_;
    }

private:
    void flush() {
        if (!failed_ && buffer_.size() > 0 &&
            std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size())
            failed_ = true;
        buffer_.clear();
    }

    std::FILE* file_;
    TextBuffer buffer_;
    bool failed_ = false;
};

// The progress dialog of an export: position and message every 1024 records,
// and the cancel test. A failed write also stops the export there, instead
// of formatting the remaining records for nothing.
class ExportProgress {
public:
    ExportProgress(IWaitDialog* dialog, uint64_t total, const LineWriter& out)
        : dialog_(dialog), out_(out), total_(total) {
        if (!dialog_)
            return;
        dialog_->create(IDS_EXPORTING);
        dialog_->setRange(0, static_cast<int64_t>(total));
        dialog_->setStep(1);
        dialog_->setPos(0);
        dialog_->setMessage(message());
    }
    ~ExportProgress() {
        if (dialog_)
            dialog_->destroy();
    }
    uint64_t done() const { return done_; }
    // Whether the user stopped the export (not a write failure).
    bool cancelled() const { return cancelled_; }
    // Counts one record; false when the export must stop (cancel or write
    // failure).
    bool next() {
        ++done_;
        return done_ % kProgressEvery != 0 || report();
    }

private:
    // Tests the writes, shows the position and tests the cancel flag; false
    // when the export must stop.
    bool report() {
        if (out_.failed())
            return false;
        if (!dialog_)
            return true;
        dialog_->setPos(static_cast<int64_t>(done_));
        dialog_->setMessage(message());
        cancelled_ = dialog_->IsCancelled();
        return !cancelled_;
    }

    std::string message() const {
        std::string text = recordsText(IDS_EXPORT_PROGRESS);
        auto put = [&text](std::string_view marker, uint64_t v) {
            const size_t at = text.find(marker);
            if (at != std::string::npos)
                text.replace(at, marker.size(), strings::format("%ld", static_cast<long>(v)));
        };
        put("%1", done_);
        put("%2", total_);
        return text;
    }

    IWaitDialog* dialog_;
    const LineWriter& out_;
    uint64_t total_;
    uint64_t done_ = 0;
    bool cancelled_ = false;
};

uint64_t totalRecords(const std::vector<const CExplBloc*>& blocks) {
    uint64_t total = 0;
    for (const CExplBloc* b : blocks)
        total += b ? b->records.size() : 0;
    return total;
}

// "%ld" of v.
void putInt(TextBuffer& out, long v) {
    char* room = out.room(24);
    // The 32-bit conversion is the cheaper one, and intervals fit it.
    const char* end = v >= 0 && v <= 0xFFFFFFFFL
                          ? std::to_chars(room, room + 24, static_cast<uint32_t>(v)).ptr
                          : std::to_chars(room, room + 24, v).ptr;
    out.commit(static_cast<size_t>(end - room));
}

// "%c%03.3d" of the separator and the milliseconds.
void putMs(TextBuffer& out, char separator, long ms) {
    if (ms >= 0 && ms < 1000) {
        const auto u = static_cast<unsigned>(ms);
        char* p = out.room(4);
        p[0] = separator;
        p[1] = static_cast<char>('0' + u / 100);
        p[2] = static_cast<char>('0' + u / 10 % 10);
        p[3] = static_cast<char>('0' + u % 10);
        out.commit(4);
    } else {
        out.put(separator);
        out.put(strings::format("%.3ld", ms));
    }
}

// The date and time texts of a record's date ("?" when it cannot be shown),
// kept for the last date seen: the records of a cycle share their date, and
// rows of the same second reuse the texts instead of formatting them again.
class DateTexts {
public:
    explicit DateTexts(const platform::Locale& locale) : locale_(locale) {}

    void putDate(TextBuffer& out, const _tExplRecord& r) {
        update(r);
        out.put(known_ ? std::string_view(date_) : std::string_view("?"));
    }
    // The time, then "%c%03.3d" of the decimal separator and the milliseconds.
    void putTimeMs(TextBuffer& out, const _tExplRecord& r) {
        update(r);
        if (!known_) {
            out.put('?');
            return;
        }
        out.put(time_);
        putMs(out, locale_.decimalSeparator(), r.ms());
    }

private:
    void update(const _tExplRecord& r) {
        const uint64_t bits = le::u64(r.bytes, 4);
        const int32_t status = r.dateStatus();
        if (filled_ && bits == bits_ && status == status_)
            return;
        filled_ = true;
        bits_ = bits;
        status_ = status;
        const std::optional<DateTime> dt = status == 0 ? fromOleDate(r.date()) : std::nullopt;
        known_ = dt.has_value();
        date_.clear();
        time_.clear();
        if (!known_)
            return;
        date_ = ansiText(locale_.shortDate(*dt));
        const std::string time = locale_.time(*dt);
        time_ = ansiText(time.empty() ? std::string("00:00:00") : time);
    }

    // A locale text in 8-bit form.
    static std::string ansiText(const std::string& utf8) {
        for (char c : utf8) {
            if (static_cast<unsigned char>(c) >= 0x80)
                return text::utf8ToAnsi(utf8);
        }
        return utf8;
    }

    const platform::Locale& locale_;
    bool filled_ = false;
    uint64_t bits_ = 0;
    int32_t status_ = 0;
    bool known_ = false;
    std::string date_;
    std::string time_;
};

ExportResult finish(ExportResult result, LineWriter& writer) {
    if (!writer.finish()) {
        result.hr = E_ABORT;
        result.message = recordsText(IDS_WRITE_FAILED);
    }
    return result;
}

// One block of the spreadsheet export.
class SpreadsheetBlock {
public:
    SpreadsheetBlock(const CExplBloc& block, const SpreadsheetOptions& options,
                     const platform::Locale& locale, LineWriter& out)
        : b_(block), o_(options), locale_(locale), out_(out), dates_(locale) {
        // Tables by the channel byte of a record: channel numbers outside
        // 1..30 (only in damaged blocks) have no column and the automatic
        // resolution.
        columnOf_.fill(-1);
        resolution_.fill(kAutoResolution);
        const uint32_t mask = b_.storedChannelMask();
        for (int ch = 1; ch <= CExplBloc::kChannels; ++ch) {
            if (mask & (1u << (ch - 1))) {
                columnOf_[static_cast<size_t>(ch)] = static_cast<int>(channels_.size());
                channels_.push_back(ch);
            }
            resolution_[static_cast<size_t>(ch)] = b_.channelResolution(ch);
        }
        pending_.assign(channels_.size(), nullptr);
        // The error label is cut to the room of a cell.
        errText_ = recordsText(IDS_ERR).substr(0, 16);
        hasLeading_ = o_.interval || o_.date || o_.time;
    }

    // Walks the records; false when the export must stop.
    bool run(ExportProgress& progress) {
        const char sep = o_.separator;
        TextBuffer& line = out_.text();
        line.put('"');
        line.put(text::utf8ToAnsi(b_.name));
        line.put('"');
        line.put(sep);
        line.put('"');
        line.put(b_.moduleMnemonicAnsi());
        line.put('"');
        out_.endLine();

        const size_t first = b_.firstDateRecord();
        const std::vector<_tExplRecord>& records = b_.records;
        const size_t count = records.size();
        const bool grouped = o_.groupByCycle;
        for (size_t i = 0; i < count; ++i) {
            const _tExplRecord& r = records[i];
            const int type = r.type();
            if (i < first) {
                // Records before the first date record have no start to refer to.
            } else if (type == kDateRecord) {
                if (i == first)
                    start(r);
                if (grouped) {
                    if (rowDate_)
                        writeRow();
                    rowDate_ = &r;
                }
            } else if (type == kMeasureRecord || type == kErrorRecord) {
                const int column = columnOf_[static_cast<size_t>(r.channel())];
                if (grouped) {
                    // A later record of the channel in the same cycle replaces it.
                    if (column >= 0)
                        pending_[static_cast<size_t>(column)] = &r;
                } else {
                    TextBuffer& row = out_.text();
                    putLeading(row, r);
                    // One field per stored channel, all empty but the
                    // record's own: separators with its cell among them.
                    const size_t n = channels_.size();
                    const size_t separators = hasLeading_ ? n : (n > 0 ? n - 1 : 0);
                    char* const fields = row.room(n * kFieldRoom);
                    char* p = fields;
                    if (column >= 0) {
                        const size_t before = static_cast<size_t>(column) + (hasLeading_ ? 1 : 0);
                        std::memset(p, sep, before);
                        p += before;
                        p += writeCell(p, r);
                        std::memset(p, sep, separators - before);
                        p += separators - before;
                    } else {
                        std::memset(p, sep, separators);
                        p += separators;
                    }
                    row.commit(static_cast<size_t>(p - fields));
                    out_.endLine();
                }
            }
            if (!progress.next())
                return false;
        }
        if (rowDate_)
            writeRow();
        return true;
    }

private:
    void start(const _tExplRecord& r) {
        startDate_ = r.date();
        startMs_ = r.ms();
        const char sep = o_.separator;
        TextBuffer& line = out_.text();
        if (o_.firstCycleDate) {
            dates_.putDate(line, r);
            line.put(sep);
            dates_.putTimeMs(line, r);
            out_.endLine();
        }
        std::string title, units;
        int n = 0;
        auto add = [&](const std::string& t, const std::string& u) {
            if (n++ > 0) {
                title += sep;
                units += sep;
            }
            title += t;
            units += u;
        };
        auto quoted = [](const std::string& s) { return "\"" + s + "\""; };
        if (o_.interval)
            add(quoted(recordsText(IDS_INTERVAL)), "\"s\"");
        if (o_.date)
            add(quoted(recordsText(IDS_DATE)), "");
        if (o_.time)
            add(quoted(recordsText(IDS_HOUR)), "");
        for (int ch : channels_) {
            std::string name = b_.channelMnemonicAnsi(ch);
            if (name.empty())
                name = strings::format(recordsText(IDS_CHANNEL_DEFAULT_NAME).c_str(), ch);
            add(quoted(name), quoted(b_.channelUnitAnsi(ch)));
        }
        line.put(title);
        out_.endLine();
        line.put(units);
        out_.endLine();
    }

    // The leading fields of a row for the reference record (none when no
    // leading column is chosen).
    void putLeading(TextBuffer& out, const _tExplRecord& r) {
        const char sep = o_.separator;
        bool any = false;
        if (o_.interval) {
            const double days = r.date() - startDate_;
            // Truncated toward zero; dates too far apart (only in damaged
            // blocks) are held at the range of the field.
            const double x = days * 86400 + 0.5 / 86400;
            long seconds = x > -9e18 && x < 9e18 ? static_cast<long>(x) : (x > 0 ? kFar : -kFar);
            long ms = static_cast<long>(r.ms()) - startMs_;
            if (ms < 0) {
                if (seconds == 0) {
                    ms = 0;
                } else {
                    --seconds;
                    ms += 1000;
                }
            }
            putInt(out, seconds);
            putMs(out, locale_.decimalSeparator(), ms);
            any = true;
        }
        if (o_.date) {
            if (any)
                out.put(sep);
            dates_.putDate(out, r);
            any = true;
        }
        if (o_.time) {
            if (any)
                out.put(sep);
            dates_.putTimeMs(out, r);
        }
    }

    // Writes at dst the cell of a measurement or error record, its value text
    // or "Err. <code>", and returns its length; dst has kValueTextMax bytes
    // of room.
    size_t writeCell(char* dst, const _tExplRecord& r) const {
        if (r.type() == kErrorRecord) {
            std::memcpy(dst, errText_.data(), errText_.size());
            dst[errText_.size()] = ' ';
            char* code = dst + errText_.size() + 1;
            return static_cast<size_t>(std::to_chars(code, code + 12, r.errorCode()).ptr - dst);
        }
        return writeValueText(dst, r.value(), resolution_[static_cast<size_t>(r.channel())],
                              locale_.decimalSeparator());
    }

    // Writes the pending row of a cycle (the leading fields of its date
    // record, then one field per stored channel) and empties its cells.
    void writeRow() {
        const char sep = o_.separator;
        TextBuffer& row = out_.text();
        putLeading(row, *rowDate_);
        char* const fields = row.room(pending_.size() * kFieldRoom);
        char* p = fields;
        for (size_t c = 0; c < pending_.size(); ++c) {
            if (hasLeading_ || c > 0)
                *p++ = sep;
            if (pending_[c]) {
                p += writeCell(p, *pending_[c]);
                pending_[c] = nullptr;
            }
        }
        row.commit(static_cast<size_t>(p - fields));
        out_.endLine();
    }

    const CExplBloc& b_;
    const SpreadsheetOptions& o_;
    const platform::Locale& locale_;
    LineWriter& out_;
    DateTexts dates_;
    std::string errText_;
    bool hasLeading_ = false;
    std::array<int, 256> columnOf_{};
    std::array<int, 256> resolution_{};
    std::vector<int> channels_;
    // The latest record of each column in the pending row of a cycle, and
    // the date record that began that row.
    std::vector<const _tExplRecord*> pending_;
    const _tExplRecord* rowDate_ = nullptr;
    double startDate_ = 0;
    long startMs_ = 0;
};

template <class Body>
ExportResult exportToPath(const std::string& path, bool append, Body body) {
    std::FILE* file = std::fopen(path.c_str(), append ? "ab" : "wb");
    if (!file)
        return ExportResult{E_ABORT, recordsText(IDS_CREATE_FAILED), false, 0};
    ExportResult result = body(file);
    if (std::fclose(file) != 0 && result.hr == S_OK) {
        result.hr = E_ABORT;
        result.message = recordsText(IDS_WRITE_FAILED);
    }
    return result;
}

}  // namespace

std::string defaultExportFileName(const std::string& documentTitle) {
    std::string name = documentTitle;
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0)
        name.resize(dot);
    const size_t cut = name.find_first_of(" #%;/\\");
    if (cut != std::string::npos)
        name.resize(cut);
    return name + ".txt";
}

ExportResult exportTextInLineTo(std::FILE* file, const std::vector<const CExplBloc*>& blocks,
                                const platform::Locale& locale, IWaitDialog* dialog) {
    LineWriter out(file);
    ExportProgress progress(dialog, totalRecords(blocks), out);
    ExportResult result;
    bool stopped = false;
    for (const CExplBloc* b : blocks) {
        if (!b || stopped)
            continue;
        const size_t first = b->firstDateRecord();
        for (size_t i = 0; i < b->records.size(); ++i) {
            const RecordText t = b->FormatRecordText(i, ' ', i >= first, locale);
            out.text().put(text::utf8ToAnsi(t.line));
            out.endLine();
            if (!progress.next()) {
                stopped = true;
                break;
            }
        }
    }
    result.cancelled = progress.cancelled();
    result.records = progress.done();
    return finish(result, out);
}

ExportResult exportSpreadsheetTo(std::FILE* file, const std::vector<const CExplBloc*>& blocks,
                                 const SpreadsheetOptions& options, const platform::Locale& locale,
                                 IWaitDialog* dialog) {
    LineWriter out(file);
    ExportProgress progress(dialog, totalRecords(blocks), out);
    ExportResult result;
    for (const CExplBloc* b : blocks) {
        if (!b)
            continue;
        SpreadsheetBlock block(*b, options, locale, out);
        if (!block.run(progress))
            break;
    }
    result.cancelled = progress.cancelled();
    result.records = progress.done();
    return finish(result, out);
}

ExportResult exportTextInLine(const std::vector<const CExplBloc*>& blocks, const std::string& path,
                              bool append, const platform::Locale& locale, IWaitDialog* dialog) {
    return exportToPath(
        path, append, [&](std::FILE* f) { return exportTextInLineTo(f, blocks, locale, dialog); });
}

ExportResult exportSpreadsheet(const std::vector<const CExplBloc*>& blocks, const std::string& path,
                               bool append, const SpreadsheetOptions& options,
                               const platform::Locale& locale, IWaitDialog* dialog) {
    return exportToPath(path, append, [&](std::FILE* f) {
        return exportSpreadsheetTo(f, blocks, options, locale, dialog);
    });
}

}  // namespace qd40::records
