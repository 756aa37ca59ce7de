#include "app/ui/setup/setup_sheet.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/core/setup/setup_strings.h"
#include "app/ui/qt_prompter.h"
#include "common/module_constants.h"

namespace qd40::ui {

namespace {
using namespace app::setup;

QString t(int id) {
    return QString::fromStdString(setupText(id));
}

QComboBox* listOf(int listId, QWidget* parent) {
    auto* c = new QComboBox(parent);
    for (const std::string& s : setupList(listId))
        c->addItem(QString::fromStdString(s));
    return c;
}

// Two exclusive choices side by side.
QWidget* pair(QRadioButton* a, QRadioButton* b, QWidget* parent) {
    auto* w = new QWidget(parent);
    auto* l = new QHBoxLayout(w);
    l->setContentsMargins(0, 0, 0, 0);
    auto* g = new QButtonGroup(w);
    g->addButton(a);
    g->addButton(b);
    l->addWidget(a);
    l->addWidget(b);
    l->addStretch();
    return w;
}
}  // namespace

SetupSheet::SetupSheet(const SetupRecord& record, QWidget* parent, const SetupClock* clock)
    : QDialog(parent), record_(record), clock_(clock) {
    setWindowTitle(t(stext::kSheetTitle));
    tabs_ = new QTabWidget(this);
    tabs_->addTab(portsPage(), t(stext::kPagePorts));
    tabs_->addTab(networkPage(), t(stext::kPageNetwork));
    tabs_->addTab(modemPage(), t(stext::kPageModem));
    tabs_->addTab(emailPage(), t(stext::kPageEmail));
    tabs_->addTab(otherPage(), t(stext::kPageOther));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &SetupSheet::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &SetupSheet::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addWidget(buttons);
    for (const Loader& load : loaders_)
        load(record_);
}

void SetupSheet::accept() {
    for (const auto& [id, field] : addresses_) {
        if (!field->isEnabled() && field->text().isEmpty())
            continue;
        if (!parseIpv4(field->text().trimmed().toStdString())) {
            for (int i = 0; i < tabs_->count(); ++i)
                if (tabs_->widget(i)->isAncestorOf(field))
                    tabs_->setCurrentIndex(i);
            makeMessageBox(this, windowTitle().toStdString(),
                           setupMessage(stext::kInvalidAddress, {field->text().toStdString()}),
                           app::Buttons::Ok, app::Icon::Exclamation)
                ->exec();
            field->setFocus();
            field->selectAll();
            return;
        }
    }
    for (const Storer& store : storers_)
        store(record_);
    QDialog::accept();
}

QLineEdit* SetupSheet::textField(int id) {
    auto* e = new QLineEdit(this);
    e->setMaxLength(int(kSetupTextSize) - 1);
    e->setObjectName(findSetupItem(id)->key);
    loaders_.push_back(
        [e, id](const SetupRecord& r) { e->setText(QString::fromStdString(r.text(id))); });
    storers_.push_back([e, id](SetupRecord& r) { r.setText(id, e->text().toStdString()); });
    return e;
}

QLineEdit* SetupSheet::addressField(int id) {
    auto* e = new QLineEdit(this);
    e->setObjectName(findSetupItem(id)->key);
    e->setInputMask("");
    e->setMaxLength(15);
    e->setFixedWidth(e->fontMetrics().horizontalAdvance("255.255.255.255") + 24);
    loaders_.push_back([e, id](const SetupRecord& r) {
        e->setText(QString::fromStdString(ipv4Text(r.number(id))));
    });
    storers_.push_back([e, id](SetupRecord& r) {
        if (const auto a = parseIpv4(e->text().trimmed().toStdString()))
            r.setNumber(id, *a);
    });
    addresses_.emplace_back(id, e);
    return e;
}

QWidget* SetupSheet::portsPage() {
    auto* page = new QWidget(this);
    auto* layout = new QHBoxLayout(page);
    for (int port = 1; port <= 2; ++port) {
        const bool p1 = port == 1;
        auto* box = new QGroupBox(t(p1 ? stext::kP1Port : stext::kP2Port), page);
        auto* form = new QFormLayout(box);
        const int rateId = p1 ? item::kP1Rate : item::kP2Rate;
        auto* rate = new QComboBox(box);
        rate->setObjectName(findSetupItem(rateId)->key);
        for (uint32_t r : module::kBaudRates)
            rate->addItem(QString::number(r), r);
        loaders_.push_back([rate, rateId](const SetupRecord& r) {
            const uint32_t v = r.number(rateId);
            if (rate->findData(v) < 0)
                rate->addItem(QString::number(v), v);
            rate->setCurrentIndex(rate->findData(v));
        });
        storers_.push_back(
            [rate, rateId](SetupRecord& r) { r.setNumber(rateId, rate->currentData().toUInt()); });
        form->addRow(t(stext::kRate), rate);

        const int slaveId = p1 ? item::kP1Slave : item::kP2Slave;
        auto* slave = new QSpinBox(box);
        slave->setRange(1, 250);
        loaders_.push_back(
            [slave, slaveId](const SetupRecord& r) { slave->setValue(int(r.number(slaveId))); });
        storers_.push_back(
            [slave, slaveId](SetupRecord& r) { r.setNumber(slaveId, uint32_t(slave->value())); });
        form->addRow(t(stext::kSlaveNo), slave);

        if (p1) {
            auto* two = new QRadioButton(t(stext::kTwoWires), box);
            auto* four = new QRadioButton(t(stext::kFourWires), box);
            loaders_.push_back([two, four](const SetupRecord& r) {
                (r.number(item::kP1TwoWires) ? two : four)->setChecked(true);
            });
            storers_.push_back(
                [two](SetupRecord& r) { r.setNumber(item::kP1TwoWires, two->isChecked()); });
            form->addRow(QString(), pair(two, four, box));
        } else {
            auto* modem = new QCheckBox(t(stext::kModemConnected), box);
            loaders_.push_back(
                [modem](const SetupRecord& r) { modem->setChecked(r.number(item::kP2Modem)); });
            storers_.push_back(
                [modem](SetupRecord& r) { r.setNumber(item::kP2Modem, modem->isChecked()); });
            form->addRow(QString(), modem);
        }

        auto* iface = new QComboBox(box);
        iface->setObjectName(p1 ? "p1-interface" : "p2-interface");
        iface->addItems({t(stext::kStandard), t(stext::kUsb), t(stext::kRadio)});
        loaders_.push_back([iface, port](const SetupRecord& r) {
            iface->setCurrentIndex(int(serialInterface(r, port)));
        });
        storers_.push_back([iface, port](SetupRecord& r) {
            // Stored only when chosen differently, so that a module's own
            // pause and count stay as they were.
            const auto chosen = SerialInterface(iface->currentIndex());
            if (serialInterface(r, port) != chosen)
                setSerialInterface(r, port, chosen);
        });
        form->addRow(t(stext::kInterface), iface);

        const int orderId = p1 ? item::kP1WordsOrder : item::kP2WordsOrder;
        auto* order = new QComboBox(box);
        order->addItems({t(stext::kMsbFirst), t(stext::kLsbFirst)});
        loaders_.push_back([order, orderId](const SetupRecord& r) {
            order->setCurrentIndex(r.number(orderId) ? 0 : 1);
        });
        storers_.push_back([order, orderId](SetupRecord& r) {
            if ((r.number(orderId) != 0) != (order->currentIndex() == 0))
                r.setNumber(orderId, order->currentIndex() == 0);
        });
        form->addRow(t(stext::kWordsOrder), order);

        const int formatId = p1 ? item::kP1Format : item::kP2Format;
        auto* format = listOf(stext::kFormatNames, box);
        loaders_.push_back([format, formatId](const SetupRecord& r) {
            const int i = int(r.number(formatId));
            while (format->count() <= i)
                format->addItem(QString::number(format->count()));
            format->setCurrentIndex(i);
        });
        storers_.push_back([format, formatId](SetupRecord& r) {
            r.setNumber(formatId, uint32_t(format->currentIndex()));
        });
        form->addRow(t(stext::kResultsFormat), format);

        if (p1) {
            auto* mode = new QGroupBox(t(stext::kModbusMode), box);
            auto* modeLayout = new QFormLayout(mode);
            auto* slaveMode = new QRadioButton(t(stext::kModeSlave), mode);
            auto* gateway = new QRadioButton(t(stext::kModeGateway), mode);
            gateway->setObjectName("modbus-gateway");
            auto* group = new QButtonGroup(mode);
            group->addButton(slaveMode);
            group->addButton(gateway);
            auto* wait = new QSpinBox(mode);
            wait->setObjectName("gateway-wait");
            wait->setRange(0, 10);
            wait->setSuffix(" " + t(stext::kSecondsUnit));
            modeLayout->addRow(slaveMode);
            modeLayout->addRow(gateway);
            modeLayout->addRow(t(stext::kMaxWait), wait);
            connect(gateway, &QRadioButton::toggled, wait, &QWidget::setEnabled);
            loaders_.push_back([slaveMode, gateway, wait](const SetupRecord& r) {
                (r.number(item::kGateway485) ? gateway : slaveMode)->setChecked(true);
                wait->setValue(int(r.number(item::kGatewayWait)));
                wait->setEnabled(gateway->isChecked());
            });
            storers_.push_back([gateway, wait](SetupRecord& r) {
                if ((r.number(item::kGateway485) != 0) != gateway->isChecked())
                    r.setNumber(item::kGateway485, gateway->isChecked());
                r.setNumber(item::kGatewayWait, uint32_t(wait->value()));
            });
            form->addRow(mode);
        }
        layout->addWidget(box, 0, Qt::AlignTop);
    }
    return page;
}

QWidget* SetupSheet::networkPage() {
    auto* page = new QWidget(this);
    auto* form = new QFormLayout(page);
    auto* dhcp = new QRadioButton(t(stext::kDhcp), page);
    auto* fixed = new QRadioButton(t(stext::kFixedIp), page);
    auto* group = new QButtonGroup(page);
    group->addButton(dhcp);
    group->addButton(fixed);
    form->addRow(dhcp);
    form->addRow(fixed);
    QLineEdit* ip = addressField(item::kIpAddress);
    QLineEdit* mask = addressField(item::kSubnetMask);
    QLineEdit* gateway = addressField(item::kGateway);
    form->addRow(t(stext::kIpAddress), ip);
    form->addRow(t(stext::kSubnetMask), mask);
    form->addRow(t(stext::kGateway), gateway);
    form->addRow(t(stext::kDns1), addressField(item::kDns1));
    form->addRow(t(stext::kDns2), addressField(item::kDns2));
    form->addRow(t(stext::kDns3), addressField(item::kDns3));
    const auto follow = [ip, mask, gateway](bool isFixed) {
        for (QLineEdit* e : {ip, mask, gateway})
            e->setEnabled(isFixed);
    };
    connect(fixed, &QRadioButton::toggled, page, follow);
    loaders_.push_back([dhcp, fixed, follow](const SetupRecord& r) {
        (r.number(item::kDhcp) ? dhcp : fixed)->setChecked(true);
        follow(fixed->isChecked());
    });
    storers_.push_back([dhcp](SetupRecord& r) {
        if ((r.number(item::kDhcp) != 0) != dhcp->isChecked())
            r.setNumber(item::kDhcp, dhcp->isChecked());
    });
    return page;
}

QWidget* SetupSheet::modemPage() {
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);
    auto* top = new QFormLayout;
    top->addRow(t(stext::kModemInit), textField(item::kModemInit));
    layout->addLayout(top);
    auto* provider = new QGroupBox(t(stext::kProviderGroup), page);
    auto* p = new QFormLayout(provider);
    p->addRow(t(stext::kPhone), textField(item::kProviderPhone));
    p->addRow(t(stext::kConnectionId), textField(item::kProviderId));
    QLineEdit* providerPassword = textField(item::kProviderPassword);
    providerPassword->setEchoMode(QLineEdit::Password);
    p->addRow(t(stext::kConnectionPassword), providerPassword);
    p->addRow(t(stext::kPrimaryDns), addressField(item::kModemDns1));
    p->addRow(t(stext::kSecondaryDns), addressField(item::kModemDns2));
    layout->addWidget(provider);
    auto* users = new QGroupBox(t(stext::kUsersGroup), page);
    auto* u = new QFormLayout(users);
    u->addRow(t(stext::kConnectionId), textField(item::kUsersId));
    QLineEdit* usersPassword = textField(item::kUsersPassword);
    usersPassword->setEchoMode(QLineEdit::Password);
    u->addRow(t(stext::kConnectionPassword), usersPassword);
    u->addRow(t(stext::kUsersIp), addressField(item::kModemUsersIp));
    auto* idle = new QSpinBox(users);
    idle->setObjectName("idle-seconds");
    idle->setRange(0, 65535);
    idle->setSuffix(" " + t(stext::kSecondsUnit));
    loaders_.push_back(
        [idle](const SetupRecord& r) { idle->setValue(int(r.number(item::kIdleSeconds))); });
    storers_.push_back(
        [idle](SetupRecord& r) { r.setNumber(item::kIdleSeconds, uint32_t(idle->value())); });
    u->addRow(t(stext::kIdleDisconnect), idle);
    layout->addWidget(users);
    layout->addStretch();
    return page;
}

QWidget* SetupSheet::emailPage() {
    auto* page = new QWidget(this);
    auto* form = new QFormLayout(page);
    form->addRow(t(stext::kSmtpServer), textField(item::kSmtpServer));
    auto* ethernet = new QRadioButton(t(stext::kViaEthernet), page);
    auto* modem = new QRadioButton(t(stext::kViaModem), page);
    form->addRow(t(stext::kAccessVia), pair(ethernet, modem, page));
    loaders_.push_back([ethernet, modem](const SetupRecord& r) {
        (r.number(item::kMailViaModem) ? modem : ethernet)->setChecked(true);
    });
    storers_.push_back([modem](SetupRecord& r) {
        if ((r.number(item::kMailViaModem) != 0) != modem->isChecked())
            r.setNumber(item::kMailViaModem, modem->isChecked());
    });
    form->addRow(t(stext::kSender), textField(item::kSender));
    const int recipients[] = {item::kRecipient1, item::kRecipient2, item::kRecipient3};
    for (int i = 0; i < 3; ++i)
        form->addRow(
            QString::fromStdString(setupMessage(stext::kRecipient, {std::to_string(i + 1)})),
            textField(recipients[i]));
    auto* power = new QCheckBox(t(stext::kMailOnPowerOn), page);
    loaders_.push_back(
        [power](const SetupRecord& r) { power->setChecked(r.number(item::kMailOnPowerOn)); });
    storers_.push_back([power](SetupRecord& r) {
        if ((r.number(item::kMailOnPowerOn) != 0) != power->isChecked())
            r.setNumber(item::kMailOnPowerOn, power->isChecked());
    });
    form->addRow(power);
    return page;
}

QWidget* SetupSheet::clockGroup(QWidget* parent) {
    auto* box = new QGroupBox(t(stext::kModuleClock), parent);
    auto* shown = new QLabel(box);
    shown->setObjectName("moduleTime");
    shown->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    auto* sync = new QPushButton(t(stext::kSynchronize), box);
    sync->setObjectName("synchronize");
    auto* entered = new QDateTimeEdit(QDateTime::currentDateTime(), box);
    entered->setObjectName("enteredTime");
    entered->setDisplayFormat("yyyy-MM-dd HH:mm:ss");
    auto* send = new QPushButton(t(stext::kSendTime), box);
    send->setObjectName("sendTime");
    auto* grid = new QGridLayout(box);
    grid->addWidget(shown, 0, 0);
    grid->addWidget(sync, 0, 1);
    grid->addWidget(entered, 1, 0);
    grid->addWidget(send, 1, 1);
    grid->setColumnStretch(0, 1);
    if (!clock_) {
        box->setEnabled(false);
        return box;
    }
    const auto refresh = [this, shown] {
        const auto now = clock_->read();
        shown->setText(now ? QDateTime(QDate(now->year, now->month, now->day),
                                       QTime(now->hour, now->minute, now->second))
                                 .toString("yyyy-MM-dd HH:mm:ss")
                           : QString());
    };
    const auto sendTime = [this, refresh](const QDateTime& when) {
        const QDate d = when.date();
        const QTime t = when.time();
        clock_->send(DateTime{d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second(), 0});
        refresh();
    };
    connect(sync, &QPushButton::clicked, box,
            [sendTime] { sendTime(QDateTime::currentDateTime()); });
    connect(send, &QPushButton::clicked, box,
            [sendTime, entered] { sendTime(entered->dateTime()); });
    refresh();
    return box;
}

QWidget* SetupSheet::otherPage() {
    auto* page = new QWidget(this);
    auto* form = new QFormLayout(page);
    auto* language = listOf(stext::kLanguageNames, page);
    language->setObjectName("language");
    loaders_.push_back([language](const SetupRecord& r) {
        const int i = int(r.number(item::kLanguage));
        while (language->count() <= i)
            language->addItem(QString::number(language->count()));
        language->setCurrentIndex(i);
    });
    storers_.push_back([language](SetupRecord& r) {
        r.setNumber(item::kLanguage, uint32_t(language->currentIndex()));
    });
    form->addRow(t(stext::kLanguage), language);

    // Each two-way choice: the text of 0, the text of non-zero.
    const struct {
        int label, zero, nonZero, id;
        const char* name;
    } choices[] = {
        {stext::kTimeStamp, stext::kAbsolute, stext::kRelativeToRun, item::kRelativeTime,
         "relative-time"},
        {stext::kMainsRejection, stext::k50Hz, stext::k60Hz, item::kMains60Hz, "mains-60hz"},
        {stext::kFrontButton, stext::kRun, stext::kRunStop, item::kFrontRunStop, "front-run-stop"},
    };
    for (const auto& c : choices) {
        auto* zero = new QRadioButton(t(c.zero), page);
        auto* nonZero = new QRadioButton(t(c.nonZero), page);
        nonZero->setObjectName(c.name);
        const int id = c.id;
        loaders_.push_back([zero, nonZero, id](const SetupRecord& r) {
            (r.number(id) ? nonZero : zero)->setChecked(true);
        });
        storers_.push_back([nonZero, id](SetupRecord& r) {
            if ((r.number(id) != 0) != nonZero->isChecked())
                r.setNumber(id, nonZero->isChecked());
        });
        form->addRow(t(c.label), pair(zero, nonZero, page));
    }
    const struct {
        int label, id;
    } checks[] = {{stext::kConfigInAcquisition, item::kConfigInAcquisition},
                  {stext::kDoNotRound, item::kDoNotRound}};
    for (const auto& c : checks) {
        auto* box = new QCheckBox(t(c.label), page);
        box->setObjectName(findSetupItem(c.id)->key);
        const int id = c.id;
        loaders_.push_back([box, id](const SetupRecord& r) { box->setChecked(r.number(id)); });
        storers_.push_back([box, id](SetupRecord& r) {
            if ((r.number(id) != 0) != box->isChecked())
                r.setNumber(id, box->isChecked());
        });
        form->addRow(box);
    }
    form->addRow(t(stext::kModuleName), textField(item::kModuleName));
    form->addRow(clockGroup(page));
    return page;
}

}  // namespace qd40::ui
