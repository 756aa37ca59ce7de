#include "app/ui/opc_docs_dialog.h"

#include <set>

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/core/opc/opc_strings.h"

namespace qd40::ui {

using app::opc::OpcDocsList;

CListOpcDocsDialog::CListOpcDocsDialog(OpcDocsList& list, OpcDocsList::CloseSlot close,
                                       QWidget* parent)
    : QDialog(parent), list_(list), close_(std::move(close)) {
    setWindowTitle(QString::fromStdString(app::opc::opcText(app::opc::text::kListTitle)));
    const auto columns = OpcDocsList::columns();
    table_ =
        new QTableWidget(static_cast<int>(list_.rows().size()), static_cast<int>(columns.size()));
    QStringList headers;
    for (const auto& c : columns)
        headers << QString::fromStdString(c);
    table_->setHorizontalHeaderLabels(headers);
    table_->verticalHeader()->hide();
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    for (int r = 0; r < table_->rowCount(); ++r)
        fillRow(r);
    table_->resizeColumnsToContents();
    connect(table_, &QTableWidget::itemSelectionChanged, this, [this] { updateEnabled(); });

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    delete_ =
        buttons->addButton(QString::fromStdString(app::opc::opcText(app::opc::text::kDeleteButton)),
                           QDialogButtonBox::ActionRole);
    connect(delete_, &QPushButton::clicked, this, [this] { deleteSelected(); });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table_);
    layout->addWidget(buttons);
    updateEnabled();
    resize(900, 260);
}

void CListOpcDocsDialog::fillRow(int row) {
    const auto cells = list_.cells(row);
    for (size_t c = 0; c < cells.size(); ++c)
        table_->setItem(row, static_cast<int>(c),
                        new QTableWidgetItem(QString::fromStdString(cells[c])));
}

void CListOpcDocsDialog::deleteSelected() {
    std::set<int> rows;
    for (const auto* item : table_->selectedItems())
        rows.insert(item->row());
    for (int r : rows) {
        list_.deleteRow(r, close_);
        fillRow(r);
    }
    updateEnabled();
}

void CListOpcDocsDialog::updateEnabled() {
    bool any = false;
    for (const auto* item : table_->selectedItems()) {
        const auto& row = list_.rows()[static_cast<size_t>(item->row())];
        any = any || (row.declared && !row.blanked);
    }
    delete_->setEnabled(any && list_.canDelete());
}

void CListOpcDocsDialog::accept() {
    list_.commit();
    QDialog::accept();
}

}  // namespace qd40::ui
