#include "app/records/record_export.h"

#include <array>
#include <cmath>

#include "app/records/records_strings.h"
#include "app/records/value_text.h"
#include "common/archive/ansi_text.h"
#include "common/dates.h"

namespace qd40::records {

namespace {

constexpr uint64_t kProgressEvery = 1024;
constexpr size_t kFlushSize = 1 << 16;

// Buffers whole lines and writes them in large pieces; remembers a failure.
class LineWriter {
public:
    explicit LineWriter(std::FILE* file) : file_(file) { buffer_.reserve(kFlushSize + 4096); }

    std::string& buffer() { return buffer_; }
    void endLine() {
        buffer_ += "\r\n";
        if (buffer_.size() >= kFlushSize)
            flush();
    }
    bool finish() {
        flush();
        if (!failed_ && std::fflush(file_) != 0)
            failed_ = true;
        return !failed_;
    }
    bool failed() const { return failed_; }

private:
    void flush() {
        if (!failed_ && !buffer_.empty() &&
            std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size())
            failed_ = true;
        buffer_.clear();
    }

    std::FILE* file_;
    std::string buffer_;
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

void appendInt(std::string& out, long v) {
    char buf[24];
    int n = sizeof buf;
    unsigned long u = v < 0 ? 0ul - static_cast<unsigned long>(v) : static_cast<unsigned long>(v);
    do {
        buf[--n] = static_cast<char>('0' + u % 10);
        u /= 10;
    } while (u != 0);
    if (v < 0)
        buf[--n] = '-';
    out.append(buf + n, sizeof buf - static_cast<size_t>(n));
}

// "%c%03.3d" of the separator and the milliseconds.
void appendMs(std::string& out, char separator, long ms) {
    out += separator;
    if (ms >= 0 && ms < 1000) {
        out += static_cast<char>('0' + ms / 100);
        out += static_cast<char>('0' + ms / 10 % 10);
        out += static_cast<char>('0' + ms % 10);
    } else {
        out += strings::format("%.3ld", ms);
    }
}

// Turns the UTF-8 tail of out (from mark) into 8-bit text.
void toAnsiFrom(std::string& out, size_t mark) {
    for (size_t i = mark; i < out.size(); ++i) {
        if (static_cast<unsigned char>(out[i]) >= 0x80) {
            const std::string ansi = text::utf8ToAnsi(std::string_view(out).substr(mark));
            out.resize(mark);
            out += ansi;
            return;
        }
    }
}

void appendDate(std::string& out, const std::optional<DateTime>& dt,
                const platform::Locale& locale) {
    if (!dt) {
        out += '?';
        return;
    }
    const size_t mark = out.size();
    locale.appendShortDate(out, *dt);
    toAnsiFrom(out, mark);
}

void appendTimeMs(std::string& out, const std::optional<DateTime>& dt, int ms,
                  const platform::Locale& locale) {
    if (!dt) {
        out += '?';
        return;
    }
    const size_t mark = out.size();
    locale.appendTime(out, *dt);
    if (out.size() == mark)
        out += "00:00:00";
    toAnsiFrom(out, mark);
    appendMs(out, locale.decimalSeparator(), ms);
}

std::optional<DateTime> dateOf(const _tExplRecord& r) {
    return r.dateStatus() == 0 ? fromOleDate(r.date()) : std::nullopt;
}

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
        : b_(block), o_(options), locale_(locale), out_(out) {
        columnOf_.fill(-1);
        const uint32_t mask = b_.storedChannelMask();
        for (int ch = 1; ch <= CExplBloc::kChannels; ++ch) {
            if (mask & (1u << (ch - 1))) {
                columnOf_[ch] = static_cast<int>(channels_.size());
                channels_.push_back(ch);
            }
        }
        cells_.resize(channels_.size());
    }

    // Walks the records; false when the user cancelled.
    bool run(ExportProgress& progress) {
        const char sep = o_.separator;
        std::string& line = out_.buffer();
        line += '"';
        line += text::utf8ToAnsi(b_.name);
        line += '"';
        line += sep;
        line += '"';
        line += b_.moduleMnemonicAnsi();
        line += '"';
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
                    beginRow(r);
                    pending = true;
                }
            } else if (type == kMeasureRecord || type == kErrorRecord) {
                const int column =
                    r.channel() <= CExplBloc::kChannels ? columnOf_[r.channel()] : -1;
                if (o_.groupByCycle) {
                    if (column >= 0) {
                        // A later record of the channel in the same cycle replaces it.
                        std::string& cell = cells_[static_cast<size_t>(column)];
                        cell.clear();
                        appendCell(cell, r);
                    }
                } else {
                    beginRow(r);
                    for (size_t c = 0; c < channels_.size(); ++c) {
                        if (fields_ > 0)
                            row_ += sep;
                        ++fields_;
                        if (static_cast<int>(c) == column)
                            appendCell(row_, r);
                    }
                    out_.buffer() += row_;
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
        const auto dt = dateOf(r);
        if (o_.firstCycleDate) {
            std::string& line = out_.buffer();
            appendDate(line, dt, locale_);
            line += sep;
            appendTimeMs(line, dt, r.ms(), locale_);
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
                name = strings::formatText(recordsText(IDS_CHANNEL_DEFAULT_NAME), ch);
            add(quoted(name), quoted(b_.channelUnitAnsi(ch)));
        }
        out_.buffer() += title;
        out_.endLine();
        out_.buffer() += units;
        out_.endLine();
    }

    // Starts row_ with the leading fields of the reference record.
    void beginRow(const _tExplRecord& r) {
        row_.clear();
        fields_ = 0;
        const char sep = o_.separator;
        if (o_.interval) {
            const double days = r.date() - startDate_;
            long seconds = static_cast<long>(std::trunc(days * 86400 + 0.5 / 86400));
            long ms = static_cast<long>(r.ms()) - startMs_;
            if (ms < 0) {
                if (seconds == 0) {
                    ms = 0;
                } else {
                    --seconds;
                    ms += 1000;
                }
            }
            appendInt(row_, seconds);
            appendMs(row_, locale_.decimalSeparator(), ms);
            ++fields_;
        }
        if (o_.date || o_.time) {
            const auto dt = dateOf(r);
            if (o_.date) {
                if (fields_++ > 0)
                    row_ += sep;
                appendDate(row_, dt, locale_);
            }
            if (o_.time) {
                if (fields_++ > 0)
                    row_ += sep;
                appendTimeMs(row_, dt, r.ms(), locale_);
            }
        }
    }

    void appendCell(std::string& out, const _tExplRecord& r) {
        if (r.type() == kErrorRecord) {
            out += errText_;
            out += ' ';
            appendInt(out, r.errorCode());
        } else {
            appendValueText(out, r.value(), b_.channelResolution(r.channel()),
                            locale_.decimalSeparator());
        }
    }

    void writeRow() {
        const char sep = o_.separator;
        for (std::string& c : cells_) {
            if (fields_++ > 0)
                row_ += sep;
            row_ += c;
            c.clear();
        }
        out_.buffer() += row_;
        out_.endLine();
    }

    const CExplBloc& b_;
    const SpreadsheetOptions& o_;
    const platform::Locale& locale_;
    LineWriter& out_;
    const std::string errText_ = recordsText(IDS_ERR);
    std::array<int, CExplBloc::kChannels + 1> columnOf_{};
    std::vector<int> channels_;
    std::vector<std::string> cells_;
    std::string row_;
    int fields_ = 0;
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
            out.buffer() += text::utf8ToAnsi(t.line);
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
