// Helpers of the document tests: controls without a server, documents of any
// file version written field by field, scripted answers to the user's
// questions and a session that records audit events.
#pragma once
#include <unistd.h>

#include <deque>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/core/app_ports.h"
#include "app/core/tavik_doc.h"
#include "common/archive/archive.h"

namespace qd40::app::testing {

inline std::filesystem::path testFolder(const std::string& what) {
    auto p = std::filesystem::temp_directory_path() /
             ("qd40-app-" + what + "-" + std::to_string(::getpid()) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(p);
    std::filesystem::create_directories(p);
    return p;
}

// Controls whose factory reaches the given server (none: never opened).
inline CTavikDoc::ControlFactory controlFactory(ctl::Qd40Factory server,
                                                const std::filesystem::path& registry) {
    return [server, registry](ctl::CtlContainer* c) {
        return std::make_unique<ctl::OvixQd40Ctl>(server, c, platform::RegistryStore(registry));
    };
}

struct ItemSpec {
    bool serial = false;
    std::string address;
    int port = 502;
    int slave = 1;
    uint32_t number = 0;  // written when the version has numbers
    std::string oldName;  // written for Z.11 and Z.12
};

// A document of the given version, written field by field with that
// version's gates; blocks hold `recordsPerBlock` records each.
std::vector<uint8_t> buildDocument(const std::string& header, const std::vector<ItemSpec>& items,
                                   uint32_t lastNumber, int blocks, int recordsPerBlock = 3);

class ScriptedPrompter : public AppPrompter {
public:
    struct Shown {
        std::string text;
        Buttons buttons;
        Icon icon;
    };
    Answer message(const std::string& text, Buttons buttons, Icon icon, int) override {
        shown.push_back({text, buttons, icon});
        if (buttons == Buttons::Ok)
            return Answer::Ok;
        if (answers.empty()) {
            ADD_FAILURE() << "unexpected question: " << text;
            return Answer::Cancel;
        }
        const Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    std::optional<int> threeChoices(const std::string& title, const std::string& text,
                                    const std::array<std::string, 3>&) override {
        shown.push_back({title + "|" + text, Buttons::Ok, Icon::None});
        return choice;
    }
    bool editCommParams(ctl::CtlConnection& params) override {
        if (commParams.empty())
            return false;
        params = commParams.front();
        commParams.pop_front();
        return true;
    }
    std::deque<Answer> answers;  // to the questions; a message with OK alone needs none
    std::deque<ctl::CtlConnection> commParams;
    std::optional<int> choice;
    std::vector<Shown> shown;
};

class RecordingSession : public Session {
public:
    uint32_t rightsWord() const override { return rights; }
    bool securityOffOrConnected() const override { return true; }
    bool isOverwritingAllowed() const override { return overwriting; }
    void audit(security::AuditEvent e, const std::vector<std::string>& args) override {
        events.emplace_back(e, args);
    }
    uint32_t rights = 0xFFFFFFFFu;
    bool overwriting = true;
    std::vector<std::pair<security::AuditEvent, std::vector<std::string>>> events;
};

}  // namespace qd40::app::testing
