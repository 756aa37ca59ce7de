#include "app/records/wait_progress.h"

#include <gtest/gtest.h>

namespace qd40::records {
namespace {

TEST(WaitDialog, PercentLabelChangesOnlyWithItsText) {
    WaitDialogState d;
    EXPECT_EQ(d.titleId(), 102);  // "Please wait..." by default
    d.create(240);
    EXPECT_TRUE(d.isOpen());
    d.setRange(0, 400);
    const int before = d.percentChanges();
    EXPECT_EQ(d.percentText(), "0%");
    d.setPos(3);  // still 0%
    EXPECT_EQ(d.percentChanges(), before);
    d.setPos(4);
    EXPECT_EQ(d.percentText(), "1%");
    d.setStep(396);
    d.step();
    EXPECT_EQ(d.pos(), 400);
    EXPECT_EQ(d.percentText(), "100%");
    EXPECT_EQ(d.percentChanges(), before + 2);
    d.setRange(5, 5);  // an empty range shows 0% instead of dividing by zero
    EXPECT_EQ(d.percentText(), "0%");
    d.destroy();
    EXPECT_FALSE(d.isOpen());
}

TEST(WaitDialog, CancelIsReportedOnceThenCleared) {
    WaitDialogState d;
    d.create(413);
    EXPECT_FALSE(d.IsCancelled());
    d.requestCancel();
    EXPECT_TRUE(d.IsCancelled());
    EXPECT_FALSE(d.IsCancelled());
}

}  // namespace
}  // namespace qd40::records
