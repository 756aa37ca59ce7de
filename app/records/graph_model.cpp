#include "app/records/graph_model.h"

#include <algorithm>
#include <cmath>

#include "common/config/ansi_text.h"
#include "common/dates.h"

namespace qd40::records {

namespace {
constexpr size_t kProgressEvery = 128;
constexpr double kDaysPerMs = 1.0 / 86400000.0;
// Share of the value span left above and below the curves by automatic scales.
constexpr double kMargin = 0.05;
}  // namespace

// Distinct colours, the first ones the most contrasted.
const std::array<uint32_t, GraphModel::kColors> GraphModel::kColorTable = {
    0x1F77B4, 0xD62728, 0x2CA02C, 0xFF7F0E, 0x9467BD, 0x8C564B, 0xE377C2, 0x17BECF,
    0xBCBD22, 0x7F7F7F, 0x393B79, 0xAD494A, 0x637939, 0xE6550D, 0x7B4173, 0x843C39,
    0xCE6DBD, 0x3182BD, 0x8CA252, 0x636363, 0x6B6ECF, 0xD6616B, 0x31A354, 0xFD8D3C,
    0xA55194, 0xBD9E39, 0x9C9EDE, 0xE7969C, 0x74C476, 0x000000};

bool GraphModel::fill(const CExplBloc& block, IWaitDialog* dialog) {
    curves_.clear();
    history_.clear();
    const uint32_t mask = block.storedChannelMask();
    if (block.records.empty() || mask == 0)
        return true;
    std::array<int, 31> curveOf{};
    curveOf.fill(-1);
    std::vector<std::vector<double>> xs;
    std::vector<std::vector<float>> ys;
    for (int ch = 1; ch <= CExplBloc::kChannels; ++ch) {
        if (!(mask >> (ch - 1) & 1))
            continue;
        GraphCurve c;
        c.channel = ch;
        c.number = static_cast<int>(curves_.size());
        c.module = cfg::ansiToUtf8(block.moduleMnemonicAnsi());
        c.name = cfg::ansiToUtf8(block.channelMnemonicAnsi(ch));
        if (c.name.empty())
            c.name = strings::formatText(recordsText(IDS_CHANNEL_DEFAULT_NAME), ch);
        c.unit = cfg::ansiToUtf8(block.channelUnitAnsi(ch));
        c.color = curveColor(c.number);
        curveOf[size_t(ch)] = c.number;
        curves_.push_back(std::move(c));
    }
    xs.resize(curves_.size());
    ys.resize(curves_.size());
    // Sized first: a block of millions of records would otherwise spend most
    // of its time growing the arrays.
    {
        std::vector<size_t> sizes(curves_.size());
        for (const _tExplRecord& r : block.records) {
            const int ch = r.channel();
            if (ch >= 1 && ch <= CExplBloc::kChannels && curveOf[size_t(ch)] >= 0)
                ++sizes[size_t(curveOf[size_t(ch)])];
        }
        for (size_t c = 0; c < sizes.size(); ++c) {
            xs[c].reserve(sizes[c]);
            ys[c].reserve(sizes[c]);
        }
    }

    const size_t count = block.records.size();
    if (dialog) {
        dialog->create(IDS_GRAPH_PREPARATION_TITLE);
        dialog->setRange(0, int64_t(count));
    }
    const size_t first = block.firstDateRecord();
    const double firstDate = first < count ? block.records[first].date() : 0;
    bool cancelled = false;
    for (size_t i = 0; i < count; ++i) {
        if (dialog && i % kProgressEvery == 0) {
            dialog->setPos(int64_t(i));
            if (dialog->IsCancelled()) {
                cancelled = true;
                break;
            }
        }
        if (i < first)
            continue;  // no date to place it at yet
        const _tExplRecord& r = block.records[i];
        const int type = r.type();
        const int ch = r.channel();
        if ((type != kMeasureRecord && type != kErrorRecord) || ch < 1 ||
            ch > CExplBloc::kChannels || curveOf[size_t(ch)] < 0)
            continue;
        const size_t c = size_t(curveOf[size_t(ch)]);
        xs[c].push_back(std::max(r.date(), firstDate) + r.ms() * kDaysPerMs);
        ys[c].push_back(type == kMeasureRecord ? r.value() : block.channelDefaultValue(ch));
    }
    if (dialog)
        dialog->destroy();
    if (cancelled) {
        curves_.clear();
        return false;
    }
    for (size_t c = 0; c < curves_.size(); ++c)
        curves_[c].points = std::make_unique<SeriesDecimator>(std::move(xs[c]), std::move(ys[c]));
    globalView();
    for (size_t i = 0; i < cursors_.size(); ++i) {
        cursors_[i] = Cursor{};
        moveCursor(int(i), range_.x0 + (range_.x1 - range_.x0) * (i == 0 ? 0.25 : 0.75), 0);
    }
    return true;
}

void GraphModel::assignAxis(int curve, int axis) {
    curves_.at(size_t(curve)).yAxis = axis;
}

void GraphModel::autoX() {
    // X follows the longest curve.
    const GraphCurve* longest = nullptr;
    for (const GraphCurve& c : curves_)
        if (!longest || c.points->size() > longest->points->size())
            longest = &c;
    if (!longest || longest->points->size() == 0)
        return;
    const auto& x = longest->points->x();
    range_.x0 = x.front();
    range_.x1 = x.back() > x.front() ? x.back() : x.front() + 1.0 / 86400.0;
}

void GraphModel::autoY(int axis) {
    float lo = INFINITY, hi = -INFINITY;
    for (const GraphCurve& c : curves_) {
        if (c.yAxis != axis)
            continue;
        const SeriesDecimator& p = *c.points;
        const auto m = p.range(
            p.lowerBound(range_.x0),
            size_t(std::upper_bound(p.x().begin(), p.x().end(), range_.x1) - p.x().begin()));
        if (!m.empty())
            lo = std::min(lo, m.min), hi = std::max(hi, m.max);
    }
    if (!(lo <= hi) || !std::isfinite(lo) || !std::isfinite(hi)) {
        range_.y0[size_t(axis)] = 0;
        range_.y1[size_t(axis)] = 1;
        return;
    }
    const double span = hi > lo ? double(hi) - lo : std::max(1.0, std::abs(double(lo)));
    range_.y0[size_t(axis)] = lo - span * kMargin;
    range_.y1[size_t(axis)] = hi + span * kMargin;
}

void GraphModel::globalView() {
    autoX();
    autoY(0);
    autoY(1);
}

void GraphModel::zoomTo(double x0, double x1, std::optional<std::pair<double, double>> y1Range) {
    if (!(x1 > x0))
        return;
    history_.push_back(range_);
    range_.x0 = x0;
    range_.x1 = x1;
    if (y1Range) {
        range_.y0[0] = std::min(y1Range->first, y1Range->second);
        range_.y1[0] = std::max(y1Range->first, y1Range->second);
    }
}

void GraphModel::zoomAround(double x, double factor) {
    if (!(factor > 0))
        return;
    zoomTo(x - (x - range_.x0) * factor, x + (range_.x1 - x) * factor);
}

void GraphModel::pan(double dx) {
    range_.x0 += dx;
    range_.x1 += dx;
}

bool GraphModel::undoZoom() {
    if (history_.empty())
        return false;
    range_ = history_.back();
    history_.pop_back();
    return true;
}

void GraphModel::lockCursor(int i, int curve) {
    Cursor& c = cursors_.at(size_t(i));
    c.lockedCurve = curve >= 0 && size_t(curve) < curves_.size() ? curve : -1;
    moveCursor(i, c.x, c.y);
}

void GraphModel::moveCursor(int i, double x, double y) {
    Cursor& c = cursors_.at(size_t(i));
    c.x = x;
    c.y = y;
    c.valid = true;
    if (c.lockedCurve < 0)
        return;
    const SeriesDecimator& p = *curves_.at(size_t(c.lockedCurve)).points;
    if (p.size() == 0) {
        c.valid = false;
        return;
    }
    const size_t k = p.nearest(x);
    c.x = p.x()[k];
    c.y = p.y()[k];
}

std::string GraphModel::timeText(double oleDate) {
    const auto dt = fromOleDate(oleDate);
    if (!dt)
        return {};
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", dt->hour, dt->minute, dt->second,
                  dt->millisecond);
    return text;
}

}  // namespace qd40::records
