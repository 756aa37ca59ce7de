// Test doubles of the security code: a clock the test sets, a prompter that
// plays a script and records what was shown, an application lock that
// records its calls, and a private folder for the registry and audit files.
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <deque>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/security/clock.h"
#include "app/security/prompter.h"
#include "app/security/scramble.h"
#include "app/security/security_strings.h"

namespace qd40::security::testing {

class FakeClock : public Clock {
public:
    explicit FakeClock(LocalTime t = localTimeOf(2026, 3, 7, 10, 0, 0)) : t_(t) {}
    LocalTime now() const override { return t_.load(); }
    void set(LocalTime t) { t_ = t; }
    void advance(LocalTime seconds) { t_ += seconds; }

private:
    std::atomic<LocalTime> t_;
};

struct Shown {
    int textId;
    std::vector<std::string> args;
    Buttons buttons;
    bool operator==(const Shown& o) const {
        return textId == o.textId && args == o.args && buttons == o.buttons;
    }
};

inline std::ostream& operator<<(std::ostream& os, const Shown& s) {
    return os << s.textId << " \"" << securityText(s.textId, s.args) << "\"";
}

class ScriptedPrompter : public Prompter {
public:
    std::deque<std::optional<ConnectionEntry>> connections;
    std::deque<std::optional<PasswordEntry>> passwords;
    std::deque<Answer> answers;  // for messages with a choice
    std::deque<std::optional<std::string>> lines;

    std::vector<Shown> shown;            // every message, in order
    std::vector<Shown> notified;         // non-modal messages
    std::vector<std::string> prefilled;  // current password given to each change dialog
    std::vector<int> connectionTitles;
    int busyWork = 0;  // slow work handed to runBusy

    Answer message(int textId, const std::vector<std::string>& args, Buttons buttons,
                   Icon) override {
        shown.push_back({textId, args, buttons});
        if (buttons == Buttons::Ok)
            return Answer::Ok;
        if (answers.empty()) {
            ADD_FAILURE() << "unexpected question " << shown.back();
            return Answer::Cancel;
        }
        const Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    void notify(int textId, const std::vector<std::string>& args) override {
        notified.push_back({textId, args, Buttons::Ok});
    }
    std::optional<ConnectionEntry> connectionDialog(int titleId, const std::string&) override {
        connectionTitles.push_back(titleId);
        if (connections.empty())
            return std::nullopt;  // the script ends with Cancel
        auto e = connections.front();
        connections.pop_front();
        return e;
    }
    std::optional<PasswordEntry> changePasswordDialog(const std::string&,
                                                      const std::string& current) override {
        prefilled.push_back(current);
        if (passwords.empty())
            return std::nullopt;
        auto e = passwords.front();
        passwords.pop_front();
        return e;
    }
    std::optional<std::string> editLine(int) override {
        if (lines.empty())
            return std::nullopt;
        auto l = lines.front();
        lines.pop_front();
        return l;
    }

    void runBusy(const std::function<void()>& work) override {
        ++busyWork;
        work();
    }

    std::vector<int> shownIds() const {
        std::vector<int> ids;
        for (const Shown& s : shown)
            ids.push_back(s.textId);
        return ids;
    }
};

class RecordingLock : public ApplicationLock {
public:
    bool possible = true;
    std::vector<bool> calls;
    bool apply(bool locked) override {
        calls.push_back(locked);
        return possible;
    }
};

// A private folder removed at the end of the test.
class TempFolder {
public:
    TempFolder() {
        path_ = std::filesystem::temp_directory_path() /
                ("qd40-security-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->test_suite_name() + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() { std::filesystem::remove_all(path_); }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// The raw lines of a file, line ends removed.
inline std::vector<std::string> fileLines(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// The event lines of an audit file, unscrambled (the two header lines skipped).
inline std::vector<std::string> auditEvents(const std::filesystem::path& file) {
    std::vector<std::string> lines = fileLines(file);
    std::vector<std::string> events;
    for (size_t i = 2; i < lines.size(); ++i)
        events.push_back(ScrambleText(lines[i]));
    return events;
}

// The event code (third field) of an unscrambled event line.
inline std::string eventCodeOf(const std::string& line) {
    std::stringstream ss(line);
    std::string field;
    for (int i = 0; i < 3 && std::getline(ss, field, ','); ++i) {
    }
    return field;
}

}  // namespace qd40::security::testing
