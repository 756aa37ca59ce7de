// The rules behind the main window: command enabling, the document window
// rules (save name, overwrite protection, closing), the communication
// dialog's fields and the message box icon.
#include <array>
#include <fstream>

#include <gtest/gtest.h>

#include "app/core/views/comm_form.h"
#include "app/core/views/commands.h"
#include "app/core/views/document_rules.h"
#include "app/core/views/message_icon.h"
#include "app/core/views/tiling.h"
#include "app/core/views/view_strings.h"
#include "views_test_support.h"

namespace qd40::app::views {
namespace {

using testing::RecordingSession;
using testing::ScriptedPrompter;

constexpr uint32_t bit(int b) {
    return 1u << b;
}

TEST(Commands, EachCommandNeedsItsRightAndState) {
    CommandContext full;
    full.rights = 0xFFFFFFFFu;
    full.hasDocument = true;
    full.documentModified = true;
    full.communicationsOpen = true;
    full.selection = Selection::Module;
    full.moduleConnected = true;
    full.blockSelected = true;
    // Each command, the right it needs (-1: none) and a state that disables it.
    // Open Communications, enabled only while closed, has its own test.
    struct Case {
        Command command;
        int right;
        void (*disable)(CommandContext&);
    };
    const auto noDoc = [](CommandContext& c) { c.hasDocument = false; };
    const auto closed = [](CommandContext& c) { c.communicationsOpen = false; };
    const auto notConnected = [](CommandContext& c) { c.moduleConnected = false; };
    const auto onPort = [](CommandContext& c) { c.selection = Selection::Port; };
    const Case cases[] = {
        {Command::FileNew, right::kOpenDocument, nullptr},
        {Command::FileOpen, right::kOpenDocument, nullptr},
        {Command::FileRecent, right::kOpenDocument, nullptr},
        {Command::FileSave, right::kSaveDocument,
         [](CommandContext& c) { c.documentModified = false; }},
        {Command::FileSaveAs, right::kSaveDocument, noDoc},
        {Command::FileClose, right::kCloseWindow, noDoc},
        {Command::Exit, right::kLeave, nullptr},
        {Command::RecordsView, -1, noDoc},
        {Command::ProgramView, -1, noDoc},
        {Command::GraphView, -1, [](CommandContext& c) { c.blockSelected = false; }},
        {Command::CloseCommunications, -1, closed},
        {Command::TransmitAll, right::kTransmit, closed},
        {Command::RunAll, right::kRun, closed},
        {Command::StopAll, right::kStop, closed},
        {Command::AddModule, right::kProgram, onPort},
        {Command::CommProperties, right::kProgram, onPort},
        {Command::DeleteModule, right::kProgram, onPort},
        {Command::RenameModule, right::kProgram, onPort},
        {Command::Transmit, right::kTransmit, notConnected},
        {Command::ForceRemote, right::kTransmit, notConnected},
        {Command::ReadProgram, right::kReadProgram, notConnected},
        {Command::ReadName, right::kReadProgram, notConnected},
        {Command::Run, right::kRun, notConnected},
        {Command::Stop, right::kStop, notConnected},
        {Command::Events, right::kReadMemory, notConnected},
        {Command::ModuleStatus, right::kReadMemory, notConnected},
        {Command::Relays, right::kTransmit, notConnected},
        {Command::SetClock, right::kTransmit, notConnected},
        {Command::Measurements, right::kReadMemory, closed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.command));
        EXPECT_TRUE(commandEnabled(c.command, full));
        if (c.right >= 0) {
            CommandContext without = full;
            without.rights &= ~bit(c.right);
            EXPECT_FALSE(commandEnabled(c.command, without));
        }
        if (c.disable) {
            CommandContext other = full;
            c.disable(other);
            EXPECT_FALSE(commandEnabled(c.command, other));
        }
    }
}

TEST(Commands, CommunicationsNeedOneOfTheModuleRights) {
    CommandContext c;
    c.hasDocument = true;
    for (uint32_t rights : {bit(4), bit(5), bit(6), 0u}) {
        c.rights = rights;
        c.communicationsOpen = false;
        EXPECT_EQ(commandEnabled(Command::OpenCommunications, c), rights != 0) << rights;
        c.communicationsOpen = true;
        EXPECT_EQ(commandEnabled(Command::CloseCommunications, c), rights != 0) << rights;
    }
}

TEST(Commands, AddModuleFromAHostNewModuleOrModuleNode) {
    CommandContext c;
    c.hasDocument = true;
    c.rights = bit(right::kProgram);
    const std::pair<Selection, bool> cases[] = {
        {Selection::None, false},     {Selection::Host, true},      {Selection::Port, false},
        {Selection::Ethernet, false}, {Selection::NewModule, true}, {Selection::Module, true}};
    for (const auto& [selection, enabled] : cases) {
        c.selection = selection;
        EXPECT_EQ(commandEnabled(Command::AddModule, c), enabled) << int(selection);
    }
}

TEST(DocumentRules, ProposedSaveNameIsCutAtTheFirstSpecialCharacter) {
    const std::pair<const char*, const char*> cases[] = {
        {"Tavik-1", "Tavik-1.dqx"},
        {"demo.dqx", "demo.dqx"},
        {"My data.dqx", "My.dqx"},
        {"a#b", "a.dqx"},
        {"x%y;z", "x.dqx"},
        {"p/q\\r", "p.dqx"},
        {"semi;colon.dqx", "semi.dqx"},
    };
    for (const auto& [title, name] : cases)
        EXPECT_EQ(proposedSaveName(title), name) << title;
}

TEST(DocumentRules, AnExistingFileIsKeptWhenOverwritingIsForbidden) {
    const auto folder =
        std::filesystem::temp_directory_path() / ("qd40-views-rules-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const auto existing = folder / "old.dqx";
    std::ofstream(existing) << "x";
    RecordingSession session;
    ScriptedPrompter prompter;

    session.overwriting = true;
    EXPECT_TRUE(mayWriteTo(existing, session, prompter));
    session.overwriting = false;
    EXPECT_TRUE(mayWriteTo(folder / "new.dqx", session, prompter));
    EXPECT_TRUE(prompter.shown.empty());
    prompter.answers.push_back(Answer::Ok);
    EXPECT_FALSE(mayWriteTo(existing, session, prompter));
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].text,
              "File \"old.dqx\" already exists.\n\nSave the document with another File Name");
    EXPECT_EQ(prompter.shown[0].icon, Icon::Exclamation);
    std::filesystem::remove_all(folder);
}

TEST(DocumentRules, SavingRecordsTheEventAndAFailureIsShown) {
    const auto folder =
        std::filesystem::temp_directory_path() / ("qd40-views-save-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    CTavikDoc doc(testing::offlineControls());
    doc.setModified();
    RecordingSession session;
    ScriptedPrompter prompter;
    ASSERT_TRUE(saveDocument(doc, folder / "saved.dqx", session, prompter));
    EXPECT_FALSE(doc.isModified());
    ASSERT_EQ(session.events.size(), 1u);
    EXPECT_EQ(session.events[0].first, security::AuditEvent::SAVE_DOC);
    EXPECT_EQ(session.events[0].second, std::vector<std::string>{(folder / "saved.dqx").string()});

    prompter.answers.push_back(Answer::Ok);
    EXPECT_FALSE(saveDocument(doc, folder / "missing" / "x.dqx", session, prompter));
    EXPECT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(session.events.size(), 1u);

    // And the saved file opens again.
    auto reopened =
        openDocument(folder / "saved.dqx", testing::offlineControls(), session, prompter);
    EXPECT_NE(reopened, nullptr);
    session.rights &= ~bit(right::kOpenDocument);
    EXPECT_EQ(openDocument(folder / "saved.dqx", testing::offlineControls(), session, prompter),
              nullptr);
    EXPECT_EQ(prompter.shown.size(), 1u) << "a refused right says nothing";
    std::filesystem::remove_all(folder);
}

TEST(DocumentRules, ClosingTheLastWindowOfAModifiedDocument) {
    struct Case {
        bool modified;
        uint32_t rights;
        std::optional<Answer> answer;  // the answer to what is shown
        LastWindowClose result;
        const char* message;  // what is shown, "" for nothing
    };
    const uint32_t all = 0xFFFFFFFFu;
    const Case cases[] = {
        {false, all, std::nullopt, LastWindowClose::Close, ""},
        {false, all & ~bit(right::kCloseWindow), std::nullopt, LastWindowClose::Refuse, ""},
        {true, all & ~bit(right::kCloseWindow), std::nullopt, LastWindowClose::Refuse, ""},
        {true, all & ~bit(right::kCloseUnsaved), Answer::Ok, LastWindowClose::Refuse,
         "Save the document before closing it"},
        {true, all, Answer::Yes, LastWindowClose::SaveThenClose, "Save changes to Tavik-1?"},
        {true, all, Answer::No, LastWindowClose::Close, "Save changes to Tavik-1?"},
        {true, all, Answer::Cancel, LastWindowClose::Refuse, "Save changes to Tavik-1?"},
    };
    for (const Case& c : cases) {
        CTavikDoc doc(testing::offlineControls());
        doc.setModified(c.modified);
        RecordingSession session;
        session.rights = c.rights;
        ScriptedPrompter prompter;
        if (c.answer)
            prompter.answers.push_back(*c.answer);
        EXPECT_EQ(closeLastWindow(doc, session, prompter), c.result);
        EXPECT_EQ(prompter.shown.empty() ? "" : prompter.shown[0].text, c.message);
    }
}

TEST(DocumentRules, WindowTitleMarksAModifiedDocument) {
    CTavikDoc doc(testing::offlineControls());
    EXPECT_EQ(documentWindowTitle(doc), "Tavik-1");
    EXPECT_EQ(documentWindowTitle(doc, 2, 2), "Tavik-1:2");
    doc.setModified();
    EXPECT_EQ(documentWindowTitle(doc), "Tavik-1*");
    EXPECT_EQ(documentWindowTitle(doc, 1, 3), "Tavik-1:1*");
}

TEST(CommForm, ListsAndEnabledFields) {
    EXPECT_EQ(comPortIndex(0), 0);
    EXPECT_EQ(comPortIndex(1), 0);
    EXPECT_EQ(comPortIndex(8), 7);
    EXPECT_EQ(baudRateIndex(38400), 2);
    EXPECT_EQ(baudRateIndex(1200), 0);

    const auto local = commFieldsEnabled(true, false, true);
    EXPECT_TRUE(local.serialFields);
    EXPECT_FALSE(local.hostName);
    EXPECT_FALSE(local.rateAndInterface);
    EXPECT_FALSE(local.networkFields);
    const auto remote = commFieldsEnabled(true, true, false);
    EXPECT_TRUE(remote.hostName);
    EXPECT_TRUE(remote.rateAndInterface);
    const auto network = commFieldsEnabled(false, true, false);
    EXPECT_FALSE(network.serialFields);
    EXPECT_FALSE(network.hostName);
    EXPECT_FALSE(network.rateAndInterface);
    EXPECT_TRUE(network.networkFields);
}

// Which controls each choice enables, in both forms of the dialog.
TEST(CommForm, EachChoiceEnablesItsFieldsAndTheSetupFormOnlyThePort) {
    struct Case {
        bool serial, remoteHost, serverParams;
        CommForm form;
        // kind, host choice, port, server params, host, rate+interface, address, slave
        std::array<bool, 8> enabled;
    };
    const Case cases[] = {
        {true, false, true, CommForm::Item, {1, 1, 1, 1, 0, 0, 0, 1}},
        {true, true, true, CommForm::Item, {1, 1, 1, 1, 1, 0, 0, 1}},
        {true, true, false, CommForm::Item, {1, 1, 1, 1, 1, 1, 0, 1}},
        {false, true, false, CommForm::Item, {1, 0, 0, 0, 0, 0, 1, 1}},
        {true, false, false, CommForm::Setup, {0, 0, 1, 0, 0, 0, 0, 0}},
        {true, true, false, CommForm::Setup, {0, 0, 1, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        const auto e = commFieldsEnabled(c.serial, c.remoteHost, c.serverParams, c.form);
        const std::array<bool, 8> got{e.kindChoice, e.hostChoice,       e.comPort,
                                      e.serverParams, e.hostName,       e.rateAndInterface,
                                      e.networkFields, e.slave};
        EXPECT_EQ(got, c.enabled) << c.serial << c.remoteHost << c.serverParams << int(c.form);
    }
}

TEST(CommForm, AnEmptyHostOrAddressRefusesOk) {
    ctl::CtlConnection serial;
    serial.serial = true;
    EXPECT_EQ(missingField(serial, false), std::nullopt);
    EXPECT_EQ(missingField(serial, true), MissingField::HostName);
    serial.ipAddr = "lab";
    EXPECT_EQ(missingField(serial, true), std::nullopt);
    ctl::CtlConnection network;
    network.serial = false;
    EXPECT_EQ(missingField(network, false), MissingField::Address);
    network.ipAddr = "10.0.0.5";
    EXPECT_EQ(missingField(network, false), std::nullopt);
}

TEST(ViewStrings, DocumentTypeFieldsSplitAtLineFeeds) {
    EXPECT_EQ(documentTypeField(DocumentTypeField::WindowTitle), "");
    EXPECT_EQ(documentTypeField(DocumentTypeField::UntitledName), "Tavik-");
    EXPECT_EQ(documentTypeField(DocumentTypeField::Filter), "Tavik Files (*.dqx)");
    EXPECT_EQ(documentTypeField(DocumentTypeField::Extension), CTavikDoc::kExtension);
}

TEST(MessageIcon, NoIconAskedGivesTheExclamation) {
    for (Buttons b : {Buttons::Ok, Buttons::OkCancel, Buttons::YesNo, Buttons::YesNoCancel}) {
        EXPECT_EQ(messageIcon(Icon::None, b), Icon::Exclamation);
        EXPECT_EQ(messageIcon(Icon::Question, b), Icon::Question);
        EXPECT_EQ(messageIcon(Icon::Stop, b), Icon::Stop);
    }
}

TEST(Tiling, WindowsStackOneAboveTheOtherOverTheWholeArea) {
    const QRect area(10, 20, 300, 101);
    for (int count : {1, 2, 3}) {
        const auto tiles = stackedTiles(area, count);
        ASSERT_EQ(tiles.size(), size_t(count));
        EXPECT_EQ(tiles.front().top(), area.top());
        EXPECT_EQ(tiles.back().bottom(), area.bottom());
        for (size_t i = 0; i < tiles.size(); ++i) {
            EXPECT_EQ(tiles[i].left(), area.left());
            EXPECT_EQ(tiles[i].width(), area.width());
            if (i > 0) {
                EXPECT_EQ(tiles[i].top(), tiles[i - 1].bottom() + 1);
            }
        }
    }
    EXPECT_TRUE(stackedTiles(area, 0).empty());
}

}  // namespace
}  // namespace qd40::app::views
