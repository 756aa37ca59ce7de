// The module status dialog (CStatusDialog without its widget): the 16 bits of
// the global status word, the memory blocks' state and the module commands
// the connected user's rights allow.
//
// Rights: Run needs "Send RUN command" (bit 9), Stop "Send STOP command"
// (bit 10); Trig, Local and Remote change what the module does without
// starting or stopping it, as the program window's Trigger, LOCAL and force
// REMOTE commands do, and need "Send Program" (bit 4) like them.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "app/core/live/live_link.h"

namespace qd40::app::live {

class StatusPresenter {
public:
    static constexpr int kBits = 16;
    static constexpr int kBlocks = 10;
    enum class Command { Run, Stop, Trig, Local, Remote };
    struct Block {
        bool recording = false, closed = false, full = false;
        uint32_t available = 0;
    };

    StatusPresenter(CTavikItem& item, AppPrompter& prompter, Session& session);

    std::string title() const;
    static std::string bitText(int bit);  // 0..15

    // Reads the status word and the memory blocks; on failure "Unable to read
    // status" is shown and what was shown stays.
    bool update();
    std::optional<uint16_t> statusWord() const { return status_; }
    bool bit(int b) const { return status_ && (*status_ >> b & 1); }
    const Block& block(int b) const { return blocks_.at(size_t(b - 1)); }

    bool enabled(Command command) const;
    // Sends the command (refused without the right), records SEND_RUN or
    // SEND_STOP, then reads the status again. A failure is shown.
    bool send(Command command);
    const std::string& error() const { return link_.error(); }

private:
    LiveLink link_;
    Session& session_;
    std::optional<uint16_t> status_;
    std::array<Block, kBlocks> blocks_{};
};

}  // namespace qd40::app::live
