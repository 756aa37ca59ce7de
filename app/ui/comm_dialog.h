// CCommDialog: the communication parameters of a module item, on a serial
// port (this machine's or a remote host's) or on the network.
#pragma once
#include <string>

#include <QDialog>

#include "app/core/views/comm_form.h"
#include "control/ctl/ctl_state.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QRadioButton;
class QSpinBox;

namespace qd40::ui {

class CCommDialog : public QDialog {
public:
    // messageCaption: the caption of the message that refuses an empty field.
    // form Setup: only the serial port may change (a SETUP connection).
    CCommDialog(const ctl::CtlConnection& params, std::string messageCaption,
                QWidget* parent = nullptr, app::views::CommForm form = app::views::CommForm::Item);
    // The parameters as edited (valid after OK).
    ctl::CtlConnection params() const;

    void accept() override;

private:
    void updateEnabled();

    ctl::CtlConnection initial_;
    std::string caption_;
    app::views::CommForm form_;
    QRadioButton* serial_;
    QRadioButton* network_;
    QRadioButton* local_;
    QRadioButton* remoteHost_;
    QLineEdit* host_;
    QComboBox* comPort_;
    QCheckBox* serverParams_;
    QComboBox* rate_;
    QComboBox* interface_;
    QLineEdit* address_;
    QSpinBox* tcpPort_;
    QSpinBox* slave_;
};

}  // namespace qd40::ui
