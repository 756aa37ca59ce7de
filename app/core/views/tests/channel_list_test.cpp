// The channel list of the program window: its 38 columns and the texts of a
// channel's row, read from the module's control.
#include <gtest/gtest.h>
#include <QAbstractItemModelTester>

#include "app/core/views/channel_list.h"
#include "common/config/variant_blob.h"
#include "views_test_support.h"

namespace qd40::app::views {
namespace {

using testing::addModule;

TEST(ChannelList, HasThirtyEightColumnsSixPerLimit) {
    const auto titles = channelListColumns();
    ASSERT_EQ(titles.size(), size_t(kChannelListColumns));
    EXPECT_EQ(titles.front(), "Chan.");
    EXPECT_EQ(titles[11], "DeadBand");
    EXPECT_EQ(titles[12], "1.Level");
    EXPECT_EQ(titles[30], "4.Level");
    EXPECT_EQ(titles[35], "4.GAL2");
    EXPECT_EQ(titles.back(), "Linearization");
}

struct ChannelRows : ::testing::Test {
    CTavikDoc doc{testing::offlineControls()};
    CTavikItem& item = addModule(doc, {true, "", 1, 1});

    // Configures channels 1 and 2 of the item's control.
    void configure() {
        cfg::FullCfgData full = item.control().state().cfg;
        const cfg::FullCfgView view(full);
        const cfg::ChannelCfg ch1 = view.channel(1);
        ch1.setFunction(cfg::kFctVdc);
        ch1.setRange(2);
        ch1.setConnection(cfg::kConn3Wires);
        ch1.setCutOffTest(true);
        ch1.setRjc(false);
        ch1.setSpeed(cfg::kSpeedIntermediate);
        ch1.setDelayMs(25);
        ch1.setDefaultValue(cfg::kMaxFloat);
        ch1.setDeadBandRel(150);
        ch1.setDeadBandAbs(0.25f);
        const cfg::LinPoint pts[] = {{0, 0}, {10, 100.5f}};
        ch1.setLinPoints(pts);
        ch1.limit(1).setInUse(true);
        ch1.limit(1).setHigh(true);
        ch1.limit(1).setLevel(10.5f);
        ch1.limit(1).setHysteresis(0.5f);
        ch1.limit(1).setCounter(3);
        ch1.limit(2).setInUse(false);
        ch1.limit(2).setLevel(99);
        ch1.limit(3).setInUse(true);
        ch1.limit(3).setHigh(false);
        ch1.limit(3).setCounter(2);
        view.setGlobalAlarmMask(1, 1, 0b01);
        view.setGlobalAlarmMask(2, 3, 0b11);
        const cfg::ChannelCfg ch2 = view.channel(2);
        ch2.setFunction(cfg::kFctOhm);
        ch2.setConnection(cfg::kConn2Wires);
        ch2.setSpeed(3);
        ch2.setDefaultValue(1.25f);
        ASSERT_EQ(item.control().put_Cfg(cfg::packBlob(full)), S_OK);

        cfg::ChansResCfgData res = item.control().state().chansRes;
        cfg::ChansResCfg(res).setResol(1, 2);
        cfg::ChansResCfg(res).setResol(2, cfg::ChansResCfg::kAuto);
        ASSERT_EQ(item.control().put_ChansResCfg(cfg::packBlob(res)), S_OK);

        cfg::Qd40ExtCfgData ext = item.control().state().ext;
        cfg::Qd40ExtCfg(ext).setChanMnemonic(1, "FURNACE");
        cfg::Qd40ExtCfg(ext).setChanUnit(1, "mV");
        cfg::Qd40ExtCfg(ext).setChanUnit(2, "");
        ASSERT_EQ(item.control().put_Qd40ExtCfg(cfg::packBlob(ext)), S_OK);
    }

    std::string fct(int f) {
        std::string s;
        item.control().Fct2str(int16_t(f), &s);
        return s;
    }
    std::string rge(int f, int r) {
        std::string s;
        item.control().Rge2str(int16_t(f), int16_t(r), &s);
        return s;
    }
    std::string defaultUnit(int f, int r) {
        std::string s;
        item.control().GetRgeDefUnit(int16_t(f), int16_t(r), &s);
        return s;
    }
};

TEST_F(ChannelRows, RowsShowEveryColumnOfTheChannel) {
    configure();
    const auto rows = channelListRows(item.control());
    ASSERT_TRUE(rows);
    ASSERT_EQ(rows->size(), size_t(kChannelListRows));
    const ChannelRow& r1 = (*rows)[0];
    ASSERT_EQ(r1.size(), size_t(kChannelListColumns));
    const ChannelRow expected1 = {"01",
                                  "FURNACE",
                                  fct(1),
                                  rge(1, 2),
                                  "2 or 3 Wires",
                                  "ON",
                                  "OFF",
                                  "Intermediate",
                                  "mV",
                                  "25",
                                  "MAX",
                                  "1.5% + 0.25",
                                  "10.5",
                                  "H",
                                  "0.5",
                                  "3",
                                  "ON",
                                  "OFF",  // limit 1
                                  "",
                                  "",
                                  "",
                                  "",
                                  "",
                                  "",  // limit 2 disabled
                                  "0",
                                  "L",
                                  "0",
                                  "2",
                                  "OFF",
                                  "ON",  // limit 3
                                  "",
                                  "",
                                  "",
                                  "",
                                  "",
                                  "",  // limit 4 disabled
                                  "2",
                                  "0;0 10;100.5"};
    EXPECT_EQ(r1, expected1);

    const ChannelRow& r2 = (*rows)[1];
    EXPECT_EQ(r2[0], "02");
    EXPECT_EQ(r2[2], fct(cfg::kFctOhm));
    EXPECT_EQ(r2[4], "2 Wires") << "only some functions merge 2 and 3 wires";
    EXPECT_EQ(r2[7], "Contact");
    EXPECT_EQ(r2[8], defaultUnit(cfg::kFctOhm, 0)) << "empty unit: the range's default";
    EXPECT_EQ(r2[10], "1.25");
    EXPECT_EQ(r2[36], "Auto");
    EXPECT_EQ(r2[37], "");
    EXPECT_EQ((*rows)[29][0], "30");
}

TEST_F(ChannelRows, WiringTextsFollowTheFunction) {
    struct Case {
        int function;
        int connection;
        const char* text;
    };
    const Case cases[] = {
        {cfg::kFctVdc, 0, "1 Wire"},           {cfg::kFctVac, 1, "2 or 3 Wires"},
        {cfg::kFctCurrent, 2, "2 or 3 Wires"}, {cfg::kFctTc, 3, "4 Wires"},
        {cfg::kFctRt, 1, "2 Wires"},           {cfg::kFctRt, 2, "3 Wires"},
        {cfg::kFctContact, 1, "2 Wires"},
    };
    for (const Case& c : cases) {
        cfg::FullCfgData full = item.control().state().cfg;
        cfg::FullCfgView(full).channel(5).setFunction(c.function);
        cfg::FullCfgView(full).channel(5).setConnection(c.connection);
        ASSERT_EQ(item.control().put_Cfg(cfg::packBlob(full)), S_OK);
        const auto rows = channelListRows(item.control());
        ASSERT_TRUE(rows);
        EXPECT_EQ((*rows)[4][4], c.text) << "function " << c.function << " wiring " << c.connection;
    }
}

TEST_F(ChannelRows, ModelShowsTheSelectedItemAndPassesTheTester) {
    configure();
    ChannelListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    EXPECT_EQ(model.rowCount(), 0);
    ASSERT_TRUE(model.setItem(&item));
    EXPECT_EQ(model.rowCount(), kChannelListRows);
    EXPECT_EQ(model.columnCount(), kChannelListColumns);
    EXPECT_EQ(model.headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), "Mnemo.");
    EXPECT_EQ(model.data(model.index(0, 1), Qt::DisplayRole).toString(), "FURNACE");
    ASSERT_TRUE(model.setItem(nullptr));
    EXPECT_EQ(model.rowCount(), 0);
}

}  // namespace
}  // namespace qd40::app::views
