// The channels page: one channel at a time (the channel list shows 01 to
// 30), its function, range, connection and speed choices built by the
// channel rules, its texts and numbers, and the four limit rows with their
// global alarm boxes. The linearisation points dialog edits the points and
// the resolution of the current channel.
#pragma once
#include <array>
#include <string>
#include <vector>

#include "control/pages/page_model.h"
#include "control/rules/lin_points.h"

namespace qd40::pages {

struct LimitRow {
    bool inUse = false;
    std::string level;
    bool high = true;
    std::string hysteresis;
    std::string counter;
    bool globalAlarm1 = false;
    bool globalAlarm2 = false;
};

// The fields of the current channel that are typed in (the codes live in
// the working copy and change through the setters).
struct ChannelFields {
    std::string mnemonic;
    std::string unit;
    std::string delay;
    std::string defaultValue;
    std::string deadBandPercent;
    std::string deadBandAbsolute;
    std::array<LimitRow, cfg::kLimits> limits;
};

class LinPointsModel;

class ChansPageModel : public PageModel {
public:
    explicit ChansPageModel(char decimalSep = '.');

    // The channel list's texts "01" to "30".
    static std::vector<std::string> channelTexts();
    // The channel the page opens on (the control's DefEditChanNum).
    void setFirstChannel(int n) { first_ = n; }
    int channel() const { return current_; }
    // Stores the current channel, then loads channel n. The message of a
    // field that cannot be read keeps the current channel.
    std::optional<std::string> selectChannel(int n);

    ChannelFields& fields() { return fields_; }
    const ChannelFields& fields() const { return fields_; }

    // Codes of the current channel and the choices the rules offer.
    int function() const;
    int range() const;
    int connection() const;
    int speed() const;
    bool tests() const;
    bool rjc() const;
    std::vector<int> functionsOffered() const;
    std::vector<int> connectionsOffered() const;
    int rangeCount() const;
    bool speedOffered() const;
    bool testsAllowed() const;
    bool rjcAllowed() const;

    // Changing the function rebuilds the range (default), connection, test,
    // compensation and unit; the range sets the unit; the connection the test.
    void setFunction(int fct);
    void setRange(int rge);
    void setConnection(int connection);
    void setSpeed(int speed);
    void setTests(bool on);
    void setRjc(bool on);

    // The dialog on the current channel's points and resolution, and its
    // result written back into the working copies.
    LinPointsModel linearisation() const;
    void acceptLinearisation(const LinPointsModel& dialog);

    std::optional<std::string> store() override;

protected:
    void load() override;

private:
    void loadChannel();

    int first_ = 1;
    int current_ = 1;
    ChannelFields fields_;
};

// The linearisation points dialog.
class LinPointsModel {
public:
    LinPointsModel(int channel, std::vector<cfg::LinPoint> points, uint16_t resolution,
                   char decimalSep = '.');

    // String 166 followed by a blank and the channel number.
    std::string title() const;
    // "±#######" to "±#.#####" with the decimal separator, then "Auto".
    std::vector<std::string> resolutionTexts() const;
    int resolution() const { return resolution_; }
    void setResolution(int decimals) { resolution_ = decimals; }

    const std::vector<cfg::LinPoint>& points() const;
    std::string xText(size_t i) const;
    std::string yText(size_t i) const;

    // Each gives the message to show, or nullopt when done.
    std::optional<std::string> add(const std::string& x, const std::string& y);
    std::optional<std::string> modify(size_t i, const std::string& x, const std::string& y);
    bool remove(size_t i);
    void clear();
    std::optional<std::string> copyAll(PageClipboard& clipboard) const;
    std::optional<std::string> pasteAll(PageClipboard& clipboard);
    // OK: the message that keeps the dialog open, or nullopt.
    std::optional<std::string> validate() const;

    int channel() const { return channel_; }

private:
    int channel_;
    rules::LinPointsEditor points_;
    int resolution_;
    char sep_;
};

}  // namespace qd40::pages
