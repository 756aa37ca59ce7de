#include "app/ui/clock_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "app/ui/live_widgets.h"

namespace qd40::ui {

using namespace live;

namespace {
QLineEdit* readOnly(QWidget* parent, const char* name) {
    auto* edit = new QLineEdit(parent);
    edit->setReadOnly(true);
    edit->setFocusPolicy(Qt::NoFocus);
    edit->setObjectName(name);
    return edit;
}
}  // namespace

CQd40TimeDialog::CQd40TimeDialog(app::live::ClockPresenter& presenter, QWidget* parent)
    : QDialog(parent), presenter_(presenter) {
    setWindowTitle(qs(presenter.title()));
    module_ = readOnly(this, "moduleTime");
    computer_ = readOnly(this, "computerTime");
    entered_ = new QLineEdit(qs(presenter.enteredTimeDefault()), this);
    entered_->setObjectName("enteredTime");
    const int width = entered_->fontMetrics().horizontalAdvance("0000-00-00 00:00:00XXXX");
    for (QLineEdit* e : {module_, computer_, entered_})
        e->setMinimumWidth(width);
    auto* synchronize = new QPushButton(appQText(app::text::kSynchronize), this);
    auto* send = new QPushButton(appQText(app::text::kSendTime), this);
    synchronize->setObjectName("synchronize");
    send->setObjectName("send");
    error_ = new QLabel(this);
    error_->setObjectName("error");
    error_->setWordWrap(true);
    error_->setStyleSheet("color: darkred");

    auto* form = new QFormLayout;
    form->addRow(appQText(app::text::kModuleTime), module_);
    auto* computerRow = new QHBoxLayout;
    computerRow->addWidget(computer_);
    computerRow->addWidget(synchronize);
    form->addRow(appQText(app::text::kComputerTime), computerRow);
    auto* enteredRow = new QHBoxLayout;
    enteredRow->addWidget(entered_);
    enteredRow->addWidget(send);
    form->addRow(appQText(app::text::kEnteredTime), enteredRow);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(synchronize, &QPushButton::clicked, this, [this] {
        presenter_.synchronize();
        showTimes();
    });
    connect(send, &QPushButton::clicked, this, [this] {
        presenter_.send(entered_->text().toStdString());
        showTimes();
    });
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(error_);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    timer_ = new QTimer(this);
    timer_->setInterval(app::live::ClockPresenter::kPeriodMs);
    connect(timer_, &QTimer::timeout, this, &CQd40TimeDialog::tick);
    timer_->start();
    tick();
}

void CQd40TimeDialog::tick() {
    presenter_.tick();
    showTimes();
}

void CQd40TimeDialog::showTimes() {
    module_->setText(qs(presenter_.moduleTime()));
    computer_->setText(qs(presenter_.computerTime()));
    error_->setText(qs(presenter_.error()).simplified());
    error_->setVisible(!presenter_.error().empty());
}

}  // namespace qd40::ui
