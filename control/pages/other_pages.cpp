#include "control/pages/other_pages.h"

#include <charconv>

#include "control/pages/page_strings.h"
#include "control/rules/min_periods.h"
#include "control/rules/period_mem_rules.h"
#include "control/rules/rule_message.h"
#include "ovixqd40_version.h"
#include "platform/strings.h"

namespace qd40::pages {

namespace {
using cfg::FullCfgView;

// A count as typed: the number, or nullopt when it is not one.
std::optional<long> countOf(const std::string& text) {
    std::string t = text;
    t.erase(0, t.find_first_not_of(' '));
    t.erase(t.find_last_not_of(' ') + 1);
    long v = 0;
    const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
    if (t.empty() || ec != std::errc() || end != t.data() + t.size())
        return std::nullopt;
    return v;
}
}  // namespace

uint32_t programmedChannels(cfg::ConstFullCfgView cfg) {
    uint32_t mask = 0;
    for (int n = 1; n <= cfg::kChannels; ++n)
        if (cfg.channel(n).function() != cfg::kFctNotProg)
            mask |= 1u << (n - 1);
    return mask;
}

// ---- acquisition ---------------------------------------------------------------------

AcqPageModel::AcqPageModel(char decimalSep)
    : PageModel({{Blob::Cfg, FullCfgView::kAcqWordsOffset, FullCfgView::kAcqWordsSize}},
                decimalSep) {}

void AcqPageModel::load() {
    acqCount = std::to_string(cfg().acqPeriod());
    auxCount = std::to_string(cfg().auxPeriod());
}

void AcqPageModel::setScanned(int n, bool on) {
    const uint32_t bit = 1u << (n - 1);
    if (on && !(enabledChannels() & bit))
        return;
    // An edit leaves the channels that are not programmed unscanned.
    cfg().setChansToScan(on ? scanMask() | bit : scanMask() & ~bit);
    setChanged();
}

void AcqPageModel::checkAll() {
    cfg().setChansToScan(enabledChannels());
    setChanged();
}

void AcqPageModel::checkNone() {
    cfg().setChansToScan(0);
    setChanged();
}

void AcqPageModel::setExecMode(int v) {
    cfg().setExecMode(v);
    setChanged();
}
void AcqPageModel::setAcqOpening(int v) {
    cfg().setAcqOpening(v);
    setChanged();
}
void AcqPageModel::setCutOffSchedule(int v) {
    cfg().setCutOffSchedule(v);
    setChanged();
}
void AcqPageModel::setRefJunctionSchedule(int v) {
    cfg().setRefJunctionSchedule(v);
    setChanged();
}
void AcqPageModel::setLineResSchedule(int v) {
    cfg().setLineResSchedule(v);
    setChanged();
}
void AcqPageModel::setPeriodUnit(int v) {
    cfg().setPeriodUnit(v);
    setChanged();
}

std::optional<std::string> AcqPageModel::storeCounts(FullCfgView view) const {
    const auto acq = countOf(acqCount);
    const auto aux = countOf(auxCount);
    if (!acq)
        return strings::formatText(pageText(ptext::kNotANumber), acqCount.c_str());
    if (!aux)
        return strings::formatText(pageText(ptext::kNotANumber), auxCount.c_str());
    const auto clamp = [](long v) {
        return static_cast<uint16_t>(v < 0                        ? 0
                                     : v > rules::kMaxPeriodCount ? rules::kMaxPeriodCount
                                                                  : v);
    };
    view.setAcqPeriod(clamp(*acq));
    view.setAuxPeriod(clamp(*aux));
    return std::nullopt;
}

std::string AcqPageModel::minimumText() const {
    cfg::FullCfgData scratch;
    std::copy(copy(Blob::Cfg).begin(), copy(Blob::Cfg).end(), scratch.begin());
    storeCounts(FullCfgView(scratch));
    return rules::minAcqPeriodText(
        rules::computeMinPeriods(cfg::ConstFullCfgView(scratch)).minAcqPeriodMs);
}

std::optional<std::string> AcqPageModel::store() {
    const auto acq = countOf(acqCount);
    const auto aux = countOf(auxCount);
    countOutOfRange_ = (acq && (*acq < 0 || *acq > rules::kMaxPeriodCount)) ||
                       (aux && (*aux < 0 || *aux > rules::kMaxPeriodCount));
    return storeCounts(cfg());
}

std::vector<std::string> AcqPageModel::warnings() {
    std::vector<std::string> out;
    if (countOutOfRange_)
        out.push_back(rules::ruleMessage(528, 0L, rules::kMaxPeriodCount).text);
    for (const rules::RuleMessage& m : rules::periodWarnings(cfg()))
        out.push_back(m.text);
    return out;
}

// ---- global --------------------------------------------------------------------------

GlobPageModel::GlobPageModel(char decimalSep) : PageModel({{Blob::Cfg, 0, 2}}, decimalSep) {}

void GlobPageModel::setExternalRefJunction(bool v) {
    cfg().setExternalRefJunction(v);
    setChanged();
}
void GlobPageModel::setTrigReverse(bool v) {
    cfg().setTrigReverse(v);
    setChanged();
}
void GlobPageModel::setRelayModbus(int r, bool v) {
    cfg().setRelayModbus(r, v);
    setChanged();
}
void GlobPageModel::setRelayReverse(int r, bool v) {
    cfg().setRelayReverse(r, v);
    setChanged();
}

// ---- e-mail ------------------------------------------------------------------------------

MailPageModel::MailPageModel(char decimalSep)
    : PageModel({{Blob::Email, 0, cfg::kEmailCfgSize}}, decimalSep) {}

void MailPageModel::setRecipient(int i, const std::string& v) {
    email().setRecipient(i, v.substr(0, kMaxRecipient));
    setChanged();
}

void MailPageModel::setMessage(const std::string& v) {
    email().setMessage(v.substr(0, kMaxMessage));
    setChanged();
}

bool MailPageModel::condition(int bit) const {
    return bit == 2 ? email().onMemoryEvent() : email().onGlobalAlarm(bit + 1);
}

void MailPageModel::setCondition(int bit, bool on) {
    if (bit == 2)
        email().setOnMemoryEvent(on);
    else
        email().setOnGlobalAlarm(bit + 1, on);
    setChanged();
}

// ---- about ---------------------------------------------------------------------------------

std::string versionLine(const std::string& name, const std::string& version, uint32_t ms,
                        uint32_t ls) {
    return name + " " + rules::controlText(101) + " " + version + " (" +
           strings::format("%d,%d,%d,%d", int(ms >> 16), int(ms & 0xFFFF), int(ls >> 16),
                           int(ls & 0xFFFF)) +
           ")";
}

AboutPageModel::AboutPageModel(std::function<std::optional<ServerVersion>()> server)
    : PageModel({}), server_(std::move(server)) {}

std::string AboutPageModel::titleLine() const {
    return pageText(ptext::kAboutControl);
}

std::string AboutPageModel::controlLine() const {
    namespace v = version::ovixqd40;
    return versionLine(v::kProductName, v::kProductVersion, v::kFileVersionMS, v::kFileVersionLS);
}

std::string AboutPageModel::legalText() const {
    return version::ovixqd40::kLegalCopyright;
}

std::string AboutPageModel::specialBuild() const {
    return version::ovixqd40::kSpecialBuild;
}

std::string AboutPageModel::serverLine() const {
    const auto v = server_ ? server_() : std::nullopt;
    if (!v)
        return pageText(ptext::kServerUnavailable);
    return versionLine("OvixQd40Svr", v->version, v->ms, v->ls);
}

}  // namespace qd40::pages
