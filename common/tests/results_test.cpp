// The result codes and module constants every component shares, and the
// version information generated for each deliverable.
#include <gtest/gtest.h>

#include "common/error_info.h"
#include "common/hresult.h"
#include "common/module_constants.h"
#include "common/version_text.h"
#include "qd40test_version.h"

namespace qd40 {
namespace {

struct Code {
    const char* name;
    HRESULT value;
    uint32_t expected;
};

TEST(Results, EveryCodeHasItsNumber) {
    const Code codes[] = {
        {"S_OK", S_OK, 0},
        {"E_FAIL", E_FAIL, 0x80004005},
        {"E_INVALIDARG", E_INVALIDARG, 0x80070057},
        {"E_POINTER", E_POINTER, 0x80004003},
        {"E_UNEXPECTED", E_UNEXPECTED, 0x8000FFFF},
        {"E_ABORT", E_ABORT, 0x80004004},
        {"E_ACCESSDENIED", E_ACCESSDENIED, 0x80070005},
        {"DISP_E_EXCEPTION", DISP_E_EXCEPTION, 0x80020009},
        {"STG_E_CANTSAVE", STG_E_CANTSAVE, 0x80030103},
        {"qd40ErrExceptionCode", qd40ErrExceptionCode, 0x80041400},
        {"qd40ErrRemoteOtherPort", qd40ErrRemoteOtherPort, 0x80041413},
        {"qd40CtlErrNotQd40", qd40CtlErrNotQd40, 0x80042400},
        {"qd40CtlErrHigherQd40VerRequired", qd40CtlErrHigherQd40VerRequired, 0x80042401},
        {"qd40CtlErrHigherQd40CtlVerRequired", qd40CtlErrHigherQd40CtlVerRequired, 0x80042402},
        {"qd40TransportErrWriteRefused", qd40TransportErrWriteRefused, 0x80048203},
    };
    for (const Code& c : codes) {
        EXPECT_EQ(static_cast<uint32_t>(c.value), c.expected) << c.name;
        EXPECT_EQ(failed(c.value), c.expected != 0) << c.name;
    }
    EXPECT_EQ(qd40ErrExceptionCode, -2147216384);
    EXPECT_EQ(static_cast<uint32_t>(moduleErrorResult(41)), 0x80041429u);
    EXPECT_EQ(static_cast<uint32_t>(moduleErrorResult(63)), 0x8004143Fu);
}

TEST(Results, ModuleConstants) {
    EXPECT_EQ(module::kConfirmWord1, 0x55AA);
    EXPECT_EQ(module::kConfirmWord2, 0xAA55);
    EXPECT_EQ(module::kRefusalException, 4);  // server device failure
}

TEST(Results, AFailureCarriesItsErrorRecord) {
    const Guid iid = *Guid::parse("{5FB926A5-58E1-424E-85C7-2184584B89A5}");
    const Status st = Status::failure(E_INVALIDARG, "Invalid Memory Nr", "OvixQd40Ctl", iid);
    EXPECT_FALSE(st);
    EXPECT_EQ(st.hr, E_INVALIDARG);
    EXPECT_EQ(st.error.description, "Invalid Memory Nr");
    EXPECT_EQ(st.error.source, "OvixQd40Ctl");
    EXPECT_EQ(st.error.interfaceId, iid);
    EXPECT_TRUE(Status::ok());
    EXPECT_TRUE((Status{S_FALSE, {}})) << "S_FALSE is a success";
}

TEST(Results, GeneratedVersionInformation) {
    namespace v = version::qd40test;
    EXPECT_STREQ(v::kProductName, "Qd40Test");
    EXPECT_STREQ(v::kProductVersion, "B.10");
    EXPECT_TRUE(isVersionText(v::kProductVersion));
    EXPECT_FALSE(isTestVersion(v::kProductVersion)) << "a release";
    EXPECT_STREQ(v::kSpecialBuild, "");
    const auto file = FileVersion::of(v::kFileVersion[0], v::kFileVersion[1], v::kFileVersion[2],
                                      v::kFileVersion[3]);
    EXPECT_EQ(file.toString(), "2.10.0.0");
    EXPECT_EQ(v::kFileVersionMS, file.ms);
    EXPECT_EQ(v::kFileVersionLS, file.ls);
    EXPECT_EQ(v::kFileVersionMS, 0x0002000Au);
}

}  // namespace
}  // namespace qd40
