#include "app/security/audit_trail.h"

#include "common/ansi_text.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "app/security/scramble.h"
#include "app/security/security_strings.h"

namespace qd40::security {

namespace {

constexpr const char* kLineEnd = "\r\n";

Status failure(const std::filesystem::path& file, const char* what, int err) {
    return Status::failure(E_FAIL, securityText(text::kAuditWriteFailed) + " (" + file.string() +
                                       ": " + what + ": " + std::strerror(err) + ")");
}

std::string oneLine(std::string text) {
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = ' ';
    return text;
}

// Writes all of data at the end of fd; on a short or failed write the file is
// cut back to its former size so that no partial line stays.
bool appendWhole(int fd, const std::string& data, int& err) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        err = errno;
        return false;
    }
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            err = n < 0 ? errno : EIO;
            if (::ftruncate(fd, st.st_size) != 0) {
                // Nothing more can be done; the error already reported stands.
            }
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

std::string auditEventCode(AuditEvent event) {
    return securityStrings().textOrEmpty(static_cast<int>(event));
}

std::string oldNewArgument(int oldValue, int newValue) {
    return std::to_string(oldValue) + "," + std::to_string(newValue);
}

AuditTrailWriter::AuditTrailWriter(std::filesystem::path folder, const Clock& clock,
                                   std::string productName, std::string productVersion)
    : folder_(std::move(folder)),
      clock_(clock),
      productName_(std::move(productName)),
      productVersion_(std::move(productVersion)) {}

std::string AuditTrailWriter::fileNameFor(LocalTime t) {
    return formatLocalTime(t, "Tavik-%y%m.atl");
}

std::filesystem::path AuditTrailWriter::currentFile() const {
    return folder_ / fileNameFor(clock_.now());
}

Status AuditTrailWriter::createWithHeader(const std::filesystem::path& file, LocalTime now) const {
    // The header is written to a temporary file that is then linked under the
    // final name: the month's file appears complete or not at all, and a file
    // another process created meanwhile is kept.
    const std::string header =
        qd40::text::utf8ToAnsi(productName_ + " " + productVersion_) + kLineEnd +
        ScrambleBytes(qd40::text::utf8ToAnsi(securityText(text::kAuditFileTitle) +
                                             formatLocalTime(now, " - %m/%Y"))) +
        kLineEnd;
    std::string temp = (folder_ / ".atl-XXXXXX").string();
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return failure(file, "create", errno);
    int err = 0;
    const bool written = appendWhole(fd, header, err) && (::fsync(fd) == 0 || (err = errno, false));
    // The trail is readable by its owner and group, never by every user.
    ::fchmod(fd, 0640);
    ::close(fd);
    if (!written) {
        ::unlink(temp.c_str());
        return failure(file, "write header", err);
    }
    const int linked = ::link(temp.c_str(), file.c_str());
    const int linkErr = errno;
    ::unlink(temp.c_str());
    if (linked != 0 && linkErr != EEXIST)
        return failure(file, "create", linkErr);
    return Status::ok();
}

Status AuditTrailWriter::append(const std::string& user, const std::string& code,
                                const std::vector<std::string>& args) const {
    const LocalTime now = clock_.now();
    const std::filesystem::path file = folder_ / fileNameFor(now);

    const DateTime dt = dateTimeOf(now);
    std::string line =
        dateFormat_.shortDate(dt) + " " + dateFormat_.time(dt) + "," + oneLine(user) + "," + code;
    for (size_t i = 0; i < args.size() && i < 4; ++i)
        line += "," + oneLine(args[i]);
    const std::string data = ScrambleBytes(qd40::text::utf8ToAnsi(line)) + kLineEnd;

    int fd = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) {
        if (Status s = createWithHeader(file, now); !s)
            return s;
        fd = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    }
    if (fd < 0)
        return failure(file, "open", errno);
    int err = 0;
    const bool ok = appendWhole(fd, data, err);
    if (::close(fd) != 0 && ok)
        return failure(file, "close", errno);
    if (!ok)
        return failure(file, "write", err);
    return Status::ok();
}

std::optional<std::string> readAuditTrail(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string out;
    std::string line;
    bool first = true;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (first) {
            first = false;
            continue;
        }
        out += qd40::text::ansiToUtf8(ScrambleBytes(line));
        out += kLineEnd;
    }
    if (in.bad())
        return std::nullopt;
    return out;
}

std::optional<TextSelection> selectDateRange(const std::string& text, LocalTime from, LocalTime to,
                                             const platform::Locale& userFormat) {
    struct Line {
        size_t begin, end;  // end includes the line break
        std::optional<LocalTime> date;
    };
    std::vector<Line> lines;
    for (size_t pos = 0; pos < text.size();) {
        const size_t brk = text.find("\r\n", pos);
        const size_t stop = brk == std::string::npos ? text.size() : brk;
        const size_t next = brk == std::string::npos ? text.size() : brk + 2;
        lines.push_back({pos, next, parseDateTimePrefix(text.substr(pos, stop - pos), userFormat)});
        pos = next;
    }
    if (lines.size() < 2 || !lines[1].date || !lines.back().date)
        return std::nullopt;

    std::optional<size_t> first;
    std::optional<size_t> last;
    for (size_t i = 1; i < lines.size(); ++i) {
        if (!lines[i].date)
            continue;
        if (!first && *lines[i].date >= from)
            first = i;
        if (*lines[i].date <= to)
            last = i;
    }
    if (!first)
        return TextSelection{text.size(), text.size()};
    if (!last || *last < *first)
        return TextSelection{lines[*first].begin, lines[*first].begin};
    return TextSelection{lines[*first].begin, lines[*last].end};
}

}  // namespace qd40::security
