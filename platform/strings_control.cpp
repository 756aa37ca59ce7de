// String table of the configuration control.
#include "platform/strings.h"

namespace qd40::strings {

namespace {
constexpr Entry kControlEntries[] = {
    {106, "Chan%02.2d", "Voie%02.2d"},
};
}  // namespace

const StringTable& controlStrings() {
    static const StringTable table{kControlEntries};
    return table;
}

}  // namespace qd40::strings
