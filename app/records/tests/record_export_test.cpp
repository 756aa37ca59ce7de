#include "app/records/record_export.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/records/records_strings.h"
#include "app/records/tests/test_blocks.h"

namespace qd40::records {
namespace {

using testing::kS;
using testing::Raw;

std::string crlf(std::initializer_list<std::string> lines) {
    std::string s;
    for (const auto& l : lines)
        s += l + "\r\n";
    return s;
}

class ExportTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("records-export-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
        path_ = (dir_ / "out.txt").string();
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::string file() const {
        std::ifstream in(path_, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    std::string spreadsheet(const std::vector<const CExplBloc*>& blocks,
                            const SpreadsheetOptions& o,
                            const platform::Locale& locale = platform::Locale::posix()) {
        const ExportResult r = exportSpreadsheet(blocks, path_, false, o, locale, nullptr);
        EXPECT_EQ(r.hr, S_OK) << r.message;
        return file();
    }

    std::filesystem::path dir_;
    std::string path_;
    CExplBloc sample_ = testing::sampleBlock();
};

TEST_F(ExportTest, SpreadsheetGroupedByCycle) {
    // Channel 3 measured twice in the first cycle: the row shows the second value.
    EXPECT_EQ(spreadsheet({&sample_}, SpreadsheetOptions{}),
              crlf({"\"Run 1\"\t\"LAB\"", "2001-01-01\t10:20:30.250",
                    "\"Interval\"\t\"Temp\"\t\"Chan.03\"",
                    "\"s\"\t\"\xB0"
                    "C\"\t\"V\"",
                    "0.000\t21.5\t2.25", "59.850\t-0.1\tErr. -3"}));
}

TEST_F(ExportTest, SpreadsheetOneRowPerMeasurement) {
    SpreadsheetOptions o;
    o.groupByCycle = false;
    o.firstCycleDate = false;
    o.date = true;
    o.time = true;
    // #1 comes before the first date record: skipped. The channel-2 record
    // gives a row with empty channel fields.
    EXPECT_EQ(
        spreadsheet({&sample_}, o),
        crlf({"\"Run 1\"\t\"LAB\"", "\"Interval\"\t\"Date\"\t\"Hour\"\t\"Temp\"\t\"Chan.03\"",
              "\"s\"\t\t\t\"\xB0"
              "C\"\t\"V\"",
              "0.500\t2001-01-01\t10:20:30.750\t21.5\t", "10.000\t2001-01-01\t10:20:40.250\t\t1.5",
              "11.000\t2001-01-01\t10:20:41.250\t\t2.25", "0.001\t2001-01-01\t10:20:30.251\t\t",
              "59.850\t2001-01-01\t10:21:30.100\t-0.1\t",
              "59.850\t2001-01-01\t10:21:30.100\t\tErr. -3"}));
}

TEST_F(ExportTest, SpreadsheetOptionVariants) {
    SpreadsheetOptions onlyDate;
    onlyDate.firstCycleDate = false;
    onlyDate.interval = false;
    onlyDate.date = true;
    EXPECT_EQ(spreadsheet({&sample_}, onlyDate),
              crlf({"\"Run 1\"\t\"LAB\"", "\"Date\"\t\"Temp\"\t\"Chan.03\"",
                    "\t\"\xB0"
                    "C\"\t\"V\"",
                    "2001-01-01\t21.5\t2.25", "2001-01-01\t-0.1\tErr. -3"}));

    SpreadsheetOptions semicolon;
    semicolon.separator = ';';
    const platform::Locale comma("%d/%m/%Y", "%H:%M:%S", ',');
    EXPECT_EQ(
        spreadsheet({&sample_}, semicolon, comma),
        crlf({"\"Run 1\";\"LAB\"", "01/01/2001;10:20:30,250", "\"Interval\";\"Temp\";\"Chan.03\"",
              "\"s\";\"\xB0"
              "C\";\"V\"",
              "0,000;21,5;2,25", "59,850;-0,1;Err. -3"}));

    // A block without a date record writes its header line only.
    CExplBloc noDate = sample_;
    noDate.name = "Essai \xC3\xA9";
    noDate.records.clear();
    Raw raw;
    raw.value(1, 0, 1.0f).value(3, 0, 2.0f);
    noDate.AppendRawRecords(raw.bytes, raw.count());
    EXPECT_EQ(
        spreadsheet({&noDate, &sample_}, onlyDate),
        crlf({"\"Essai \xE9\"\t\"LAB\"", "\"Run 1\"\t\"LAB\"", "\"Date\"\t\"Temp\"\t\"Chan.03\"",
              "\t\"\xB0"
              "C\"\t\"V\"",
              "2001-01-01\t21.5\t2.25", "2001-01-01\t-0.1\tErr. -3"}));
}

TEST_F(ExportTest, SpreadsheetRowsOfUnusualRecords) {
    // Channels 1 and 2 stored. A record of channel 40 (a damaged block) has no
    // column; a record whose date is not valid shows "?" for its date and
    // time, and the next record of the same date shows them again.
    CExplBloc b;
    b.name = "Odd";
    le::setU32(b.memCfg, 4, 0b11);
    testing::setChannel(b, 1, 1, 0, 0.0f, "A", "V", 1);
    testing::setChannel(b, 2, 1, 0, 0.0f, "B", "V", 1);
    Raw raw;
    raw.date(kS, 0)
        .value(1, 0x0001, 1.0f)
        .value(40, 0x0002, 9.0f)
        .value(2, 0x0003, 2.0f)
        .value(1, 0x0003, 3.0f);
    b.AppendRawRecords(raw.bytes, raw.count());
    b.records[3].setDateStatus(1);
    SpreadsheetOptions o;
    o.firstCycleDate = false;
    o.date = true;
    o.time = true;
    o.groupByCycle = false;
    const std::string header =
        "\"Odd\"\t\"\"\r\n\"Interval\"\t\"Date\"\t\"Hour\"\t\"A\"\t\"B\"\r\n"
        "\"s\"\t\t\t\"V\"\t\"V\"\r\n";
    EXPECT_EQ(spreadsheet({&b}, o),
              header + crlf({"0.001\t2001-01-01\t10:20:30.001\t1.0\t",
                             "0.002\t2001-01-01\t10:20:30.002\t\t", "0.003\t?\t?\t\t2.0",
                             "0.003\t2001-01-01\t10:20:30.003\t3.0\t"}));
    o.groupByCycle = true;
    EXPECT_EQ(spreadsheet({&b}, o), header + crlf({"0.000\t2001-01-01\t10:20:30.000\t3.0\t2.0"}));

    // Without stored channels or leading columns every row is empty.
    le::setU32(b.memCfg, 4, 0);
    o.interval = o.date = o.time = false;
    const std::string bare = crlf({"\"Odd\"\t\"\"", "", ""});
    EXPECT_EQ(spreadsheet({&b}, o), bare + crlf({""}));
    o.groupByCycle = false;
    EXPECT_EQ(spreadsheet({&b}, o), bare + crlf({"", "", "", ""}));
}

TEST_F(ExportTest, TextInLineWritesEachRecordText) {
    const ExportResult r =
        exportTextInLine({&sample_}, path_, false, platform::Locale::posix(), nullptr);
    EXPECT_EQ(r.hr, S_OK);
    EXPECT_EQ(r.records, 9u);
    EXPECT_EQ(file(), crlf({"000001 ? LAB Temp 5.0 \xB0"
                            "C  ",
                            "000002 2001-01-01 10:20:30.250      ",
                            "000003 2001-01-01 10:20:30.750 LAB Temp 21.5 \xB0"
                            "C  ",
                            "000004 2001-01-01 10:20:40.250 LAB Chan.03 1.5 V  ",
                            "000005 2001-01-01 10:20:41.250 LAB Chan.03 2.25 V  ",
                            "000006 2001-01-01 10:20:30.251 LAB Aux 9 mV  ",
                            "000007 2001-01-01 10:21:30.100      ",
                            "000008 2001-01-01 10:21:30.100 LAB Temp -0.1 \xB0"
                            "C 1;3 ",
                            "000009 2001-01-01 10:21:30.100 LAB Chan.03 0 V   -3"}));
}

TEST_F(ExportTest, AddsToOrReplacesAnExistingFile) {
    CExplBloc small;
    Raw raw;
    raw.date(kS, 0);
    small.AppendRawRecords(raw.bytes, 1);
    const std::string line = crlf({"000001 2001-01-01 10:20:30.000      "});
    for (bool append : {true, false}) {
        std::ofstream(path_, std::ios::binary) << "old\r\n";
        exportTextInLine({&small}, path_, append, platform::Locale::posix(), nullptr);
        EXPECT_EQ(file(), append ? "old\r\n" + line : line);
    }
}

class CancellingDialog : public WaitDialogState {
public:
    int cancelAtCall = 0;
    int calls = 0;

protected:
    void pumpEvents() override {
        if (++calls == cancelAtCall)
            requestCancel();
    }
};

TEST_F(ExportTest, CancelKeepsWhatWasWritten) {
    CExplBloc big;
    le::setU32(big.memCfg, 4, 1);
    Raw raw;
    raw.date(kS, 0);
    for (int i = 1; i < 3000; ++i)
        raw.value(1, static_cast<uint16_t>(i), 1.0f);
    big.AppendRawRecords(raw.bytes, raw.count());

    auto lines = [this] {
        const std::string s = file();
        size_t n = 0;
        for (size_t at = s.find("\r\n"); at != std::string::npos; at = s.find("\r\n", at + 2))
            ++n;
        EXPECT_EQ(s.substr(s.size() - 2), "\r\n");
        return n;
    };
    CancellingDialog dialog;
    dialog.cancelAtCall = 2;  // the second test, after record 2048
    ExportResult r = exportTextInLine({&big}, path_, false, platform::Locale::posix(), &dialog);
    EXPECT_EQ(r.hr, S_OK);
    EXPECT_TRUE(r.cancelled);
    EXPECT_EQ(lines(), 2048u);
    EXPECT_EQ(dialog.titleId(), IDS_EXPORTING);
    EXPECT_EQ(dialog.high(), 3000);
    EXPECT_EQ(dialog.pos(), 2048);
    EXPECT_EQ(dialog.message(), "2048 exported records of 3000");
    EXPECT_FALSE(dialog.isOpen());

    SpreadsheetOptions o;
    o.groupByCycle = false;
    CancellingDialog dialog2;
    dialog2.cancelAtCall = 1;
    r = exportSpreadsheet({&big}, path_, false, o, platform::Locale::posix(), &dialog2);
    EXPECT_TRUE(r.cancelled);
    EXPECT_EQ(lines(), 4u + 1023u);  // header, date, titles, units, rows of records 2..1024

    CancellingDialog never;
    r = exportSpreadsheet({&big}, path_, false, o, platform::Locale::posix(), &never);
    EXPECT_FALSE(r.cancelled);
    EXPECT_EQ(lines(), 4u + 2999u);
    EXPECT_EQ(never.calls, 2);
}

TEST(ExportFileName, TitleCutAtTheFirstSpecialCharacter) {
    const std::pair<const char*, const char*> cases[] = {
        {"My data.dqx", "My.txt"},    {"Plant#2.dqx", "Plant.txt"}, {"a;b%c.dqx", "a.txt"},
        {"Line 4", "Line.txt"},       {"run.v2.dqx", "run.v2.txt"}, {"x/y\\z.dqx", "x.txt"},
        {"Simple.dqx", "Simple.txt"},
    };
    for (const auto& [title, expected] : cases)
        EXPECT_EQ(defaultExportFileName(title), expected);
}

TEST_F(ExportTest, FailuresAreReported) {
    ExportResult r = exportSpreadsheet({&sample_}, (dir_ / "missing" / "x.txt").string(), false,
                                       SpreadsheetOptions{}, platform::Locale::posix(), nullptr);
    EXPECT_EQ(r.hr, E_ABORT);
    EXPECT_EQ(r.message, "Unable to create the file");
    if (!std::filesystem::exists("/dev/full"))
        return;
    r = exportTextInLine({&sample_}, "/dev/full", false, platform::Locale::posix(), nullptr);
    EXPECT_EQ(r.hr, E_ABORT);
    EXPECT_EQ(r.message, "Unable to write the records in the file");

    // A failed write stops the export at the next progress step instead of
    // walking the remaining records; it is no cancel.
    CExplBloc big;
    le::setU32(big.memCfg, 4, 1);
    Raw raw;
    raw.date(kS, 0);
    for (int i = 1; i < 20000; ++i)
        raw.value(1, static_cast<uint16_t>(i), 1.0f);
    big.AppendRawRecords(raw.bytes, raw.count());
    SpreadsheetOptions o;
    o.groupByCycle = false;
    for (bool spreadsheet : {true, false}) {
        WaitDialogState dialog;
        r = spreadsheet
                ? exportSpreadsheet({&big}, "/dev/full", false, o, platform::Locale::posix(),
                                    &dialog)
                : exportTextInLine({&big}, "/dev/full", false, platform::Locale::posix(), &dialog);
        EXPECT_EQ(r.hr, E_ABORT) << spreadsheet;
        EXPECT_EQ(r.message, "Unable to write the records in the file") << spreadsheet;
        EXPECT_FALSE(r.cancelled) << spreadsheet;
        EXPECT_LT(r.records, 20000u) << spreadsheet;
        EXPECT_EQ(r.records % 1024, 0u) << spreadsheet;
        EXPECT_FALSE(dialog.isOpen()) << spreadsheet;
    }
}

}  // namespace
}  // namespace qd40::records
