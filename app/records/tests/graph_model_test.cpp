// The graph's curves filled from small blocks, its scales, zoom history and
// cursors on exact points.
#include <bit>
#include <cmath>

#include <gtest/gtest.h>

#include "app/records/graph_model.h"
#include "common/config/cfg_layout.h"

namespace qd40::records {
namespace {

constexpr double kDay = 46000.0;
constexpr double kSecond = 1.0 / 86400.0;

_tExplRecord record(int type, int channel, double date, uint16_t ms, float value) {
    _tExplRecord r;
    r.setFlags(static_cast<uint16_t>(type << 14 | channel));
    r.setDate(date);
    r.setMs(ms);
    r.setPayload(std::bit_cast<uint32_t>(value));
    return r;
}

// Channels 1 and 3 stored; channel 3's default value is -1.
CExplBloc block() {
    CExplBloc b;
    cfg::MemBlockCfg(b.memCfg).setChansToRecord(0b101);
    cfg::ChannelCfg(std::span<uint8_t, cfg::kChannelCfgSize>(
                        b.chanCfg.data() + 2 * cfg::kChannelCfgSize, cfg::kChannelCfgSize))
        .setDefaultValue(-1.0f);
    b.records = {
        record(kMeasureRecord, 1, kDay, 0, 99),  // before the first date record: skipped
        record(kDateRecord, 0, kDay + 10 * kSecond, 0, 0),
        record(kMeasureRecord, 1, kDay + 10 * kSecond, 250, 1.5f),
        record(kErrorRecord, 3, kDay + 10 * kSecond, 500, 0),      // default value
        record(kMeasureRecord, 2, kDay + 10 * kSecond, 0, 7),      // channel not stored
        record(kMeasureRecord, 1, kDay + 5 * kSecond, 100, 2.5f),  // earlier than the date record
        record(kDateRecord, 0, kDay + 11 * kSecond, 0, 0),
        record(kMeasureRecord, 1, kDay + 11 * kSecond, 0, 4.0f),
        record(kMeasureRecord, 3, kDay + 11 * kSecond, 0, 8.0f),
    };
    return b;
}

TEST(GraphModelTest, FillingRules) {
    GraphModel g;
    WaitDialogState wait;
    ASSERT_TRUE(g.fill(block(), &wait));
    ASSERT_EQ(g.curves().size(), 2u);
    const GraphCurve& c1 = g.curves()[0];
    const GraphCurve& c3 = g.curves()[1];
    EXPECT_EQ(c1.channel, 1);
    EXPECT_EQ(c3.channel, 3);
    EXPECT_EQ(c3.number, 1);
    EXPECT_EQ(c3.name, "Chan.03") << "the default name of a channel without mnemonic";
    EXPECT_NE(c1.color, c3.color);
    const double first = kDay + 10 * kSecond;
    const double ms = 1.0 / 86400000.0;
    ASSERT_EQ(c1.points->size(), 3u);
    EXPECT_DOUBLE_EQ(c1.points->x()[0], first + 250 * ms);
    EXPECT_DOUBLE_EQ(c1.points->x()[1], first + 100 * ms) << "the first date record's date";
    EXPECT_DOUBLE_EQ(c1.points->x()[2], kDay + 11 * kSecond);
    EXPECT_EQ(c1.points->y(), (std::vector<float>{1.5f, 2.5f, 4.0f}));
    ASSERT_EQ(c3.points->size(), 2u);
    EXPECT_EQ(c3.points->y(), (std::vector<float>{-1.0f, 8.0f})) << "an error at the default value";
    EXPECT_EQ(wait.titleId(), IDS_GRAPH_PREPARATION_TITLE);
    EXPECT_FALSE(wait.isOpen());

    // X over the longest curve, Y1 over both curves with a margin.
    EXPECT_DOUBLE_EQ(g.range().x0, c1.points->x()[0]);
    EXPECT_DOUBLE_EQ(g.range().x1, kDay + 11 * kSecond);
    EXPECT_LT(g.range().y0[0], -1.0);
    EXPECT_GT(g.range().y1[0], 8.0);
    g.assignAxis(1, 1);
    g.autoY(0);
    g.autoY(1);
    EXPECT_GT(g.range().y0[0], -1.0) << "channel 3 moved to Y2";
    EXPECT_LT(g.range().y1[0], 8.0);
    EXPECT_GT(g.range().y1[1], 8.0);
}

TEST(GraphModelTest, NothingToDrawAndCancel) {
    GraphModel g;
    CExplBloc noMask = block();
    cfg::MemBlockCfg(noMask.memCfg).setChansToRecord(0);
    EXPECT_TRUE(g.fill(noMask, nullptr));
    EXPECT_TRUE(g.empty());
    // Cancel pressed while the records are walked.
    struct Cancelling : WaitDialogState {
        void setPos(int64_t pos) override {
            WaitDialogState::setPos(pos);
            requestCancel();
        }
    } wait;
    EXPECT_FALSE(g.fill(block(), &wait));
    EXPECT_TRUE(g.empty());
    EXPECT_FALSE(wait.isOpen());
}

TEST(GraphModelTest, CursorsReadExactPointsAndZoomsUndo) {
    GraphModel g;
    ASSERT_TRUE(g.fill(block(), nullptr));
    const GraphRange whole = g.range();
    g.lockCursor(0, 0);
    g.moveCursor(0, kDay + 10.9 * kSecond, 0);
    EXPECT_DOUBLE_EQ(g.cursor(0).x, kDay + 11 * kSecond);
    EXPECT_EQ(g.cursor(0).y, 4.0);
    g.lockCursor(1, -1);
    g.moveCursor(1, kDay + 10.5 * kSecond, 3.25);
    EXPECT_DOUBLE_EQ(g.cursor(1).x, kDay + 10.5 * kSecond);
    EXPECT_EQ(g.cursor(1).y, 3.25);
    EXPECT_DOUBLE_EQ(g.deltaY(), -0.75);
    EXPECT_NEAR(g.deltaX(), -0.5 * kSecond, 1e-9);  // dates near 46000 keep ~1e-11
    EXPECT_EQ(GraphModel::timeText(kDay + 10 * kSecond + 250.0 / 86400000.0), "00:00:10.250");

    g.zoomTo(kDay + 10.2 * kSecond, kDay + 10.8 * kSecond, std::make_pair(5.0, 1.0));
    EXPECT_EQ(g.range().y0[0], 1.0);
    EXPECT_EQ(g.range().y1[0], 5.0);
    g.zoomAround(kDay + 10.5 * kSecond, 0.5);
    EXPECT_NEAR(g.range().x1 - g.range().x0, 0.3 * kSecond, 1e-9);
    EXPECT_TRUE(g.undoZoom());
    EXPECT_TRUE(g.undoZoom());
    EXPECT_EQ(g.range(), whole);
    EXPECT_FALSE(g.undoZoom());
}

}  // namespace
}  // namespace qd40::records
