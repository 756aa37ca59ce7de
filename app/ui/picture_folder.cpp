#include "app/ui/picture_folder.h"

#include <cstdio>

#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QWidget>

namespace qd40::ui {

namespace {
// PNG quality 0: the strongest compression.
constexpr int kSmallestPng = 0;
}  // namespace

QImage withCaption(QWidget& widget) {
    const QPixmap content = widget.grab();
    const int bar = widget.fontMetrics().height() + 10;
    QImage image(content.width() + 2, content.height() + bar + 1, QImage::Format_RGB32);
    QPainter p(&image);
    const QPalette& pal = widget.palette();
    p.fillRect(image.rect(), pal.color(QPalette::Dark));
    p.fillRect(QRect(1, 1, content.width(), bar - 1), pal.color(QPalette::Highlight));
    p.setPen(pal.color(QPalette::HighlightedText));
    p.setFont(widget.font());
    p.drawText(QRect(8, 1, content.width() - 16, bar - 1), Qt::AlignVCenter | Qt::AlignLeft,
               widget.windowTitle());
    p.drawPixmap(1, bar, content);
    return image;
}

PictureFolder::PictureFolder(std::filesystem::path folder, std::string program, std::string prefix,
                             std::string suffix)
    : folder_(std::move(folder)),
      program_(std::move(program)),
      prefix_(std::move(prefix)),
      suffix_(std::move(suffix)) {}

bool PictureFolder::save(const QImage& image, const std::string& name) {
    const std::filesystem::path file = folder_ / (prefix_ + name + suffix_ + ".png");
    if (!image.save(QString::fromStdString(file.string()), "PNG", kSmallestPng)) {
        std::fprintf(stderr, "%s: cannot write %s\n", program_.c_str(), file.c_str());
        ok_ = false;
        return false;
    }
    std::printf("%s\n", file.c_str());
    return true;
}

bool PictureFolder::take(QWidget& widget, const std::string& name, bool caption) {
    widget.show();
    QApplication::processEvents();
    const QImage image = caption ? withCaption(widget) : widget.grab().toImage();
    widget.hide();
    return save(image, name);
}

}  // namespace qd40::ui
