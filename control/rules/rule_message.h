// A message the rules ask the caller to show: the control's string id and
// its formatted text.
#pragma once
#include <string>

#include "common/error_info.h"
#include "platform/strings.h"
#include "platform/strings_control.h"

namespace qd40::rules {

struct RuleMessage {
    int id = 0;
    std::string text;
};

// The control's text of id (English when the table has no French form),
// formatted printf-style with the arguments.
template <class... Args>
std::string controlText(int id, Args... args) {
    const std::string fmt = strings::controlStrings().textOrEmpty(id);
    if constexpr (sizeof...(Args) == 0) {
        return fmt;
    } else {
        return strings::formatText(fmt, args...);
    }
}

template <class... Args>
RuleMessage ruleMessage(int id, Args... args) {
    return RuleMessage{id, controlText(id, args...)};
}

// A failed control operation carrying the control's text of id.
template <class... Args>
Status controlFailure(HRESULT hr, int id, Args... args) {
    return Status::failure(hr, controlText(id, args...));
}

}  // namespace qd40::rules
