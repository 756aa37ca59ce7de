// A QApplication for the widget tests of one suite (the test main has
// already chosen the offscreen platform). It goes with the suite, before
// the program's own statics do.
#pragma once
#include <gtest/gtest.h>
#include <QApplication>

namespace qd40::ui::testing {

class WithQApplication : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "qd40_widget_tests";
        static char* argv[] = {name, nullptr};
        app_ = new QApplication(argc, argv);
    }
    static void TearDownTestSuite() {
        delete app_;
        app_ = nullptr;
    }

private:
    static inline QApplication* app_ = nullptr;
};

}  // namespace qd40::ui::testing
