// Helpers shared by the live dialogs' widgets.
#pragma once
#include <QString>

#include "app/core/app_strings.h"

namespace qd40::ui::live {

inline QString appQText(int id) {
    return QString::fromStdString(app::appText(id));
}
inline QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

}  // namespace qd40::ui::live
