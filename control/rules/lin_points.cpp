#include "control/rules/lin_points.h"

#include <utility>

#include "control/rules/value_rules.h"

namespace qd40::rules {

using cfg::LinPoint;

LinPointsEditor LinPointsEditor::fromChannel(cfg::ConstChannelCfg ch) {
    return LinPointsEditor(ch.linPoints());
}

std::optional<RuleMessage> LinPointsEditor::add(LinPoint p) {
    if (points_.size() >= size_t(cfg::kMaxLinPoints))
        return ruleMessage(ctl::kTxtMaxPoints, cfg::kMaxLinPoints);
    points_.push_back(p);
    sortByX();
    return std::nullopt;
}

// Passes over neighbouring pairs, swapping a pair whose first X is greater,
// until a pass swaps nothing: equal X values keep their order.
void LinPointsEditor::sortByX() {
    bool swapped = true;
    while (swapped) {
        swapped = false;
        for (size_t i = 0; i + 1 < points_.size(); ++i) {
            if (points_[i].x > points_[i + 1].x) {
                std::swap(points_[i], points_[i + 1]);
                swapped = true;
            }
        }
    }
}

bool LinPointsEditor::modify(size_t i, LinPoint p) {
    if (i >= points_.size())
        return false;
    points_[i] = p;
    return true;
}

bool LinPointsEditor::remove(size_t i) {
    if (i >= points_.size())
        return false;
    points_.erase(points_.begin() + long(i));
    return true;
}

std::optional<RuleMessage> LinPointsEditor::paste(std::span<const LinPoint> points) {
    for (const LinPoint& p : points) {
        if (points_.size() >= size_t(cfg::kMaxLinPoints))
            return ruleMessage(ctl::kTxtMaxPoints, cfg::kMaxLinPoints);
        points_.push_back(p);
    }
    return std::nullopt;
}

std::optional<RuleMessage> LinPointsEditor::validate() const {
    if (points_.size() == 1)
        return ruleMessage(ctl::kTxtMinPoints, cfg::kMinLinPoints);
    for (size_t i = 0; i < points_.size(); ++i)
        for (size_t j = i + 1; j < points_.size(); ++j)
            if (points_[i].x == points_[j].x)
                return ruleMessage(ctl::kTxtSameX);
    return std::nullopt;
}

std::string LinPointsEditor::copyText(char decimalSep) const {
    std::string out;
    for (const LinPoint& p : points_)
        out += formatFloat(p.x, decimalSep) + "\t" + formatFloat(p.y, decimalSep) + "\r\n";
    return out;
}

std::vector<LinPoint> LinPointsEditor::parsePasteText(std::string_view text, char decimalSep) {
    std::vector<LinPoint> pts;
    while (!text.empty()) {
        const size_t eol = text.find('\n');
        std::string_view line = text.substr(0, eol);
        text = eol == std::string_view::npos ? std::string_view() : text.substr(eol + 1);
        const size_t tab = line.find('\t');
        if (tab == std::string_view::npos)
            continue;
        const auto x = parseFloatValue(line.substr(0, tab), decimalSep);
        const auto y = parseFloatValue(line.substr(tab + 1), decimalSep);
        if (x && y)
            pts.push_back({*x, *y});
    }
    return pts;
}

}  // namespace qd40::rules
