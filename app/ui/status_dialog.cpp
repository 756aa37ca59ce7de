#include "app/ui/status_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/ui/live_widgets.h"

namespace qd40::ui {

using namespace live;
using app::live::StatusPresenter;

namespace {
// A box that shows a state: the operator cannot change it.
QCheckBox* stateBox(const QString& text, QWidget* parent) {
    auto* box = new QCheckBox(text, parent);
    box->setAttribute(Qt::WA_TransparentForMouseEvents);
    box->setFocusPolicy(Qt::NoFocus);
    return box;
}
}  // namespace

CStatusDialog::CStatusDialog(StatusPresenter& presenter, QWidget* parent)
    : QDialog(parent), presenter_(presenter) {
    setWindowTitle(qs(presenter.title()));

    auto* word = new QGroupBox(appQText(app::text::kStatusWordGroup), this);
    auto* wordLayout = new QVBoxLayout(word);
    wordLayout->setSpacing(2);
    for (int b = 0; b < StatusPresenter::kBits; ++b) {
        bits_[size_t(b)] = stateBox(qs(StatusPresenter::bitText(b)), word);
        bits_[size_t(b)]->setObjectName("bit" + QString::number(b));
        wordLayout->addWidget(bits_[size_t(b)]);
    }

    auto* mems = new QGroupBox(appQText(app::text::kMemBlocksGroup), this);
    auto* grid = new QGridLayout(mems);
    grid->setVerticalSpacing(2);
    const int heads[] = {app::text::kMemRecording, app::text::kClosedState, app::text::kMemFull,
                         app::text::kMemAvailable};
    for (int c = 0; c < 4; ++c)
        grid->addWidget(new QLabel(appQText(heads[c]), mems), 0, c + 1, Qt::AlignCenter);
    for (int b = 1; b <= StatusPresenter::kBlocks; ++b) {
        BlockRow& row = blocks_[size_t(b - 1)];
        grid->addWidget(
            new QLabel(qs(strings::formatText(app::appText(app::text::kMemBlockLabel), b)), mems),
            b, 0);
        row.recording = stateBox(QString(), mems);
        row.closed = stateBox(QString(), mems);
        row.full = stateBox(QString(), mems);
        row.available = new QLabel(mems);
        row.available->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        row.available->setObjectName("available" + QString::number(b));
        grid->addWidget(row.recording, b, 1, Qt::AlignCenter);
        grid->addWidget(row.closed, b, 2, Qt::AlignCenter);
        grid->addWidget(row.full, b, 3, Qt::AlignCenter);
        grid->addWidget(row.available, b, 4);
    }
    grid->setRowStretch(StatusPresenter::kBlocks + 1, 1);

    auto* commands = new QHBoxLayout;
    auto* update = new QPushButton(appQText(app::text::kUpdate), this);
    update->setObjectName("update");
    connect(update, &QPushButton::clicked, this, [this] {
        presenter_.update();
        showStatus();
    });
    commands->addWidget(update);
    commands->addSpacing(12);
    commands->addWidget(commandButton(Command::Run, app::text::kStatusRun, "run"));
    commands->addWidget(commandButton(Command::Stop, app::text::kStatusStop, "stop"));
    commands->addWidget(commandButton(Command::Trig, app::text::kStatusTrig, "trig"));
    commands->addWidget(commandButton(Command::Local, app::text::kStatusLocal, "local"));
    commands->addWidget(commandButton(Command::Remote, app::text::kStatusRemote, "remote"));
    commands->addStretch(1);

    auto* events = new QGroupBox(appQText(app::text::kEventsGroup), this);
    auto* see = new QPushButton(appQText(app::text::kStatusSeeEvents), events);
    see->setObjectName("see");
    (new QHBoxLayout(events))->addWidget(see);
    connect(see, &QPushButton::clicked, this, [this] {
        if (seeEvents)
            seeEvents();
    });
    auto* right = new QVBoxLayout;
    right->addWidget(mems);
    right->addWidget(events);

    auto* top = new QHBoxLayout;
    top->addWidget(word);
    top->addLayout(right);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(commands);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    showStatus();
}

QPushButton* CStatusDialog::commandButton(Command command, int textId, const char* name) {
    auto* button = new QPushButton(appQText(textId), this);
    button->setObjectName(name);
    button->setEnabled(presenter_.enabled(command));
    connect(button, &QPushButton::clicked, this, [this, command] {
        presenter_.send(command);
        showStatus();
    });
    return button;
}

void CStatusDialog::showStatus() {
    for (int b = 0; b < StatusPresenter::kBits; ++b)
        bits_[size_t(b)]->setChecked(presenter_.bit(b));
    for (int b = 1; b <= StatusPresenter::kBlocks; ++b) {
        const StatusPresenter::Block& state = presenter_.block(b);
        BlockRow& row = blocks_[size_t(b - 1)];
        row.recording->setChecked(state.recording);
        row.closed->setChecked(state.closed);
        row.full->setChecked(state.full);
        row.available->setText(QString::number(state.available));
    }
}

}  // namespace qd40::ui
