// The records widgets offscreen: the progress dialog's wiring to its state
// and its owner.
#include <gtest/gtest.h>
#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include "app/records/records_strings.h"
#include "app/ui/tests/qt_app_fixture.h"
#include "app/ui/wait_dialog.h"

namespace qd40::ui {
namespace {

class RecordsWidgets : public testing::WithQApplication {};

TEST_F(RecordsWidgets, WaitDialogMirrorsItsStateAndDisablesItsOwner) {
    QWidget owner;
    owner.show();
    CWaitDialog wait(&owner);
    wait.create(records::IDS_EXPORTING);
    ASSERT_NE(wait.widget(), nullptr);
    EXPECT_TRUE(wait.widget()->isVisible());
    EXPECT_EQ(wait.widget()->windowTitle().toStdString(), "Exporting records in progress");
    EXPECT_FALSE(owner.isEnabled());
    EXPECT_TRUE(wait.widget()->isEnabled()) << "the dialog itself stays usable";

    wait.setRange(0, 400);
    wait.setStep(100);
    wait.step();
    wait.setMessage("100 exported records of 400");
    EXPECT_EQ(wait.bar()->value() * 400 / wait.bar()->maximum(), 100);
    EXPECT_EQ(wait.percentLabel()->text().toStdString(), "25%");
    EXPECT_EQ(wait.messageLabel()->text().toStdString(), "100 exported records of 400");
    const int changes = wait.percentChanges();
    wait.setPos(101);  // still 25%
    EXPECT_EQ(wait.percentChanges(), changes);

    EXPECT_FALSE(wait.IsCancelled());
    QTest::mouseClick(wait.cancelButton(), Qt::LeftButton);
    EXPECT_TRUE(wait.IsCancelled());
    EXPECT_FALSE(wait.IsCancelled()) << "reading the flag clears it";

    wait.destroy();
    EXPECT_EQ(wait.widget(), nullptr);
    EXPECT_TRUE(owner.isEnabled());
}

TEST_F(RecordsWidgets, WaitDialogOverAHugeRange) {
    CWaitDialog wait(nullptr);
    wait.create(records::IDS_SORTING);
    wait.setRange(0, int64_t(1) << 40);
    wait.setPos(int64_t(1) << 39);
    EXPECT_EQ(wait.percentLabel()->text().toStdString(), "50%");
    EXPECT_NEAR(double(wait.bar()->value()) / wait.bar()->maximum(), 0.5, 0.01);
}

}  // namespace
}  // namespace qd40::ui
