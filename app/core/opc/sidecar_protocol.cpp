#include "app/core/opc/sidecar_protocol.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>

namespace qd40::app::opc {

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::string floatText(float f) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, f);
    return std::string(buf, r.ptr);
}

}  // namespace

std::string encodeText(std::string_view text) {
    if (text.empty())
        return "%";
    std::string out;
    out.reserve(text.size());
    for (const char ch : text) {
        const auto b = static_cast<unsigned char>(ch);
        if (b <= 0x20 || b == '%' || b == 0x7F) {
            out += '%';
            out += kHex[b >> 4];
            out += kHex[b & 15];
        } else {
            out += ch;
        }
    }
    return out;
}

std::optional<std::string> decodeText(std::string_view token) {
    if (token == "%")
        return std::string();
    std::string out;
    out.reserve(token.size());
    for (size_t i = 0; i < token.size(); ++i) {
        if (token[i] != '%') {
            out += token[i];
            continue;
        }
        if (i + 2 >= token.size())
            return std::nullopt;
        const int hi = hexDigit(token[i + 1]);
        const int lo = hexDigit(token[i + 2]);
        if (hi < 0 || lo < 0)
            return std::nullopt;
        out += static_cast<char>(hi << 4 | lo);
        i += 2;
    }
    return out;
}

std::string encodeValue(const TagValue& value) {
    if (const float* f = std::get_if<float>(&value))
        return "f" + floatText(*f);
    if (const bool* b = std::get_if<bool>(&value))
        return *b ? "b1" : "b0";
    return "s" + encodeText(std::get<std::string>(value));
}

std::optional<TagValue> decodeValue(std::string_view token) {
    if (token.empty())
        return std::nullopt;
    const std::string_view rest = token.substr(1);
    switch (token[0]) {
        case 'f': {
            // The sidecar writes numbers as JavaScript does: a double.
            double d = 0;
            const auto r = std::from_chars(rest.data(), rest.data() + rest.size(), d);
            if (rest.empty() || r.ec != std::errc() || r.ptr != rest.data() + rest.size())
                return std::nullopt;
            return TagValue(static_cast<float>(d));
        }
        case 'b':
            if (rest == "0" || rest == "1")
                return TagValue(rest == "1");
            return std::nullopt;
        case 's':
            if (auto text = decodeText(rest))
                return TagValue(std::move(*text));
            return std::nullopt;
        default:
            return std::nullopt;
    }
}

std::vector<std::string_view> splitTokens(std::string_view line) {
    std::vector<std::string_view> tokens;
    size_t start = 0;
    while (start <= line.size()) {
        const size_t blank = line.find(' ', start);
        const size_t end = blank == std::string_view::npos ? line.size() : blank;
        tokens.push_back(line.substr(start, end - start));
        start = end + 1;
    }
    return tokens;
}

std::optional<SidecarMessage> parseMessage(std::string_view line) {
    const std::vector<std::string_view> t = splitTokens(line);
    if (t.size() < 2 || t[0].empty() || t[1].empty())
        return std::nullopt;
    SidecarMessage m;
    if (t[0] != "*") {
        const auto r = std::from_chars(t[0].data(), t[0].data() + t[0].size(), m.seq);
        if (r.ec != std::errc() || r.ptr != t[0].data() + t[0].size() || m.seq == 0)
            return std::nullopt;
        if (t[1] != "ok" && t[1] != "err")
            return std::nullopt;
    }
    m.verb = std::string(t[1]);
    for (size_t i = 2; i < t.size(); ++i)
        m.args.emplace_back(t[i]);
    return m;
}

std::string createRequest(TagHandle tag, const std::string& name, const TagValue& initial,
                          uint16_t quality, bool writable) {
    return "create " + std::to_string(tag) + " " + encodeText(name) + " " + encodeValue(initial) +
           " " + std::to_string(quality) + (writable ? " 1" : " 0");
}

std::string propertyRequest(TagHandle tag, unsigned property, const std::string& description,
                            const TagValue& value) {
    return "prop " + std::to_string(tag) + " " + std::to_string(property) + " " +
           encodeText(description) + " " + encodeValue(value);
}

std::string updateRequest(TagHandle tag, const TagValue& value, uint16_t quality,
                          std::optional<int64_t> fileTime) {
    std::string r =
        "update " + std::to_string(tag) + " " + encodeValue(value) + " " + std::to_string(quality);
    if (fileTime)
        r += " " + std::to_string(*fileTime);
    return r;
}

// ---- SidecarLink -------------------------------------------------------------------

SidecarLink::SidecarLink(int fd) : fd_(fd) {
    if (fd_ < 0) {
        error_ = "no connection to the OPC UA publication process";
        return;
    }
    const int flags = ::fcntl(fd_, F_GETFL);
    ::fcntl(fd_, F_SETFL, flags | O_NONBLOCK);
}

SidecarLink::~SidecarLink() {
    if (fd_ >= 0)
        ::close(fd_);
}

void SidecarLink::fail(const std::string& why) {
    if (error_.empty())
        error_ = why;
}

bool SidecarLink::send(uint64_t seq, const std::string& request) {
    if (!alive())
        return false;
    if (outSent_ > 0 && outSent_ == out_.size()) {
        out_.clear();
        outSent_ = 0;
    }
    out_ += std::to_string(seq);
    out_ += ' ';
    out_ += request;
    out_ += '\n';
    flush();
    return alive();
}

bool SidecarLink::post(const std::string& request) {
    return send(0, request);
}

bool SidecarLink::flush() {
    while (alive() && outSent_ < out_.size()) {
        const ssize_t n = ::send(fd_, out_.data() + outSent_, out_.size() - outSent_, MSG_NOSIGNAL);
        if (n > 0) {
            outSent_ += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        if (errno == EPIPE || errno == ECONNRESET)
            fail("the OPC UA publication process closed its connection");
        else
            fail(std::string("writing to the OPC UA publication process failed: ") +
                 std::strerror(errno));
    }
    if (outSent_ == out_.size()) {
        out_.clear();
        outSent_ = 0;
    } else if (outSent_ > 65536) {
        out_.erase(0, outSent_);
        outSent_ = 0;
    }
    return hasPendingOutput();
}

bool SidecarLink::readOnce() {
    char buf[16384];
    for (;;) {
        const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
        if (n > 0) {
            in_.append(buf, static_cast<size_t>(n));
            break;
        }
        if (n == 0) {
            fail("the OPC UA publication process closed its connection");
            return false;
        }
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return true;
        fail(std::string("reading from the OPC UA publication process failed: ") +
             std::strerror(errno));
        return false;
    }
    size_t start = 0;
    for (size_t nl; (nl = in_.find('\n', start)) != std::string::npos; start = nl + 1) {
        const std::string_view line(in_.data() + start, nl - start);
        if (auto m = parseMessage(line))
            messages_.push_back(std::move(*m));
        else if (!line.empty())
            ++badLines_;
    }
    in_.erase(0, start);
    return true;
}

void SidecarLink::receive() {
    if (!alive())
        return;
    // Reads until the socket has nothing more (a read that fills the buffer
    // may leave more behind).
    size_t before;
    do {
        before = in_.size() + messages_.size();
        if (!readOnce())
            return;
    } while (in_.size() + messages_.size() != before);
}

std::optional<SidecarMessage> SidecarLink::call(const std::string& request,
                                                std::chrono::milliseconds timeout) {
    const uint64_t seq = nextSeq_++;
    if (!send(seq, request))
        return std::nullopt;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        for (auto it = messages_.begin(); it != messages_.end(); ++it) {
            if (it->seq == seq) {
                SidecarMessage m = std::move(*it);
                messages_.erase(it);
                return m;
            }
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return std::nullopt;
        pollfd p{fd_, static_cast<short>(POLLIN | (hasPendingOutput() ? POLLOUT : 0)), 0};
        const int r = ::poll(&p, 1, static_cast<int>(left.count()));
        if (r < 0 && errno != EINTR) {
            fail(std::string("waiting for the OPC UA publication process failed: ") +
                 std::strerror(errno));
            return std::nullopt;
        }
        if (r > 0 && (p.revents & POLLOUT))
            flush();
        if (r > 0 && (p.revents & (POLLIN | POLLHUP | POLLERR)))
            receive();
        if (!alive())
            return std::nullopt;
    }
}

std::deque<SidecarMessage> SidecarLink::takeMessages() {
    std::deque<SidecarMessage> events;
    // Late answers of requests given up are dropped.
    for (auto& m : messages_)
        if (m.isEvent())
            events.push_back(std::move(m));
    messages_.clear();
    return events;
}

}  // namespace qd40::app::opc
