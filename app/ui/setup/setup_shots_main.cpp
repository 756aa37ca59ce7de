// tavik_setup_shots DOCUMENT FOLDER: pictures of the module SETUP sheet and
// of the dialogs of the SETUP commands (offscreen, for tools/screenshots).
// The SETUP shown is read from the document's first module; the e-mail
// counter dialog shows that module's counter. Each picture goes to
// FOLDER/setup-<name>.png under a caption bar with the window's title.
#include <cstdio>
#include <filesystem>

#include <QApplication>
#include <QTabWidget>

#include "app/core/doc_operations.h"
#include "app/core/setup/setup_strings.h"
#include "app/core/setup/setup_transfer.h"
#include "app/core/tavik_doc.h"
#include "app/ui/comm_dialog.h"
#include "app/ui/picture_folder.h"
#include "app/ui/qt_prompter.h"
#include "app/ui/setup/setup_dialogs.h"
#include "app/ui/setup/setup_sheet.h"
#include "control/ctl/daemon_factory.h"

namespace {

using namespace qd40;
using namespace qd40::app::setup;

// The module's SETUP over its network connection (reading needs no remote
// control), the link left open for the clock; the error when it could not be read.
std::string readSetup(const ctl::CtlConnection& conn, std::unique_ptr<ctl::Qd40Link>& link,
                      SetupRecord& record) {
    if (Status st = ctl::daemonFactory()("", link); !st)
        return st.error.description;
    int32_t err = 0;
    if (failed(link->OpenComm(conn.ipAddr, int32_t(uint16_t(conn.port)), &err)))
        return link->lastError().description;
    std::string version;
    if (failed(link->GetDevVersion(conn.mbAddr, &version)))
        return link->lastError().description;
    SetupTransfer transfer(*link, conn.mbAddr, version);
    if (failed(transfer.read(record, nullptr)))
        return transfer.lastError().description;
    return {};
}

}  // namespace

int main(int argc, char** argv) {
    QApplication qapp(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: tavik_setup_shots DOCUMENT FOLDER\n");
        return 2;
    }
    const platform::RegistryStore registry;
    app::CTavikDoc doc([registry](ctl::CtlContainer* container) {
        return std::make_unique<ctl::OvixQd40Ctl>(ctl::daemonFactory(), container, registry);
    });
    if (const Status st = doc.load(argv[1]); !st || doc.items().empty()) {
        std::fprintf(stderr, "tavik_setup_shots: %s\n",
                     st ? "the document has no module" : st.error.description.c_str());
        return 1;
    }
    std::error_code ec;
    std::filesystem::create_directories(argv[2], ec);
    ui::PictureFolder pictures(argv[2], "tavik_setup_shots", "setup-");
    app::CTavikItem& item = *doc.items().front();

    SetupRecord record;
    std::unique_ptr<ctl::Qd40Link> link;
    if (const std::string why = readSetup(item.connection(), link, record); !why.empty()) {
        std::fprintf(stderr, "tavik_setup_shots: cannot read the SETUP: %s\n", why.c_str());
        return 1;
    }
    const uint8_t addr = item.connection().mbAddr;
    SetupClock clock;
    clock.read = [&]() -> std::optional<DateTime> {
        double date = 0;
        if (failed(link->GetDate(addr, &date)))
            return std::nullopt;
        return fromOleDate(date);
    };
    clock.send = [](const DateTime&) { return false; };  // the pictures change nothing
    ui::SetupSheet sheet(record, nullptr, &clock);
    const char* pages[] = {"ports", "network", "modem", "email", "other"};
    for (int i = 0; i < sheet.tabs()->count(); ++i) {
        sheet.tabs()->setCurrentIndex(i);
        pictures.take(sheet, std::string("page-") + pages[i], true);
    }

    ctl::CtlConnection port;
    port.serial = true;
    port.port = 2;
    port.ovixQd40SvrParams = false;
    ui::CCommDialog comm(port, "Tavik", nullptr, app::views::CommForm::Setup);
    pictures.take(comm, "comm-dialog", true);

    ui::CMacAddrDialog mac({0x00, 0x50, 0xC2, 0x4E, 0x10, 0x2A});
    pictures.take(mac, "ethernet-hex", true);
    mac.setHex(false);
    pictures.take(mac, "ethernet-dec", true);

    ui::AccessCodeDialog code(
        QString::fromStdString(setupText(stext::kAccessCodeTitle)),
        QString::fromStdString(
            setupMessage(stext::kAccessCodePrompt, {setupText(stext::kServiceManufacturing)})));
    pictures.take(code, "access-code", true);

    ui::QtPrompter prompter("Tavik");
    ui::PictureSession session;
    app::DocOperations ops(doc, prompter, session);
    EmailCounter counter(ops, item);
    counter.update();
    ui::CEmailCounterDialog emails(counter);
    pictures.take(emails, "email-counter", true);
    int32_t err = 0;
    link->CloseComm(&err);
    return pictures.ok() ? 0 : 1;
}
