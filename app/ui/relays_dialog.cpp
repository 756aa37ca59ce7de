#include "app/ui/relays_dialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/ui/live_widgets.h"

namespace qd40::ui {

using namespace live;
using app::live::RelaysPresenter;

CRelaysDialog::CRelaysDialog(RelaysPresenter& presenter, QWidget* parent)
    : QDialog(parent), presenter_(presenter) {
    setWindowTitle(qs(presenter.title()));
    // The relays apart from the dialog's own buttons.
    auto* box = new QGroupBox(this);
    auto* grid = new QGridLayout(box);
    grid->setHorizontalSpacing(12);
    for (int r = 1; r <= RelaysPresenter::kRelays; ++r) {
        Row& row = rows_[size_t(r - 1)];
        auto* name =
            new QLabel(qs(strings::formatText(app::appText(app::text::kRelayLabel), r)), this);
        row.status = new QLabel(box);
        row.status->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        row.status->setMinimumWidth(row.status->fontMetrics().horizontalAdvance("XClosedX"));
        row.status->setAlignment(Qt::AlignCenter);
        row.close = new QPushButton(appQText(app::text::kCloseRelay), box);
        row.open = new QPushButton(appQText(app::text::kOpenRelay), box);
        const QString n = QString::number(r);
        row.status->setObjectName("status" + n);
        row.close->setObjectName("close" + n);
        row.open->setObjectName("open" + n);
        connect(row.close, &QPushButton::clicked, this, [this, r] {
            presenter_.set(r, true);
            showStates();
        });
        connect(row.open, &QPushButton::clicked, this, [this, r] {
            presenter_.set(r, false);
            showStates();
        });
        grid->addWidget(name, r - 1, 0);
        grid->addWidget(row.status, r - 1, 1);
        grid->addWidget(row.close, r - 1, 2);
        grid->addWidget(row.open, r - 1, 3);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    auto* update = buttons->addButton(appQText(app::text::kUpdate), QDialogButtonBox::ActionRole);
    update->setObjectName("update");
    connect(update, &QPushButton::clicked, this, [this] {
        presenter_.update();
        showStates();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(box);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    showStates();
}

void CRelaysDialog::showStates() {
    for (int r = 1; r <= RelaysPresenter::kRelays; ++r) {
        const RelaysPresenter::Relay& relay = presenter_.relay(r);
        Row& row = rows_[size_t(r - 1)];
        row.status->setText(qs(relay.status));
        row.close->setEnabled(relay.closeEnabled);
        row.open->setEnabled(relay.openEnabled);
    }
}

}  // namespace qd40::ui
