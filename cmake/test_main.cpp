// The main of every test program: a predictable environment first (the C
// locale, Qt's display-less platform, the folder of the built programs),
// then GoogleTest. Tests that need another language set it themselves.
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    ::setenv("LC_ALL", "C", 1);
    ::setenv("LANG", "C", 1);
    ::unsetenv("LC_MESSAGES");
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::setenv("QD40_BIN_DIR", QD40_BIN_DIR_DEFAULT, 0);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
