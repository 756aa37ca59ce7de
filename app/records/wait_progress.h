// The progress dialog of long record operations, without its widget: the
// operations talk to IWaitDialog, and WaitDialogState holds what the dialog
// shows (range, position, message, percent label, cancel flag) so that a
// widget only mirrors it and tests drive it directly.
#pragma once
#include <cstdint>
#include <string>

namespace qd40::records {

class IWaitDialog {
public:
    virtual ~IWaitDialog() = default;
    // Shows the dialog with the title of the string id (disabling its owner).
    virtual void create(int titleId) = 0;
    virtual void setRange(int64_t low, int64_t high) = 0;
    virtual void setStep(int64_t step) = 0;
    virtual void setPos(int64_t pos) = 0;
    // Advances the position by the step.
    virtual void step() = 0;
    virtual void setMessage(const std::string& text) = 0;
    // Lets pending user input through, returns the cancel flag and clears it.
    virtual bool IsCancelled() = 0;
    // Closes the dialog (re-enabling its owner).
    virtual void destroy() = 0;
};

// The questions an operation asks the user.
enum class Answer { Yes, No, Cancel };
class IRecordsPrompter {
public:
    virtual ~IRecordsPrompter() = default;
    // A Yes/No/Cancel question with the question icon.
    virtual Answer askYesNoCancel(const std::string& text) = 0;
};

class WaitDialogState : public IWaitDialog {
public:
    void create(int titleId) override;
    void setRange(int64_t low, int64_t high) override;
    void setStep(int64_t step) override { step_ = step; }
    void setPos(int64_t pos) override;
    void step() override { setPos(pos_ + step_); }
    void setMessage(const std::string& text) override { message_ = text; }
    bool IsCancelled() override;
    void destroy() override { open_ = false; }

    // The Cancel button.
    void requestCancel() { cancelled_ = true; }

    bool isOpen() const { return open_; }
    int titleId() const { return titleId_; }
    int64_t low() const { return low_; }
    int64_t high() const { return high_; }
    int64_t pos() const { return pos_; }
    const std::string& message() const { return message_; }
    // "%d%" of (pos - low) x 100 / (high - low); changes only when its text does.
    const std::string& percentText() const { return percent_; }
    int percentChanges() const { return percentChanges_; }

protected:
    // Called before IsCancelled reads the flag: a widget lets its events through here.
    virtual void pumpEvents() {}
    // Called when the percent text changed.
    virtual void percentTextChanged() {}

private:
    void updatePercent();

    bool open_ = false;
    bool cancelled_ = false;
    int titleId_ = 102;
    int64_t low_ = 0;
    int64_t high_ = 100;
    int64_t step_ = 10;
    int64_t pos_ = 0;
    std::string message_;
    std::string percent_;
    int percentChanges_ = 0;
};

}  // namespace qd40::records
