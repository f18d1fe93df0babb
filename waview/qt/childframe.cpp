#include "waview/qt/childframe.h"

#include <QActionGroup>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QScrollBar>
#include <QSplitter>
#include <QVBoxLayout>

#include "waview/qt/extraview.h"
#include "waview/qt/nameview.h"
#include "waview/qt/printing.h"
#include "waview/qt/shapeview.h"
#include "waview/qt/signalsdlg.h"
#include "waview/qt/valueview.h"
#include "waview/qt/wave_look.h"
#include "waview/qt/waveopen.h"
#include "waview/wvwfile.h"

std::function<int(const QString&)> Waview_ChildFrame::closePromptHook;
std::function<QString()> Waview_ChildFrame::saveAsHook;
std::function<int(QDialog&)> Waview_ChildFrame::dialogHook;

using Session = Waview_WaveSession;

Waview_ChildFrame::Waview_ChildFrame(const QString& wave, const QString& dump, QWidget* parent)
    : QMdiSubWindow(parent), dumpPath_(dump) {
    session_.SetWavePath(wave.toStdString());
    setAttribute(Qt::WA_DeleteOnClose);
    auto* client = new QWidget(this);
    client->setObjectName("waveClient");
    client->setPalette(WaveBlackPalette());
    client->setAutoFillBackground(true);
    auto* outer = new QVBoxLayout(client);
    outer->setContentsMargins(0, 0, 0, 0);
    mainSplit_ = new QSplitter(Qt::Horizontal, client);
    leftSplit_ = new QSplitter(Qt::Vertical, mainSplit_);
    topSplit_ = new QSplitter(Qt::Horizontal, leftSplit_);
    for (QSplitter* s : {mainSplit_, leftSplit_, topSplit_}) {
        s->setHandleWidth(3);
        s->setChildrenCollapsible(false);
    }
    nameView_ = new Waview_NameView(session_, topSplit_);
    valueView_ = new Waview_ValueView(session_, *nameView_, topSplit_);
    topSplit_->addWidget(nameView_);
    topSplit_->addWidget(valueView_);
    extraView_ = new Waview_ExtraView(session_, leftSplit_);
    leftSplit_->addWidget(topSplit_);
    leftSplit_->addWidget(extraView_);
    leftSplit_->setStretchFactor(0, 1);
    leftSplit_->setStretchFactor(1, 0);
    auto* right = new QWidget(mainSplit_);
    auto* rl = new QVBoxLayout(right);
    rl->setContentsMargins(0, 0, 0, 0);
    rl->setSpacing(0);
    shapeView_ = new Waview_ShapeView(session_, *nameView_, right);
    rl->addWidget(shapeView_, 1);
    rl->addWidget(shapeView_->ScrollBar());
    extraView_->SetStripHeight(shapeView_->ScrollBar()->sizeHint().height());
    mainSplit_->addWidget(leftSplit_);
    mainSplit_->addWidget(right);
    mainSplit_->setStretchFactor(0, 0);
    mainSplit_->setStretchFactor(1, 1);
    outer->addWidget(mainSplit_);
    setWidget(client);
    client->installEventFilter(this);
    connect(leftSplit_, &QSplitter::splitterMoved, this, [this] { RelayoutExtra(); });
    // Rows scrolled, expanded or removed in the tree move every trace.
    connect(nameView_, &Waview_NameView::rowsMoved, this, [this] {
        shapeView_->update();
        valueView_->update();
    });
    connect(nameView_, &Waview_NameView::signalsDialogRequested, this, &Waview_ChildFrame::ShowSignalsDialog);
    connect(valueView_, &Waview_ValueView::popupRequested, this, &Waview_ChildFrame::ShowValuePopup);
    connect(shapeView_, &Waview_ShapeView::popupRequested, this, &Waview_ChildFrame::ShowShapePopup);
    connect(shapeView_, &Waview_ShapeView::cursorKey, this,
            [this](bool remove) { HandleCommand(remove ? kWaveRemoveCursor : kWaveAddCursor); });
    session_.Observe([this](unsigned c) { OnSessionChanged(c); });
    UpdateTitle();
    setWindowIcon(RowImage(0));
    resize(900, 500);
}

Waview_ChildFrame::~Waview_ChildFrame() {
    // The views observe the session: they go first.
    delete widget();
}

void Waview_ChildFrame::OnSessionChanged(unsigned c) {
    if (c & (Session::kDocument | Session::kRows)) {
        shapePopupRow_ = valuePopupRow_ = nullptr;
        nameView_->Rebuild();
    }
    if (c & Session::kModified) UpdateTitle();
    if ((c & Session::kCursors) && session_.Cursors().count != laidOutCursors_) RelayoutExtra();
}

bool Waview_ChildFrame::eventFilter(QObject* o, QEvent* e) {
    if (o == widget() && e->type() == QEvent::Resize) {
        const int w = widget()->width();
        if (!layoutDone_ && w > 0) {
            // Tree, value column and shape view at 1/4, 1/12 and 2/3 of the width.
            layoutDone_ = true;
            mainSplit_->setSizes({w / 3, w - w / 3});
            topSplit_->setSizes({w / 3 * 3 / 4, w / 3 - w / 3 * 3 / 4});
        }
        RelayoutExtra();
    }
    return QMdiSubWindow::eventFilter(o, e);
}

void Waview_ChildFrame::RelayoutExtra() {
    laidOutCursors_ = session_.Cursors().count;
    const int sb = shapeView_->ScrollBar()->sizeHint().height();
    const int want = sb + (session_.Cursors().count + 1) * kLineHeight + 2;
    const int total = leftSplit_->height();
    if (total <= 0) return;
    const QList<int> sizes = leftSplit_->sizes();
    if (sizes.size() == 2 && sizes[1] == want) return;
    const QSignalBlocker block(leftSplit_);
    leftSplit_->setSizes({std::max(0, total - want - leftSplit_->handleWidth()), want});
}

void Waview_ChildFrame::UpdateTitle() {
    QString title = QFileInfo(dumpPath_).fileName();
    if (session_.Modified()) title += " *";
    setWindowTitle(title);
}

bool Waview_ChildFrame::Load(QWidget* messageParent) {
    std::string error;
    if (!session_.Load(session_.WavePath(), &error)) {
        if (messageParent)
            QMessageBox::information(
                messageParent, "Error",
                QString("Can not read %1\n%2").arg(WavePath(), QString::fromStdString(error)));
        return false;
    }
    return true;
}

bool Waview_ChildFrame::Reload(QWidget* messageParent) {
    session_.Reset();
    const Waview_ConvertResult r = ConvertDump(dumpPath_, messageParent);
    if (!r.ok) return false;
    session_.SetWavePath(r.wavePath);
    if (r.document) {
        TakeDocument(*r.document);
        return true;
    }
    if (!Load(messageParent)) return false;
    session_.CollapseBuses();
    return true;
}

void Waview_ChildFrame::TakeDocument(Waview_FileManager& from) {
    session_.Doc().TakeFrom(from);
    session_.DocumentReplaced();
    session_.CollapseBuses();
}

void Waview_ChildFrame::SetPopupRow(Waview_Hierarchy* row) { shapePopupRow_ = valuePopupRow_ = row; }

bool Waview_ChildFrame::Save() {
    std::string error;
    if (!session_.Save(&error)) {
        QMessageBox::information(this, "Error", QString::fromStdString(error));
        return false;
    }
    if (const std::string lost = SaveLossNote(session_.Doc()); !lost.empty())
        QMessageBox::information(this, "Waview", QString::fromStdString(lost));
    return true;
}

bool Waview_ChildFrame::SaveAs(const QString& path) {
    if (path.isEmpty()) return false;
    std::string error;
    if (!session_.SaveAs(path.toStdString(), &error)) {
        QMessageBox::information(this, "Error", QString::fromStdString(error));
        return false;
    }
    if (const std::string lost = SaveLossNote(session_.Doc()); !lost.empty())
        QMessageBox::information(this, "Waview", QString::fromStdString(lost));
    return true;
}

int Waview_ChildFrame::RunDialog(QDialog& d) { return dialogHook ? dialogHook(d) : d.exec(); }

void Waview_ChildFrame::ShowSignalsDialog() {
    Waview_SignalsDlg dlg(session_.Doc(), this);
    if (RunDialog(dlg) == QDialog::Accepted && dlg.Apply()) session_.RowsChanged();
}

QImage Waview_ChildFrame::GrabClient() { return widget()->grab().toImage(); }

QPrinter& Waview_ChildFrame::Printer() {
    if (!printer_) printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *printer_;
}

bool Waview_ChildFrame::PrintTo(QPrinter& printer) {
    return PrintWaves(printer, session_, ShownRows(*nameView_, session_.Doc()),
                      QFileInfo(dumpPath_).fileName());
}

void Waview_ChildFrame::Print() {
    QPrinter& printer = Printer();
    QPrintDialog dlg(&printer, this);
    if (RunDialog(dlg) != QDialog::Accepted) return; // cancelled: nothing more
    if (!printer.isValid() || !PrintTo(printer)) QMessageBox::critical(this, kPrintCaption, kPrintFailure);
}

void Waview_ChildFrame::PageSetup() {
    QPageSetupDialog dlg(&Printer(), this);
    RunDialog(dlg);
}

QMenu* Waview_ChildFrame::BuildShapeMenu() {
    auto* menu = new QMenu(this);
    menu->setObjectName("_SHAPEPOPUPMENU_");
    auto add = [&](QMenu* m, const QString& text, int id) {
        QAction* a = m->addAction(text);
        a->setData(id);
        return a;
    };
    add(menu, "Goto Next Transaction\tDbl Click", kWaveNextTransition);
    add(menu, "Goto Previous Transaction\t Shift+Dbl Click", kWavePrevTransition);
    add(menu, "Zoom &In\tMouse Wheel Down", kWaveZoomIn);
    add(menu, "Zoom &Out\tMouse Wheel Up", kWaveZoomOut);
    add(menu, "Zoom &Full\tCtrl+U", kWaveZoomFull);
    QAction* area = add(menu, "Zoom &Area\tCtrl+T", kWaveZoomArea);
    area->setCheckable(true);
    area->setChecked(session_.ZoomAreaOn());
    add(menu, "Toggle Digital/Analog", kWaveToggleDigital);
    add(menu, "&Add Cursor\tF5", kWaveAddCursor)->setEnabled(session_.Cursors().count < kMaxCursors);
    add(menu, "&Remove Cursor\tShift+F5", kWaveRemoveCursor)->setEnabled(session_.Cursors().HasActive());
    QMenu* set = menu->addMenu("Set Bookmark");
    QMenu* go = menu->addMenu("Goto Bookmark");
    for (int n = 0; n < 10; ++n) {
        add(set, QString("Bookmark %1\tCtrl+Shift+%1").arg(n), kWaveSetBookmark0 + n);
        add(go, QString("Bookmark %1\tCtrl+%1").arg(n), kWaveGotoBookmark0 + n)
            ->setEnabled(session_.Bookmark(n).set);
    }
    return menu;
}

void Waview_ChildFrame::ShowShapePopup(const QPoint& globalPos, Waview_Hierarchy* row) {
    shapePopupRow_ = row;
    QMenu* menu = BuildShapeMenu();
    QAction* chosen = menu->exec(globalPos);
    if (chosen && chosen->data().isValid()) HandleCommand(chosen->data().toInt());
    menu->deleteLater();
}

void Waview_ChildFrame::ShowValuePopup(const QPoint& globalPos, Waview_Hierarchy* row) {
    valuePopupRow_ = row;
    QMenu menu(this);
    menu.setObjectName("_VALUEPOPUPMENU_");
    auto* group = new QActionGroup(&menu);
    const char* texts[] = {"&Binary", "&Hexadecimal", "&Unsigned", "&Signed"};
    const int radices[] = {kRadixBinary, kRadixHex, kRadixUnsigned, kRadixSigned};
    for (int i = 0; i < 4; ++i) {
        QAction* a = menu.addAction(texts[i]);
        a->setData(kWaveRadixBinary + i);
        a->setCheckable(true);
        a->setChecked(row->radix == radices[i]);
        group->addAction(a);
    }
    QAction* chosen = menu.exec(globalPos);
    if (chosen) HandleCommand(chosen->data().toInt());
}

bool Waview_ChildFrame::HandleCommand(int id) {
    switch (id) {
        case kWaveSave:
            Save();
            return true;
        case kWaveSaveAs: {
            const QString path = saveAsHook ? saveAsHook()
                                            : QFileDialog::getSaveFileName(this, "Save As", WavePath(),
                                                                           "Wave viewer files (*.wvw)");
            if (path.isEmpty()) return true;
            SaveAs(QFileInfo(path).suffix().isEmpty() ? path + ".wvw" : path);
            return true;
        }
        case kWavePrint:
            Print();
            return true;
        case kWavePageSetup:
        case kWavePrintSetup:
            PageSetup();
            return true;
        case kWaveZoomIn:
            session_.ZoomIn();
            return true;
        case kWaveZoomOut:
            session_.ZoomOut();
            return true;
        case kWaveZoomFull:
            session_.ZoomFull();
            return true;
        case kWaveZoomArea:
            session_.SetZoomArea(!session_.ZoomAreaOn());
            return true;
        case kWaveAddCursor:
            session_.AddCursor();
            return true;
        case kWaveRemoveCursor:
            session_.RemoveCursor();
            return true;
        case kWaveNextTransition:
            if (shapePopupRow_) session_.NextTransition(*shapePopupRow_);
            return true;
        case kWavePrevTransition:
            if (shapePopupRow_) session_.PreviousTransition(*shapePopupRow_);
            return true;
        case kWaveToggleDigital:
            if (shapePopupRow_) session_.ToggleDigital(*shapePopupRow_);
            return true;
        case kWaveSignalsDialog:
            ShowSignalsDialog();
            return true;
        case kWaveReload:
            if (!Reload(parentWidget())) close();
            return true;
        default:
            break;
    }
    if (id >= kWaveRadixBinary && id < kWaveRadixBinary + 4) {
        if (valuePopupRow_) session_.SetRadix(*valuePopupRow_, 1 << (id - kWaveRadixBinary));
        return true;
    }
    if (id >= kWaveSetBookmark0 && id < kWaveSetBookmark0 + 10) {
        session_.SetBookmark(id - kWaveSetBookmark0);
        return true;
    }
    if (id >= kWaveGotoBookmark0 && id < kWaveGotoBookmark0 + 10) {
        session_.GotoBookmark(id - kWaveGotoBookmark0);
        return true;
    }
    return false;
}

bool Waview_ChildFrame::CommandState(int id, bool* checked) const {
    if (checked) *checked = false;
    switch (id) {
        case kWaveZoomArea:
            if (checked) *checked = session_.ZoomAreaOn();
            return true;
        case kWaveAddCursor:
            return session_.Cursors().count < kMaxCursors;
        case kWaveRemoveCursor:
            return session_.Cursors().HasActive();
        case kWaveSave:
        case kWaveSaveAs:
        case kWavePrint:
        case kWavePageSetup:
        case kWavePrintSetup:
        case kWaveZoomIn:
        case kWaveZoomOut:
        case kWaveZoomFull:
        case kWaveSignalsDialog:
            return true;
        case kWaveNextTransition:
        case kWavePrevTransition:
            return shapePopupRow_ && session_.Cursors().HasActive();
        case kWaveToggleDigital:
            return shapePopupRow_ != nullptr;
        default:
            break;
    }
    if (id >= kWaveRadixBinary && id < kWaveRadixBinary + 4) {
        if (checked && valuePopupRow_) *checked = valuePopupRow_->radix == 1 << (id - kWaveRadixBinary);
        return valuePopupRow_ != nullptr;
    }
    if (id >= kWaveSetBookmark0 && id < kWaveSetBookmark0 + 10) return true;
    if (id >= kWaveGotoBookmark0 && id < kWaveGotoBookmark0 + 10)
        return session_.Bookmark(id - kWaveGotoBookmark0).set;
    return false;
}

bool Waview_ChildFrame::IsWindowCommand(int id) {
    switch (id) {
        case kWaveSave:
        case kWaveSaveAs:
        case kWavePageSetup:
        case kWavePrintSetup:
        case kWavePrint:
        case kWaveZoomIn:
        case kWaveZoomOut:
        case kWaveZoomFull:
        case kWaveZoomArea:
        case kWaveAddCursor:
        case kWaveRemoveCursor:
        case kWavePrevTransition:
        case kWaveNextTransition:
        case kWaveSignalsDialog:
        case kWaveToggleDigital:
            return true;
        default:
            return (id >= kWaveRadixBinary && id < kWaveRadixBinary + 4) ||
                   (id >= kWaveSetBookmark0 && id < kWaveGotoBookmark0 + 10);
    }
}

void Waview_ChildFrame::closeEvent(QCloseEvent* e) {
    if (session_.Modified()) {
        const QString text = QString("Save changes to %1 ?").arg(WavePath());
        // Save, Discard or Cancel: Cancel keeps the window and stops whatever closes it.
        int answer = closePromptHook ? closePromptHook(text)
                                     : QMessageBox::question(
                                           this, "Waview", text,
                                           QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel,
                                           QMessageBox::Save);
        if (answer == QMessageBox::Yes) answer = QMessageBox::Save;
        if (answer == QMessageBox::Cancel || (answer == QMessageBox::Save && !Save())) {
            e->ignore();
            return;
        }
    }
    QMdiSubWindow::closeEvent(e);
}
