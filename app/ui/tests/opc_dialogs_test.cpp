// The wiring of the OPC service sheet and of the declared documents dialog.
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTreeWidget>

#include "app/core/opc/opc_strings.h"
#include "app/core/tests/doc_test_support.h"
#include "app/ui/opc_docs_dialog.h"
#include "app/ui/opc_service_sheet.h"
#include "app/ui/tests/qt_app_fixture.h"

namespace qd40::ui {
namespace {

using namespace app::opc;

class OpcDialogsTest : public testing::WithQApplication {
protected:
    void SetUp() override {
        folder = app::testing::testFolder("opc-ui");
        doc = std::make_unique<app::CTavikDoc>(app::testing::controlFactory({}, folder / "reg"));
        for (int i = 0; i < 2; ++i)
            doc->numberItem(doc->newItem());
    }
    std::filesystem::path folder;
    std::unique_ptr<app::CTavikDoc> doc;
};

TEST_F(OpcDialogsTest, TheSheetShowsAndGivesBackTheParameters) {
    OpcServiceParams in;
    in.period = 500;
    in.startDelay = 9;
    in.mode = kModeIfDifferent;
    in.stopOnClose = true;
    in.published = {{doc->items()[1].get(), 5}};
    COpcSvrSheet sheet(*doc, in);
    auto spins = sheet.findChildren<QSpinBox*>();
    ASSERT_EQ(spins.size(), 2);
    EXPECT_EQ(spins[0]->value(), 500);
    EXPECT_EQ(spins[1]->value(), 9);
    auto* tree = sheet.findChild<QTreeWidget*>();
    ASSERT_EQ(tree->topLevelItemCount(), 2);
    EXPECT_EQ(tree->topLevelItem(1)->child(0)->checkState(0), Qt::Checked);
    EXPECT_EQ(tree->topLevelItem(1)->child(1)->checkState(0), Qt::Unchecked);
    EXPECT_EQ(tree->topLevelItem(1)->child(2)->checkState(0), Qt::Checked);

    spins[0]->setValue(50);
    spins[1]->setValue(0);
    auto radios = sheet.findChildren<QRadioButton*>();
    ASSERT_EQ(radios.size(), 3);
    EXPECT_TRUE(radios[1]->isChecked());
    radios[2]->click();
    sheet.findChild<QCheckBox*>()->click();
    tree->topLevelItem(0)->child(29)->setCheckState(0, Qt::Checked);
    tree->topLevelItem(1)->child(0)->setCheckState(0, Qt::Unchecked);
    const OpcServiceParams out = sheet.params();
    EXPECT_EQ(out.period, 50);
    EXPECT_EQ(out.startDelay, 0);
    EXPECT_EQ(out.mode, kModeNever);
    EXPECT_FALSE(out.stopOnClose);
    EXPECT_EQ(out.published, (std::vector<PublishedChannels>{{doc->items()[0].get(), 1u << 29},
                                                             {doc->items()[1].get(), 4}}));
}

TEST_F(OpcDialogsTest, DeleteBlanksTheSelectedRowAndOnlyOkRemovesIt) {
    ASSERT_TRUE(doc->save(folder / "plant.dqx").isOk());
    settings::CLocalMachineReg machine{platform::RegistryStore(folder / "reg")};
    machine.writeString(slotSection(0), "Path", (folder / "plant.dqx").string());
    machine.writeInt(slotSection(0), "SendProg", kModeAlways);
    machine.writeString(slotSection(0), "ChansIn", "2:1,");
    machine.writeInt(slotSection(0), "Period", 1000);
    app::testing::RecordingSession session;
    const OpcDocsList::Loader load = [&](const std::filesystem::path& p) {
        auto d = std::make_unique<app::CTavikDoc>(app::testing::controlFactory({}, folder / "reg"));
        return d->load(p).isOk() ? std::move(d) : nullptr;
    };
    for (const bool ok : {false, true}) {
        OpcDocsList list(machine, session, load, [](int slot) { return slot == 0; });
        std::vector<int> closed;
        CListOpcDocsDialog dialog(list, [&](int slot) { closed.push_back(slot); });
        auto* table = dialog.findChild<QTableWidget*>();
        ASSERT_EQ(table->rowCount(), 5);
        EXPECT_EQ(table->item(0, 4)->text().toStdString(), "QD40#1.Chan01");
        QPushButton* del = nullptr;
        for (auto* b : dialog.findChildren<QPushButton*>())
            if (b->text().toStdString() == opcText(text::kDeleteButton))
                del = b;
        ASSERT_NE(del, nullptr);
        EXPECT_FALSE(del->isEnabled()) << "nothing selected";
        table->selectRow(0);
        ASSERT_TRUE(del->isEnabled());
        del->click();
        EXPECT_EQ(closed, std::vector<int>{0});
        EXPECT_EQ(table->item(0, 2)->text(), "");
        auto* box = dialog.findChild<QDialogButtonBox*>();
        box->button(ok ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel)->click();
        EXPECT_EQ(readSlot(machine, 0).path.empty(), ok);
    }
}

}  // namespace
}  // namespace qd40::ui
