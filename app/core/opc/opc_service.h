// A document's OPC service: its modules programmed and started, their
// selected channels published as read-only tags that follow the modules'
// cycles, their MODBUS-driven relays as writable tags that switch them; the
// declaration of documents for the service at launch (five slots of the
// machine-wide store) and the start at launch.
//
// All toolkit and module calls run on the thread that owns the service (the
// main thread). A timer thread per document in service only posts the update
// to that thread, once per period (at least 100 ms); a tick still waiting is
// not posted again.
#pragma once
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/core/app_ports.h"
#include "app/core/doc_operations.h"
#include "app/core/opc/opc_tags.h"
#include "app/core/opc/opc_toolkit.h"
#include "app/core/settings/settings_store.h"

class QObject;

namespace qd40::app::opc {

inline constexpr int kNoSlot = -1;
inline constexpr int kModeAlways = 0;
inline constexpr int kModeIfDifferent = 1;
inline constexpr int kModeNever = 2;
inline constexpr std::chrono::milliseconds kMinimumPeriod{100};

// The period the timer runs at: the document's, at least 100 ms.
std::chrono::milliseconds timerPeriod(uint16_t periodMs);

class OpcTimerThread;

class OpcDocService {
public:
    OpcDocService(CTavikDoc& doc, OpcToolkit& toolkit, AppPrompter& prompter, Session& session);
    // Stops the timer, stops the modules when stop-on-close is set, removes the tags.
    ~OpcDocService();
    OpcDocService(const OpcDocService&) = delete;
    OpcDocService& operator=(const OpcDocService&) = delete;

    CTavikDoc& document() { return doc_; }
    DocOperations& operations() { return ops_; }

    int slot = kNoSlot;
    uint16_t period = 1000;
    int mode = kModeAlways;
    uint32_t stopOnClose = 1;

    // Starts the service: 1 when it runs, 0 when refused (communications
    // closed) or already running.
    int start(const std::string& chansIn, int sendMode, bool ask);
    bool inService() const { return inService_; }

    // One update of every tag (what the timer posts).
    void tick();
    // A client wrote tag: true when it is one of this document's relays.
    bool onWrite(TagHandle tag);

    const std::vector<PublishedChannels>& published() const { return published_; }
    const std::vector<COpcTag>& readableTags() const { return readable_; }
    // The relay tags' handles (their tags are in the readable list too).
    const std::vector<TagHandle>& writableTags() const { return writable_; }
    // How many ticks the timer has posted.
    uint64_t ticks() const { return ticks_; }

private:
    void startModules(bool ask);
    void createRelayTags();
    void createChannelTags();
    void updateRelay(COpcTag& tag);
    // Updates the channel tags [first, last) of one module.
    void updateGroup(size_t first, size_t last);

    CTavikDoc& doc_;
    OpcToolkit& toolkit_;
    AppPrompter& prompter_;
    DocOperations ops_;
    std::vector<PublishedChannels> published_;
    std::vector<COpcTag> readable_;
    std::vector<TagHandle> writable_;
    // The cycle last seen of each module (seconds, milliseconds).
    std::map<const CTavikItem*, std::pair<uint32_t, uint16_t>> lastCycle_;
    bool inService_ = false;
    uint64_t ticks_ = 0;
    std::unique_ptr<QObject> receiver_;
    std::unique_ptr<OpcTimerThread> timer_;
};

// The services of the open documents; routes the toolkit's write
// notification to the document that owns the tag.
class OpcServices {
public:
    OpcServices(OpcToolkit& toolkit, AppPrompter& prompter, Session& session);
    ~OpcServices();

    // The document's service, made when missing.
    OpcDocService& of(CTavikDoc& doc);
    OpcDocService* find(const CTavikDoc& doc) const;
    bool inService(const CTavikDoc& doc) const;
    // The document closes: its service ends.
    void remove(const CTavikDoc& doc);
    void onWrite(TagHandle tag);
    // The open document declared in slot, if any.
    CTavikDoc* documentInSlot(int slot) const;
    OpcToolkit& toolkit() const { return toolkit_; }

private:
    OpcToolkit& toolkit_;
    AppPrompter& prompter_;
    Session& session_;
    std::map<const CTavikDoc*, std::unique_ptr<OpcDocService>> services_;
};

// A window of doc is closing: when the document is in service, CLOSE_DOC is
// recorded and, with clients connected, message 387 asks whether to go on
// (Yes disconnects them, then `wait` 2000 ms). False keeps the window.
// Without right 1 nothing is asked here (the window's own rules refuse).
bool mayCloseServedWindow(const OpcServices& services, const CTavikDoc& doc, AppPrompter& prompter,
                          Session& session,
                          const std::function<void(std::chrono::milliseconds)>& wait);

// ---- declaration in the machine-wide store ------------------------------------------

// "OPC Server\ProgDoc<n>".
std::string slotSection(int slot);

struct OpcSlot {
    std::string path;
    int sendProg = -1;  // -1: not declared
    std::string chansIn;
    int period = 0;
    int stopOnClose = 1;
};
OpcSlot readSlot(const settings::SettingsStore& machine, int slot);

// What the service sheet collects.
struct OpcServiceParams {
    uint16_t period = 1000;
    int startDelay = 5;
    int mode = kModeAlways;
    bool stopOnClose = true;
    std::vector<PublishedChannels> published;
};
// The sheet's initial values for the document.
OpcServiceParams serviceParamsFor(const OpcDocService& service,
                                  const settings::SettingsStore& machine);

// Command "Define OPC Service Parameters": `edit` shows the sheet (false on
// Cancel). Stores the parameters in the document, declares it in the first
// free slot and starts the service. False when nothing was declared.
bool defineService(OpcDocService& service, settings::SettingsStore& machine, AppPrompter& prompter,
                   Session& session, const std::function<bool(OpcServiceParams&)>& edit);

// The start at launch of the document declared in slot, already open:
// communications opened, the service started without questions (closed
// again when it does not start). False when not started.
bool startDeclaredService(OpcDocService& service, int slot, const settings::SettingsStore& machine);

}  // namespace qd40::app::opc
