#include "server/panel/panel_widgets.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "server/panel/panel_strings.h"

namespace qd40::panel {

namespace {

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

QPushButton* button(int textId, int id, QWidget* parent) {
    auto* b = new QPushButton(q(panelText(textId)), parent);
    b->setObjectName(controlName(id));
    return b;
}

}  // namespace

QString controlName(int id) {
    return QStringLiteral("ctl%1").arg(id);
}

QIcon serverIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64}) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.setBrush(QColor(0x1f, 0x5f, 0x99));
        p.setPen(Qt::NoPen);
        p.drawRoundedRect(QRectF(0, 0, size, size), size / 6.0, size / 6.0);
        // A serial line running into the module: three pins and a cable.
        p.setBrush(Qt::white);
        const double u = size / 16.0;
        for (int i = 0; i < 3; ++i)
            p.drawEllipse(QRectF(u * (3 + 4 * i), u * 3, u * 2, u * 2));
        p.setPen(QPen(Qt::white, u * 1.5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(u * 8, u * 7), QPointF(u * 8, u * 13));
        p.drawLine(QPointF(u * 4, u * 13), QPointF(u * 12, u * 13));
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

void QtMessagePort::message(Icon icon, const std::string& title, const std::string& text) {
    QMessageBox box(icon == Icon::Exclamation ? QMessageBox::Warning : QMessageBox::Information,
                    q(title), q(text), QMessageBox::Ok, parent_);
    box.exec();
}

// ---- ChannelTestDialog

ChannelTestDialog::ChannelTestDialog(ChannelTest& logic, QWidget* parent)
    : QDialog(parent), logic_(logic) {
    setWindowTitle(q(panelText(kTxtTestCaption)));
    channels_ = new QComboBox(this);
    channels_->setObjectName(controlName(kIdChannelList));
    for (const auto& e : logic_.entries())
        channels_->addItem(q(e.text), e.data);
    channels_->setCurrentIndex(-1);

    auto* numbers = new QRegularExpressionValidator(QRegularExpression("[0-9]*"), this);
    address_ = new QLineEdit(this);
    address_->setObjectName(controlName(kIdModbusAddress));
    address_->setValidator(numbers);
    ip_ = new QLineEdit(this);
    ip_->setObjectName(controlName(kIdIpAddress));
    port_ = new QLineEdit(this);
    port_->setObjectName(controlName(kIdIpPort));
    port_->setValidator(numbers);

    auto* channelLabel = new QLabel(q(panelText(kTxtChannel)), this);
    channelLabel->setBuddy(channels_);
    auto* target = new QGroupBox(q(panelText(kTxtTarget)), this);
    auto* form = new QFormLayout(target);
    auto addRow = [&](int textId, QWidget* field) {
        auto* label = new QLabel(q(panelText(textId)), target);
        label->setBuddy(field);
        form->addRow(label, field);
    };
    addRow(kTxtModbusAddress, address_);
    addRow(kTxtIpAddress, ip_);
    addRow(kTxtIpPort, port_);

    auto* test = button(kTxtTest, kIdTest, this);
    auto* close = button(kTxtClose, kIdClose, this);
    test->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(test);
    buttons->addWidget(close);

    auto* top = new QVBoxLayout(this);
    top->addWidget(channelLabel);
    top->addWidget(channels_);
    top->addWidget(target);
    top->addLayout(buttons);
    setMinimumWidth(360);

    connect(channels_, &QComboBox::currentIndexChanged, this, &ChannelTestDialog::selectionChanged);
    connect(test, &QPushButton::clicked, this, &ChannelTestDialog::runTest);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    selectionChanged(-1);
}

void ChannelTestDialog::selectionChanged(int index) {
    logic_.select(index);
    address_->setEnabled(logic_.addressEnabled());
    ip_->setEnabled(logic_.ipEnabled());
    port_->setEnabled(logic_.ipEnabled());
}

void ChannelTestDialog::runTest() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    struct Restore {
        ~Restore() { QApplication::restoreOverrideCursor(); }
    } restore;
    logic_.test(address_->text().toStdString(), ip_->text().trimmed().toStdString(),
                port_->text().toStdString());
}

// ---- AboutDialog

AboutDialog::AboutDialog(const AboutLines& lines, QWidget* parent) : QDialog(parent) {
    setWindowTitle(q(panelText(kTxtAboutCaption)));
    auto* icon = new QLabel(this);
    icon->setPixmap(serverIcon().pixmap(48, 48));
    auto line = [this](const std::string& text, int id) {
        auto* l = new QLabel(q(text), this);
        if (id)
            l->setObjectName(controlName(id));
        l->setTextInteractionFlags(Qt::TextSelectableByMouse);
        return l;
    };
    auto* texts = new QVBoxLayout;
    texts->addWidget(line(lines.component, 0));
    texts->addWidget(line(lines.server, kIdServerVersion));
    texts->addWidget(line(lines.legal, kIdLegalNotice));
    auto* sub = new QGroupBox(q(panelText(kTxtSubComponents)), this);
    auto* subLayout = new QVBoxLayout(sub);
    auto* transport = new QLabel(q(lines.transport), sub);
    transport->setObjectName(controlName(kIdTransportVersion));
    subLayout->addWidget(transport);
    texts->addWidget(sub);
    texts->addWidget(line(lines.special, kIdSpecialBuild));

    auto* row = new QHBoxLayout;
    row->addWidget(icon, 0, Qt::AlignTop);
    row->addLayout(texts, 1);
    auto* ok = new QPushButton(q(panelText(kTxtOk)), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    auto* top = new QVBoxLayout(this);
    top->addLayout(row);
    top->addLayout(buttons);
}

// ---- PanelWindow

PanelWindow::PanelWindow(PortsPreConfig& logic, DaemonAccess& daemon, MessagePort& messages,
                         QWidget* parent)
    : QWidget(parent), logic_(logic), daemon_(daemon), messages_(messages) {
    setWindowTitle(q(serverText(100)));
    auto* group = new QGroupBox(q(panelText(kTxtPortsGroup)), this);
    auto* grid = new QGridLayout(group);
    grid->addWidget(new QLabel(q(panelText(kTxtBaudRate)), group), 0, 1);
    grid->addWidget(new QLabel(q(panelText(kTxtCabling)), group), 0, 2);
    QStringList rates, cablings;
    for (const auto& r : rateEntries())
        rates << q(r);
    for (const auto& c : cablingEntries())
        cablings << q(c);
    for (int n = 1; n <= server::kPortCount; ++n) {
        const auto& ids = kPortControls[size_t(n - 1)];
        auto* check = new QCheckBox(QStringLiteral("COM%1").arg(n), group);
        check->setObjectName(controlName(ids.check));
        auto* rate = new QComboBox(group);
        rate->setObjectName(controlName(ids.rate));
        for (int i = 0; i < rates.size(); ++i)
            rate->addItem(rates[i], rateOfEntry(i));
        auto* cabling = new QComboBox(group);
        cabling->setObjectName(controlName(ids.cabling));
        cabling->addItems(cablings);
        grid->addWidget(check, n, 0);
        grid->addWidget(rate, n, 1);
        grid->addWidget(cabling, n, 2);
        checks_[size_t(n - 1)] = check;
        rates_[size_t(n - 1)] = rate;
        cablings_[size_t(n - 1)] = cabling;
        connect(check, &QCheckBox::toggled, this, [this, n](bool on) {
            logic_.setAvailable(n, on);
            rates_[size_t(n - 1)]->setEnabled(logic_.listsEnabled(n));
            cablings_[size_t(n - 1)]->setEnabled(logic_.listsEnabled(n));
        });
        connect(rate, &QComboBox::currentIndexChanged, this,
                [this, n](int i) { logic_.setRateIndex(n, i); });
        connect(cabling, &QComboBox::currentIndexChanged, this,
                [this, n](int i) { logic_.setCablingIndex(n, i); });
    }

    auto* test = button(kTxtTestButton, kIdTestButton, this);
    auto* about = button(kTxtAboutButton, kIdAboutButton, this);
    auto* validate = button(kTxtValidate, kIdValidate, this);
    auto* exit = button(kTxtExit, kIdExit, this);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(test);
    buttons->addWidget(about);
    buttons->addStretch();
    buttons->addWidget(validate);
    buttons->addWidget(exit);
    auto* top = new QHBoxLayout(this);
    top->addWidget(group, 1);
    top->addLayout(buttons);

    connect(test, &QPushButton::clicked, this, &PanelWindow::openTest);
    connect(about, &QPushButton::clicked, this, &PanelWindow::openAbout);
    connect(validate, &QPushButton::clicked, this, [this] { logic_.validate(); });
    connect(exit, &QPushButton::clicked, this, [this] {
        if (logic_.exit())
            Q_EMIT exited();
    });
    showRows();
}

void PanelWindow::showRows() {
    for (int n = 1; n <= server::kPortCount; ++n) {
        const PortRow row = logic_.row(n);  // a copy: the setters below write back into the logic
        const size_t i = size_t(n - 1);
        checks_[i]->setChecked(row.available);
        rates_[i]->setCurrentIndex(row.rateIndex);
        cablings_[i]->setCurrentIndex(row.cablingIndex);
        rates_[i]->setEnabled(logic_.listsEnabled(n));
        cablings_[i]->setEnabled(logic_.listsEnabled(n));
    }
}

std::unique_ptr<ChannelTest> PanelWindow::makeChannelTest() {
    return std::make_unique<ChannelTest>(logic_.rows(), daemon_, messages_);
}

void PanelWindow::openTest() {
    auto logic = makeChannelTest();
    ChannelTestDialog dialog(*logic, this);
    dialog.exec();
}

void PanelWindow::openAbout() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const AboutLines lines = aboutLines(daemon_);
    QApplication::restoreOverrideCursor();
    AboutDialog dialog(lines, this);
    dialog.exec();
}

}  // namespace qd40::panel
