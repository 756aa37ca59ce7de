// What the application's logic asks of the user and of the users manager.
// The widgets implement AppPrompter; tests script it.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/security/audit_trail.h"
#include "app/security/prompter.h"
#include "control/ctl/ctl_state.h"

namespace qd40::app {

using security::Answer;
using security::Buttons;
using security::Icon;

class AppPrompter {
public:
    virtual ~AppPrompter() = default;
    // A modal message box captioned with the application name. defaultButton
    // is the index of the button that Enter presses (0 = the first).
    virtual Answer message(const std::string& text, Buttons buttons, Icon icon,
                           int defaultButton = 0) = 0;
    // The three-choice dialog: the index of the button pressed (0..2), or
    // nullopt when it was closed otherwise. A button whose text is empty is
    // not offered.
    virtual std::optional<int> threeChoices(const std::string& title, const std::string& text,
                                            const std::array<std::string, 3>& buttons) = 0;
    // The communication parameters dialog, filled with params; false on Cancel.
    virtual bool editCommParams(ctl::CtlConnection& params) = 0;
    // The refusal of a command.
    virtual void beep() {}
};

// What the application's logic needs of the connected user.
class Session {
public:
    virtual ~Session() = default;
    virtual uint32_t rightsWord() const = 0;
    bool hasRight(int bit) const { return (rightsWord() >> bit & 1u) != 0; }
    // Security is off, or a user is connected.
    virtual bool securityOffOrConnected() const = 0;
    // The security setting that lets documents overwrite existing files.
    virtual bool isOverwritingAllowed() const = 0;
    virtual void audit(security::AuditEvent event, const std::vector<std::string>& args) = 0;
    // The footer of printed pages when printouts carry the user name.
    virtual std::optional<std::string> printFooter() const { return std::nullopt; }
};

// The rights word's bits that the application's commands check.
namespace right {
inline constexpr int kOpenDocument = 0;
inline constexpr int kCloseWindow = 1;
inline constexpr int kSaveDocument = 2;
inline constexpr int kPrint = 3;
inline constexpr int kTransmit = 4;
inline constexpr int kReadProgram = 5;
inline constexpr int kReadMemory = 6;
inline constexpr int kProgram = 8;
inline constexpr int kRun = 9;
inline constexpr int kStop = 10;
inline constexpr int kLeave = 11;
inline constexpr int kCloseUnsaved = 13;
}  // namespace right

}  // namespace qd40::app
