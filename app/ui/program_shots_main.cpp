// tavik_program_shots DOCUMENT FOLDER [SUFFIX]: pictures of the programming
// windows on the first module of a document (offscreen, for
// tools/screenshots): the full and easy sheets page by page, the control's
// property frame page by page, the linearisation points and define
// condition dialogs, the program window with its tool bar and the first
// page of the printed program. SUFFIX ends every file name ("-fr" for the
// French pictures, taken with a French locale).
#include <cstdio>
#include <filesystem>

#include <QApplication>
#include <QImage>
#include <QMdiArea>
#include <QPainter>
#include <QPixmap>
#include <QTabWidget>
#include <QTextDocument>

#include "app/core/program/program_report.h"
#include "app/ui/document_handle.h"
#include "app/ui/picture_folder.h"
#include "app/ui/program_sheets.h"
#include "app/ui/program_window.h"
#include "app/ui/qt_prompter.h"
#include "platform/locale.h"
#include "tavik_version.h"

namespace {

using namespace qd40;

// Every tab of a frame, one picture each.
void takeTabs(ui::PictureFolder& pictures, pages::ui::PropertyFrame& frame,
              const std::string& name) {
    frame.adjustSize();
    for (int i = 0; i < frame.tabs()->count(); ++i) {
        frame.tabs()->setCurrentIndex(i);
        pictures.take(frame, name + "-" + std::to_string(i + 1));
    }
}

}  // namespace

int main(int argc, char** argv) {
    QApplication qapp(argc, argv);
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: tavik_program_shots DOCUMENT FOLDER [SUFFIX]\n");
        return 2;
    }
    const std::string suffix = argc == 4 ? argv[3] : "";
    // The controls are never opened: the pictures show the document's programs.
    const platform::RegistryStore registry;
    auto doc = std::make_unique<app::CTavikDoc>([registry](ctl::CtlContainer* container) {
        return std::make_unique<ctl::OvixQd40Ctl>(ctl::Qd40Factory{}, container, registry);
    });
    if (const Status st = doc->load(argv[1]); !st || doc->items().empty()) {
        std::fprintf(stderr, "tavik_program_shots: %s\n",
                     st ? "the document has no module" : st.error.description.c_str());
        return 1;
    }
    std::error_code ec;
    std::filesystem::create_directories(argv[2], ec);
    ui::PictureFolder pictures(argv[2], "tavik_program_shots", "", suffix);
    ui::QtPrompter prompter("Tavik");
    ui::PictureSession session;
    const char sep = platform::Locale::fromEnvironment().decimalSeparator();
    ui::DocumentHandle handle(std::move(doc), prompter, session);
    app::CTavikItem& item = *handle.doc().items().front();

    // Channel 1 gets a few linearisation points for the pictures.
    {
        cfg::VariantBlob v;
        item.control().get_Cfg(&v);
        cfg::FullCfgView(v.data).channel(1).setLinPoints(
            std::vector<cfg::LinPoint>{{0, -50}, {2.5f, 20}, {5, 150}});
        item.control().put_Cfg(v);
    }

    using app::program::ProgramSheet;
    for (const auto kind : {ProgramSheet::Kind::Full, ProgramSheet::Kind::Easy}) {
        ProgramSheet sheet(kind, item, sep);
        if (!sheet.open()) {
            std::fprintf(stderr, "tavik_program_shots: the module's program cannot be read\n");
            return 1;
        }
        auto frame = ui::makeProgramSheet(sheet, nullptr);
        takeTabs(pictures, *frame,
                 kind == ProgramSheet::Kind::Full ? "program-full" : "program-easy");
    }

    pages::CtlPageTarget target(item.control());
    pages::ui::ControlPropertyFrame frame({&target}, 1, sep, [] {
        return std::optional<pages::ServerVersion>(
            pages::ServerVersion{qd40::version::tavik::kProductVersion, (2u << 16) | 10u, 0});
    });
    frame.activate();
    takeTabs(pictures, frame, "control-pages");

    pages::LinPointsModel points = frame.chans.linearisation();
    pages::ui::SystemClipboard clipboard;
    pages::ui::LinPointsDialog lin(points, clipboard);
    pictures.take(lin, "linearisation-points");
    frame.mem.fields().opening = pages::kAlarmRadio;
    pages::DefineConditionModel condition = frame.mem.defineCondition(true);
    condition.channels = 0x7;
    condition.limits = 0x3;
    pages::ui::DefineConditionDialog define(condition);
    pictures.take(define, "define-condition");

    ui::ProgramWindow window(handle, prompter);
    window.resize(1000, 520);
    pictures.take(window, "program-window");

    // The first printed page, drawn at screen resolution.
    const auto report = app::program::programReport(item, qd40::version::tavik::kProductName,
                                                    qd40::version::tavik::kProductVersion, "alice");
    if (report) {
        const auto text = ui::programDocument(*report);
        const QSizeF a4(595, 842);
        text->setPageSize(a4 - QSizeF(60, 60));
        QImage page(a4.toSize() * 1.5, QImage::Format_RGB32);
        page.fill(Qt::white);
        QPainter painter(&page);
        painter.scale(1.5, 1.5);
        painter.translate(30, 30);
        text->drawContents(&painter, QRectF(QPointF(0, 0), a4 - QSizeF(60, 60)));
        painter.end();
        pictures.save(page, "program-printed");
    }
    return pictures.ok() ? 0 : 1;
}
