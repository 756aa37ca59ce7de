// String table of the configuration control: the texts its rules and pages
// use and its error messages (513 to 528). Texts without a French form fall
// back to English.
#include "platform/strings.h"

namespace qd40::strings {

namespace {
constexpr Entry kControlEntries[] = {
    {101, "Version", nullptr},
    {106, "Chan%02.2d", "Voie%02.2d"},
    {112, "%d points as a minimum", nullptr},
    {164, "Define the alarm opening condition for the block", nullptr},
    {165, "Define the alarm closing condition for the block", nullptr},
    {166, "Linearization Points for the channel", nullptr},
    {167, "%d points as a maximum", nullptr},
    {168, "Fail to open clipboard", nullptr},
    {169, "Fail to empty clipboard", nullptr},
    {170, "Two points have the same X value. This one must be unique", nullptr},
    {174, "Auto", nullptr},
    {513, "The module is already controlled via its other Port", nullptr},
    {514, "Communication not opened", nullptr},
    {515, "Channels Numbers must be in the range of 1 and %d", nullptr},
    {516, "Stop the module before configuration", nullptr},
    {517, "Invalid Argument", nullptr},
    {518, "Invalid Pointer", nullptr},
    {519, "Invalid Memory Nr", nullptr},
    {520, "Unable to communicate with OvixQd40Svr server on machine", nullptr},
    {521, "%ld records all in all as a maximum for all memory blocks (at present: %ld)", nullptr},
    {522, "Access Rights Configuration Problem.\nPlease, contact your Network Administrator.",
     nullptr},
    {523, "Device connected is not a QD40 Module", nullptr},
    {524, "Auxiliary Period too low (min. %ld ms)", nullptr},
    {525, "Acquisition Period too low (min. %ld ms)", nullptr},
    {526, "Too old QD40 Module Version.\nIt must be updated.\nMinimal Version required: ", nullptr},
    {527, "Too old Exploitation Software Version.\nIt must be updated.", nullptr},
    {528, "Period must be in the range of %ld and %ld", nullptr},
};
}  // namespace

const StringTable& controlStrings() {
    static const StringTable table{kControlEntries};
    return table;
}

}  // namespace qd40::strings
