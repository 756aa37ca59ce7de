// The storage memory reading dialog: one column per memory block (status
// boxes, available records, the four choices, name and comment), the Status
// button, OK and Cancel. Every rule is CReadMemDialog's; the widget shows its
// rows and hands the user's changes back to it.
#pragma once
#include <array>

#include <QDialog>

#include "app/core/app_ports.h"
#include "app/core/read_memory.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace qd40::ui {

class ReadMemDialog : public QDialog {
    Q_OBJECT
public:
    ReadMemDialog(app::CReadMemDialog& logic, app::AppPrompter& prompter,
                  QWidget* parent = nullptr);

    // Reads the status from the module again (the Status button).
    void refreshStatus();

    struct Column {
        QCheckBox *recording, *closed, *full;
        QLabel* available;
        QCheckBox *read, *closeBefore, *clearAfter, *reopenAfter;
        QLineEdit *name, *comment;
    };
    const Column& column(int block) const { return columns_.at(size_t(block - 1)); }
    QPushButton* statusButton() const { return status_; }

    void accept() override;

private:
    void showRows();
    void takeEntries();

    app::CReadMemDialog& logic_;
    app::AppPrompter& prompter_;
    std::array<Column, app::CReadMemDialog::kBlocks> columns_{};
    QPushButton* status_;
};

// The reading command's windows: this dialog, the progress dialog over the
// main window, the questions of a re-sort, and the explorer that shows the
// first block read.
class QtReadMemUi : public app::ReadMemUi, public records::IRecordsPrompter {
public:
    QtReadMemUi(QWidget* owner, app::AppPrompter& prompter,
                std::function<void(const std::string&)> showBlock);
    ~QtReadMemUi() override;

    bool showDialog(app::CReadMemDialog& dialog) override;
    records::IWaitDialog& waitDialog() override;
    records::IRecordsPrompter* recordsPrompter() override { return this; }
    void showBlock(const std::string& name) override;
    records::Answer askYesNoCancel(const std::string& text) override;

private:
    QWidget* owner_;
    app::AppPrompter& prompter_;
    std::function<void(const std::string&)> showBlock_;
    std::unique_ptr<records::IWaitDialog> wait_;
};

}  // namespace qd40::ui
