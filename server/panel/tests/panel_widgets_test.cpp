// The panel's windows offscreen: only the wiring. The controls carry their
// identifiers, ticking a port enables its two lists, the lists write into
// the logic that Validate saves, and the test dialog enables the IP fields
// for MODBUS/TCP only.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <filesystem>

#include "server/panel/panel_widgets.h"

namespace qd40::panel {
namespace {

class NoDaemon final : public DaemonAccess {
public:
    std::unique_ptr<PanelObject> create(Status* st) override {
        if (st)
            *st = Status::failure(E_FAIL, "none");
        return nullptr;
    }
    std::unique_ptr<PanelObject> running(Status* st) override {
        if (st)
            *st = Status::ok();
        return nullptr;
    }
    Status quit() override {
        ++quits;
        return Status::ok();
    }
    Status transportVersion(uint32_t&, uint32_t&, std::string&) override {
        return Status::failure(E_FAIL, "none");
    }
    int quits = 0;
};

class Silent final : public MessagePort {
public:
    void message(Icon, const std::string&, const std::string& text) override {
        texts.push_back(text);
    }
    std::vector<std::string> texts;
};

class PanelWidgets : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "panel_widgets_tests";
        static char* argv[] = {name, nullptr};
        app = new QApplication(argc, argv);
    }
    static void TearDownTestSuite() {
        delete app;
        app = nullptr;
    }
    PanelWidgets() {
        std::filesystem::remove_all(root);
        ::setenv("LC_ALL", "C", 1);
    }
    ~PanelWidgets() override { std::filesystem::remove_all(root); }

    static inline QApplication* app = nullptr;
    std::filesystem::path root = std::filesystem::temp_directory_path() /
                                 ("qd40-panel-widgets-" + std::to_string(::getpid()));
    platform::RegistryStore store{root};
    NoDaemon daemon;
    Silent messages;
};

template <class W>
W* control(QWidget& parent, int id) {
    auto* w = parent.findChild<W*>(controlName(id));
    EXPECT_NE(w, nullptr) << id;
    return w;
}

TEST_F(PanelWidgets, TickingAPortEnablesItsListsAndValidateSavesWhatTheyShow) {
    PortsPreConfig logic(store, daemon, messages);
    ASSERT_TRUE(logic.load());
    PanelWindow window(logic, daemon, messages);
    for (const auto& ids : kPortControls) {
        ASSERT_TRUE(control<QCheckBox>(window, ids.check));
        EXPECT_FALSE(control<QComboBox>(window, ids.rate)->isEnabled());
        EXPECT_FALSE(control<QComboBox>(window, ids.cabling)->isEnabled());
    }
    // COM4: check box 213, rate list 214, cabling list 211.
    control<QCheckBox>(window, 213)->setChecked(true);
    EXPECT_TRUE(control<QComboBox>(window, 214)->isEnabled());
    EXPECT_TRUE(control<QComboBox>(window, 211)->isEnabled());
    EXPECT_FALSE(control<QComboBox>(window, 210)->isEnabled()) << "COM3's rate list";
    control<QComboBox>(window, 214)->setCurrentIndex(2);
    control<QComboBox>(window, 211)->setCurrentIndex(1);
    EXPECT_EQ(control<QComboBox>(window, 214)->currentText(), "38400");
    EXPECT_EQ(control<QComboBox>(window, 211)->currentText(), "2 Wires");

    control<QPushButton>(window, kIdValidate)->click();
    EXPECT_TRUE(messages.texts.empty());
    using platform::Hive;
    EXPECT_EQ(store.getDword(Hive::LocalMachine, server::kCommunicationKey, "Com4"), 1u);
    EXPECT_EQ(store.getDword(Hive::LocalMachine, server::kCommunicationKey, "Rate4"), 38400u);
    EXPECT_EQ(store.getDword(Hive::LocalMachine, server::kCommunicationKey, "HalfDuplex4"), 1u);

    bool exited = false;
    QObject::connect(&window, &PanelWindow::exited, [&] { exited = true; });
    control<QPushButton>(window, kIdExit)->click();
    EXPECT_EQ(daemon.quits, 1);
    EXPECT_TRUE(exited);
}

TEST_F(PanelWidgets, TheTestDialogEnablesTheIpFieldsForModbusTcpOnly) {
    std::array<PortRow, 8> rows{};
    rows[2].available = true;
    ChannelTest logic(rows, daemon, messages);
    ChannelTestDialog dialog(logic);
    auto* list = control<QComboBox>(dialog, kIdChannelList);
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->currentIndex(), -1);
    EXPECT_EQ(list->itemText(0), "Local Serial Port COM3");
    EXPECT_FALSE(control<QLineEdit>(dialog, kIdModbusAddress)->isEnabled());
    list->setCurrentIndex(0);
    EXPECT_TRUE(control<QLineEdit>(dialog, kIdModbusAddress)->isEnabled());
    EXPECT_FALSE(control<QLineEdit>(dialog, kIdIpAddress)->isEnabled());
    EXPECT_FALSE(control<QLineEdit>(dialog, kIdIpPort)->isEnabled());
    list->setCurrentIndex(1);
    EXPECT_TRUE(control<QLineEdit>(dialog, kIdIpAddress)->isEnabled());
    EXPECT_TRUE(control<QLineEdit>(dialog, kIdIpPort)->isEnabled());
    // The address takes digits only.
    auto* address = control<QLineEdit>(dialog, kIdModbusAddress);
    address->insert("1a");
    EXPECT_EQ(address->text(), "");
    address->insert("17");
    EXPECT_EQ(address->text(), "17");
}

}  // namespace
}  // namespace qd40::panel
