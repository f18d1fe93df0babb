#include <bitset>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QMdiArea>
#include <QMessageBox>
#include <QPrinter>
#include <QProgressDialog>
#include <gtest/gtest.h>

#include "waview/qt/childframe.h"
#include "waview/qt/printing.h"
#include "waview/qt/tracepainter.h"
#include "waview/qt/waveopen.h"
#include "waview/wvwfile.h"

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// One folder per process: CTest runs the cases in parallel processes, and a
// shared folder lets two of them race on the same dump's wave file.
fs::path TempDir() {
    static const fs::path d = [] {
        fs::path p = fs::path(KORL_BINARY_DIR) / "tests" / "waview_qt_tmp" / std::to_string(::getpid());
        fs::remove_all(p);
        fs::create_directories(p);
        return p;
    }();
    return d;
}

fs::path WriteFile(const std::string& name, const std::string& text) {
    const fs::path p = TempDir() / name;
    std::ofstream(p, std::ios::binary) << text;
    return p;
}

// clk toggles every 5 ns up to 100; data[3:0] counts every 10; n is an
// integer and v a real.
std::string SmallDump() {
    std::ostringstream s;
    s << "$timescale 1ns $end\n$scope module top $end\n"
         "$var wire 1 ! clk $end\n$var wire 4 \" data [3:0] $end\n"
         "$var integer 32 # n $end\n$var real 64 $ v $end\n$upscope $end\n"
         "$enddefinitions $end\n";
    for (int t = 0; t <= 100; t += 5) {
        s << "#" << t << "\n" << ((t / 5) % 2) << "!\n";
        if (t % 10 == 0) {
            const int d = (t / 10) % 16;
            s << "b" << ((d >> 3) & 1) << ((d >> 2) & 1) << ((d >> 1) & 1) << (d & 1) << " \"\n";
            s << "b" << std::bitset<8>(t / 10).to_string() << " #\n";
            s << "r" << (t / 10) * 0.5 << " $\n";
        }
    }
    return s.str();
}

class WaveWindowTest : public testing::Test {
protected:
    void SetUp() override {
        area = std::make_unique<QMdiArea>();
        area->resize(1200, 700);
        area->show();
        Waview_ChildFrame::closePromptHook = nullptr;
    }
    void TearDown() override {
        Waview_ChildFrame::closePromptHook = [](const QString&) { return int(QMessageBox::No); };
        area.reset();
        Waview_ChildFrame::closePromptHook = nullptr;
    }
    Waview_ChildFrame* Open(const std::string& name = "small.vcd") {
        const fs::path vcd = WriteFile(name, SmallDump());
        Waview_ChildFrame* w = OpenVcdFile(area.get(), QString::fromStdString(vcd.string()), nullptr);
        if (w) {
            w->resize(1000, 500);
            QApplication::processEvents();
        }
        return w;
    }
    Waview_Hierarchy* RowNamed(Waview_ChildFrame* w, const std::string& name) {
        for (int32_t i = 0; i < w->doc.RowCount(); ++i)
            if (w->doc.Row(i)->name == name) return w->doc.Row(i);
        return nullptr;
    }
    std::unique_ptr<QMdiArea> area;
};

QRect RowRectIn(Waview_ChildFrame* w, Waview_Hierarchy* row) {
    const QRect r = w->nameView->visualItemRect(static_cast<QTreeWidgetItem*>(row->treeItem));
    const int dy =
        w->nameView->viewport()->mapTo(w, QPoint(0, 0)).y() - w->shapeView->mapTo(w, QPoint(0, 0)).y();
    return r.translated(0, dy);
}

} // namespace

TEST(WaveNavigation, ScaleSelectionAndWindowRules) {
    Waview_ViewState v;
    v.width = 1000;
    v.start = 0;
    v.end = 100;
    v.SelectScale(); // nothing zoomed yet: one time unit per step
    EXPECT_EQ(v.stepTime, 1);
    EXPECT_EQ(v.stepPixels, 10);

    ASSERT_TRUE(v.SetWindow(0, 1000, 1000));
    EXPECT_EQ(v.stepTime, 5); // 5 px: raw 5, exact
    EXPECT_EQ(v.stepPixels, 5);
    EXPECT_EQ(v.end, 1000);

    ASSERT_TRUE(v.SetWindow(600, 900, 1000));
    EXPECT_EQ(v.stepTime, 5); // 11 px: raw 3.3 -> 5 has the smallest error
    EXPECT_EQ(v.stepPixels, 11);
    EXPECT_EQ(v.start, 600);
    EXPECT_EQ(v.end, 600 + 90 * 5);

    ASSERT_TRUE(v.ZoomOut(1000)); // [600, 1500] clamps to the end
    EXPECT_EQ(v.start, 600);
    EXPECT_EQ(v.end, 1000);
    EXPECT_EQ(v.stepTime, 2);

    EXPECT_FALSE(v.SetWindow(1000, 1200, 1000)); // starts at the end
    EXPECT_FALSE(v.SetWindow(500, 500, 1000));   // empty
    EXPECT_FALSE(v.SetWindow(500, 400, 1000));   // reversed

    ASSERT_TRUE(v.SetWindow(7, 9, 1000));
    Waview_ViewState one = v;
    one.start = 5;
    one.end = 6;
    EXPECT_FALSE(one.ZoomIn(1000)); // span 1 halves to nothing
    EXPECT_EQ(one.start, 5);
    EXPECT_EQ(one.end, 6);

    Waview_ViewState tiny; // narrower than a grid step, nothing to show
    tiny.width = 3;
    EXPECT_TRUE(tiny.SetWindow(0, 1, 1));
    EXPECT_GE(tiny.stepTime, 1);
}

TEST(WaveNavigation, CursorRules) {
    Waview_Cursors c; // one cursor at 0
    for (int i = 1; i < kMaxCursors; ++i) EXPECT_TRUE(c.Add(i * 10));
    EXPECT_EQ(c.active, 9);
    EXPECT_FALSE(c.Add(500));
    EXPECT_EQ(c.count, 10);

    // Nearest wins; on equal distance the first.
    EXPECT_EQ(c.MoveNearest(24), 2);
    EXPECT_EQ(c.times[2], 24);
    EXPECT_EQ(c.MoveNearest(35), 3); // 30 and 40 are equally near

    // Removing moves later ones down and activates the previous one.
    c.active = 0;
    EXPECT_TRUE(c.Remove());
    EXPECT_EQ(c.active, 8); // the first removed: the last becomes active
    EXPECT_EQ(c.times[0], 10);

    Waview_Cursors only;
    EXPECT_TRUE(only.Remove());
    EXPECT_EQ(only.count, 0);
    EXPECT_FALSE(only.HasActive());
    EXPECT_FALSE(only.Remove());
}

TEST(WaveNavigation, TimeLabels) {
    EXPECT_EQ(TimeLabel(0, -9), " 0 ");
    EXPECT_EQ(TimeLabel(3000000, -9), " 3m ");
    EXPECT_EQ(TimeLabel(1500, -12), " 1500p ");
}

TEST_F(WaveWindowTest, OpensZoomsFullAndReloadsTheSameDump) {
    Waview_ChildFrame* w = Open();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->windowTitle(), "small.vcd");
    EXPECT_EQ(w->endTime, 100);
    EXPECT_EQ(w->timescaleExponent, -9);
    EXPECT_EQ(w->shapeView->view.start, 0);
    EXPECT_GE(w->shapeView->view.end, 100);
    EXPECT_EQ(w->cursors.count, 1);
    // Shown from memory: no wave file appears beside the dump until Save.
    EXPECT_FALSE(fs::exists(TempDir() / "small.wvw"));

    // Opening the same dump again reuses and resets the window.
    w->AddCursor();
    Waview_ChildFrame* again = Open();
    EXPECT_EQ(again, w);
    EXPECT_EQ(area->subWindowList().size(), 1);
    EXPECT_EQ(w->cursors.count, 1);
}

TEST_F(WaveWindowTest, BadDumpOpensNothing) {
    const fs::path bad = WriteFile("bad.vcd", "$timescale 1 qs $end\n$scope module t $end\n#1\n");
    Waview_ConvertOptions o;
    o.showMessages = false;
    const Waview_ConvertResult r = ConvertDump(QString::fromStdString(bad.string()), nullptr, o);
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.messages.empty());
    EXPECT_FALSE(fs::exists(TempDir() / "bad.wvw"));
}

TEST_F(WaveWindowTest, BookmarkRestoresTheSnappedWindow) {
    Waview_ChildFrame* w = Open();
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(w->SetWindow(13, 61));
    const int64_t s = w->shapeView->view.start, e = w->shapeView->view.end;
    EXPECT_EQ(s % w->shapeView->view.stepTime, 0); // snapped down to a step
    w->HandleCommand(kWaveSetBookmark0 + 3);
    w->HandleCommand(kWaveZoomFull);
    EXPECT_NE(w->shapeView->view.start + w->shapeView->view.end, s + e);
    Waview_ViewState expect = w->shapeView->view;
    ASSERT_TRUE(expect.SetWindow(s, e, w->endTime));
    w->HandleCommand(kWaveGotoBookmark0 + 3);
    EXPECT_EQ(w->shapeView->view.start, expect.start);
    EXPECT_EQ(w->shapeView->view.end, expect.end);
    EXPECT_EQ(w->shapeView->view.stepTime, expect.stepTime);
    EXPECT_LE(w->shapeView->view.start, s);
    w->HandleCommand(kWaveGotoBookmark0 + 4); // unset: nothing happens
    EXPECT_EQ(w->shapeView->view.start, expect.start);
    bool checked = true;
    EXPECT_FALSE(w->CommandState(kWaveGotoBookmark0 + 4, &checked));
    EXPECT_TRUE(w->CommandState(kWaveGotoBookmark0 + 3, &checked));

    EXPECT_FALSE(Waview_ChildFrame::IsWindowCommand(korl::ID_EDIT_COPY));
    EXPECT_TRUE(w->HandleCommand(kWaveZoomFull));
    EXPECT_EQ(w->shapeView->view.start, 0);
}

TEST_F(WaveWindowTest, TransitionsMoveTheActiveCursor) {
    Waview_ChildFrame* w = Open();
    ASSERT_NE(w, nullptr);
    Waview_Hierarchy* clk = RowNamed(w, "clk");
    Waview_Hierarchy* data = RowNamed(w, "data");
    ASSERT_TRUE(clk && data);
    w->cursors.times[0] = 12;
    w->shapePopupRow = clk; // the popup command acts on the row under the pointer
    w->HandleCommand(kWaveNextTransition);
    EXPECT_EQ(w->cursors.times[0], 15);
    w->NextTransition(data);
    EXPECT_EQ(w->cursors.times[0], 20);
    w->PreviousTransition(clk);
    EXPECT_EQ(w->cursors.times[0], 15);
    w->PreviousTransition(data); // the bus's latest change before 15
    EXPECT_EQ(w->cursors.times[0], 10);

    w->cursors.times[0] = 100; // no later change: the cursor stays
    w->NextTransition(clk);
    EXPECT_EQ(w->cursors.times[0], 100);
    w->cursors.times[0] = 0; // nothing before the first change
    w->PreviousTransition(clk);
    EXPECT_EQ(w->cursors.times[0], 0);

    w->RemoveCursor(); // without a cursor nothing moves
    w->NextTransition(clk);
    EXPECT_EQ(w->cursors.count, 0);
}

TEST_F(WaveWindowTest, ValueTextAtTheCursorInEveryRadix) {
    Waview_ChildFrame* w = Open();
    ASSERT_NE(w, nullptr);
    Waview_Hierarchy* data = RowNamed(w, "data");
    Waview_Hierarchy* n = RowNamed(w, "n");
    Waview_Hierarchy* v = RowNamed(w, "v");
    ASSERT_TRUE(data && n && v);
    w->cursors.times[0] = 55; // data = 5 (0101), n = 5, v = 2.5
    std::string text;
    const std::pair<int, const char*> bus[] = {
        {kRadixBinary, " 0101b"}, {kRadixHex, " 5h"}, {kRadixUnsigned, " 5u "}, {kRadixSigned, " 5d "}};
    for (auto [radix, want] : bus) {
        w->valuePopupRow = data;
        w->HandleCommand(kWaveRadixBinary + (radix == 1 ? 0 : radix == 2 ? 1 : radix == 4 ? 2 : 3));
        EXPECT_EQ(data->ValueTextAt(text, w->cursors.ActiveTime()), want);
    }
    w->SetRadix(n, kRadixBinary);
    EXPECT_EQ(n->ValueTextAt(text, 55), " 101b");
    w->SetRadix(n, kRadixHex);
    EXPECT_EQ(n->ValueTextAt(text, 55), " 5h ");
    EXPECT_EQ(v->ValueTextAt(text, 55), " 2.500000r ");
}

TEST_F(WaveWindowTest, PaintsGridCursorTracesAndBuses) {
    Waview_ChildFrame* w = Open();
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(w->SetWindow(0, 100));
    Waview_ViewState& v = w->shapeView->view;
    w->cursors.times[0] = 33;
    const QImage img = w->shapeView->Render();
    const int yAxis = v.height - 2 * kLineHeight;
    // A grid line every tenth step, the first at x = 0.
    EXPECT_EQ(img.pixelColor(int(10 * v.stepPixels), yAxis - 3), QColor(112, 112, 112));
    EXPECT_EQ(img.pixelColor(int(v.CursorX(33)), 2), QColor(255, 0, 0));

    // clk is high from 5 to 10: bright green at the row's top level.
    Waview_Hierarchy* clk = RowNamed(w, "clk");
    ASSERT_TRUE(clk && clk->treeItem);
    const QRect rc = RowRectIn(w, clk);
    const int xHigh = int(v.X(7));
    EXPECT_EQ(img.pixelColor(xHigh, rc.top() + 2), QColor(0, 255, 0));
    EXPECT_EQ(img.pixelColor(int(v.X(12)), rc.bottom() + 1 - 2), QColor(0, 255, 0));
    EXPECT_EQ(img.pixelColor(xHigh, rc.bottom() + 1 - 2), QColor(0, 0, 0));

    // The bus crosses at each change (yellow at mid height) and runs on rails.
    Waview_Hierarchy* data = RowNamed(w, "data");
    ASSERT_TRUE(data && data->treeItem);
    const QRect rd = RowRectIn(w, data);
    const int mid = (rd.top() + rd.bottom() + 1) / 2;
    EXPECT_EQ(img.pixelColor(int(v.X(20)), mid), QColor(255, 255, 0));
    EXPECT_EQ(img.pixelColor(int(v.X(25)), rd.top() + 2), QColor(255, 255, 0));
    EXPECT_EQ(img.pixelColor(int(v.X(25)), mid), QColor(0, 0, 0));

    // Integer row in bus shape: numeric pink rails.
    Waview_Hierarchy* n = RowNamed(w, "n");
    const QRect rn = RowRectIn(w, n);
    EXPECT_EQ(img.pixelColor(int(v.X(25)), rn.top() + 2), QColor(255, 128, 128));
}

TEST_F(WaveWindowTest, SignalsDialogFlipsVisibleRows) {
    Waview_ChildFrame* w = Open();
    ASSERT_NE(w, nullptr);
    Waview_Hierarchy* clk = RowNamed(w, "clk");
    ASSERT_TRUE(clk && clk->treeItem);
    Waview_SignalsDlg dlg(w->doc, w);
    EXPECT_FALSE(dlg.Apply()); // unchanged boxes change nothing
    QTreeWidgetItem* item = nullptr;
    for (QTreeWidgetItemIterator it(dlg.tree); *it; ++it)
        if ((*it)->text(0) == "clk") item = *it;
    ASSERT_NE(item, nullptr);
    item->setCheckState(0, Qt::Unchecked);
    EXPECT_TRUE(dlg.Apply());
    EXPECT_EQ(clk->visible, 0);
    w->RebuildTree();
    EXPECT_EQ(clk->treeItem, nullptr);
    EXPECT_NE(RowNamed(w, "data")->treeItem, nullptr);
}

TEST_F(WaveWindowTest, RenameSurvivesSaveAndReopen) {
    Waview_ChildFrame* w = Open("rename.vcd");
    ASSERT_NE(w, nullptr);
    Waview_Hierarchy* clk = RowNamed(w, "clk");
    auto* item = static_cast<QTreeWidgetItem*>(clk->treeItem);
    item->setText(0, "clock"); // what a confirmed F2 edit does
    EXPECT_TRUE(w->modified);
    EXPECT_EQ(w->windowTitle(), "rename.vcd *");
    ASSERT_TRUE(w->HandleCommand(kWaveSave));
    EXPECT_FALSE(w->modified);
    EXPECT_EQ(w->windowTitle(), "rename.vcd");

    Waview_ChildFrame other(w->wavePath, w->dumpPath);
    other.show();
    ASSERT_TRUE(other.Load());
    Waview_Hierarchy* renamed = nullptr;
    for (int32_t i = 0; i < other.doc.RowCount(); ++i)
        if (other.doc.Row(i)->name == "clock") renamed = other.doc.Row(i);
    EXPECT_NE(renamed, nullptr);
}

TEST_F(WaveWindowTest, ClosePromptAnswers) {
    Waview_ChildFrame* w = Open("close.vcd");
    ASSERT_NE(w, nullptr);
    const fs::path wave = w->wavePath.toStdString();
    fs::remove(wave);
    QString asked;
    int answer = QMessageBox::Cancel;
    Waview_ChildFrame::closePromptHook = [&](const QString& t) {
        asked = t;
        return answer;
    };
    w->RenameRow(RowNamed(w, "clk"), "a_much_longer_name_for_clk");
    EXPECT_FALSE(w->close()); // Cancel keeps it
    EXPECT_EQ(asked, "Save changes to " + w->wavePath + " ?");
    EXPECT_EQ(area->subWindowList().size(), 1);

    answer = QMessageBox::No; // closes without writing
    EXPECT_TRUE(w->close());
    QApplication::processEvents();
    EXPECT_FALSE(fs::exists(wave));

    Waview_ChildFrame* again = Open("close.vcd");
    ASSERT_NE(again, nullptr);
    again->RenameRow(RowNamed(again, "clk"), "a_much_longer_name_for_clk");
    answer = QMessageBox::Yes; // saves, then closes
    EXPECT_TRUE(again->close());
    EXPECT_TRUE(fs::exists(wave));
}

TEST_F(WaveWindowTest, PrintsOnePagePdf) {
    Waview_ChildFrame* w = Open();
    ASSERT_NE(w, nullptr);
    const fs::path pdf = TempDir() / "print.pdf";
    fs::remove(pdf);
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(pdf.string()));
    ASSERT_TRUE(PrintPicture(printer, w->GrabClient()));
    std::ifstream in(pdf, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    size_t pages = 0;
    for (size_t at = bytes.find("/Type /Page"); at != std::string::npos;
         at = bytes.find("/Type /Page", at + 1))
        if (bytes.compare(at, 12, "/Type /Pages") != 0) ++pages;
    EXPECT_EQ(pages, 1u);
}

TEST_F(WaveWindowTest, CancelledConversionLeavesNothing) {
    std::ostringstream s;
    s << "$timescale 1ns $end\n$scope module t $end\n$var wire 1 ! a $end\n$upscope $end\n"
         "$enddefinitions $end\n";
    for (int t = 0; t < 300000; ++t) s << "#" << t << "\n" << (t & 1) << "!\n";
    const fs::path vcd = WriteFile("cancel.vcd", s.str());
    fs::remove(TempDir() / "cancel.wvw");
    Waview_ConvertOptions o;
    o.progressDelayMs = 0;
    o.showMessages = false;
    o.onProgressShown = [](QProgressDialog& d) { d.cancel(); };
    const Waview_ConvertResult r = ConvertDump(QString::fromStdString(vcd.string()), nullptr, o);
    EXPECT_TRUE(r.cancelled);
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(fs::exists(TempDir() / "cancel.wvw"));
    EXPECT_FALSE(fs::exists(TempDir() / "cancel.wvw.part"));
}

TEST_F(WaveWindowTest, SnapshotWritesThePicture) {
    const fs::path vcd = WriteFile("snap.vcd", SmallDump());
    const fs::path png = TempDir() / "snap.png";
    fs::remove(png);
    QString error;
    const int rc = WaveSnapshot(
        {"--snapshot", QString::fromStdString(vcd.string()), "-o", QString::fromStdString(png.string()),
         "--window", "0:60", "--cursor", "20", "--cursor", "45", "--size", "900x420"},
        &error);
    EXPECT_EQ(rc, 0) << error.toStdString();
    const QImage img(QString::fromStdString(png.string()));
    EXPECT_EQ(img.size(), QSize(900, 420));

    // Empty, reversed or negative windows, and one past the dump's end, are refused.
    for (const char* window : {"", ":", "5:", "5:1", "5:5", "-3:10", "99999:100000"}) {
        error.clear();
        EXPECT_EQ(WaveSnapshot({"--snapshot", QString::fromStdString(vcd.string()), "-o",
                                QString::fromStdString(png.string()), "--window", window},
                               &error),
                  2)
            << window;
        EXPECT_TRUE(error.startsWith("--window")) << error.toStdString();
    }

    const fs::path bad = WriteFile("snapbad.vcd", "$timescale 1 qs $end\n$scope module t $end\n#1\n");
    EXPECT_EQ(WaveSnapshot({"--snapshot", QString::fromStdString(bad.string()), "-o",
                            QString::fromStdString(png.string())},
                           &error),
              1);
    EXPECT_FALSE(error.isEmpty());
}

TEST_F(WaveWindowTest, MouseZoomAreaWheelAndCursorDrag) {
    Waview_ChildFrame* w = Open();
    ASSERT_NE(w, nullptr);
    Waview_ShapeView* sv = w->shapeView;
    auto mouse = [&](QEvent::Type type, int x, Qt::MouseButtons buttons,
                     Qt::KeyboardModifiers mods = Qt::NoModifier) {
        const QPointF pos(x, 30);
        QMouseEvent e(type, pos, sv->mapToGlobal(pos),
                      type == QEvent::MouseButtonRelease ? Qt::LeftButton : Qt::LeftButton, buttons, mods);
        QApplication::sendEvent(sv, &e);
    };
    ASSERT_TRUE(w->SetWindow(0, 100));
    // A press moves the nearest cursor there; dragging keeps moving it.
    w->AddCursor(); // a second cursor at the middle
    w->cursors.times[1] = 90;
    const int64_t t20 = sv->view.TimeAt(sv->view.X(20)), t70 = sv->view.TimeAt(sv->view.X(70));
    mouse(QEvent::MouseButtonPress, int(sv->view.X(20)), Qt::LeftButton);
    EXPECT_EQ(w->cursors.active, 0);
    EXPECT_EQ(w->cursors.times[0], t20);
    mouse(QEvent::MouseMove, int(sv->view.X(70)), Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, int(sv->view.X(70)), Qt::NoButton);
    EXPECT_EQ(w->cursors.times[0], t70);
    EXPECT_EQ(w->cursors.times[1], 90);

    // Zoom area: the band's two ends become the window; Escape drops a band.
    w->HandleCommand(kWaveZoomArea);
    bool checked = false;
    EXPECT_TRUE(w->CommandState(kWaveZoomArea, &checked));
    EXPECT_TRUE(checked);
    const int x0 = int(sv->view.X(40)), x1 = int(sv->view.X(60));
    mouse(QEvent::MouseButtonPress, x0, Qt::LeftButton);
    mouse(QEvent::MouseMove, x1, Qt::LeftButton);
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(sv, &esc);
    mouse(QEvent::MouseButtonRelease, x1, Qt::NoButton);
    EXPECT_EQ(sv->view.start, 0);
    mouse(QEvent::MouseButtonPress, x0, Qt::LeftButton);
    mouse(QEvent::MouseMove, x1, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, x1, Qt::NoButton);
    EXPECT_LE(sv->view.start, 40);
    EXPECT_GT(sv->view.start, 30);
    EXPECT_EQ(sv->view.stepTime, 1);     // finest grid: one time unit per step
    EXPECT_EQ(w->cursors.times[0], t70); // zoom-area presses leave cursors alone

    // The wheel: backward zooms in, forward out.
    auto wheel = [&](int dy) {
        QWheelEvent e(QPointF(10, 10), sv->mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, dy),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(sv, &e);
        return sv->view.stepTime;
    };
    w->HandleCommand(kWaveZoomFull);
    const int64_t full = sv->view.stepTime;
    EXPECT_LT(wheel(-120), full);
    EXPECT_EQ(wheel(120), full);
}

TEST_F(WaveWindowTest, ValueColumnEmptyWithoutCursor) {
    Waview_ChildFrame* w = Open();
    ASSERT_NE(w, nullptr);
    auto greenPixels = [&] {
        const QImage img = w->valueView->grab().toImage();
        int n = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                if (img.pixelColor(x, y).green() > 150 && img.pixelColor(x, y).red() < 100) ++n;
        return n;
    };
    EXPECT_GT(greenPixels(), 0);
    w->HandleCommand(kWaveRemoveCursor);
    EXPECT_EQ(w->cursors.count, 0);
    EXPECT_EQ(greenPixels(), 0); // cells only
    EXPECT_FALSE(w->CommandState(kWaveRemoveCursor));
}
