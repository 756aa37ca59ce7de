// The page models without windows: the channel rules through the channels
// page, Apply writing only differences, the linearisation points with the
// clipboard, the memory block conditions and the pages' warnings.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

#include "common/config/variant_blob.h"
#include "control/ctl/ovixqd40ctl.h"
#include "control/pages/chans_page_model.h"
#include "control/pages/mem_page_model.h"
#include "control/pages/other_pages.h"
#include "control/rules/rule_message.h"

namespace qd40::pages {
namespace {

// A control's blobs in memory, counting the puts; it can refuse them.
class MemoryTarget : public PageTarget {
public:
    MemoryTarget() {
        const ctl::CtlState s = ctl::CtlState::defaults();
        blobs[Blob::Cfg].assign(s.cfg.begin(), s.cfg.end());
        blobs[Blob::ChansRes].assign(s.chansRes.begin(), s.chansRes.end());
        const auto ext = cfg::ConstQd40ExtCfg(s.ext).chansExt().bytes();
        blobs[Blob::ChansExt].assign(ext.begin(), ext.end());
        blobs[Blob::MemsMask].assign(s.memsStatusMask.begin(), s.memsStatusMask.end());
        blobs[Blob::Email].assign(s.email.begin(), s.email.end());
    }
    HRESULT get(Blob b, std::vector<uint8_t>& out) override {
        out = blobs[b];
        return S_OK;
    }
    HRESULT put(Blob b, std::span<const uint8_t> bytes) override {
        if (refuse)
            return E_FAIL;
        ++puts;
        blobs[b].assign(bytes.begin(), bytes.end());
        return S_OK;
    }
    std::string errorDescription() const override { return "refused by the module"; }
    cfg::FullCfgView cfg() { return cfg::FullCfgView(blobs[Blob::Cfg]); }

    std::map<Blob, std::vector<uint8_t>> blobs;
    int puts = 0;
    bool refuse = false;
};

class RecordingPrompter : public PagePrompter {
public:
    void warning(const std::string& t) override { warnings.push_back(t); }
    void error(const std::string& t) override { errors.push_back(t); }
    std::vector<std::string> warnings, errors;
};

class FakeClipboard : public PageClipboard {
public:
    std::optional<std::string> text() override {
        if (failOpen)
            return std::nullopt;
        return content;
    }
    SetResult setText(const std::string& t) override {
        if (failOpen)
            return SetResult::CannotOpen;
        if (failEmpty)
            return SetResult::CannotEmpty;
        content = t;
        return SetResult::Ok;
    }
    std::string content;
    bool failOpen = false, failEmpty = false;
};

class PagesTest : public ::testing::Test {
protected:
    void SetUp() override { setenv("LC_ALL", "C", 1); }
};

TEST_F(PagesTest, PartnerOfAMultiWireChannelOffersOnlyNotProg) {
    MemoryTarget t;
    ChansPageModel page;
    page.attach({&t});
    ASSERT_EQ(page.activate(), S_OK);
    page.setFunction(cfg::kFctOhm);
    page.setConnection(cfg::kConn4Wires);
    page.setFunction(cfg::kFctOhm);
    ASSERT_EQ(page.selectChannel(11), std::nullopt);
    EXPECT_EQ(page.functionsOffered(), std::vector<int>{cfg::kFctNotProg});
    EXPECT_EQ(page.function(), cfg::kFctNotProg) << "storing channel 1 cleared its partners";
    ASSERT_EQ(page.selectChannel(12), std::nullopt);
    EXPECT_GT(page.functionsOffered().size(), 1u) << "channel 12's partner uses no wires";
}

TEST_F(PagesTest, ApplyWithoutChangeWritesNothing) {
    ChansPageModel chans;
    AcqPageModel acq;
    MemPageModel mem;
    GlobPageModel glob;
    MailPageModel mail;
    for (PageModel* page : std::initializer_list<PageModel*>{&chans, &acq, &mem, &glob, &mail}) {
        MemoryTarget t;
        t.cfg().setAcqPeriod(5000);  // no period warning
        t.cfg().memBlock(1).setEveryN(0);  // shown as 1
        RecordingPrompter p;
        page->attach({&t});
        ASSERT_EQ(page->activate(), S_OK);
        EXPECT_EQ(page->apply(p), S_OK);
        EXPECT_EQ(t.puts, 0) << "a page wrote unchanged bytes";
        EXPECT_TRUE(p.errors.empty());
    }
}

TEST_F(PagesTest, TwoControlsAreEachWrittenOnlyWhereTheyDiffer) {
    // Real controls without a module: the first one is read by the page.
    ctl::OvixQd40Ctl first({}), second({});
    const auto blob = [](ctl::OvixQd40Ctl& c) {
        cfg::VariantBlob v;
        c.get_Cfg(&v);
        return v.data;
    };
    std::vector<uint8_t> other = blob(second);
    cfg::FullCfgView(other).channel(5).setFunction(cfg::kFctTc);
    cfg::FullCfgView(other).setAcqPeriod(77);
    ASSERT_EQ(second.put_Cfg(cfg::packBlob(other)), S_OK);

    CtlPageTarget a(first), b(second);
    AcqPageModel page;
    page.attach({&a, &b});
    ASSERT_EQ(page.activate(), S_OK);
    page.acqCount = "9000";
    page.setPeriodUnit(cfg::kUnit10ms);
    RecordingPrompter p;
    ASSERT_EQ(page.apply(p), S_OK);
    for (ctl::OvixQd40Ctl* c : {&first, &second}) {
        const std::vector<uint8_t> now = blob(*c);
        EXPECT_EQ(cfg::ConstFullCfgView(now).acqPeriod(), 9000);
        EXPECT_EQ(cfg::ConstFullCfgView(now).periodUnit(), cfg::kUnit10ms);
    }
    EXPECT_EQ(cfg::ConstFullCfgView(blob(second)).channel(5).function(), cfg::kFctTc)
        << "the other parts of the second control stay as they were";

    // A control that already holds the page's bytes is not written.
    MemoryTarget same, differs;
    same.cfg().setAcqPeriod(9000);
    same.cfg().setPeriodUnit(cfg::kUnit10ms);
    page.attach({&same, &differs});
    ASSERT_EQ(page.activate(), S_OK);
    ASSERT_EQ(page.apply(p), S_OK);
    EXPECT_EQ(same.puts, 0);
    EXPECT_EQ(differs.puts, 1);
}

TEST_F(PagesTest, AFailingPutStopsApplyWithTheControlsError) {
    MemoryTarget refusing, next;
    refusing.refuse = true;
    GlobPageModel page;
    page.attach({&refusing, &next});
    ASSERT_EQ(page.activate(), S_OK);
    page.setTrigReverse(true);
    RecordingPrompter p;
    EXPECT_EQ(page.apply(p), E_FAIL);
    EXPECT_EQ(p.errors, std::vector<std::string>{"refused by the module"});
    EXPECT_EQ(next.puts, 0) << "the remaining controls are not updated";
    EXPECT_TRUE(page.changed());
}

TEST_F(PagesTest, PastingPointsAppendsInOrderAndStopsAtTheTwelfth) {
    FakeClipboard clip;
    clip.content = "3\t30\r\n1\t10\r\n2\t20\r\n";
    LinPointsModel dialog(4, {}, cfg::ChansResCfg::kAuto);
    EXPECT_EQ(dialog.pasteAll(clip), std::nullopt);
    const std::vector<cfg::LinPoint> pasted{{3, 30}, {1, 10}, {2, 20}};
    EXPECT_EQ(dialog.points(), pasted);

    std::vector<cfg::LinPoint> ten;
    for (int i = 0; i < 10; ++i)
        ten.push_back({float(i), float(i)});
    LinPointsModel full(4, ten, 2);
    EXPECT_EQ(full.pasteAll(clip), rules::controlText(167, 11));
    EXPECT_EQ(full.points().size(), 11u);
    EXPECT_EQ(full.points().back(), (cfg::LinPoint{3, 30}));
}

TEST_F(PagesTest, ClipboardFailuresShowTheirMessagesAndChangeNothing) {
    FakeClipboard clip;
    LinPointsModel dialog(1, {{1, 2}, {3, 4}}, 1);
    clip.failOpen = true;
    EXPECT_EQ(dialog.copyAll(clip), rules::controlText(168));
    EXPECT_EQ(dialog.pasteAll(clip), rules::controlText(168));
    clip.failOpen = false;
    clip.failEmpty = true;
    EXPECT_EQ(dialog.copyAll(clip), rules::controlText(169));
    EXPECT_EQ(dialog.points().size(), 2u);
    clip.failEmpty = false;
    ASSERT_EQ(dialog.copyAll(clip), std::nullopt);
    EXPECT_EQ(clip.content, "1\t2\r\n3\t4\r\n");
}

TEST_F(PagesTest, NumbersUseTheDecimalSeparator) {
    MemoryTarget t;
    t.cfg().channel(1).limit(1).setLevel(1.5f);
    ChansPageModel page(',');
    page.attach({&t});
    ASSERT_EQ(page.activate(), S_OK);
    EXPECT_EQ(page.fields().limits[0].level, "1,5");
    page.fields().limits[0].level = "2,25";
    page.fields().deadBandPercent = "12,5";
    ASSERT_EQ(page.store(), std::nullopt);
    EXPECT_EQ(page.cfg().channel(1).limit(1).level(), 2.25f);
    EXPECT_EQ(page.cfg().channel(1).deadBandRel(), 1250);
    page.fields().limits[0].hysteresis = "abc";
    EXPECT_NE(page.store(), std::nullopt) << "a text that is not a number is refused";

    LinPointsModel dialog(1, {}, 6, ',');
    EXPECT_EQ(dialog.resolutionTexts()[3], "\xC2\xB1####,###");
    EXPECT_EQ(dialog.add("0,5", "1"), std::nullopt);
    EXPECT_EQ(dialog.xText(0), "0,5");
}

TEST_F(PagesTest, LimitRowSetsTheChannelsGlobalAlarmBits) {
    MemoryTarget t;
    ChansPageModel page;
    page.setFirstChannel(7);
    page.attach({&t});
    ASSERT_EQ(page.activate(), S_OK);
    ASSERT_EQ(page.channel(), 7);
    page.fields().limits[2].inUse = true;
    page.fields().limits[2].globalAlarm2 = true;
    page.fields().mnemonic = "a name longer than sixteen";
    RecordingPrompter p;
    ASSERT_EQ(page.apply(p), S_OK);
    const cfg::ConstFullCfgView stored(t.blobs[Blob::Cfg]);
    EXPECT_EQ(stored.globalAlarmMask(2, 3), 1u << 6);
    EXPECT_EQ(stored.globalAlarmMask(1, 3), 0u);
    EXPECT_TRUE(stored.channel(7).limit(3).inUse());
    EXPECT_EQ(cfg::ConstChansExtCfg(t.blobs[Blob::ChansExt]).mnemonic(7), "a name longer th");
}

TEST_F(PagesTest, DefineConditionRoundTrip) {
    MemoryTarget t;
    MemPageModel page;
    page.attach({&t});
    ASSERT_EQ(page.activate(), S_OK);
    ASSERT_EQ(page.selectBlock(3), std::nullopt);
    DefineConditionModel dialog = page.defineCondition(false);
    EXPECT_EQ(dialog.title(), rules::controlText(165) + " 3");
    EXPECT_EQ(dialog.test, 0);
    dialog.channels = 0x5;
    dialog.limits = 0xA;
    dialog.test = 2;
    page.acceptCondition(dialog);
    page.fields().closeAfterEvent = true;
    ASSERT_EQ(page.store(), std::nullopt);

    const DefineConditionModel again = page.defineCondition(false);
    EXPECT_EQ(again.channels, 0x5u);
    EXPECT_EQ(again.limits, 0xAu);
    EXPECT_EQ(again.test, 2);
    EXPECT_EQ(page.cfg().memBlock(3).closingEvent(), cfg::kAlarmAtLeastOneWithout);
    EXPECT_EQ(page.defineCondition(true).title(), rules::controlText(164) + " 3");
}

TEST_F(PagesTest, AlarmRadioKeepsAStoredAlarmCode) {
    struct Case {
        bool opening;
        int stored;
        int expected;
    };
    const Case cases[] = {
        {true, 6, 6},  {true, 7, 7},  {true, 2, 4},  {true, 0, 4},
        {false, 5, 5}, {false, 4, 4}, {false, 3, 4}, {false, 0, 4},
    };
    for (const Case& c : cases) {
        MemoryTarget t;
        const cfg::MemBlockCfg b = t.cfg().memBlock(1);
        c.opening ? b.setOpeningCondition(c.stored) : b.setClosingEvent(c.stored);
        MemPageModel page;
        page.attach({&t});
        ASSERT_EQ(page.activate(), S_OK);
        if (c.opening) {
            page.fields().opening = kAlarmRadio;
        } else {
            page.fields().closeAfterEvent = true;
            page.fields().closingEvent = kClosingAlarmRadio;
        }
        ASSERT_EQ(page.store(), std::nullopt);
        const cfg::ConstMemBlockCfg s = page.cfg().memBlock(1);
        EXPECT_EQ(c.opening ? s.openingCondition() : s.closingEvent(), c.expected)
            << (c.opening ? "opening" : "closing") << " stored " << c.stored;
    }
}

TEST_F(PagesTest, CheckAllChecksProgrammedOrProgrammedAndScannedChannels) {
    MemoryTarget t;
    const cfg::FullCfgView v = t.cfg();
    for (int n = 1; n <= cfg::kChannels; ++n)
        v.channel(n).setFunction(n <= 3 ? cfg::kFctVdc : cfg::kFctNotProg);
    v.setChansToScan(0b101 | (1u << 20));  // channel 21 is not programmed
    AcqPageModel acq;
    acq.attach({&t});
    ASSERT_EQ(acq.activate(), S_OK);
    EXPECT_EQ(acq.scanMask(), 0b101u) << "a channel that is not programmed is cleared";
    acq.checkAll();
    EXPECT_EQ(acq.scanMask(), 0b111u);
    acq.checkNone();
    EXPECT_EQ(acq.scanMask(), 0u);

    MemPageModel mem;
    mem.attach({&t});
    ASSERT_EQ(mem.activate(), S_OK);
    mem.checkAll();
    EXPECT_EQ(mem.channels(), 0b101u);
    mem.checkNone();
    EXPECT_EQ(mem.channels(), 0u);
}

TEST_F(PagesTest, WarningsDoNotBlockApply) {
    MemoryTarget t;
    AcqPageModel acq;
    acq.attach({&t});
    ASSERT_EQ(acq.activate(), S_OK);
    acq.acqCount = "70000";
    acq.auxCount = "0";
    RecordingPrompter p;
    EXPECT_EQ(acq.apply(p), S_OK);
    ASSERT_FALSE(p.warnings.empty());
    EXPECT_EQ(p.warnings.front(), rules::controlText(528, 0L, 65535L));
    EXPECT_EQ(t.cfg().acqPeriod(), 65535);

    MemPageModel mem;
    mem.attach({&t});
    ASSERT_EQ(mem.activate(), S_OK);
    mem.fields().size = "60000";
    ASSERT_EQ(mem.selectBlock(2), std::nullopt);
    mem.fields().size = "50000";
    RecordingPrompter q;
    EXPECT_EQ(mem.apply(q), S_OK);
    EXPECT_EQ(q.warnings,
              std::vector<std::string>{rules::controlText(
                  521, 100000L,
                  long(rules::totalMemorySize(cfg::ConstFullCfgView(t.blobs[Blob::Cfg]))))});
    EXPECT_EQ(cfg::ConstFullCfgView(t.blobs[Blob::Cfg]).memBlock(2).size(), 50000u);
}

TEST_F(PagesTest, AboutPageLines) {
    AboutPageModel about([] { return ServerVersion{"B.10", (2u << 16) | 10u, 0}; });
    EXPECT_EQ(about.serverLine(), "OvixQd40Svr Version B.10 (2,10,0,0)");
    EXPECT_EQ(about.titleLine(), "OvixQd40: QD40 Modules Configuration ActiveX");
    EXPECT_EQ(about.controlLine().rfind("OvixQd40 Version ", 0), 0u);
    EXPECT_NE(AboutPageModel().serverLine(), about.serverLine());
}

}  // namespace
}  // namespace qd40::pages
