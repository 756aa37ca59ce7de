// The line protocol between tavik and its OPC UA publication process (the
// node-opcua sidecar, app/opc_sidecar/server.js): one message a line, tokens
// separated by one blank.
//
//   tavik -> sidecar                               sidecar -> tavik
//   SEQ vendor TEXT                                SEQ ok
//   SEQ create HANDLE NAME VALUE QUALITY WRITABLE  SEQ ok | SEQ err TEXT
//   SEQ prop HANDLE ID DESCRIPTION VALUE           SEQ ok | SEQ err TEXT
//   SEQ update HANDLE VALUE QUALITY [FILETIME]     (SEQ ok | SEQ err TEXT)
//   SEQ remove HANDLE                              SEQ ok | SEQ err TEXT
//   SEQ clients                                    SEQ ok COUNT
//   SEQ disconnect                                 SEQ ok
//   SEQ quit                                       SEQ ok
//   0 auth ID 0|1                                  * ready ENDPOINT
//                                                  * write HANDLE VALUE
//                                                  * auth ID USER PASSWORD
//                                                  * error TEXT
//
// Texts are UTF-8 with every byte up to the blank, "%" and DEL written as
// %XX; "%" alone is the empty text. A value is "f" and a number, "b0"/"b1",
// or "s" and a text. A request numbered 0 wants no answer.
//
// SidecarLink carries these lines over a connected stream socket it owns:
// writes never block (what the socket does not take waits in a buffer),
// answers are awaited with a bound, and messages that are not the awaited
// answer are kept for the owner to take.
#pragma once
#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/core/opc/opc_toolkit.h"

namespace qd40::app::opc {

std::string encodeText(std::string_view text);
std::optional<std::string> decodeText(std::string_view token);
std::string encodeValue(const TagValue& value);
std::optional<TagValue> decodeValue(std::string_view token);
std::vector<std::string_view> splitTokens(std::string_view line);

// One message read from the sidecar.
struct SidecarMessage {
    // The request's number for an answer; 0 for an event ("*").
    uint64_t seq = 0;
    // "ok" or "err" for an answer; the event's name otherwise.
    std::string verb;
    std::vector<std::string> args;  // as sent (still encoded)
    bool isEvent() const { return seq == 0; }
};
std::optional<SidecarMessage> parseMessage(std::string_view line);

// The requests, without their number.
std::string createRequest(TagHandle tag, const std::string& name, const TagValue& initial,
                          uint16_t quality, bool writable);
std::string propertyRequest(TagHandle tag, unsigned property, const std::string& description,
                            const TagValue& value);
std::string updateRequest(TagHandle tag, const TagValue& value, uint16_t quality,
                          std::optional<int64_t> fileTime);

class SidecarLink {
public:
    // Takes the connected socket (made non-blocking here).
    explicit SidecarLink(int fd);
    ~SidecarLink();
    SidecarLink(const SidecarLink&) = delete;
    SidecarLink& operator=(const SidecarLink&) = delete;

    int fd() const { return fd_; }
    // False once the peer closed the link or a read or write failed.
    bool alive() const { return error_.empty(); }
    const std::string& error() const { return error_; }

    // Sends a request that wants no answer (numbered 0).
    bool post(const std::string& request);
    // Sends a request and waits at most `timeout` for its answer; nullopt on
    // time-out or when the link failed (error() says which).
    std::optional<SidecarMessage> call(const std::string& request,
                                       std::chrono::milliseconds timeout);
    // Writes what the socket takes of the buffered output; true when
    // something is still waiting.
    bool flush();
    bool hasPendingOutput() const { return out_.size() > outSent_; }
    size_t pendingOutputBytes() const { return out_.size() - outSent_; }
    // Reads what has arrived, without waiting, and keeps its messages.
    void receive();
    // The messages received that were not awaited answers, oldest first.
    std::deque<SidecarMessage> takeMessages();

    // The lines that were not understood so far (kept for the error text).
    int badLines() const { return badLines_; }

private:
    bool send(uint64_t seq, const std::string& request);
    // Reads once; false on failure or end of stream.
    bool readOnce();
    void fail(const std::string& why);

    int fd_ = -1;
    uint64_t nextSeq_ = 1;
    std::string in_;
    std::string out_;
    size_t outSent_ = 0;
    std::deque<SidecarMessage> messages_;
    std::string error_;
    int badLines_ = 0;
};

}  // namespace qd40::app::opc
