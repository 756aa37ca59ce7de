// The users manager over a private registry and audit folder, a fake clock
// and a scripted prompter, with helpers to declare and connect users.
#pragma once
#include <gtest/gtest.h>

#include <memory>

#include "app/security/tests/fake_ui.h"
#include "app/security/user_rights.h"

namespace qd40::security::testing {

class RightsFixture : public ::testing::Test {
protected:
    std::unique_ptr<CUserRights> make() {
        auto r = std::make_unique<CUserRights>(
            store, clock, UserRightsConfig{folder.path(), "Tavik", "B.10", HashCost::minimum()});
        r->setPrompter(&prompter);
        return r;
    }
    CUser newUser(const std::string& name, const std::string& id, const std::string& password,
                  bool supervisor, std::array<bool, kGroupCount> groups) {
        CUser u;
        u.name = name;
        u.identifier = id;
        u.password = rights->hasher().hash(password);
        u.supervisor = supervisor;
        u.groups = groups;
        u.expiry = clock.now() + 30 * kSecondsPerDay;
        return u;
    }
    bool connect(const std::string& id, const std::string& password) {
        prompter.connections.push_back(ConnectionEntry{id, password, false});
        return rights->ConnectUser();
    }
    std::vector<std::string> codes() {
        std::vector<std::string> out;
        for (const std::string& line : auditEvents(rights->auditTrail().currentFile()))
            out.push_back(eventCodeOf(line));
        return out;
    }
    void auditOn() {
        SecuritySettings s = rights->settings();
        s.auditTrail = true;
        rights->setSettings(s);
    }

    TempFolder folder;
    FakeClock clock;
    settings::CLocalMachineReg store{platform::RegistryStore(folder.path() / "registry")};
    ScriptedPrompter prompter;
    std::unique_ptr<CUserRights> rights = make();
};

}  // namespace qd40::security::testing
