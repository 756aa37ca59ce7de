// String table of the communication server.
#include "platform/strings.h"

namespace qd40::strings {

namespace {
constexpr Entry kServerEntries[] = {
    {0, "", nullptr},
};
}  // namespace

const StringTable& serverStrings() {
    static const StringTable table{kServerEntries};
    return table;
}

}  // namespace qd40::strings
