#include "app/core/doc_version.h"

namespace qd40::app {

namespace {
bool isRelease(std::string_view v, std::string_view firstRelease) {
    return v >= firstRelease && v < "Z.00";
}
}  // namespace

bool docHasItemNumbers(std::string_view v) {
    return isRelease(v, "A.03") || v >= "Z.21";
}

bool docHasOldModuleName(std::string_view v) {
    return v >= "Z.11" && v < "Z.13";
}

bool docHasBlocks(std::string_view v) {
    return isRelease(v, "A.00") || v >= "Z.01";
}

std::string_view versionOfHeader(std::string_view header) {
    for (int field = 0; field < 3; ++field) {
        const size_t comma = header.find(',');
        if (comma == std::string_view::npos)
            return {};
        header.remove_prefix(comma + 1);
    }
    return header.substr(0, header.find(','));
}

bool isRecognisedHeader(std::string_view h) {
    for (std::string_view mark : {"OVIX,TAVIK", "OVIX,APPLICATION TAVIK", "OVIX,QD40"})
        if (h.find(mark) != std::string_view::npos)
            return true;
    return false;
}

}  // namespace qd40::app
