// CVisEvtsDialog: the module's abnormal events list over its presenter,
// with Update and the export to a text file.
#pragma once
#include <functional>

#include <QDialog>

#include "app/core/live/events_presenter.h"

class QTreeWidget;

namespace qd40::ui {

class CVisEvtsDialog : public QDialog {
public:
    // The presenter and the prompter outlive the dialog.
    CVisEvtsDialog(app::live::EventsPresenter& presenter, app::AppPrompter& prompter,
                   QWidget* parent = nullptr);

    // Reads the events again and shows them.
    void update();
    // Asks for a file and writes the list into it.
    void exportToFile();
    // The save dialog: the chosen path, empty on Cancel. Tests replace it.
    std::function<QString()> chooseFile;

private:
    void showRows();

    app::live::EventsPresenter& presenter_;
    app::AppPrompter& prompter_;
    QTreeWidget* list_;
};

}  // namespace qd40::ui
