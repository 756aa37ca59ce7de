// The windows of a document inside the main window: the program window, the
// records explorer and the graph. Each follows its document's changes and
// asks the main window before it closes.
#pragma once
#include <functional>

#include <QWidget>

#include "app/records/expl_bloc.h"
#include "app/ui/document_handle.h"

namespace qd40::ui {

class DocWindow : public QWidget {
    Q_OBJECT
public:
    enum class Kind { Program, Explorer, Graph };

    DocWindow(DocumentHandle& doc, Kind kind, QWidget* parent = nullptr);
    DocumentHandle& document() const { return doc_; }
    Kind kind() const { return kind_; }
    // Its place among the windows of its document, shown in its title.
    void setNumber(int number, int count);
    // Called when the window is asked to close; false keeps it open.
    void setCloseGuard(std::function<bool(DocWindow&)> guard) { guard_ = std::move(guard); }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void updateTitle();

    DocumentHandle& doc_;
    Kind kind_;
    int number_ = 1;
    int count_ = 1;
    std::function<bool(DocWindow&)> guard_;
};

// The graph of a record block. The curves keep their own copy of the
// block's points, so the window stays valid when the block is deleted.
class GraphView;
class GraphWindow : public DocWindow {
    Q_OBJECT
public:
    GraphWindow(DocumentHandle& doc, const records::CExplBloc* block, QWidget* parent = nullptr);
    GraphView& view() const { return *view_; }
    const QString& blockName() const { return blockName_; }

private:
    // Prints the graph with the right to print, after the print dialog.
    void print();

    GraphView* view_;
    QString blockName_;
};

}  // namespace qd40::ui
