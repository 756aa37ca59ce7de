#include "app/core/opc/opc_service.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include <QObject>

#include "app/core/app_strings.h"
#include "app/core/opc/opc_strings.h"
#include "app/core/tavik_app.h"
#include "common/config/cfg_layout.h"
#include "common/le_bytes.h"

namespace qd40::app::opc {

namespace {

constexpr unsigned kEuUnitsProperty = 100;
constexpr const char* kEuUnits = "EU Units";
constexpr int kChannels = 30;
constexpr int kStatusRunBit = 0;
constexpr size_t kHoldsRecordsOffset = 4;
constexpr int16_t kRunWithoutReopening = 2;
constexpr std::chrono::milliseconds kDisconnectWait{2000};

}  // namespace

std::chrono::milliseconds timerPeriod(uint16_t periodMs) {
    return std::max(std::chrono::milliseconds(periodMs), kMinimumPeriod);
}

// Posts `tick` to the receiver's thread once per period until destroyed; a
// tick not yet served is not posted again.
class OpcTimerThread {
public:
    OpcTimerThread(QObject* receiver, std::chrono::milliseconds period, std::function<void()> tick)
        : receiver_(receiver), period_(period), tick_(std::move(tick)) {
        thread_ = std::thread([this] { run(); });
    }
    ~OpcTimerThread() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }

private:
    void run() {
        std::unique_lock lock(mutex_);
        while (!stop_) {
            if (!pending_->exchange(true)) {
                auto pending = pending_;
                QMetaObject::invokeMethod(
                    receiver_,
                    [pending, tick = tick_] {
                        pending->store(false);
                        tick();
                    },
                    Qt::QueuedConnection);
            }
            wake_.wait_for(lock, period_, [this] { return stop_; });
        }
    }

    QObject* receiver_;
    std::chrono::milliseconds period_;
    std::function<void()> tick_;
    std::shared_ptr<std::atomic<bool>> pending_ = std::make_shared<std::atomic<bool>>(false);
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    std::thread thread_;
};

// ---- OpcDocService -----------------------------------------------------------------

OpcDocService::OpcDocService(CTavikDoc& doc, OpcToolkit& toolkit, AppPrompter& prompter,
                             Session& session)
    : doc_(doc),
      toolkit_(toolkit),
      prompter_(prompter),
      ops_(doc, prompter, session),
      receiver_(std::make_unique<QObject>()) {}

OpcDocService::~OpcDocService() {
    timer_.reset();
    // Posted ticks die with their receiver.
    receiver_.reset();
    if (inService_ && stopOnClose) {
        for (const auto& e : published_) {
            int32_t open = 0;
            if (succeeded(e.item->control().get_IsOpen(&open)) && open)
                e.item->control().Stop();
        }
    }
    for (const COpcTag& t : readable_)
        toolkit_.RemoveTag(t.handle);
}

int OpcDocService::start(const std::string& chansIn, int sendMode, bool ask) {
    if (!doc_.communicationsOpen || inService_)
        return 0;
    ChansInParse parsed = parseChansIn(chansIn, doc_);
    published_ = std::move(parsed.list);
    if (!parsed.ok && ask)
        prompter_.message(opcText(text::kChannelListErrors), Buttons::Ok, Icon::Exclamation);

    for (const auto& e : published_) {
        if (sendMode == kModeAlways)
            ops_.transmit(*e.item, true);
        else if (sendMode == kModeIfDifferent)
            ops_.programSentCheck(*e.item, ask);
    }
    startModules(ask);
    createRelayTags();
    createChannelTags();
    inService_ = true;
    timer_ = std::make_unique<OpcTimerThread>(receiver_.get(), timerPeriod(period), [this] {
        ++ticks_;
        tick();
    });
    return 1;
}

void OpcDocService::startModules(bool ask) {
    for (const auto& e : published_) {
        ctl::OvixQd40Ctl& c = e.item->control();
        bool keepBlocks = false;
        int16_t status = 0;
        cfg::VariantBlob mems;
        const bool running = succeeded(c.GetStatus(&status)) && (status >> kStatusRunBit & 1);
        if (!running && succeeded(c.GetMemsStatus(&mems)) && mems.data.size() >= 8) {
            const uint16_t holding = le::u16(mems.data, kHoldsRecordsOffset);
            const cfg::ConstFullCfgView cfgView(c.state().cfg);
            for (int b = 1; b <= cfg::kMemBlocks; ++b)
                keepBlocks =
                    keepBlocks || ((holding >> (b - 1) & 1) && !cfgView.memBlock(b).reopenable());
        }
        const HRESULT h = keepBlocks ? c.RunWithOptMem(kRunWithoutReopening) : c.Run();
        if (failed(h) && ask)
            ops_.showControlError(*e.item, h);
    }
}

void OpcDocService::createRelayTags() {
    const int64_t now = fileTimeNow();
    for (const auto& item : doc_.items()) {
        cfg::VariantBlob blob;
        if (failed(item->control().get_Cfg(&blob)) || blob.data.size() < cfg::kFullCfgSize)
            continue;
        const cfg::ConstFullCfgView full(
            std::span<const uint8_t>(blob.data).first(cfg::kFullCfgSize));
        for (int relay = 1; relay <= 2; ++relay) {
            if (!full.relayModbus(relay))
                continue;
            COpcTag tag;
            tag.name = relayTagName(*item, relay);
            tag.handle = toolkit_.CreateTag(tag.name, TagValue(0.0f), kQualityGood, true);
            if (tag.handle == kInvalidTag)
                continue;
            tag.fileTime = now;
            tag.item = item.get();
            tag.index = COpcTag::kRelay1Index + relay - 1;
            readable_.push_back(tag);
            writable_.push_back(tag.handle);
        }
    }
}

void OpcDocService::createChannelTags() {
    const int64_t now = fileTimeNow();
    for (const auto& e : published_) {
        ctl::OvixQd40Ctl& c = e.item->control();
        const cfg::ConstFullCfgView full(c.state().cfg);
        for (int n = 1; n <= kChannels; ++n) {
            if (!(e.mask >> (n - 1) & 1))
                continue;
            COpcTag tag;
            tag.name = channelTagName(*e.item, n);
            tag.handle = toolkit_.CreateTag(tag.name, TagValue(0.0f), kQualityGood, false);
            if (tag.handle == kInvalidTag)
                continue;
            std::string unit;
            if (failed(c.GetChanUnit(static_cast<int16_t>(n), &unit)) || unit.empty()) {
                const cfg::ConstChannelCfg ch = full.channel(n);
                c.GetRgeDefUnit(static_cast<int16_t>(ch.function()),
                                static_cast<int16_t>(ch.range()), &unit);
            }
            toolkit_.SetTagProperties(tag.handle, kEuUnitsProperty, kEuUnits, TagValue(unit));
            tag.fileTime = now;
            tag.item = e.item;
            tag.index = n - 1;
            readable_.push_back(tag);
        }
    }
}

void OpcDocService::tick() {
    size_t i = 0;
    while (i < readable_.size()) {
        if (readable_[i].isRelay()) {
            updateRelay(readable_[i]);
            ++i;
            continue;
        }
        size_t end = i + 1;
        while (end < readable_.size() && !readable_[end].isRelay() &&
               readable_[end].item == readable_[i].item)
            ++end;
        updateGroup(i, end);
        i = end;
    }
}

void OpcDocService::updateRelay(COpcTag& tag) {
    int32_t on = 0;
    const bool ok = succeeded(tag.item->control().GetRel(static_cast<int16_t>(tag.relay()), &on));
    tag.value = TagValue(ok && on ? 1.0f : 0.0f);
    tag.fileTime = fileTimeNow();
    toolkit_.UpdateTag(tag.handle, tag.value, ok ? kQualityGood : kQualityCommFailure);
}

void OpcDocService::updateGroup(size_t first, size_t last) {
    CTavikItem* item = readable_[first].item;
    ctl::OvixQd40Ctl& c = item->control();
    cfg::VariantBlob blob;
    std::optional<CycleStatus> cycle;
    if (succeeded(c.GetCyStatus(&blob)))
        cycle = readCycleStatus(blob.data);
    const uint32_t seconds = cycle ? cycle->seconds : 0;
    const uint16_t ms = cycle ? cycle->milliseconds : 0;
    auto& remembered = lastCycle_[item];
    if (!isNewCycle(seconds, ms, remembered.first, remembered.second))
        return;
    remembered = {seconds, ms};
    if (!cycle) {
        const int64_t now = fileTimeNow();
        for (size_t i = first; i < last; ++i) {
            COpcTag& t = readable_[i];
            t.value = TagValue(0.0f);
            t.fileTime = now;
            toolkit_.UpdateTagWithTimeStamp(t.handle, t.value, kQualityCommFailure, now);
        }
        return;
    }
    cfg::VariantBlob delaysBlob;
    std::array<uint32_t, 30> delays{};
    if (succeeded(c.GetChansDelaysStatus(&delaysBlob)))
        delays = readChannelDelays(delaysBlob.data);
    for (size_t i = first; i < last; ++i) {
        COpcTag& t = readable_[i];
        const auto ch = static_cast<size_t>(t.index);
        const bool inError = cycle->errorMask >> ch & 1;
        t.value = TagValue(cycle->values[ch]);
        t.fileTime = measurementFileTime(seconds, ms, delays[ch]);
        toolkit_.UpdateTagWithTimeStamp(t.handle, t.value, inError ? kQualityBad : kQualityGood,
                                        t.fileTime);
    }
}

bool OpcDocService::onWrite(TagHandle handle) {
    if (std::find(writable_.begin(), writable_.end(), handle) == writable_.end())
        return false;
    auto tag = std::find_if(readable_.begin(), readable_.end(),
                            [handle](const COpcTag& t) { return t.handle == handle; });
    TagValue value;
    if (tag == readable_.end() || !toolkit_.ReadTag(handle, value))
        return true;
    bool on = false;
    if (const float* f = std::get_if<float>(&value))
        on = *f != 0.0f;
    else if (const bool* b = std::get_if<bool>(&value))
        on = *b;
    ops_.setRelay(*tag->item, tag->relay(), on);
    return true;
}

// ---- OpcServices -------------------------------------------------------------------

OpcServices::OpcServices(OpcToolkit& toolkit, AppPrompter& prompter, Session& session)
    : toolkit_(toolkit), prompter_(prompter), session_(session) {
    toolkit_.EnableWriteNotification([this](TagHandle h) { onWrite(h); });
}

OpcServices::~OpcServices() {
    toolkit_.EnableWriteNotification({});
}

OpcDocService& OpcServices::of(CTavikDoc& doc) {
    auto& s = services_[&doc];
    if (!s)
        s = std::make_unique<OpcDocService>(doc, toolkit_, prompter_, session_);
    return *s;
}

OpcDocService* OpcServices::find(const CTavikDoc& doc) const {
    auto it = services_.find(&doc);
    return it == services_.end() ? nullptr : it->second.get();
}

bool OpcServices::inService(const CTavikDoc& doc) const {
    const OpcDocService* s = find(doc);
    return s && s->inService();
}

void OpcServices::remove(const CTavikDoc& doc) {
    services_.erase(&doc);
}

void OpcServices::onWrite(TagHandle tag) {
    for (auto& [doc, s] : services_)
        if (s->onWrite(tag))
            return;
}

CTavikDoc* OpcServices::documentInSlot(int slot) const {
    for (const auto& [doc, s] : services_)
        if (s->slot == slot && slot != kNoSlot)
            return &s->document();
    return nullptr;
}

bool mayCloseServedWindow(const OpcServices& services, const CTavikDoc& doc, AppPrompter& prompter,
                          Session& session,
                          const std::function<void(std::chrono::milliseconds)>& wait) {
    if (!session.hasRight(right::kCloseWindow) || !services.inService(doc))
        return true;
    session.audit(security::AuditEvent::CLOSE_DOC, {doc.path().string()});
    OpcToolkit& toolkit = services.toolkit();
    if (toolkit.NumbrClientConnections() <= 0)
        return true;
    if (prompter.message(appText(app::text::kOpcClientsConnected), Buttons::YesNoCancel,
                         Icon::Exclamation, 1) != Answer::Yes)
        return false;
    toolkit.RequestDisconnect();
    wait(kDisconnectWait);
    return true;
}

// ---- declaration -------------------------------------------------------------------

std::string slotSection(int slot) {
    return std::string(kOpcSection) + "\\ProgDoc" + std::to_string(slot);
}

OpcSlot readSlot(const settings::SettingsStore& machine, int slot) {
    const std::string section = slotSection(slot);
    OpcSlot s;
    s.path = machine.readString(section, "Path", "");
    s.sendProg = machine.readInt(section, "SendProg", -1);
    s.chansIn = machine.readString(section, "ChansIn", "");
    s.period = machine.readInt(section, "Period", 0);
    s.stopOnClose = machine.readInt(section, "StopOnClose", 1);
    return s;
}

OpcServiceParams serviceParamsFor(const OpcDocService& service,
                                  const settings::SettingsStore& machine) {
    OpcServiceParams p;
    p.period = service.period;
    p.mode = service.mode;
    p.stopOnClose = service.stopOnClose != 0;
    p.startDelay = machine.readInt(kOpcSection, "StartDelay", 5) & 0xFF;
    p.published = service.published();
    return p;
}

bool defineService(OpcDocService& service, settings::SettingsStore& machine, AppPrompter& prompter,
                   Session& session, const std::function<bool(OpcServiceParams&)>& edit) {
    CTavikDoc& doc = service.document();
    if (!doc.communicationsOpen)
        return false;
    OpcServiceParams p = serviceParamsFor(service, machine);
    if (!edit(p))
        return false;
    service.period = p.period;
    service.mode = p.mode;
    service.stopOnClose = p.stopOnClose ? 1 : 0;
    if (doc.path().empty()) {
        prompter.message(opcText(text::kSaveBeforeDeclaring), Buttons::Ok, Icon::Exclamation);
        return false;
    }
    int slot = kNoSlot;
    for (int n = 0; n < kOpcSlots && slot == kNoSlot; ++n)
        if (machine.readString(slotSection(n), "Path", "").empty())
            slot = n;
    if (slot == kNoSlot) {
        prompter.message(opcMessage(text::kTooManyDocuments, {std::to_string(kOpcSlots)}),
                         Buttons::Ok, Icon::Exclamation);
        return false;
    }
    const std::string section = slotSection(slot);
    const std::string chansIn = formatChansIn(p.published);
    machine.writeString(section, "Path", doc.path().string());
    machine.writeInt(kOpcSection, "StartDelay", p.startDelay & 0xFF);
    machine.writeInt(section, "SendProg", p.mode);
    machine.writeString(section, "ChansIn", chansIn);
    machine.writeInt(section, "Period", p.period);
    machine.writeInt(section, "StopOnClose", p.stopOnClose ? 1 : 0);
    session.audit(security::AuditEvent::DOC_OPC_ADDED, {doc.path().string()});
    service.slot = slot;
    service.start(chansIn, p.mode, true);
    return true;
}

bool startDeclaredService(OpcDocService& service, int slot,
                          const settings::SettingsStore& machine) {
    service.slot = slot;
    const OpcSlot s = readSlot(machine, slot);
    if (s.sendProg == -1 || s.period == 0)
        return false;
    if (failed(service.operations().openCommunications()))
        return false;
    service.period = static_cast<uint16_t>(s.period);
    service.mode = s.sendProg;
    service.stopOnClose = static_cast<uint32_t>(s.stopOnClose);
    if (service.start(s.chansIn, s.sendProg, false))
        return true;
    service.operations().closeCommunications(false);
    return false;
}

}  // namespace qd40::app::opc
