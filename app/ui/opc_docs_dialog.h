// CListOpcDocsDialog "OPC Service Documents": the documents declared for
// the OPC service at launch, one row per slot; Delete blanks the selected
// rows (closing their open documents), OK removes them for good.
#pragma once
#include <QDialog>

#include "app/core/opc/opc_docs_list.h"

class QPushButton;
class QTableWidget;

namespace qd40::ui {

class CListOpcDocsDialog : public QDialog {
public:
    // close: closes the open document that holds a slot.
    CListOpcDocsDialog(app::opc::OpcDocsList& list, app::opc::OpcDocsList::CloseSlot close,
                       QWidget* parent = nullptr);

    void accept() override;

private:
    void fillRow(int row);
    void deleteSelected();
    void updateEnabled();

    app::opc::OpcDocsList& list_;
    app::opc::OpcDocsList::CloseSlot close_;
    QTableWidget* table_;
    QPushButton* delete_;
};

}  // namespace qd40::ui
