#include "app/core/views/channel_list.h"

#include "app/core/app_strings.h"
#include "common/config/cfg_layout.h"

namespace qd40::app::views {

namespace {

std::string number(float v) {
    return strings::format("%g", static_cast<double>(v));
}

std::string onOff(bool on) {
    return appText(on ? text::kOn : text::kOff);
}

// The wiring text: Vdc, Vac, current and thermocouple channels do not tell
// 2 from 3 wires.
std::string wiringText(int function, int connection) {
    const bool twoOrThree = function == cfg::kFctVdc || function == cfg::kFctVac ||
                            function == cfg::kFctCurrent || function == cfg::kFctTc;
    if (twoOrThree && (connection == cfg::kConn2Wires || connection == cfg::kConn3Wires))
        return appText(text::kTwoOrThreeWires);
    return appText(text::kOneWire + connection);
}

std::string linearisationText(const cfg::ConstChannelCfg& ch) {
    std::string out;
    for (const cfg::LinPoint& p : ch.linPoints()) {
        if (!out.empty())
            out += ' ';
        out += number(p.x) + ";" + number(p.y);
    }
    return out;
}

}  // namespace

std::optional<std::vector<ChannelRow>> channelListRows(ctl::OvixQd40Ctl& control) {
    const ctl::CtlState& st = control.state();
    const cfg::ConstFullCfgView full(st.cfg);
    const cfg::ConstChansResCfg res(st.chansRes);
    std::vector<ChannelRow> rows;
    for (int n = 1; n <= kChannelListRows; ++n) {
        const cfg::ConstChannelCfg ch = full.channel(n);
        const auto fct = static_cast<int16_t>(ch.function());
        const auto rge = static_cast<int16_t>(ch.range());
        std::string mnemo, fctText, rgeText, unit;
        if (failed(control.GetChanMnemo(static_cast<int16_t>(n), &mnemo)) ||
            failed(control.Fct2str(fct, &fctText)) || failed(control.Rge2str(fct, rge, &rgeText)) ||
            failed(control.GetChanUnit(static_cast<int16_t>(n), &unit)))
            return std::nullopt;
        if (unit.empty() && failed(control.GetRgeDefUnit(fct, rge, &unit)))
            return std::nullopt;

        ChannelRow row;
        row.reserve(kChannelListColumns);
        row.push_back(strings::format("%02d", n));
        row.push_back(mnemo);
        row.push_back(fctText);
        row.push_back(rgeText);
        row.push_back(wiringText(fct, ch.connection()));
        row.push_back(onOff(ch.cutOffTest()));
        row.push_back(onOff(ch.rjc()));
        row.push_back(appText(text::kAccuracyHigh + ch.speed()));
        row.push_back(unit);
        row.push_back(strings::format("%d", ch.delayMs()));
        row.push_back(ch.defaultValueIsMax() ? appText(text::kMax) : number(ch.defaultValue()));
        row.push_back(number(ch.deadBandRel() / 100.0f) + "% + " + number(ch.deadBandAbs()));
        const uint32_t bit = 1u << (n - 1);
        for (int k = 1; k <= cfg::kLimits; ++k) {
            const cfg::ConstLimitCfg limit = ch.limit(k);
            if (!limit.inUse()) {
                row.insert(row.end(), 6, std::string());
                continue;
            }
            row.push_back(number(limit.level()));
            row.push_back(appText(limit.high() ? text::kHigh : text::kLow));
            row.push_back(number(limit.hysteresis()));
            row.push_back(strings::format("%d", limit.counter()));
            row.push_back(onOff(full.globalAlarmMask(1, k) & bit));
            row.push_back(onOff(full.globalAlarmMask(2, k) & bit));
        }
        const uint16_t decimals = res.shownResol(n);
        row.push_back(decimals == cfg::ConstChansResCfg::kAuto ? appText(text::kResolutionAuto)
                                                               : strings::format("%d", decimals));
        row.push_back(linearisationText(ch));
        rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<std::string> channelListColumns() {
    std::vector<std::string> titles;
    const std::string all = appText(text::kChannelColumns);
    size_t start = 0;
    while (start <= all.size()) {
        const size_t tab = all.find('\t', start);
        const size_t end = tab == std::string::npos ? all.size() : tab;
        titles.push_back(all.substr(start, end - start));
        start = end + 1;
    }
    return titles;
}

ChannelListModel::ChannelListModel(QObject* parent) : QAbstractTableModel(parent) {
    for (const std::string& t : channelListColumns())
        titles_.push_back(QString::fromStdString(t));
}

bool ChannelListModel::setItem(CTavikItem* item) {
    item_ = item;
    return refresh();
}

bool ChannelListModel::refresh() {
    beginResetModel();
    rows_.clear();
    bool ok = true;
    if (item_) {
        auto rows = channelListRows(item_->control());
        ok = rows.has_value();
        if (ok)
            rows_ = std::move(*rows);
    }
    endResetModel();
    return ok;
}

int ChannelListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ChannelListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(titles_.size());
}

QVariant ChannelListModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount() ||
        index.column() >= columnCount())
        return {};
    return QString::fromStdString(rows_[size_t(index.row())][size_t(index.column())]);
}

QVariant ChannelListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 ||
        section >= columnCount())
        return {};
    return titles_[size_t(section)];
}

}  // namespace qd40::app::views
