#include "app/core/live/live_link.h"

#include "app/core/app_strings.h"
#include "app/core/doc_operations.h"

namespace qd40::app::live {

LiveLink::LiveLink(CTavikItem& item, AppPrompter& prompter) : item_(item), prompter_(prompter) {}

bool LiveLink::ensureOpen() {
    int32_t isOpen = 0;
    control().get_IsOpen(&isOpen);
    if (isOpen)
        return true;
    // A dialog that opened the control once and finds it closed (the
    // document's communications were closed) opens it again, and stays the
    // one that closes it.
    open_.reset();
    open_.emplace(control());
    return check(open_->result());
}

bool LiveLink::check(HRESULT h) {
    if (succeeded(h)) {
        error_.clear();
        return true;
    }
    error_ = controlErrorText(h, control().lastError());
    return false;
}

bool LiveLink::checkAndShow(HRESULT h) {
    if (check(h))
        return true;
    showError();
    return false;
}

void LiveLink::showError() {
    if (!error_.empty())
        prompter_.message(error_, Buttons::Ok, Icon::Exclamation);
}

std::vector<std::string> columnTitles(int textId) {
    const std::string text = appText(textId);
    std::vector<std::string> out;
    size_t from = 0;
    for (size_t tab; (tab = text.find('\t', from)) != std::string::npos; from = tab + 1)
        out.push_back(text.substr(from, tab - from));
    return out;
}

std::string itemTitle(int textId, const CTavikItem& item) {
    return strings::formatText(appText(textId), item.shortDisplayName().c_str());
}

}  // namespace qd40::app::live
