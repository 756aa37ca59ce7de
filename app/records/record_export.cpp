#include "app/records/record_export.h"

#include <array>
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
    // A short text (at most 32 bytes, from a buffer at least that long).
    void putShort(const char* s, size_t n) {
        std::memcpy(room(32), s, 32);
        size_ += n;
    }
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
// and the cancel test.
class ExportProgress {
public:
    ExportProgress(IWaitDialog* dialog, uint64_t total) : dialog_(dialog), total_(total) {
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
    // Counts one record; false when the user cancelled.
    bool next() {
        ++done_;
        if (!dialog_ || done_ % kProgressEvery != 0)
            return true;
        dialog_->setPos(static_cast<int64_t>(done_));
        dialog_->setMessage(message());
        return !dialog_->IsCancelled();
    }

private:
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
    uint64_t total_;
    uint64_t done_ = 0;
};

uint64_t totalRecords(const std::vector<const CExplBloc*>& blocks) {
    uint64_t total = 0;
    for (const CExplBloc* b : blocks)
        total += b ? b->records.size() : 0;
    return total;
}

template <class U>
size_t digitCount(U u) {
    size_t n = 1;
    while (u >= 10) {
        u /= 10;
        ++n;
    }
    return n;
}

template <class U>
void digitsBackwards(char* p, U u) {
    do {
        *--p = static_cast<char>('0' + u % 10);
        u /= 10;
    } while (u != 0);
}

// "%ld" written at dst (at least 24 bytes); returns its length.
size_t writeInt(char* dst, long v) {
    const unsigned long u =
        v < 0 ? 0ul - static_cast<unsigned long>(v) : static_cast<unsigned long>(v);
    const size_t sign = v < 0 ? 1 : 0;
    if (sign)
        dst[0] = '-';
    size_t len;
    if (u <= 0xFFFFFFFFul) {
        const auto w = static_cast<uint32_t>(u);  // 32-bit divisions are cheaper
        len = sign + digitCount(w);
        digitsBackwards(dst + len, w);
    } else {
        len = sign + digitCount(u);
        digitsBackwards(dst + len, u);
    }
    return len;
}

// "%c%03.3d" of the separator and the milliseconds.
void putMs(TextBuffer& out, char separator, long ms) {
    if (ms >= 0 && ms < 1000) {
        const char t[4] = {separator, static_cast<char>('0' + ms / 100),
                           static_cast<char>('0' + ms / 10 % 10), static_cast<char>('0' + ms % 10)};
        out.put(t, 4);
    } else {
        out.put(separator);
        out.put(strings::format("%.3ld", ms));
    }
}

// A locale text in 8-bit form.
void putLocaleText(TextBuffer& out, const std::string& utf8) {
    for (char c : utf8) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            out.put(text::utf8ToAnsi(utf8));
            return;
        }
    }
    out.put(utf8);
}

std::optional<DateTime> dateOf(const _tExplRecord& r) {
    return r.dateStatus() == 0 ? fromOleDate(r.date()) : std::nullopt;
}

void putDate(TextBuffer& out, const std::optional<DateTime>& dt, const platform::Locale& locale) {
    if (!dt) {
        out.put('?');
        return;
    }
    putLocaleText(out, locale.shortDate(*dt));
}

void putTimeMs(TextBuffer& out, const std::optional<DateTime>& dt, int ms,
               const platform::Locale& locale) {
    if (!dt) {
        out.put('?');
        return;
    }
    const std::string time = locale.time(*dt);
    putLocaleText(out, time.empty() ? std::string("00:00:00") : time);
    putMs(out, locale.decimalSeparator(), ms);
}

ExportResult finish(ExportResult result, LineWriter& writer) {
    if (!writer.finish()) {
        result.hr = E_ABORT;
        result.message = recordsText(IDS_WRITE_FAILED);
    }
    return result;
}

// A cell of the spreadsheet: a value text or "Err. <code>".
struct Cell {
    char text[kValueTextMax + 32]{};
    size_t size = 0;
};

// One block of the spreadsheet export.
class SpreadsheetBlock {
public:
    SpreadsheetBlock(const CExplBloc& block, const SpreadsheetOptions& options,
                     const platform::Locale& locale, LineWriter& out)
        : b_(block), o_(options), locale_(locale), out_(out) {
        columnOf_.fill(-1);
        const uint32_t mask = b_.storedChannelMask();
        for (int ch = 1; ch <= CExplBloc::kChannels; ++ch) {
            if (mask & (1u << (ch - 1))) {
                columnOf_[static_cast<size_t>(ch)] = static_cast<int>(channels_.size());
                channels_.push_back(ch);
            }
            resolution_[static_cast<size_t>(ch)] = b_.channelResolution(ch);
        }
        cells_.resize(channels_.size());
        // The error label is cut to the room of a cell.
        errText_ = recordsText(IDS_ERR).substr(0, 16);
    }

    // Walks the records; false when the user cancelled.
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
        bool pending = false;
        for (size_t i = 0; i < b_.records.size(); ++i) {
            const _tExplRecord& r = b_.records[i];
            const int type = r.type();
            if (i < first) {
                // Records before the first date record have no start to refer to.
            } else if (type == kDateRecord) {
                if (i == first)
                    start(r);
                if (o_.groupByCycle) {
                    if (pending)
                        writeRow();
                    leading_.clear();
                    putLeading(leading_, r);
                    pending = true;
                }
            } else if (type == kMeasureRecord || type == kErrorRecord) {
                const int channel = r.channel();
                const int column =
                    channel <= CExplBloc::kChannels ? columnOf_[static_cast<size_t>(channel)] : -1;
                if (o_.groupByCycle) {
                    // A later record of the channel in the same cycle replaces it.
                    if (column >= 0)
                        writeCell(cells_[static_cast<size_t>(column)], r);
                } else {
                    TextBuffer& row = out_.text();
                    const bool leading = putLeading(row, r);
                    Cell& cell = scratch_;
                    cell.size = 0;
                    if (column >= 0)
                        writeCell(cell, r);
                    for (size_t c = 0; c < channels_.size(); ++c) {
                        if (leading || c > 0)
                            row.put(sep);
                        if (static_cast<int>(c) == column)
                            row.putShort(cell.text, cell.size);
                    }
                    out_.endLine();
                }
            }
            if (!progress.next())
                return false;
        }
        if (pending)
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
            const auto dt = dateOf(r);
            putDate(line, dt, locale_);
            line.put(sep);
            putTimeMs(line, dt, r.ms(), locale_);
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

    // The leading fields of a row for the reference record; false when none is chosen.
    bool putLeading(TextBuffer& out, const _tExplRecord& r) {
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
            out.commit(writeInt(out.room(24), seconds));
            putMs(out, locale_.decimalSeparator(), ms);
            any = true;
        }
        if (o_.date || o_.time) {
            const auto dt = dateOf(r);
            if (o_.date) {
                if (any)
                    out.put(sep);
                putDate(out, dt, locale_);
                any = true;
            }
            if (o_.time) {
                if (any)
                    out.put(sep);
                putTimeMs(out, dt, r.ms(), locale_);
                any = true;
            }
        }
        return any;
    }

    void writeCell(Cell& cell, const _tExplRecord& r) {
        if (r.type() == kErrorRecord) {
            std::memcpy(cell.text, errText_.data(), errText_.size());
            cell.text[errText_.size()] = ' ';
            cell.size =
                errText_.size() + 1 + writeInt(cell.text + errText_.size() + 1, r.errorCode());
        } else {
            const int channel = r.channel();
            const int resolution = channel <= CExplBloc::kChannels
                                       ? resolution_[static_cast<size_t>(channel)]
                                       : kAutoResolution;
            cell.size =
                writeValueText(cell.text, r.value(), resolution, locale_.decimalSeparator());
        }
    }

    void writeRow() {
        const char sep = o_.separator;
        TextBuffer& row = out_.text();
        row.put(leading_.data(), leading_.size());
        const bool leading = o_.interval || o_.date || o_.time;
        for (size_t c = 0; c < cells_.size(); ++c) {
            if (leading || c > 0)
                row.put(sep);
            row.putShort(cells_[c].text, cells_[c].size);
            cells_[c].size = 0;
        }
        out_.endLine();
    }

    const CExplBloc& b_;
    const SpreadsheetOptions& o_;
    const platform::Locale& locale_;
    LineWriter& out_;
    std::string errText_;
    std::array<int, CExplBloc::kChannels + 1> columnOf_{};
    std::array<int, CExplBloc::kChannels + 1> resolution_{};
    std::vector<int> channels_;
    std::vector<Cell> cells_;
    Cell scratch_;
    TextBuffer leading_;
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
    ExportProgress progress(dialog, totalRecords(blocks));
    ExportResult result;
    for (const CExplBloc* b : blocks) {
        if (!b || result.cancelled)
            continue;
        const size_t first = b->firstDateRecord();
        for (size_t i = 0; i < b->records.size(); ++i) {
            const RecordText t = b->FormatRecordText(i, ' ', i >= first, locale);
            out.text().put(text::utf8ToAnsi(t.line));
            out.endLine();
            if (!progress.next()) {
                result.cancelled = true;
                break;
            }
        }
    }
    result.records = progress.done();
    return finish(result, out);
}

ExportResult exportSpreadsheetTo(std::FILE* file, const std::vector<const CExplBloc*>& blocks,
                                 const SpreadsheetOptions& options, const platform::Locale& locale,
                                 IWaitDialog* dialog) {
    LineWriter out(file);
    ExportProgress progress(dialog, totalRecords(blocks));
    ExportResult result;
    for (const CExplBloc* b : blocks) {
        if (!b)
            continue;
        SpreadsheetBlock block(*b, options, locale, out);
        if (!block.run(progress)) {
            result.cancelled = true;
            break;
        }
    }
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
