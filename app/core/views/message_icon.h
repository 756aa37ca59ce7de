// The icon of the application's message boxes: a box that asks for none
// gets the exclamation icon when its buttons are OK, OK/Cancel, Yes/No or
// Yes/No/Cancel.
#pragma once
#include "app/core/app_ports.h"

namespace qd40::app::views {

constexpr Icon messageIcon(Icon asked, Buttons buttons) {
    if (asked != Icon::None)
        return asked;
    switch (buttons) {
        case Buttons::Ok:
        case Buttons::OkCancel:
        case Buttons::YesNo:
        case Buttons::YesNoCancel:
            return Icon::Exclamation;
    }
    return Icon::None;
}

}  // namespace qd40::app::views
