// The records explorer's dialogs: a block's properties, the spreadsheet
// export format, and the Qt forms of the explorer's ports (the export file
// dialog, the clipboard).
#pragma once
#include <QDialog>

#include "app/core/views/explorer_logic.h"

class QCheckBox;
class QLineEdit;
class QRadioButton;
class QPlainTextEdit;

namespace qd40::ui {

// "Block "%s" Properties": name (80 characters), size, comment.
class CBlocPropDialog : public QDialog {
    Q_OBJECT
public:
    CBlocPropDialog(const std::string& title, const records::CExplBloc& block,
                    QWidget* parent = nullptr);
    std::string name() const;
    std::string comment() const;
    QLineEdit* nameEdit() const { return name_; }
    QPlainTextEdit* commentEdit() const { return comment_; }

private:
    QLineEdit* name_;
    QPlainTextEdit* comment_;
};

// "Exported Data Format": the column separator and the spreadsheet options.
class CFormatExpExplDialog : public QDialog {
    Q_OBJECT
public:
    CFormatExpExplDialog(const records::SpreadsheetOptions& options, QWidget* parent = nullptr);
    records::SpreadsheetOptions options() const;
    QRadioButton* otherButton() const { return other_; }
    QLineEdit* otherEdit() const { return otherEdit_; }

    // "Other" with an empty separator keeps the dialog open.
    void accept() override;

private:
    QRadioButton *space_, *tab_, *semicolon_, *other_;
    QLineEdit* otherEdit_;
    QCheckBox *firstDate_, *group_, *interval_, *date_, *time_;
};

class QtExportDialogs : public app::views::ExportDialogs {
public:
    explicit QtExportDialogs(QWidget* parent) : parent_(parent) {}
    std::optional<app::views::ExportFile> chooseFile(
        const std::string& title, const std::vector<std::string>& filters,
        const std::filesystem::path& proposed) override;
    bool editFormat(records::SpreadsheetOptions& options) override;

private:
    QWidget* parent_;
};

// The system clipboard.
class QtClipboard : public app::views::ClipboardPort {
public:
    bool put(const std::string& format, const QByteArray& data) override;
    std::optional<QByteArray> get(const std::string& format) const override;
    // Whether data under format is there, without fetching it.
    bool has(const std::string& format) const;
};

}  // namespace qd40::ui
