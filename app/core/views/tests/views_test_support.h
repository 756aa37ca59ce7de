// Documents of the view tests: items whose controls never reach a server.
#pragma once
#include <unistd.h>

#include <filesystem>
#include <string>

#include "app/core/tests/doc_test_support.h"

namespace qd40::app::views::testing {

using app::testing::RecordingSession;
using app::testing::ScriptedPrompter;

inline CTavikDoc::ControlFactory offlineControls() {
    return app::testing::controlFactory(ctl::Qd40Factory{},
                                        std::filesystem::temp_directory_path() /
                                            ("qd40-views-registry-" + std::to_string(::getpid())));
}

struct Module {
    bool serial;
    std::string address;  // TCP address, or the remote host of a serial module
    int port;
    int slave = 1;
};

inline CTavikItem& addModule(CTavikDoc& doc, const Module& m) {
    CTavikItem& item = doc.newItem();
    ctl::OvixQd40Ctl& c = item.control();
    c.put_Serial(m.serial);
    c.put_IpAddr(m.address);
    c.put_Port(m.port);
    c.put_MbAddr(static_cast<int16_t>(m.slave));
    doc.numberItem(item);
    return item;
}

}  // namespace qd40::app::views::testing
