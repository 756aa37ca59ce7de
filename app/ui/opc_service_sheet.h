// COpcSvrSheet: the OPC service parameters of a document. Page "Server":
// scanning period, start delay, when to transmit the program, stopping the
// modules on closing; page "Channels to be published": the channels of each
// module, checked when published.
#pragma once
#include <QDialog>

#include "app/core/opc/opc_service.h"

class QButtonGroup;
class QCheckBox;
class QSpinBox;
class QTreeWidget;

namespace qd40::ui {

class COpcSvrSheet : public QDialog {
public:
    COpcSvrSheet(app::CTavikDoc& doc, const app::opc::OpcServiceParams& params,
                 QWidget* parent = nullptr);
    // The parameters as edited (valid after OK).
    app::opc::OpcServiceParams params() const;

private:
    app::CTavikDoc& doc_;
    app::opc::OpcServiceParams initial_;
    QSpinBox* period_;
    QSpinBox* startDelay_;
    QButtonGroup* mode_;
    QCheckBox* stopOnClose_;
    QTreeWidget* channels_;
};

}  // namespace qd40::ui
