// The linearisation points of a channel while they are edited: add with the
// neighbour-swap sort, modify, delete, paste, copy text, and validation.
#pragma once
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/config/cfg_layout.h"
#include "control/rules/rule_message.h"

namespace qd40::rules {

class LinPointsEditor {
public:
    LinPointsEditor() = default;
    explicit LinPointsEditor(std::vector<cfg::LinPoint> points) : points_(std::move(points)) {}
    // The points in use of a channel record.
    static LinPointsEditor fromChannel(cfg::ConstChannelCfg ch);

    const std::vector<cfg::LinPoint>& points() const { return points_; }

    // Appends the point and sorts by X; refused with 167 "%d points as a
    // maximum" (11) when 11 points exist.
    std::optional<RuleMessage> add(cfg::LinPoint p);
    // Replace or delete point i where it stands; false when i is not a point.
    bool modify(size_t i, cfg::LinPoint p);
    bool remove(size_t i);
    void clear() { points_.clear(); }
    // Appends the points in the given order, without sorting; stops with 167
    // at the twelfth, keeping those already appended.
    std::optional<RuleMessage> paste(std::span<const cfg::LinPoint> points);

    // Accepting: 112 "%d points as a minimum" (2) for exactly one point, 170
    // when two points have the same X; none and two or more distinct are fine.
    std::optional<RuleMessage> validate() const;

    // Stores the count and the points into the record (unused entries zero).
    void storeTo(cfg::ChannelCfg ch) const { ch.setLinPoints(points_); }

    // Clipboard text: per point "X<TAB>Y<CR><LF>".
    std::string copyText(char decimalSep = '.') const;
    // Reads clipboard text: each line split at its first TAB into X and Y,
    // both float values. Lines that do not hold two such numbers are skipped.
    static std::vector<cfg::LinPoint> parsePasteText(std::string_view text, char decimalSep = '.');

private:
    void sortByX();
    std::vector<cfg::LinPoint> points_;
};

}  // namespace qd40::rules
