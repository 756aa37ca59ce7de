#include "app/ui/events_dialog.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/ui/live_widgets.h"

namespace qd40::ui {

using namespace live;
using app::live::EventsPresenter;

CVisEvtsDialog::CVisEvtsDialog(EventsPresenter& presenter, app::AppPrompter& prompter,
                               QWidget* parent)
    : QDialog(parent), presenter_(presenter), prompter_(prompter) {
    setWindowTitle(qs(presenter.title()));
    list_ = new QTreeWidget(this);
    list_->setObjectName("events");
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    QStringList titles;
    for (const std::string& c : EventsPresenter::columns())
        titles << qs(c);
    list_->setHeaderLabels(titles);
    const int x = list_->fontMetrics().horizontalAdvance('X');
    const auto widths = EventsPresenter::columnWidths();
    // The columns' widths in widths of "X", the last one at most a third of the screen's.
    list_->setColumnWidth(
        0, std::max(widths[0] * x, list_->fontMetrics().horizontalAdvance(titles.value(0) + "XX")));
    list_->setColumnWidth(1, widths[1] * x);
    list_->setColumnWidth(2, widths[2] * x);
    list_->setMinimumWidth((widths[0] + widths[1]) * x + 50 * x);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    auto* update = buttons->addButton(appQText(app::text::kUpdate), QDialogButtonBox::ActionRole);
    auto* toFile =
        buttons->addButton(appQText(app::text::kToTextFile), QDialogButtonBox::ActionRole);
    update->setObjectName("update");
    toFile->setObjectName("toTextFile");
    connect(update, &QPushButton::clicked, this, [this] { this->update(); });
    connect(toFile, &QPushButton::clicked, this, [this] { exportToFile(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_);
    layout->addWidget(buttons);
    resize(minimumSizeHint().width(), 360);

    chooseFile = [this] {
        return QFileDialog::getSaveFileName(this, appQText(app::text::kSelectFileToRecord),
                                            QString(), appQText(app::text::kTextFilesFilter));
    };
    showRows();
}

void CVisEvtsDialog::update() {
    presenter_.refresh();
    showRows();
}

void CVisEvtsDialog::showRows() {
    list_->clear();
    for (const auto& r : presenter_.rows())
        list_->addTopLevelItem(new QTreeWidgetItem(QStringList{qs(r[0]), qs(r[1]), qs(r[2])}));
}

void CVisEvtsDialog::exportToFile() {
    const QString path = chooseFile ? chooseFile() : QString();
    if (path.isEmpty())
        return;
    if (const Status st = presenter_.exportTo(path.toStdString()); !st)
        prompter_.message(st.error.description, app::Buttons::Ok, app::Icon::Exclamation);
}

}  // namespace qd40::ui
