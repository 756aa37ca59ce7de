#include "app/records/wait_progress.h"

namespace qd40::records {

void WaitDialogState::create(int titleId) {
    titleId_ = titleId;
    open_ = true;
    cancelled_ = false;
    updatePercent();
}

void WaitDialogState::setRange(int64_t low, int64_t high) {
    low_ = low;
    high_ = high;
    updatePercent();
}

void WaitDialogState::setPos(int64_t pos) {
    pos_ = pos;
    updatePercent();
}

bool WaitDialogState::IsCancelled() {
    pumpEvents();
    const bool c = cancelled_;
    cancelled_ = false;
    return c;
}

void WaitDialogState::updatePercent() {
    // An empty range shows 0% rather than dividing by zero.
    const int64_t span = high_ - low_;
    const int64_t percent = span != 0 ? (pos_ - low_) * 100 / span : 0;
    std::string text = std::to_string(percent) + "%";
    if (text != percent_) {
        percent_ = std::move(text);
        ++percentChanges_;
        percentTextChanged();
    }
}

}  // namespace qd40::records
