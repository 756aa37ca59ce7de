#include "control/pages/chans_page_model.h"

#include "common/config/code_tables.h"
#include "control/pages/page_strings.h"
#include "control/rules/channel_rules.h"
#include "control/rules/value_rules.h"
#include "platform/strings.h"

namespace qd40::pages {

namespace {
using cfg::FullCfgView;

constexpr size_t kChannelsBytes = cfg::kChannelCfgSize * cfg::kChannels;
constexpr size_t kMasksBytes = cfg::kFullCfgSize - FullCfgView::kGlobalAlarm1Offset;
}  // namespace

ChansPageModel::ChansPageModel(char decimalSep)
    : PageModel({{Blob::Cfg, FullCfgView::kChannelsOffset, kChannelsBytes},
                 {Blob::Cfg, FullCfgView::kGlobalAlarm1Offset, kMasksBytes},
                 {Blob::ChansRes, 0, cfg::kChansResCfgSize},
                 {Blob::ChansExt, 0, cfg::kChansExtCfgSize}},
                decimalSep) {}

std::vector<std::string> ChansPageModel::channelTexts() {
    std::vector<std::string> out;
    for (int n = 1; n <= cfg::kChannels; ++n)
        out.push_back(strings::format("%.2d", n));
    return out;
}

void ChansPageModel::load() {
    current_ = first_ >= 1 && first_ <= cfg::kChannels ? first_ : 1;
    loadChannel();
}

void ChansPageModel::loadChannel() {
    const char sep = decimalSeparator();
    const cfg::ConstChannelCfg ch = cfg().channel(current_);
    fields_.mnemonic = chansExt().mnemonic(current_);
    fields_.unit = chansExt().unit(current_);
    fields_.delay = std::to_string(ch.delayMs());
    fields_.defaultValue = rules::formatDefaultValue(ch.defaultValue(), sep);
    fields_.deadBandPercent = formatNumber(rules::deadBandRelPercent(ch.deadBandRel()), sep);
    fields_.deadBandAbsolute = rules::formatFloat(ch.deadBandAbs(), sep);
    const uint32_t bit = 1u << (current_ - 1);
    for (int k = 1; k <= cfg::kLimits; ++k) {
        const cfg::ConstLimitCfg l = ch.limit(k);
        LimitRow& row = fields_.limits[size_t(k - 1)];
        row.inUse = l.inUse();
        row.level = rules::formatFloat(l.level(), sep);
        row.high = l.high();
        row.hysteresis = rules::formatFloat(l.hysteresis(), sep);
        row.counter = std::to_string(l.counter());
        row.globalAlarm1 = (cfg().globalAlarmMask(1, k) & bit) != 0;
        row.globalAlarm2 = (cfg().globalAlarmMask(2, k) & bit) != 0;
    }
}

std::optional<std::string> ChansPageModel::store() {
    const char sep = decimalSeparator();
    const ChannelFields& f = fields_;
    long delay = 0;
    if (auto bad = readInteger(f.delay, 0, 65535, delay))
        return bad;
    const auto defaultValue = rules::parseDefaultValue(f.defaultValue, sep);
    if (!defaultValue)
        return strings::formatText(pageText(ptext::kNotANumber), f.defaultValue.c_str());
    const auto pct = rules::parseNumber(f.deadBandPercent, sep);
    const auto rel = pct ? rules::deadBandRelFromPercent(*pct) : std::nullopt;
    if (!rel)
        return strings::formatText(pageText(ptext::kOutOfRange), f.deadBandPercent.c_str(), "0",
                                   "100");
    const auto absValue = rules::parseNumber(f.deadBandAbsolute, sep);
    const auto abs = absValue ? rules::deadBandAbsFromValue(*absValue) : std::nullopt;
    if (!abs)
        return strings::formatText(pageText(ptext::kNotANumber), f.deadBandAbsolute.c_str());
    struct LimitValues {
        float level = 0, hyst = 0;
        long counter = 0;
    };
    std::array<LimitValues, cfg::kLimits> limits;
    for (size_t i = 0; i < limits.size(); ++i) {
        const LimitRow& row = f.limits[i];
        if (auto bad = readFloat(row.level, sep, limits[i].level))
            return bad;
        if (auto bad = readFloat(row.hysteresis, sep, limits[i].hyst))
            return bad;
        if (auto bad = readInteger(row.counter, 0, 255, limits[i].counter))
            return bad;
    }

    const cfg::ChannelCfg ch = cfg().channel(current_);
    ch.setDelayMs(static_cast<uint16_t>(delay));
    ch.setDefaultValue(*defaultValue);
    ch.setDeadBandRel(*rel);
    ch.setDeadBandAbs(*abs);
    const uint32_t bit = 1u << (current_ - 1);
    for (int k = 1; k <= cfg::kLimits; ++k) {
        const LimitRow& row = f.limits[size_t(k - 1)];
        const LimitValues& v = limits[size_t(k - 1)];
        const cfg::LimitCfg l = ch.limit(k);
        l.setInUse(row.inUse);
        l.setLevel(v.level);
        l.setHigh(row.high);
        l.setHysteresis(v.hyst);
        l.setCounter(rules::counterToStore(v.counter));
        for (int g = 1; g <= cfg::kGlobalAlarms; ++g) {
            const bool on = g == 1 ? row.globalAlarm1 : row.globalAlarm2;
            const uint32_t mask = cfg().globalAlarmMask(g, k);
            cfg().setGlobalAlarmMask(g, k, on ? mask | bit : mask & ~bit);
        }
    }
    chansExt().setMnemonic(current_, f.mnemonic.substr(0, rules::kMaxMnemonicLength));
    chansExt().setUnit(current_, f.unit.substr(0, rules::kMaxUnitLength));
    rules::applyMultiWireRule(cfg(), current_);
    return std::nullopt;
}

std::optional<std::string> ChansPageModel::selectChannel(int n) {
    if (n < 1 || n > cfg::kChannels || n == current_)
        return std::nullopt;
    if (auto bad = store())
        return bad;
    current_ = n;
    loadChannel();
    return std::nullopt;
}

int ChansPageModel::function() const {
    return cfg().channel(current_).function();
}
int ChansPageModel::range() const {
    return cfg().channel(current_).range();
}
int ChansPageModel::connection() const {
    return cfg().channel(current_).connection();
}
int ChansPageModel::speed() const {
    return cfg().channel(current_).speed();
}
bool ChansPageModel::tests() const {
    return cfg().channel(current_).cutOffTest();
}
bool ChansPageModel::rjc() const {
    return cfg().channel(current_).rjc();
}
std::vector<int> ChansPageModel::functionsOffered() const {
    return rules::functionsOffered(cfg(), current_);
}
std::vector<int> ChansPageModel::connectionsOffered() const {
    return rules::connectionsOffered(current_, function());
}
int ChansPageModel::rangeCount() const {
    return cfg::rangeCount(function());
}
bool ChansPageModel::speedOffered() const {
    return rules::speedOffered(function());
}
bool ChansPageModel::testsAllowed() const {
    return rules::cutOffTestAllowed(function(), connection());
}
bool ChansPageModel::rjcAllowed() const {
    return rules::rjcAllowed(function());
}

void ChansPageModel::setFunction(int fct) {
    if (fct == function())
        return;
    rules::changeFunction(cfg(), chansExt(), current_, fct);
    fields_.unit = chansExt().unit(current_);
    setChanged();
}

void ChansPageModel::setRange(int rge) {
    if (rge == range())
        return;
    rules::changeRange(cfg(), chansExt(), current_, rge);
    fields_.unit = chansExt().unit(current_);
    setChanged();
}

void ChansPageModel::setConnection(int connection) {
    if (connection == this->connection())
        return;
    rules::changeConnection(cfg(), current_, connection);
    setChanged();
}

void ChansPageModel::setSpeed(int speed) {
    cfg().channel(current_).setSpeed(speed);
    setChanged();
}

void ChansPageModel::setTests(bool on) {
    cfg().channel(current_).setCutOffTest(on);
    setChanged();
}

void ChansPageModel::setRjc(bool on) {
    cfg().channel(current_).setRjc(on);
    setChanged();
}

LinPointsModel ChansPageModel::linearisation() const {
    const cfg::ConstChansResCfg res(copy(Blob::ChansRes));
    return LinPointsModel(current_, cfg().channel(current_).linPoints(), res.shownResol(current_),
                          decimalSeparator());
}

void ChansPageModel::acceptLinearisation(const LinPointsModel& dialog) {
    cfg().channel(dialog.channel()).setLinPoints(dialog.points());
    chansRes().setResol(dialog.channel(), static_cast<uint16_t>(dialog.resolution()));
    setChanged();
}

// ---- linearisation points ---------------------------------------------------------------

LinPointsModel::LinPointsModel(int channel, std::vector<cfg::LinPoint> points, uint16_t resolution,
                               char decimalSep)
    : channel_(channel),
      points_(std::move(points)),
      resolution_(resolution > cfg::ChansResCfg::kAuto ? cfg::ChansResCfg::kAuto : resolution),
      sep_(decimalSep) {}

std::string LinPointsModel::title() const {
    return rules::controlText(166) + " " + std::to_string(channel_);
}

std::vector<std::string> LinPointsModel::resolutionTexts() const {
    std::vector<std::string> out;
    for (int decimals = 0; decimals < cfg::ChansResCfg::kAuto; ++decimals) {
        std::string t = "\xC2\xB1" + std::string(size_t(7 - decimals), '#');
        if (decimals > 0)
            t += sep_ + std::string(size_t(decimals), '#');
        out.push_back(t);
    }
    out.push_back(rules::controlText(174));
    return out;
}

const std::vector<cfg::LinPoint>& LinPointsModel::points() const {
    return points_.points();
}

std::string LinPointsModel::xText(size_t i) const {
    return rules::formatFloat(points()[i].x, sep_);
}

std::string LinPointsModel::yText(size_t i) const {
    return rules::formatFloat(points()[i].y, sep_);
}

std::optional<std::string> LinPointsModel::add(const std::string& x, const std::string& y) {
    cfg::LinPoint p;
    if (auto bad = readFloat(x, sep_, p.x))
        return bad;
    if (auto bad = readFloat(y, sep_, p.y))
        return bad;
    if (auto m = points_.add(p))
        return m->text;
    return std::nullopt;
}

std::optional<std::string> LinPointsModel::modify(size_t i, const std::string& x,
                                                  const std::string& y) {
    cfg::LinPoint p;
    if (auto bad = readFloat(x, sep_, p.x))
        return bad;
    if (auto bad = readFloat(y, sep_, p.y))
        return bad;
    points_.modify(i, p);
    return std::nullopt;
}

bool LinPointsModel::remove(size_t i) {
    return points_.remove(i);
}

void LinPointsModel::clear() {
    points_.clear();
}

std::optional<std::string> LinPointsModel::copyAll(PageClipboard& clipboard) const {
    switch (clipboard.setText(points_.copyText(sep_))) {
        case PageClipboard::SetResult::Ok:
            return std::nullopt;
        case PageClipboard::SetResult::CannotOpen:
            return rules::controlText(168);
        case PageClipboard::SetResult::CannotEmpty:
            return rules::controlText(169);
    }
    return std::nullopt;
}

std::optional<std::string> LinPointsModel::pasteAll(PageClipboard& clipboard) {
    const auto text = clipboard.text();
    if (!text)
        return rules::controlText(168);
    if (auto m = points_.paste(rules::LinPointsEditor::parsePasteText(*text, sep_)))
        return m->text;
    return std::nullopt;
}

std::optional<std::string> LinPointsModel::validate() const {
    if (auto m = points_.validate())
        return m->text;
    return std::nullopt;
}

}  // namespace qd40::pages
