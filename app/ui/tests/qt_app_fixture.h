// A QApplication for the widget tests of one test program (the test main
// has already chosen the offscreen platform).
#pragma once
#include <gtest/gtest.h>
#include <QApplication>

namespace qd40::ui::testing {

class WithQApplication : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (QApplication::instance())
            return;
        static int argc = 1;
        static char name[] = "qd40_widget_tests";
        static char* argv[] = {name, nullptr};
        static QApplication app(argc, argv);
    }
};

}  // namespace qd40::ui::testing
