// What the security flows need from the user interface: messages by text id
// with their arguments, and the dialogs that collect identifiers, passwords
// and lines. The widgets implement it; tests script it.
#pragma once
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qd40::security {

enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };
enum class Icon { None, Information, Exclamation, Question, Stop };
enum class Answer { Ok, Cancel, Yes, No };

// What the "Connecting User" dialog returns on OK.
struct ConnectionEntry {
    std::string identifier;
    std::string password;
    bool changePassword = false;  // "&Changing Password..." was pressed
};

// What the "Changing Password" dialog returns on OK.
struct PasswordEntry {
    std::string current;
    std::string newPassword;
    std::string confirm;
};

class Prompter {
public:
    virtual ~Prompter() = default;

    // A modal message box captioned with the application name; the text is
    // securityText(textId, args).
    virtual Answer message(int textId, const std::vector<std::string>& args, Buttons buttons,
                           Icon icon) = 0;
    // A non-modal information message with a beep.
    virtual void notify(int textId, const std::vector<std::string>& args) = 0;
    // The connection dialog titled with titleId; a fixed identifier is shown
    // read-only. nullopt on Cancel.
    virtual std::optional<ConnectionEntry> connectionDialog(int titleId,
                                                            const std::string& fixedIdentifier) = 0;
    // The password change dialog for identifier, its current password field
    // filled with currentPassword. nullopt on Cancel.
    virtual std::optional<PasswordEntry> changePasswordDialog(
        const std::string& identifier, const std::string& currentPassword) = 0;
    // A one-line editor titled with titleId. nullopt on Cancel.
    virtual std::optional<std::string> editLine(int titleId) = 0;
    // Runs slow work (password hashing) to its end. The widgets run it off
    // the interface thread behind a busy indicator; the work touches no
    // widget and nothing the interface thread changes meanwhile.
    virtual void runBusy(const std::function<void()>& work) { work(); }
};

// Shows the main window locked (over the whole screen, kept on top, switching
// to other applications blocked) or normally (maximised).
class ApplicationLock {
public:
    virtual ~ApplicationLock() = default;
    // False when the system cannot block switching.
    virtual bool apply(bool locked) = 0;
};

}  // namespace qd40::security
