// The records table of the explorer: the model contract, the columns, the
// date rule and a block of ten million records shown without formatting it.
#include <chrono>

#include <gtest/gtest.h>
#include <QAbstractItemModelTester>

#include "app/records/records_table_model.h"
#include "test_blocks.h"

namespace qd40::records {
namespace {

using testing::Raw;
using testing::sampleBlock;

QString cell(const RecordsTableModel& m, int row, int column) {
    return m.data(m.index(row, column), Qt::DisplayRole).toString();
}

TEST(RecordsTableModel, PassesTheModelTesterWhileBlocksChange) {
    RecordsTableModel model(platform::Locale::posix());
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    EXPECT_EQ(model.rowCount(), 0);
    CExplBloc block = sampleBlock();
    model.setBlock(&block);
    EXPECT_EQ(model.rowCount(), static_cast<int>(block.records.size()));
    block.records.resize(2);
    model.refresh();
    EXPECT_EQ(model.rowCount(), 2);
    model.setBlock(nullptr);
    EXPECT_EQ(model.rowCount(), 0);
}

TEST(RecordsTableModel, ColumnsAreTheRecordTextsUnderTheirTitles) {
    CExplBloc block = sampleBlock();
    RecordsTableModel model(platform::Locale::posix());
    model.setBlock(&block);
    const QStringList titles{"No.", "Date", "Qd40", "Voie", "Value", "Unit", "Alarm", "Error"};
    ASSERT_EQ(model.columnCount(), titles.size());
    for (int c = 0; c < titles.size(); ++c)
        EXPECT_EQ(model.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString(), titles[c]);
    // Row 3 is channel 1 measured after the first date record.
    const RecordText expected = block.FormatRecordText(2, '\t', true, platform::Locale::posix());
    for (int c = 0; c < RecordsTableModel::kColumns; ++c)
        EXPECT_EQ(cell(model, 2, c).toStdString(), expected.columns[size_t(c)]) << "column " << c;
    EXPECT_EQ(cell(model, 2, 3), "Temp");
    EXPECT_FALSE(model.data(model.index(2, 0), Qt::EditRole).isValid());
}

TEST(RecordsTableModel, DatesAreKnownFromTheFirstDateRecordOrEverywhereWithoutOne) {
    struct Case {
        bool withDate;
        int row;
        bool dateShown;
    };
    for (const Case& c : {Case{true, 0, false}, Case{true, 2, true}, Case{false, 0, true}}) {
        CExplBloc block;
        Raw raw;
        raw.value(1, 0, 1.0f);
        if (c.withDate)
            raw.date(testing::kS, 0);
        raw.value(1, 0x0001, 2.0f);
        block.AppendRawRecords(raw.bytes, raw.count());
        RecordsTableModel model(platform::Locale::posix());
        model.setBlock(&block);
        EXPECT_EQ(cell(model, c.row, 1) != "?", c.dateShown)
            << "with date " << c.withDate << ", row " << c.row;
    }
}

TEST(RecordsTableModel, TenMillionRecordsOpenAndScrollWithoutBeingFormatted) {
    constexpr size_t kCount = 10'000'000;
    CExplBloc block;
    Raw raw;
    raw.date(testing::kS, 0).value(1, 0x0001, 3.5f);
    block.AppendRawRecords(raw.bytes, raw.count());
    block.records.resize(kCount, block.records[1]);

    RecordsTableModel model(platform::Locale::posix());
    const auto start = std::chrono::steady_clock::now();
    model.setBlock(&block);
    const QString last = cell(model, int(kCount) - 1, 0);
    const QString middle = cell(model, int(kCount / 2), 4);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(model.rowCount(), int(kCount));
    EXPECT_EQ(last, "10000000");
    EXPECT_EQ(middle.toStdString(),
              block.FormatRecordText(kCount / 2, '\t', true, platform::Locale::posix()).columns[4]);
    // Formatting every record takes seconds; opening takes no time at all.
    EXPECT_LT(elapsed, std::chrono::milliseconds(500));
}

}  // namespace
}  // namespace qd40::records
