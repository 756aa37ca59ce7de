#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <utility>

#include "common/config/cfg_defaults.h"
#include "control/rules/channel_rules.h"
#include "control/rules/lin_points.h"
#include "control/rules/resolution.h"
#include "control/rules/value_rules.h"

namespace qd40::rules {
namespace {

using namespace qd40::cfg;

TEST(Resolution, DefaultTableAndItsCorners) {
    struct Case {
        int fct, rge, acc;
        DefaultResolution expected;
    };
    const Case cases[] = {
        {kFctVdc, 0, 1, {3, 0.005f}},
        {kFctVdc, 2, 0, {5, 0.00001f}},
        {kFctVdc, 4, 2, {1, 0.1f}},
        {kFctVdc, 5, 0, {6, 0}},  // range beyond the list
        {kFctVdc, -1, 0, {6, 0}},
        {kFctVac, 1, 2, {1, 0.1f}},
        {kFctOhm, 4, 0, {3, 0.005f}},
        {kFctOhm, 2, 1, {4, 0.0001f}},
        {kFctCurrent, 9, 0, {5, 0.00001f}},  // range not looked at
        {kFctRt, 0, 0, {2, 0.02f}},
        {kFctRt, 3, 0, {1, 0.2f}},
        {kFctRt, 9, 1, {1, 0.5f}},
        {kFctRt, 10, 0, {1, 0.1f}},
        {kFctRt, 12, 0, {2, 0.01f}},
        {kFctRt, 7, 2, {0, 0}},
        {kFctRt, 13, 0, {6, 0}},
        {kFctTc, 99, 1, {1, 0.5f}},
        {kFctVdc, 0, 3, {6, 0}},
        {kFctTc, 0, 3, {6, 0}},  // speed 3 or more
        {kFctContact, 5, 3, {0, 0}},
        {kFctNotProg, 0, 0, {6, 0}},
        {8, 0, 0, {6, 0}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(defaultChanResol(c.fct, c.rge, c.acc), c.expected)
            << c.fct << "/" << c.rge << "/" << c.acc;
    EXPECT_EQ(channelResolution(3, 0), 6) << "no points: Auto";
    EXPECT_EQ(channelResolution(3, 2), 3);
    EXPECT_EQ(channelResolution(9, 2), 6);
}

TEST(ChannelRules, FunctionsOfferedFollowChannelAndPartnerWiring) {
    FullCfgData data = defaultFullCfg();
    const FullCfgView cfg(data);
    const std::vector<int> all = {0, 1, 2, 3, 4, 5, 6, 7};
    const std::vector<int> noOhmRt = {0, 1, 2, 4, 6, 7};
    EXPECT_EQ(functionsOffered(cfg, 1), all);
    EXPECT_EQ(functionsOffered(cfg, 11), noOhmRt) << "channel 11 cannot be RT";
    EXPECT_EQ(functionsOffered(cfg, 30), noOhmRt);
    cfg.channel(3).setConnection(kConn2Wires);
    EXPECT_EQ(functionsOffered(cfg, 13), std::vector<int>{kFctNotProg});
    EXPECT_EQ(functionsOffered(cfg, 23), std::vector<int>{kFctNotProg});
    EXPECT_EQ(functionsOffered(cfg, 12), noOhmRt);
}

TEST(ChannelRules, FourWiresOnChannel1ClearChannels11And21) {
    FullCfgData data = defaultFullCfg();
    const FullCfgView cfg(data);
    Qd40ExtCfgData ext = defaultQd40ExtCfg(strings::Language::English);
    for (int n : {11, 21, 12})
        cfg.channel(n).setFlags(0x2B16);  // Vdc... with other bits set
    changeFunction(cfg, Qd40ExtCfg(ext).chansExt(), 1, kFctRt);
    changeConnection(cfg, 1, kConn4Wires);
    applyMultiWireRule(cfg, 1);
    EXPECT_EQ(cfg.channel(11).flags(), 0x2B10) << "function cleared, other bits kept";
    EXPECT_EQ(cfg.channel(21).flags(), 0x2B10);
    EXPECT_EQ(cfg.channel(12).flags(), 0x2B16);
    applyMultiWireRule(cfg, 12);  // not a multi-wire channel: nothing happens
    EXPECT_EQ(cfg.channel(2).flags(), 0x1000);
}

TEST(ChannelRules, FunctionChangeSetsRangeConnectionFlagsAndUnit) {
    struct Case {
        int n, fct;
        int range, connection;
        bool test, rjc;
        std::string_view unit;
    };
    const Case cases[] = {
        {1, kFctVdc, 2, kConn3Wires, false, false, "V"},
        {1, kFctVac, 1, kConn3Wires, false, false, "V"},
        {1, kFctOhm, 0, kConn3Wires, true, false, "Ohm"},
        {1, kFctCurrent, 0, kConn3Wires, false, false, "mA"},
        {1, kFctRt, 1, kConn3Wires, true, false,
         "\xB0"
         "C"},
        {1, kFctTc, 0, kConn3Wires, true, true,
         "\xB0"
         "C"},
        {1, kFctContact, 0, kConn2Wires, false, false, ""},
        {1, kFctNotProg, 0, kConn1Wire, false, false, ""},
        {15, kFctTc, 0, kConn1Wire, true, true,
         "\xB0"
         "C"},
        {15, kFctVdc, 2, kConn1Wire, false, false, "V"},
    };
    for (const auto& c : cases) {
        FullCfgData data = defaultFullCfg();
        Qd40ExtCfgData ext = defaultQd40ExtCfg(strings::Language::English);
        const FullCfgView cfg(data);
        cfg.channel(c.n).setFlags(0xFFFF);
        changeFunction(cfg, Qd40ExtCfg(ext).chansExt(), c.n, c.fct);
        const ConstChannelCfg ch = cfg.channel(c.n);
        EXPECT_EQ(ch.function(), c.fct) << c.n << "/" << c.fct;
        EXPECT_EQ(ch.range(), c.range) << c.n << "/" << c.fct;
        EXPECT_EQ(ch.connection(), c.connection) << c.n << "/" << c.fct;
        EXPECT_EQ(ch.cutOffTest(), c.test) << c.n << "/" << c.fct;
        EXPECT_EQ(ch.rjc(), c.rjc) << c.n << "/" << c.fct;
        EXPECT_EQ(ch.speed(), 3) << "speed kept";
        EXPECT_EQ(ch.flags() & 0xC000, 0xC000) << "reserved bits kept";
        EXPECT_EQ(ConstQd40ExtCfg(ext).chanUnit(c.n), c.unit) << c.n << "/" << c.fct;
    }
}

TEST(ChannelRules, ConnectionsSpeedTestAndRangeChanges) {
    EXPECT_EQ(connectionsOffered(1, kFctVdc), (std::vector<int>{0, 2}));
    EXPECT_EQ(connectionsOffered(1, kFctRt), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(connectionsOffered(1, kFctContact), (std::vector<int>{0, 1}));
    EXPECT_EQ(connectionsOffered(20, kFctContact), (std::vector<int>{0}));
    EXPECT_TRUE(connectionsOffered(1, kFctNotProg).empty());
    for (int f : {kFctNotProg, kFctVac, kFctContact})
        EXPECT_FALSE(speedOffered(f)) << f;
    for (int f : {kFctVdc, kFctOhm, kFctCurrent, kFctRt, kFctTc})
        EXPECT_TRUE(speedOffered(f)) << f;

    FullCfgData data = defaultFullCfg();
    Qd40ExtCfgData ext{};
    const FullCfgView cfg(data);
    changeFunction(cfg, Qd40ExtCfg(ext).chansExt(), 2, kFctOhm);
    changeConnection(cfg, 2, kConn2Wires);
    EXPECT_FALSE(cfg.channel(2).cutOffTest()) << "Ohm on 2 wires: no test";
    changeConnection(cfg, 2, kConn4Wires);
    EXPECT_TRUE(cfg.channel(2).cutOffTest());
    changeRange(cfg, Qd40ExtCfg(ext).chansExt(), 2, 3);
    EXPECT_EQ(ConstQd40ExtCfg(ext).chanUnit(2), "kOhm");
}

TEST(ValueRules, NumbersMaxAndBounds) {
    EXPECT_EQ(parseDefaultValue("MAX"), kMaxFloat);
    EXPECT_EQ(parseDefaultValue(" max "), kMaxFloat);
    const auto near = parseDefaultValue("3.4e38");
    ASSERT_TRUE(near);
    EXPECT_NE(*near, kMaxFloat);
    EXPECT_EQ(formatDefaultValue(*near), "3.4e+38") << "a number, not MAX";
    EXPECT_EQ(formatDefaultValue(kMaxFloat), "MAX");
    EXPECT_EQ(parseFloatValue("3.4028234663852886e38"), kMaxFloat);
    EXPECT_EQ(parseFloatValue("-3.4028234663852886e38"), -kMaxFloat);
    EXPECT_FALSE(parseFloatValue("3.4028235e38")) << "beyond the largest float";
    EXPECT_EQ(parseFloatValue("-1,25", ','), -1.25f);
    EXPECT_EQ(formatFloat(-1.25f, ','), "-1,25");
    EXPECT_EQ(parseFloatValue("+2"), 2.0f);
    for (const char* bad : {"", "abc", "1.5x", "1 2", "inf", "nan", "+-5", "--5", "+"})
        EXPECT_FALSE(parseFloatValue(bad)) << bad;

    // The entered percentage times 100, truncated: binary rounding of the
    // decimal entry (0.29 * 100 = 28.999999999999996) does not lose a hundredth.
    const std::pair<double, std::optional<uint16_t>> deadBands[] = {
        {0.0, 0},       {0.29, 29},     {0.57, 57},   {1.13, 113}, {12.345, 1234},     {0.009, 0},
        {99.999, 9999}, {100.0, 10000}, {100.01, {}}, {-0.5, {}},  {std::nan(""), {}},
    };
    for (const auto& [percent, stored] : deadBands)
        EXPECT_EQ(deadBandRelFromPercent(percent), stored) << percent;
    EXPECT_FALSE(deadBandAbsFromValue(-1.0));
    EXPECT_TRUE(counterInRange(255));
    EXPECT_FALSE(counterInRange(256));
    EXPECT_EQ(counterToStore(300), 44);
    EXPECT_TRUE(mnemonicFits(std::string(16, 'a')));
    EXPECT_FALSE(mnemonicFits(std::string(17, 'a')));
    EXPECT_TRUE(unitFits("kOhm"));
    EXPECT_FALSE(unitFits("abcdef"));
}

TEST(LinPoints, AddSortsWithNeighbourSwapsAndStopsAtEleven) {
    LinPointsEditor ed;
    for (LinPoint p : {LinPoint{5, 50}, {1, 10}, {3, 30}, {3, 31}, {0, 0}})
        EXPECT_FALSE(ed.add(p));
    EXPECT_EQ(ed.points(), (std::vector<LinPoint>{{0, 0}, {1, 10}, {3, 30}, {3, 31}, {5, 50}}))
        << "equal X values keep their order";
    EXPECT_TRUE(ed.modify(0, {9, 90}));
    EXPECT_EQ(ed.points().front(), (LinPoint{9, 90})) << "modify keeps the place";
    EXPECT_FALSE(ed.modify(5, {}));
    EXPECT_TRUE(ed.remove(0));
    for (int i = 0; i < 7; ++i)
        EXPECT_FALSE(ed.add({float(10 + i), 0}));
    ASSERT_EQ(ed.points().size(), 11u);
    const auto refused = ed.add({100, 0});
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->id, 167);
    EXPECT_EQ(refused->text, "11 points as a maximum");
    EXPECT_EQ(ed.points().size(), 11u);
}

TEST(LinPoints, ValidationPasteAndCopy) {
    struct Case {
        std::vector<LinPoint> pts;
        int messageId;  // 0 when accepted
        std::string text;
    };
    const Case cases[] = {
        {{}, 0, ""},
        {{{1, 2}}, 112, "2 points as a minimum"},
        {{{1, 2}, {3, 4}}, 0, ""},
        {{{1, 2}, {3, 4}, {1, 5}},
         170,
         "Two points have the same X value. This one must be unique"},
    };
    for (const auto& c : cases) {
        const auto msg = LinPointsEditor(c.pts).validate();
        EXPECT_EQ(msg ? msg->id : 0, c.messageId) << c.pts.size();
        EXPECT_EQ(msg ? msg->text : "", c.text) << c.pts.size();
    }

    LinPointsEditor ed({{7, 70}});
    const std::vector<LinPoint> pasted(12, LinPoint{1, 1});
    const auto stop = ed.paste(pasted);
    ASSERT_TRUE(stop);
    EXPECT_EQ(stop->id, 167);
    EXPECT_EQ(ed.points().size(), 11u) << "points pasted before the twelfth stay";
    EXPECT_EQ(ed.points().front(), (LinPoint{7, 70})) << "paste does not sort";

    const LinPointsEditor two({{2.5f, -1}, {-3, 1e10f}});
    const std::string text = two.copyText(',');
    EXPECT_EQ(text, "2,5\t-1\r\n-3\t1e+10\r\n");
    EXPECT_EQ(LinPointsEditor::parsePasteText(text + "junk\r\n\r\n1\t2", ','),
              (std::vector<LinPoint>{{2.5f, -1}, {-3, 1e10f}, {1, 2}}));

    FullCfgData data = defaultFullCfg();
    two.storeTo(FullCfgView(data).channel(4));
    EXPECT_EQ(LinPointsEditor::fromChannel(ConstFullCfgView(data).channel(4)).points(),
              two.points());
}

}  // namespace
}  // namespace qd40::rules
