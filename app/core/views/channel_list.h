// The program window's channel list: one row per channel 1..30 of a module,
// 38 columns (number, mnemonic, function, range, wiring, tests, RJC,
// accuracy, unit, delay, default value, dead band, six columns per limit,
// resolution and linearisation), read from the module's control.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include <QAbstractTableModel>

#include "app/core/tavik_item.h"

namespace qd40::app::views {

inline constexpr int kChannelListColumns = 38;
inline constexpr int kChannelListRows = 30;

using ChannelRow = std::vector<std::string>;

// The column titles (string 148).
std::vector<std::string> channelListColumns();
// The rows of the control's channels; nullopt when the control cannot give
// them (the view then shows message 191).
std::optional<std::vector<ChannelRow>> channelListRows(ctl::OvixQd40Ctl& control);

// The list as a table model over one item; the rows are read again by
// refresh().
class ChannelListModel : public QAbstractTableModel {
public:
    explicit ChannelListModel(QObject* parent = nullptr);

    // Shows item's channels (null: an empty list). False when they could not
    // be read: the list is then empty.
    bool setItem(CTavikItem* item);
    bool refresh();
    CTavikItem* item() const { return item_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    CTavikItem* item_ = nullptr;
    std::vector<QString> titles_;
    std::vector<ChannelRow> rows_;
};

}  // namespace qd40::app::views
