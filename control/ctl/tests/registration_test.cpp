// The control's registration in the classes root of a private registry store.
#include "control/ctl/registration.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

namespace qd40::ctl {
namespace {

using platform::Hive;

class CtlRegistrationTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("qd40-ctl-reg-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    std::filesystem::path dir;
};

TEST_F(CtlRegistrationTest, WritesTheControlItsTypeLibraryAndItsPages) {
    platform::RegistryStore store(dir);
    // A stale value of an earlier registration is not kept.
    ASSERT_TRUE(store.setString(Hive::ClassesRoot,
                                "CLSID\\{81196A14-80F4-4E69-8BCF-36C76BFB5356}\\Old", "", "x"));
    ASSERT_TRUE(registerControl(store, "/opt/ovix/libovixqd40.so"));

    const std::string ctl = "CLSID\\{81196A14-80F4-4E69-8BCF-36C76BFB5356}";
    const std::string lib = "{44098352-EFF6-4E67-ACAB-ADA49FCDEEEF}";
    struct Expected {
        std::string key, name, value;
    };
    const Expected expected[] = {
        {"OvixQd40.OvixQd40Ctl.1", "", "OvixQd40Ctl Class"},
        {"OvixQd40.OvixQd40Ctl.1\\CLSID", "", "{81196A14-80F4-4E69-8BCF-36C76BFB5356}"},
        {"OvixQd40.OvixQd40Ctl", "", "OvixQd40Ctl Class"},
        {"OvixQd40.OvixQd40Ctl\\CurVer", "", "OvixQd40.OvixQd40Ctl.1"},
        {ctl, "", "OvixQd40Ctl Class"},
        {ctl + "\\ProgID", "", "OvixQd40.OvixQd40Ctl.1"},
        {ctl + "\\VersionIndependentProgID", "", "OvixQd40.OvixQd40Ctl"},
        {ctl + "\\InprocServer32", "", "/opt/ovix/libovixqd40.so"},
        {ctl + "\\InprocServer32", "ThreadingModel", "Apartment"},
        {ctl + "\\ToolboxBitmap32", "", "/opt/ovix/libovixqd40.so, 101"},
        {ctl + "\\MiscStatus", "", "0"},
        {ctl + "\\MiscStatus\\1", "", "131473"},
        {ctl + "\\TypeLib", "", lib},
        {ctl + "\\Version", "", "1.0"},
        {"TypeLib\\" + lib + "\\1.0", "", "OvixQd40 1.0 Type Library"},
        {"Interface\\{5FB926A5-58E1-424E-85C7-2184584B89A5}", "", "IOvixQd40Ctl"},
        {"Interface\\{5FB926A5-58E1-424E-85C7-2184584B89A5}\\TypeLib", "", lib},
        {"OvixQd40.MailPage.1\\CLSID", "", "{E3CCDC1D-D62C-456C-B6D1-11528A2BCCCA}"},
        {"OvixQd40.MailPage\\CurVer", "", "OvixQd40.MailPage.1"},
        {"CLSID\\{12F2E108-D914-4E7B-A764-220812D38B2D}\\ProgID", "", "OvixQd40.AboutPage.1"},
        {"CLSID\\{F50720D6-899E-4155-AEF4-FB140A7F066C}\\InprocServer32", "ThreadingModel",
         "Apartment"},
    };
    for (const Expected& e : expected)
        EXPECT_EQ(store.getString(Hive::ClassesRoot, e.key, e.name), e.value)
            << e.key << " " << e.name;
    for (const std::string& key : {ctl + "\\Programmable", ctl + "\\Control", ctl + "\\Insertable",
                                   std::string("OvixQd40.OvixQd40Ctl.1\\Insertable")})
        EXPECT_TRUE(store.keyExists(Hive::ClassesRoot, key)) << key;
    EXPECT_FALSE(store.keyExists(Hive::ClassesRoot, ctl + "\\Old"));
    EXPECT_FALSE(store.keyExists(Hive::ClassesRoot, "OvixQd40.OvixQd40Ctl\\Insertable"))
        << "only the versioned ProgID is insertable";

    EXPECT_EQ(store.subKeys(Hive::ClassesRoot, "").size(), 17u)
        << "two ProgIDs for each of the 7 classes, CLSID, TypeLib and Interface";
    ASSERT_TRUE(unregisterControl(store));
    EXPECT_TRUE(store.subKeys(Hive::ClassesRoot, "").empty());
    EXPECT_TRUE(unregisterControl(store)) << "nothing left to remove is no failure";
}

}  // namespace
}  // namespace qd40::ctl
