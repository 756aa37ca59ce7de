#include "app/ui/comm_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>

#include "app/core/views/comm_form.h"
#include "app/core/views/view_strings.h"
#include "app/ui/qt_prompter.h"

namespace qd40::ui {

namespace {
using namespace app::views;

constexpr int kModbusTcpPort = 502;

QString t(int id) {
    return QString::fromStdString(viewText(id));
}

QLabel* labelFor(const QString& text, QWidget* buddy, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setBuddy(buddy);
    return label;
}
}  // namespace

CCommDialog::CCommDialog(const ctl::CtlConnection& params, std::string messageCaption,
                         QWidget* parent, CommForm form)
    : QDialog(parent), initial_(params), caption_(std::move(messageCaption)), form_(form) {
    setWindowTitle(t(vtext::kCommDialogTitle));

    serial_ = new QRadioButton(t(vtext::kCommSerial), this);
    network_ = new QRadioButton(t(vtext::kCommRemote), this);
    local_ = new QRadioButton(t(vtext::kCommLocal), this);
    remoteHost_ = new QRadioButton(t(vtext::kCommHost), this);
    auto* kind = new QButtonGroup(this);
    kind->addButton(serial_);
    kind->addButton(network_);
    auto* where = new QButtonGroup(this);
    where->addButton(local_);
    where->addButton(remoteHost_);
    host_ = new QLineEdit(this);
    comPort_ = new QComboBox(this);
    for (int p = 1; p <= kComPorts; ++p)
        comPort_->addItem(
            QString::fromStdString(strings::formatText(viewText(vtext::kCommComPortItem), p)));
    serverParams_ = new QCheckBox(t(vtext::kCommServerParams), this);
    rate_ = new QComboBox(this);
    // Named for the tests that find them.
    serial_->setObjectName("serial");
    network_->setObjectName("network");
    local_->setObjectName("local");
    remoteHost_->setObjectName("remoteHost");
    host_->setObjectName("host");
    comPort_->setObjectName("comPort");
    rate_->setObjectName("rate");
    for (uint32_t r : kBaudRates)
        rate_->addItem(QString::number(r));
    interface_ = new QComboBox(this);
    interface_->addItems({t(vtext::kCommStandard), t(vtext::kCommUsb), t(vtext::kCommRadio)});
    address_ = new QLineEdit(this);
    address_->setObjectName("address");
    address_->setMinimumWidth(address_->fontMetrics().averageCharWidth() * 24);
    tcpPort_ = new QSpinBox(this);
    tcpPort_->setRange(0, 65535);
    slave_ = new QSpinBox(this);
    slave_->setRange(1, 255);
    slave_->setObjectName("slave");
    serverParams_->setObjectName("serverParams");
    interface_->setObjectName("interface");

    // Serial fields indented under their choice, network fields under theirs.
    auto* grid = new QGridLayout;
    grid->setColumnMinimumWidth(0, 20);
    int row = 0;
    grid->addWidget(serial_, row++, 0, 1, 5);
    grid->addWidget(local_, row, 1);
    grid->addWidget(remoteHost_, row, 2);
    grid->addWidget(host_, row++, 3, 1, 2);
    grid->addWidget(labelFor(t(vtext::kCommPort), comPort_, this), row, 1);
    grid->addWidget(comPort_, row++, 2);
    grid->addWidget(serverParams_, row++, 1, 1, 4);
    grid->addWidget(labelFor(t(vtext::kCommRate), rate_, this), row, 1);
    grid->addWidget(rate_, row, 2);
    grid->addWidget(labelFor(t(vtext::kCommInterface), interface_, this), row, 3);
    grid->addWidget(interface_, row++, 4);
    grid->setRowMinimumHeight(row++, 8);
    grid->addWidget(network_, row++, 0, 1, 5);
    grid->addWidget(labelFor(t(vtext::kCommAddress), address_, this), row, 1);
    grid->addWidget(address_, row, 2, 1, 2);
    grid->addWidget(labelFor(t(vtext::kCommTcpPort), tcpPort_, this), row, 4);
    grid->addWidget(tcpPort_, row++, 5);
    grid->setRowMinimumHeight(row++, 8);
    grid->addWidget(labelFor(t(vtext::kCommSlave), slave_, this), row, 0, 1, 2);
    grid->addWidget(slave_, row++, 2);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CCommDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CCommDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    const bool serial = params.serial;
    (serial ? serial_ : network_)->setChecked(true);
    (serial && !params.ipAddr.empty() ? remoteHost_ : local_)->setChecked(true);
    host_->setText(serial ? QString::fromStdString(params.ipAddr) : QString());
    address_->setText(serial ? QString() : QString::fromStdString(params.ipAddr));
    comPort_->setCurrentIndex(comPortIndex(serial ? params.port : 0));
    serverParams_->setChecked(params.ovixQd40SvrParams);
    rate_->setCurrentIndex(baudRateIndex(params.baudRate));
    interface_->setCurrentIndex(params.serialMode < ctl::qd40SerialModeQty ? params.serialMode : 0);
    // A module that moves to the network starts on the MODBUS/TCP port.
    tcpPort_->setValue(serial ? kModbusTcpPort : static_cast<uint16_t>(params.port));
    slave_->setValue(params.mbAddr == 0 ? 1 : params.mbAddr);

    const std::initializer_list<QAbstractButton*> choices{serial_, network_, local_, remoteHost_,
                                                          serverParams_};
    for (QAbstractButton* b : choices)
        connect(b, &QAbstractButton::toggled, this, &CCommDialog::updateEnabled);
    updateEnabled();
}

void CCommDialog::updateEnabled() {
    const CommFieldsEnabled e = commFieldsEnabled(serial_->isChecked(), remoteHost_->isChecked(),
                                                  serverParams_->isChecked(), form_);
    serial_->setEnabled(e.kindChoice);
    network_->setEnabled(e.kindChoice);
    local_->setEnabled(e.hostChoice);
    remoteHost_->setEnabled(e.hostChoice);
    comPort_->setEnabled(e.comPort);
    serverParams_->setEnabled(e.serverParams);
    host_->setEnabled(e.hostName);
    rate_->setEnabled(e.rateAndInterface);
    interface_->setEnabled(e.rateAndInterface);
    address_->setEnabled(e.networkFields);
    tcpPort_->setEnabled(false);
    slave_->setEnabled(e.slave);
}

ctl::CtlConnection CCommDialog::params() const {
    ctl::CtlConnection p = initial_;
    p.serial = serial_->isChecked();
    if (p.serial) {
        p.ipAddr = remoteHost_->isChecked() ? host_->text().trimmed().toStdString() : "";
        p.port = static_cast<int16_t>(comPort_->currentIndex() + 1);
        p.ovixQd40SvrParams = serverParams_->isChecked();
        p.baudRate = kBaudRates[size_t(rate_->currentIndex())];
        p.serialMode = static_cast<uint8_t>(interface_->currentIndex());
    } else {
        p.ipAddr = address_->text().trimmed().toStdString();
        p.port = static_cast<int16_t>(static_cast<uint16_t>(tcpPort_->value()));
    }
    p.mbAddr = static_cast<uint8_t>(slave_->value());
    return p;
}

void CCommDialog::accept() {
    const auto missing = missingField(params(), remoteHost_->isChecked());
    if (!missing) {
        QDialog::accept();
        return;
    }
    makeMessageBox(this, caption_, viewText(vtext::kAddressNeeded), app::Buttons::Ok,
                   app::Icon::Exclamation)
        ->exec();
    (*missing == MissingField::HostName ? host_ : address_)->setFocus();
}

}  // namespace qd40::ui
