// The property pages and their two dialogs as widgets: each page shows its
// model's fields, passes every edit to the model and says when it changed;
// the rules, the working copies and Apply live in the models.
#pragma once
#include <array>
#include <functional>
#include <vector>

#include <QDialog>
#include <QWidget>

#include "control/pages/chans_page_model.h"
#include "control/pages/mem_page_model.h"
#include "control/pages/other_pages.h"

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTableWidget;
class QTabWidget;

namespace qd40::pages::ui {

// The page's messages as message boxes over a widget.
class BoxPrompter : public PagePrompter {
public:
    explicit BoxPrompter(QWidget* parent) : parent_(parent) {}
    void warning(const std::string& text) override;
    void error(const std::string& text) override;

private:
    QWidget* parent_;
};

// The system clipboard.
class SystemClipboard : public PageClipboard {
public:
    std::optional<std::string> text() override;
    SetResult setText(const std::string& text) override;
};

QString qs(const std::string& s);

class PageWidget : public QWidget {
    Q_OBJECT
public:
    PageWidget(PageModel& model, QWidget* parent) : QWidget(parent), model_(model) {}
    PageModel& model() const { return model_; }
    // Shows the model's fields again (after activation or a rule's change).
    virtual void refresh() = 0;

Q_SIGNALS:
    void edited();

protected:
    // The model changed through the user: refresh dependants and tell the frame.
    void touched();
    BoxPrompter prompter_{this};

private:
    PageModel& model_;
};

// Thirty channel boxes with Check All and Check None.
class ChannelBoxes : public QWidget {
    Q_OBJECT
public:
    explicit ChannelBoxes(QWidget* parent = nullptr);
    void setState(uint32_t checked, uint32_t enabled);
    QCheckBox* box(int n) const { return boxes_[size_t(n - 1)]; }
    QAbstractButton* checkAllButton() const { return all_; }
    QAbstractButton* checkNoneButton() const { return none_; }

Q_SIGNALS:
    void toggled(int channel, bool on);
    void checkAll();
    void checkNone();

private:
    std::array<QCheckBox*, cfg::kChannels> boxes_{};
    QAbstractButton* all_;
    QAbstractButton* none_;
};

class ChansPage : public PageWidget {
    Q_OBJECT
public:
    // `easy` shows the reduced set of the easy programming sheet.
    ChansPage(ChansPageModel& model, bool easy = false, QWidget* parent = nullptr);
    void refresh() override;
    QComboBox* channelList() const { return channel_; }
    QComboBox* functionList() const { return function_; }
    QPushButton* linearisationButton() const { return lin_; }

private:
    void refreshCodes();
    void onChannel(int index);
    void editLinearisation();

    ChansPageModel& m_;
    bool easy_;
    QComboBox* channel_;
    QLineEdit* mnemonic_;
    QComboBox* function_;
    QComboBox* range_;
    QComboBox* connection_;
    QComboBox* speed_;
    QCheckBox* tests_;
    QCheckBox* rjc_;
    QLineEdit* unit_;
    QPushButton* lin_;
    QLineEdit* delay_;
    QLineEdit* defaultValue_;
    QLineEdit* deadPct_;
    QLineEdit* deadAbs_;
    struct Row {
        QCheckBox* inUse;
        QLineEdit* level;
        QComboBox* direction;
        QLineEdit* hysteresis;
        QLineEdit* counter;
        QCheckBox* ga1;
        QCheckBox* ga2;
    };
    std::array<Row, cfg::kLimits> rows_{};
    bool loading_ = false;
};

class AcqPage : public PageWidget {
    Q_OBJECT
public:
    AcqPage(AcqPageModel& model, bool easy = false, QWidget* parent = nullptr);
    void refresh() override;
    ChannelBoxes* channels() const { return boxes_; }
    QLabel* minimumLabel() const { return min_; }

private:
    AcqPageModel& m_;
    ChannelBoxes* boxes_;
    QButtonGroup* opening_;
    QButtonGroup* exec_;
    QButtonGroup* cutOff_;
    QButtonGroup* rjTemp_;
    QButtonGroup* lineRes_;
    QButtonGroup* unit_;
    QLineEdit* acq_;
    QLineEdit* aux_;
    QLabel* min_;
    bool loading_ = false;
};

class MemPage : public PageWidget {
    Q_OBJECT
public:
    MemPage(MemPageModel& model, bool easy = false, QWidget* parent = nullptr);
    void refresh() override;
    QComboBox* blockList() const { return block_; }

private:
    void refreshUsability();
    void define(bool opening);

    MemPageModel& m_;
    bool easy_;
    QComboBox* block_;
    QLineEdit* size_;
    ChannelBoxes* boxes_;
    QButtonGroup* opening_;
    QPushButton* defineOpening_;
    QCheckBox* reopenable_;
    QCheckBox* emptyOnOpening_;
    std::array<QCheckBox*, 4> events_{};
    QCheckBox* every_;
    QLineEdit* everyCount_;
    QCheckBox* compacting_;
    std::array<QCheckBox*, 4> alarms_{};
    QCheckBox* trig_;
    QCheckBox* full_;
    QCheckBox* afterEvent_;
    QLineEdit* cycles_;
    QButtonGroup* closing_;
    QPushButton* defineClosing_;
    QCheckBox* openNext_;
    QComboBox* nextBlock_;
    QLabel* fillingLabel_;
    QLabel* filling_;
    bool loading_ = false;
};

class GlobPage : public PageWidget {
    Q_OBJECT
public:
    GlobPage(GlobPageModel& model, QWidget* parent = nullptr);
    void refresh() override;

private:
    GlobPageModel& m_;
    QButtonGroup* refJunction_;
    QButtonGroup* trig_;
    std::array<QButtonGroup*, 2> source_{};
    std::array<QButtonGroup*, 2> control_{};
};

class MailPage : public PageWidget {
    Q_OBJECT
public:
    // `easy` lists the conditions of the easy sheet (the two global alarms).
    MailPage(MailPageModel& model, bool easy = false, QWidget* parent = nullptr);
    void refresh() override;

private:
    MailPageModel& m_;
    std::array<QLineEdit*, 3> recipients_{};
    std::array<QCheckBox*, 3> conditions_{};
    QPlainTextEdit* message_;
    bool loading_ = false;
};

class AboutPage : public PageWidget {
    Q_OBJECT
public:
    AboutPage(AboutPageModel& model, QWidget* parent = nullptr);
    void refresh() override;

private:
    AboutPageModel& m_;
    QLabel* control_;
    QLabel* legal_;
    QLabel* special_;
    QLabel* server_;
};

class LinPointsDialog : public QDialog {
    Q_OBJECT
public:
    LinPointsDialog(LinPointsModel& model, PageClipboard& clipboard, QWidget* parent = nullptr);
    void accept() override;
    QTableWidget* list() const { return list_; }

private:
    void refresh();
    void report(const std::optional<std::string>& message);

    LinPointsModel& m_;
    PageClipboard& clipboard_;
    QLineEdit* x_;
    QLineEdit* y_;
    QTableWidget* list_;
    QComboBox* resolution_;
    BoxPrompter prompter_{this};
};

class DefineConditionDialog : public QDialog {
    Q_OBJECT
public:
    DefineConditionDialog(DefineConditionModel& model, QWidget* parent = nullptr);
    void accept() override;

private:
    DefineConditionModel& m_;
    ChannelBoxes* boxes_;
    std::array<QCheckBox*, 4> limits_{};
    QButtonGroup* test_;
};

// A property frame: the pages in tabs with OK, Cancel and (optionally)
// Apply, for the controls the pages are attached to. OK and Apply apply
// every page that changed; a page that fails keeps the frame open.
class PropertyFrame : public QDialog {
    Q_OBJECT
public:
    PropertyFrame(const QString& title, bool withApply, QWidget* parent = nullptr);
    // Adds a page under its caption; the frame does not own the model.
    void addPage(PageWidget* page, const QString& caption);
    // Several pages under one caption, one above the other.
    void addPages(const std::vector<PageWidget*>& pages, const QString& caption);
    // Whether OK applies the changed pages (a sheet whose owner applies them
    // itself turns it off).
    void setApplyOnOk(bool on) { applyOnOk_ = on; }
    // Activates every page on its controls; false when one cannot read them.
    bool activate();
    bool applyAll();
    void accept() override;
    QTabWidget* tabs() const { return tabs_; }
    QPushButton* applyButton() const { return apply_; }
    const std::vector<PageWidget*>& pages() const { return pages_; }

private:
    void updateApply();

    QTabWidget* tabs_;
    QPushButton* apply_;
    std::vector<PageWidget*> pages_;
    bool applyOnOk_ = true;
    BoxPrompter prompter_{this};
};

// The six pages in a property frame for the given controls.
class ControlPropertyFrame : public PropertyFrame {
    Q_OBJECT
public:
    ControlPropertyFrame(std::vector<PageTarget*> targets, int firstChannel, char decimalSep,
                         std::function<std::optional<ServerVersion>()> server,
                         QWidget* parent = nullptr);

    ChansPageModel chans;
    AcqPageModel acq;
    MemPageModel mem;
    GlobPageModel glob;
    MailPageModel mail;
    AboutPageModel about;
};

}  // namespace qd40::pages::ui
