#include "app/records/records_table_model.h"

#include "app/records/records_strings.h"

namespace qd40::records {

RecordsTableModel::RecordsTableModel(platform::Locale locale, QObject* parent)
    : QAbstractTableModel(parent), locale_(std::move(locale)) {
    titles_ = QString::fromStdString(recordsText(IDS_RECORD_COLUMNS)).split(u'\t');
    titles_.resize(kColumns);
}

void RecordsTableModel::setBlock(const CExplBloc* block) {
    block_ = block;
    refresh();
}

void RecordsTableModel::refresh() {
    beginResetModel();
    cachedRow_ = SIZE_MAX;
    firstDated_ = 0;
    if (block_) {
        const size_t first = block_->firstDateRecord();
        firstDated_ = first == block_->records.size() ? 0 : first;
    }
    endResetModel();
}

int RecordsTableModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || !block_)
        return 0;
    // A view counts rows in int.
    return static_cast<int>(std::min<size_t>(block_->records.size(), INT_MAX));
}

int RecordsTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

const RecordText& RecordsTableModel::rowText(size_t row) const {
    if (row != cachedRow_) {
        cached_ = block_->FormatRecordText(row, '\t', row >= firstDated_, locale_, false);
        cachedRow_ = row;
    }
    return cached_;
}

QVariant RecordsTableModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount() ||
        index.column() >= kColumns)
        return {};
    return QString::fromStdString(rowText(size_t(index.row())).columns[size_t(index.column())]);
}

QVariant RecordsTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 ||
        section >= kColumns)
        return {};
    return titles_[section];
}

}  // namespace qd40::records
