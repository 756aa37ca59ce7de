// Version gates of the document file. Versions are a letter, a point and two
// digits compared as plain strings: "A.00".."Y.99" are releases, "Z.xx" test
// builds numbered on their own line, so each field has a release bound and a
// test bound.
#pragma once
#include <string_view>

namespace qd40::app {

// The last item number and each item's number.
bool docHasItemNumbers(std::string_view version);
// The old module name stored after each item (moved into the module mnemonic).
bool docHasOldModuleName(std::string_view version);
// The record blocks.
bool docHasBlocks(std::string_view version);
// The fourth comma-separated field of a header line ("OVIX,TAVIK,0,B.10").
std::string_view versionOfHeader(std::string_view header);
// Whether a header line (upper-cased) is one of ours.
bool isRecognisedHeader(std::string_view upperHeader);

}  // namespace qd40::app
