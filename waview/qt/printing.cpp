#include "waview/qt/printing.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QScreen>
#include <QWidget>

bool PrintPicture(QPrinter& printer, const QImage& picture) {
    if (picture.isNull()) return false;
    printer.setDocName(kPrintCaption);
    printer.setCopyCount(1);
    QPainter p;
    if (!p.begin(&printer)) return false;
    const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
    const QRect target(0, 0, page.width(), page.height());
    p.fillRect(target, Qt::white);
    // Screen pixels are square here and so are a printer's; scale by the
    // limiting direction only.
    const double sx = double(page.width()) / picture.width();
    const double sy = double(page.height()) / picture.height();
    const double s = std::min(sx, sy);
    const QRect dest(0, 0, std::max(1, int(picture.width() * s)), std::max(1, int(picture.height() * s)));
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    p.drawImage(dest, picture);
    return p.end();
}

void PrintClientArea(QWidget* client, bool showDialog) {
    if (!client) return;
    const QImage picture = client->grab().toImage();
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(kPrintCaption);
    if (showDialog) {
        QPrintDialog dlg(&printer, client);
        if (dlg.exec() != QDialog::Accepted) return; // cancelled: nothing more
    } else {
        printer.setPageOrientation(QPageLayout::Portrait);
    }
    if (!printer.isValid() || !PrintPicture(printer, picture))
        QMessageBox::critical(client, kPrintCaption, kPrintFailure);
}
