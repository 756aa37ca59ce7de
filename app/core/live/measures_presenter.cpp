#include "app/core/live/measures_presenter.h"

#include <algorithm>

#include "app/core/app_strings.h"
#include "app/core/doc_operations.h"
#include "app/records/value_text.h"
#include "common/ansi_text.h"
#include "common/dates.h"
#include "common/le_bytes.h"
#include "common/raw_record.h"

namespace qd40::app::live {

namespace {
// The cycle status: milliseconds, seconds since 2000, error mask, the four
// alarm masks, then the values and the error codes of the 30 channels.
constexpr size_t kCycleMs = 0, kCycleSeconds = 2, kCycleErrorMask = 10, kCycleAlarmMasks = 14,
                 kCycleValues = 30, kCycleErrors = 150, kCycleSize = 210;
// A recording block's memory block record: the first u32 marks it, the
// second is the mask of the channels recorded.
constexpr uint32_t kRecordingBlockMark = 0xFFFF;
constexpr double kMsPerDay = 86400000.0;
// 1970-01-01 as an OLE automation date.
constexpr double kOleDateOf1970 = 25569.0;

void putRecord(std::vector<uint8_t>& out, uint16_t word0, uint16_t word1, uint32_t payload) {
    const size_t at = out.size();
    out.resize(at + module::kRawRecordSize);
    le::setU16(out, at, word0);
    le::setU16(out, at + 2, word1);
    le::setU32(out, at + 4, payload);
}
}  // namespace

int CycleData::alarmFlags(int channel) const {
    int flags = 0;
    for (int k = 0; k < 4; ++k)
        if (alarmMasks[size_t(k)] >> (channel - 1) & 1)
            flags |= 1 << k;
    return flags;
}

std::optional<CycleData> parseCycle(std::span<const uint8_t> status,
                                    std::span<const uint8_t> delays) {
    if (status.size() < kCycleSize)
        return std::nullopt;
    CycleData c;
    c.ms = le::u16(status, kCycleMs);
    c.seconds = le::u32(status, kCycleSeconds);
    c.errorMask = le::u32(status, kCycleErrorMask);
    for (size_t k = 0; k < 4; ++k)
        c.alarmMasks[k] = le::u32(status, kCycleAlarmMasks + 4 * k);
    const bool haveDelays = delays.size() >= 2 * size_t(CycleData::kChannels);
    for (size_t n = 0; n < size_t(CycleData::kChannels); ++n) {
        c.values[n] = le::f32(status, kCycleValues + 4 * n);
        c.errors[n] = le::i16(status, kCycleErrors + 2 * n);
        c.offsets[n] = haveDelays ? le::u16(delays, 2 * n) : 0;
    }
    return c;
}

std::vector<uint8_t> scanRecords(const CycleData& cycle, uint32_t mask, uint32_t now) {
    std::vector<uint8_t> out;
    const bool timed = cycle.hasTime();
    putRecord(out, uint16_t(int(module::RecordType::Date) << 14), timed ? cycle.ms : 0,
              timed ? cycle.seconds : now);
    for (int ch = 1; ch <= CycleData::kChannels; ++ch) {
        if (!(mask >> (ch - 1) & 1))
            continue;
        const size_t n = size_t(ch - 1);
        const bool error = cycle.inError(ch);
        const auto type =
            error ? module::RecordType::MeasurementError : module::RecordType::Measurement;
        const uint16_t word0 = uint16_t(int(type) << 14 | cycle.alarmFlags(ch) << 8 | ch);
        const uint32_t payload =
            error ? uint32_t(int32_t(cycle.errors[n])) : std::bit_cast<uint32_t>(cycle.values[n]);
        putRecord(out, word0, timed ? cycle.offsets[n] : 0, payload);
    }
    return out;
}

MeasuresPresenter::MeasuresPresenter(CTavikDoc& doc, AppPrompter& prompter, Session& session,
                                     LineEditor editLine, const security::Clock& clock,
                                     platform::Locale locale)
    : doc_(doc),
      prompter_(prompter),
      session_(session),
      editLine_(std::move(editLine)),
      clock_(clock),
      locale_(std::move(locale)) {
    for (const auto& item : doc.items()) {
        Module m{item.get(), std::make_unique<LiveLink>(*item, prompter), 0, {}, nullptr};
        const ctl::CtlState& state = item->control().state();
        m.scanned = cfg::ConstFullCfgView(state.cfg).chansToScan();
        m.names.setConfigSnapshot(state.cfg, state.chansRes, state.ext, 0);
        // The communication of the modules to scan is open while the display
        // lives; one that cannot be opened now is tried again at each scan.
        if (m.scanned != 0)
            m.link->ensureOpen();
        modules_.push_back(std::move(m));
    }
    rebuildLines();
}

std::vector<std::string> MeasuresPresenter::columns() {
    return columnTitles(text::kMeasureColumns);
}

std::string MeasuresPresenter::periodText(int ms) const {
    return records::formatValueText(float(ms) / 1000.0f, records::kAutoResolution,
                                    locale_.decimalSeparator()) +
           appText(text::kSecondsSuffix);
}

void MeasuresPresenter::setScanned(size_t item, uint32_t mask) {
    modules_.at(item).scanned = mask & ((1u << CycleData::kChannels) - 1);
    rebuildLines();
}

std::string MeasuresPresenter::channelName(size_t item, int channel) const {
    const std::string mnemonic = modules_.at(item).names.channelMnemonicAnsi(channel);
    return mnemonic.empty() ? strings::formatText(appText(text::kChannelDefault), channel)
                            : qd40::text::ansiToUtf8(mnemonic);
}

void MeasuresPresenter::rebuildLines() {
    lines_.clear();
    for (size_t i = 0; i < modules_.size(); ++i) {
        const Module& m = modules_[i];
        std::string qd40 = qd40::text::ansiToUtf8(m.names.moduleMnemonicAnsi());
        if (qd40.empty())
            qd40 = m.item->shortDisplayName();
        for (int ch = 1; ch <= CycleData::kChannels; ++ch) {
            if (!(m.scanned >> (ch - 1) & 1))
                continue;
            Line line{i, ch, {}};
            line.texts[kQd40] = qd40;
            line.texts[kChannel] = channelName(i, ch);
            line.texts[kUnit] = qd40::text::ansiToUtf8(m.names.channelUnitAnsi(ch));
            lines_.push_back(std::move(line));
        }
    }
}

void MeasuresPresenter::setContinuous(bool c) {
    continuous_ = c;
    if (!c)
        scanning_ = false;
}

bool MeasuresPresenter::setPeriod(int ms) {
    if (std::find(kPeriodsMs.begin(), kPeriodsMs.end(), ms) == kPeriodsMs.end())
        return false;
    periodMs_ = ms;
    return true;
}

void MeasuresPresenter::startStop() {
    if (!continuous_) {
        tick();
        return;
    }
    scanning_ = !scanning_;
}

std::string MeasuresPresenter::startStopText() const {
    return appText(scanning_ ? text::kStopScanning : text::kStartScanning);
}

void MeasuresPresenter::tick() {
    bool read = false;
    for (size_t i = 0; i < modules_.size(); ++i)
        if (modules_[i].scanned != 0)
            read = scan(modules_[i], i) || read;
    if (read)
        indicator_ = !indicator_;
    sampleCurves();
}

std::string MeasuresPresenter::curvesTitle() const {
    return appText(text::kCurvesTitle);
}

void MeasuresPresenter::sampleCurves() {
    // The curves follow the lines: a channel no longer scanned loses its curve.
    std::vector<Curve> next;
    for (const Line& line : lines_) {
        auto same = std::find_if(curves_.begin(), curves_.end(), [&](const Curve& c) {
            return c.item == line.item && c.channel == line.channel;
        });
        Curve curve =
            same != curves_.end() ? std::move(*same) : Curve{line.item, line.channel, {}, {}};
        curve.label = std::to_string(next.size() + 1) + " " + line.texts[kQd40] + " " +
                      line.texts[kChannel] + " (" + line.texts[kUnit] + ")";
        const double x = (line.date - kOleDateOf1970) * kMsPerDay;
        if (line.measured && (curve.points.empty() || curve.points.back().first < x)) {
            curve.points.emplace_back(x, double(line.value));
            if (curve.points.size() > kCurvePoints)
                curve.points.erase(curve.points.begin());
        }
        next.push_back(std::move(curve));
    }
    curves_ = std::move(next);
}

bool MeasuresPresenter::scan(Module& m, size_t index) {
    ctl::OvixQd40Ctl& c = m.link->control();
    cfg::VariantBlob status, delays;
    if (!m.link->ensureOpen() || !m.link->check(c.GetCyStatus(&status)))
        return false;
    if (failed(c.GetChansDelaysStatus(&delays)))
        delays.data.clear();  // measurements dated at the cycle's time
    const std::optional<CycleData> cycle = parseCycle(status.data, delays.data);
    if (!cycle)
        return m.link->check(E_FAIL);
    const uint32_t now = toSeconds2000(security::dateTimeOf(clock_.now()));
    const std::vector<uint8_t> raw = scanRecords(*cycle, m.scanned, now);
    const size_t count = raw.size() / module::kRawRecordSize;

    // The records as a block keeps them give each line its date.
    m.names.records.clear();
    m.names.AppendRawRecords(raw, count);
    size_t r = 1;
    for (Line& line : lines_) {
        if (line.item != index || r >= m.names.records.size())
            continue;
        const records::_tExplRecord& record = m.names.records[r++];
        const int ch = line.channel;
        line.texts[kValue] =
            records::formatValueText(cycle->values[size_t(ch - 1)], m.names.channelResolution(ch),
                                     locale_.decimalSeparator());
        line.texts[kDate].clear();
        records::appendRecordDateText(line.texts[kDate], record, locale_);
        line.texts[kAlarm].clear();
        for (int limit = 1; limit <= 4; ++limit) {
            if (!(cycle->alarmFlags(ch) >> (limit - 1) & 1))
                continue;
            if (!line.texts[kAlarm].empty())
                line.texts[kAlarm] += ';';
            line.texts[kAlarm] += std::to_string(limit);
        }
        line.texts[kError] =
            cycle->inError(ch) ? std::to_string(cycle->errors[size_t(ch - 1)]) : std::string();
        line.date = record.date() + record.ms() / kMsPerDay;
        line.value = cycle->values[size_t(ch - 1)];
        line.measured = !cycle->inError(ch);
    }
    // A block the document no longer holds is not written.
    if (m.block && std::any_of(doc_.blocks().begin(), doc_.blocks().end(),
                               [&](const auto& b) { return b.get() == m.block; }))
        m.block->AppendRawRecords(raw, count);
    return true;
}

std::string MeasuresPresenter::error() const {
    for (const Module& m : modules_)
        if (m.scanned != 0 && !m.link->error().empty())
            return appMessage(text::kModuleNotAnswering,
                              {m.item->shortDisplayName(), m.link->error()});
    return {};
}

HRESULT MeasuresPresenter::runModules() {
    return DocOperations(doc_, prompter_, session_).runAll();
}

std::string MeasuresPresenter::recordingText() const {
    return appText(recording_ ? text::kDeactivateRecording : text::kActivateRecording);
}

void MeasuresPresenter::toggleRecording() {
    if (!recording_) {
        activateRecording();
        return;
    }
    // The blocks stay in the document.
    for (Module& m : modules_)
        m.block = nullptr;
    recording_ = false;
}

void MeasuresPresenter::activateRecording() {
    bool created = false;
    for (Module& m : modules_) {
        if (m.scanned == 0)
            continue;
        const std::string itemName = m.item->shortDisplayName();
        const std::optional<std::string> name =
            editLine_(appText(text::kBlockNameTitle),
                      strings::formatText(appText(text::kBlockNamePrompt), itemName.c_str()),
                      itemName + strings::format("_0_%d", int(doc_.blocks().size() + 1)));
        if (!name)
            continue;
        const ctl::CtlState& state = m.item->control().state();
        auto block = std::make_unique<records::CExplBloc>();
        block->name = *name;
        // Every resolution automatic; the memory block record marks a
        // recording and names the channels recorded.
        block->setConfigSnapshot(state.cfg, {}, state.ext, 0);
        block->memCfg.fill(0);
        le::setU32(block->memCfg, 0, kRecordingBlockMark);
        le::setU32(block->memCfg, 4, m.scanned);
        m.block = block.get();
        doc_.blocks().push_back(std::move(block));
        created = true;
    }
    if (!created)
        return;
    doc_.setModified();
    recording_ = true;
}

}  // namespace qd40::app::live
