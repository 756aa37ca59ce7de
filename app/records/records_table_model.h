// The records of one block as a table for the records explorer: one row per
// stored record, eight columns (No., Date, Qd40, Voie, Value, Unit, Alarm,
// Error). A row's texts are made only when the view asks for them, so a block
// of millions of records opens at once.
#pragma once
#include <array>
#include <cstddef>

#include <QAbstractTableModel>
#include <QStringList>

#include "app/records/expl_bloc.h"
#include "platform/locale.h"

namespace qd40::records {

class RecordsTableModel : public QAbstractTableModel {
public:
    static constexpr int kColumns = 8;
    // The width of each column in characters, its title aside.
    static constexpr std::array<int, kColumns> kColumnChars{6, 23, 16, 16, 8, 5, 5, 6};

    explicit RecordsTableModel(platform::Locale locale, QObject* parent = nullptr);

    // Shows block (null: nothing). The block is not owned and must outlive
    // the model or be replaced first.
    void setBlock(const CExplBloc* block);
    const CExplBloc* block() const { return block_; }
    // Shows the block's records again after they changed.
    void refresh();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    const RecordText& rowText(size_t row) const;

    platform::Locale locale_;
    QStringList titles_;
    const CExplBloc* block_ = nullptr;
    // Records from this one on have a known date: the first date record, or
    // 0 when the block has none.
    size_t firstDated_ = 0;
    // The last row made: a view asks for the columns of a row one after another.
    mutable size_t cachedRow_ = SIZE_MAX;
    mutable RecordText cached_;
};

}  // namespace qd40::records
