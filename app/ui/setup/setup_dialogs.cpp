#include "app/ui/setup/setup_dialogs.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "app/core/setup/setup_strings.h"
#include "app/ui/qt_prompter.h"

namespace qd40::ui {

namespace {
using namespace app::setup;

QString t(int id) {
    return QString::fromStdString(setupText(id));
}
}  // namespace

// ---- Ethernet address ----------------------------------------------------------------

CMacAddrDialog::CMacAddrDialog(const MacAddress& address, QWidget* parent)
    : QDialog(parent), address_(address) {
    setWindowTitle(t(stext::kEthernetTitle));
    auto* row = new QHBoxLayout;
    for (size_t i = 0; i < fields_.size(); ++i) {
        if (i > 0)
            row->addWidget(new QLabel("-", this));
        fields_[i] = new QLineEdit(this);
        fields_[i]->setObjectName(QString("byte%1").arg(i + 1));
        fields_[i]->setMaxLength(3);
        fields_[i]->setAlignment(Qt::AlignCenter);
        fields_[i]->setFixedWidth(fields_[i]->fontMetrics().horizontalAdvance("0000") + 12);
        row->addWidget(fields_[i]);
    }
    hex_ = new QRadioButton(t(stext::kHex), this);
    dec_ = new QRadioButton(t(stext::kDec), this);
    auto* base = new QButtonGroup(this);
    base->addButton(hex_);
    base->addButton(dec_);
    auto* bases = new QHBoxLayout;
    bases->addWidget(hex_);
    bases->addWidget(dec_);
    bases->addStretch();
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CMacAddrDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CMacAddrDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addLayout(bases);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    hex_->setChecked(true);
    for (size_t i = 0; i < fields_.size(); ++i)
        fields_[i]->setText(QString::fromStdString(addressByteText(address_[i], true)));
    connect(hex_, &QRadioButton::toggled, this, [this](bool on) { setHex(on); });
}

std::optional<int> CMacAddrDialog::readFields() {
    for (size_t i = 0; i < fields_.size(); ++i) {
        const auto b = parseAddressByte(fields_[i]->text().trimmed().toStdString(), shownHex_);
        if (!b)
            return int(i);
        address_[i] = *b;
    }
    return std::nullopt;
}

void CMacAddrDialog::setHex(bool hex) {
    if (hex == shownHex_)
        return;
    // What was typed in the old base is shown again in the new one; a field
    // that does not read keeps its text.
    for (QLineEdit* f : fields_) {
        if (const auto b = parseAddressByte(f->text().trimmed().toStdString(), shownHex_))
            f->setText(QString::fromStdString(addressByteText(*b, hex)));
    }
    shownHex_ = hex;
    (hex ? hex_ : dec_)->setChecked(true);
}

void CMacAddrDialog::accept() {
    if (const auto wrong = readFields()) {
        makeMessageBox(this, windowTitle().toStdString(), setupText(stext::kByteOutOfRange),
                       app::Buttons::Ok, app::Icon::Exclamation)
            ->exec();
        fields_[size_t(*wrong)]->setFocus();
        fields_[size_t(*wrong)]->selectAll();
        return;
    }
    QDialog::accept();
}

// ---- access code ---------------------------------------------------------------------

AccessCodeDialog::AccessCodeDialog(const QString& title, const QString& prompt, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(title);
    field_ = new QLineEdit(this);
    field_->setObjectName("code");
    field_->setEchoMode(QLineEdit::Password);
    field_->setValidator(new QIntValidator(0, 9999, field_));
    field_->setMaxLength(4);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(prompt, this));
    layout->addWidget(field_);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

std::optional<int> AccessCodeDialog::code() const {
    bool ok = false;
    const int v = field_->text().toInt(&ok);
    return ok ? std::optional<int>(v) : std::nullopt;
}

// ---- e-mail counter -------------------------------------------------------------------

CEmailCounterDialog::CEmailCounterDialog(EmailCounter& counter, QWidget* parent)
    : QDialog(parent), counter_(counter) {
    setWindowTitle(QString::fromStdString(counter_.title()));
    count_ = new QLabel(this);
    count_->setObjectName("count");
    count_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    count_->setMinimumWidth(count_->fontMetrics().horizontalAdvance("000000") + 12);
    count_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto* update = new QPushButton(t(stext::kUpdate), this);
    update->setObjectName("update");
    value_ = new QSpinBox(this);
    value_->setObjectName("value");
    value_->setRange(0, 65535);
    auto* force = new QPushButton(t(stext::kForceCounter), this);
    force->setObjectName("force");
    auto* reset = new QPushButton(t(stext::kResetConditions), this);
    reset->setObjectName("reset");
    auto* close = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(close, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(update, &QPushButton::clicked, this, [this] {
        counter_.update();
        refresh();
    });
    connect(force, &QPushButton::clicked, this, [this] {
        counter_.forceTo(uint16_t(value_->value()));
        refresh();
    });
    connect(reset, &QPushButton::clicked, this, [this] { counter_.resetConditions(); });

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(t(stext::kEmailsSent), this), 0, 0);
    grid->addWidget(count_, 0, 1);
    grid->addWidget(update, 0, 2);
    grid->addWidget(force, 1, 0);
    grid->addWidget(value_, 1, 1);
    grid->addWidget(reset, 2, 0, 1, 3);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(close);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    refresh();
}

void CEmailCounterDialog::refresh() {
    const auto c = counter_.count();
    count_->setText(c ? QString::number(*c) : QString());
}

}  // namespace qd40::ui
