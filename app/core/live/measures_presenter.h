// The measurements display (CVisMesDialog without its widgets): the channels
// scanned on each module item of the document, scans made once or by the
// widget's timer through tick(), the list of the scanned channels' values,
// RUN of the modules, and the recording of every scan into record blocks of
// the document.
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/core/live/live_link.h"
#include "app/core/tavik_doc.h"
#include "app/security/clock.h"
#include "platform/locale.h"

namespace qd40::app::live {

// The cycle data of one module: its time and, per channel, the value, the
// error code, the time offset of the measurement (raw record encoding) and
// the error and alarm bits.
struct CycleData {
    static constexpr int kChannels = 30;
    uint16_t ms = 0;
    uint32_t seconds = 0;  // since 2000-01-01; 0 with ms 0: the module gave no time
    uint32_t errorMask = 0;
    std::array<uint32_t, 4> alarmMasks{};
    std::array<float, kChannels> values{};
    std::array<int16_t, kChannels> errors{};
    std::array<uint16_t, kChannels> offsets{};

    bool hasTime() const { return seconds != 0 || ms != 0; }
    bool inError(int channel) const { return errorMask >> (channel - 1) & 1; }
    int alarmFlags(int channel) const;
};
// The cycle status (210 bytes) and the channel delays (30 words, empty when
// unreadable: every offset 0); nullopt when the status is too short.
std::optional<CycleData> parseCycle(std::span<const uint8_t> status,
                                    std::span<const uint8_t> delays);
// The raw 8-byte records of one scan: a date record, then one record per
// channel of mask; `now` stands for the cycle's time when the module gave
// none (then every measurement is dated at it, with 0 ms).
std::vector<uint8_t> scanRecords(const CycleData& cycle, uint32_t mask, uint32_t now);

class MeasuresPresenter {
public:
    static constexpr std::array<int, 5> kPeriodsMs = {100, 500, 1000, 2000, 5000};
    enum Column { kQd40, kChannel, kValue, kUnit, kDate, kAlarm, kError, kColumns };
    struct Line {
        size_t item;  // index in the document's items
        int channel;  // 1..30
        std::array<std::string, kColumns> texts;
        double date = 0;  // of the last scan (OLE automation date with the milliseconds)
        float value = 0;
        bool measured = false;  // the last scan gave a value (no error)
    };
    // The measurement curves: one per line, its points (x: milliseconds since
    // 1970-01-01 of the measurement's date and time, y: the value) taken at
    // each scan that brought a new measurement, the oldest dropped beyond
    // kCurvePoints.
    static constexpr size_t kCurvePoints = 2000;
    struct Curve {
        size_t item;
        int channel;
        std::string label;  // "<n> <module> <channel> (<unit>)"
        std::vector<std::pair<double, double>> points;
    };
    // The "Editing a Line" dialog: the typed text, or nullopt on Cancel.
    using LineEditor = std::function<std::optional<std::string>(
        const std::string& title, const std::string& prompt, const std::string& text)>;

    MeasuresPresenter(CTavikDoc& doc, AppPrompter& prompter, Session& session, LineEditor editLine,
                      const security::Clock& clock, platform::Locale locale);

    static std::vector<std::string> columns();
    // "0.1 s" .. "5 s", with the locale's decimal separator.
    std::string periodText(int ms) const;

    // ---- the channels to scan: at first those each item's configuration scans
    uint32_t scanned(size_t item) const { return modules_.at(item).scanned; }
    void setScanned(size_t item, uint32_t mask);
    // The channel's name in the tree: its mnemonic or "Chan.%02.2d".
    std::string channelName(size_t item, int channel) const;

    // ---- scanning
    bool continuous() const { return continuous_; }
    void setContinuous(bool c);
    int periodMs() const { return periodMs_; }
    // One of kPeriodsMs; others are refused.
    bool setPeriod(int ms);
    // "&Start Scanning": one scan in one-shot mode; in continuous mode starts
    // or stops the scanning (the widget's timer then calls tick()).
    void startStop();
    bool scanning() const { return scanning_; }
    std::string startStopText() const;
    // One scan of every item with scanned channels: its lines rewritten and,
    // while recording, its records appended.
    void tick();
    const std::vector<Line>& lines() const { return lines_; }
    const std::vector<Curve>& curves() const { return curves_; }
    std::string curvesTitle() const;
    // Changes at each scan that read a module: the reading indicator.
    bool readingIndicator() const { return indicator_; }
    // Why the last scan of some module failed ("Module "x": message 125"), empty when none did.
    std::string error() const;

    // ---- the commands
    // Sends RUN to the modules (with the memory option when one is needed)
    // and records SEND_RUN_ALL.
    HRESULT runModules();
    bool recording() const { return recording_; }
    std::string recordingText() const;
    // "Activate Recording" or "Deactivate Recording".
    void toggleRecording();

private:
    struct Module {
        CTavikItem* item;
        std::unique_ptr<LiveLink> link;
        uint32_t scanned = 0;
        records::CExplBloc names;             // the snapshot that names channels and units
        records::CExplBloc* block = nullptr;  // recording into it
    };
    void rebuildLines();
    void sampleCurves();
    bool scan(Module& m, size_t index);
    void activateRecording();

    CTavikDoc& doc_;
    AppPrompter& prompter_;
    Session& session_;
    LineEditor editLine_;
    const security::Clock& clock_;
    platform::Locale locale_;
    std::vector<Module> modules_;
    std::vector<Line> lines_;
    std::vector<Curve> curves_;
    bool continuous_ = false, scanning_ = false, recording_ = false, indicator_ = false;
    int periodMs_ = 1000;
};

}  // namespace qd40::app::live
