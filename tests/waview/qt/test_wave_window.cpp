#include <bitset>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QTreeWidget>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QMdiArea>
#include <QMessageBox>
#include <QPrinter>
#include <QProgressDialog>
#include <gtest/gtest.h>

#include "frame/command_registry.h"
#include "waview/qt/childframe.h"
#include "waview/qt/nameview.h"
#include "waview/qt/shapeview.h"
#include "waview/qt/signalsdlg.h"
#include "waview/qt/valueview.h"
#include "waview/qt/wave_commands.h"
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
        for (int32_t i = 0; i < w->Session().Doc().RowCount(); ++i)
            if (w->Session().Doc().Row(i)->name == name) return w->Session().Doc().Row(i);
        return nullptr;
    }
    std::unique_ptr<QMdiArea> area;
};

QRect RowRectIn(Waview_ChildFrame* w, Waview_Hierarchy* row) {
    const QRect r = w->NameView()->visualItemRect(static_cast<QTreeWidgetItem*>(row->treeItem));
    const int dy =
        w->NameView()->viewport()->mapTo(w, QPoint(0, 0)).y() - w->ShapeView()->mapTo(w, QPoint(0, 0)).y();
    return r.translated(0, dy);
}

} // namespace

TEST_F(WaveWindowTest, OpensZoomsFullAndReloadsTheSameDump) {
    Waview_ChildFrame* w = Open();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->windowTitle(), "small.vcd");
    EXPECT_EQ(w->Session().EndTime(), 100);
    EXPECT_EQ(w->Session().TimescaleExponent(), -9);
    EXPECT_EQ(w->Session().View().start, 0);
    EXPECT_GE(w->Session().View().end, 100);
    EXPECT_EQ(w->Session().Cursors().count, 1);
    // Shown from memory: no wave file appears beside the dump until Save.
    EXPECT_FALSE(fs::exists(TempDir() / "small.wvw"));

    // Opening the same dump again reuses and resets the window.
    w->Session().AddCursor();
    Waview_ChildFrame* again = Open();
    EXPECT_EQ(again, w);
    EXPECT_EQ(area->subWindowList().size(), 1);
    EXPECT_EQ(w->Session().Cursors().count, 1);
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
    ASSERT_TRUE(w->Session().SetWindow(13, 61));
    const int64_t s = w->Session().View().start, e = w->Session().View().end;
    EXPECT_EQ(s % w->Session().View().stepTime, 0); // snapped down to a step
    w->HandleCommand(kWaveSetBookmark0 + 3);
    w->HandleCommand(kWaveZoomFull);
    EXPECT_NE(w->Session().View().start + w->Session().View().end, s + e);
    Waview_ViewState expect = w->Session().View();
    ASSERT_TRUE(expect.SetWindow(s, e, w->Session().EndTime()));
    w->HandleCommand(kWaveGotoBookmark0 + 3);
    EXPECT_EQ(w->Session().View().start, expect.start);
    EXPECT_EQ(w->Session().View().end, expect.end);
    EXPECT_EQ(w->Session().View().stepTime, expect.stepTime);
    EXPECT_LE(w->Session().View().start, s);
    w->HandleCommand(kWaveGotoBookmark0 + 4); // unset: nothing happens
    EXPECT_EQ(w->Session().View().start, expect.start);
    bool checked = true;
    EXPECT_FALSE(w->CommandState(kWaveGotoBookmark0 + 4, &checked));
    EXPECT_TRUE(w->CommandState(kWaveGotoBookmark0 + 3, &checked));

    EXPECT_FALSE(Waview_ChildFrame::IsWindowCommand(korl::ID_EDIT_COPY));
    EXPECT_TRUE(w->HandleCommand(kWaveZoomFull));
    EXPECT_EQ(w->Session().View().start, 0);
}

TEST_F(WaveWindowTest, ValueTextAtTheCursorInEveryRadix) {
    Waview_ChildFrame* w = Open();
    ASSERT_NE(w, nullptr);
    Waview_Hierarchy* data = RowNamed(w, "data");
    Waview_Hierarchy* n = RowNamed(w, "n");
    Waview_Hierarchy* v = RowNamed(w, "v");
    ASSERT_TRUE(data && n && v);
    w->Session().SetCursorTimes({55}); // data = 5 (0101), n = 5, v = 2.5
    std::string text;
    const std::pair<int, const char*> bus[] = {
        {kRadixBinary, " 0101b"}, {kRadixHex, " 5h"}, {kRadixUnsigned, " 5u "}, {kRadixSigned, " 5d "}};
    for (auto [radix, want] : bus) {
        w->SetPopupRow(data);
        w->HandleCommand(kWaveRadixBinary + (radix == 1 ? 0 : radix == 2 ? 1 : radix == 4 ? 2 : 3));
        EXPECT_EQ(data->ValueTextAt(text, w->Session().Cursors().ActiveTime()), want);
    }
    w->Session().SetRadix(*n, kRadixBinary);
    EXPECT_EQ(n->ValueTextAt(text, 55), " 101b");
    w->Session().SetRadix(*n, kRadixHex);
    EXPECT_EQ(n->ValueTextAt(text, 55), " 5h ");
    EXPECT_EQ(v->ValueTextAt(text, 55), " 2.500000r ");
}

TEST_F(WaveWindowTest, PaintsGridCursorTracesAndBuses) {
    Waview_ChildFrame* w = Open();
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(w->Session().SetWindow(0, 100));
    const Waview_ViewState& v = w->Session().View();
    w->Session().SetCursorTimes({33});
    const QImage img = w->ShapeView()->Render();
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
    EXPECT_EQ(img.pixelColor(int(v.X(28)), mid), QColor(0, 0, 0)); // past the box's text

    // Integer row in bus shape: numeric pink rails.
    Waview_Hierarchy* n = RowNamed(w, "n");
    const QRect rn = RowRectIn(w, n);
    EXPECT_EQ(img.pixelColor(int(v.X(25)), rn.top() + 2), QColor(255, 128, 128));
}

TEST_F(WaveWindowTest, RenameSurvivesSaveAndReopen) {
    Waview_ChildFrame* w = Open("rename.vcd");
    ASSERT_NE(w, nullptr);
    Waview_Hierarchy* clk = RowNamed(w, "clk");
    auto* item = static_cast<QTreeWidgetItem*>(clk->treeItem);
    item->setText(0, "clock"); // what a confirmed F2 edit does
    EXPECT_TRUE(w->Session().Modified());
    EXPECT_EQ(w->windowTitle(), "rename.vcd *");
    ASSERT_TRUE(w->HandleCommand(kWaveSave));
    EXPECT_FALSE(w->Session().Modified());
    EXPECT_EQ(w->windowTitle(), "rename.vcd");

    Waview_ChildFrame other(w->WavePath(), w->DumpPath());
    other.show();
    ASSERT_TRUE(other.Load());
    Waview_Hierarchy* renamed = nullptr;
    for (int32_t i = 0; i < other.Session().Doc().RowCount(); ++i)
        if (other.Session().Doc().Row(i)->name == "clock") renamed = other.Session().Doc().Row(i);
    EXPECT_NE(renamed, nullptr);
}

TEST_F(WaveWindowTest, ClosePromptAnswers) {
    Waview_ChildFrame* w = Open("close.vcd");
    ASSERT_NE(w, nullptr);
    const fs::path wave = w->WavePath().toStdString();
    fs::remove(wave);
    QString asked;
    int answer = QMessageBox::Cancel;
    Waview_ChildFrame::closePromptHook = [&](const QString& t) {
        asked = t;
        return answer;
    };
    w->Session().RenameRow(*RowNamed(w, "clk"), "a_much_longer_name_for_clk");
    EXPECT_FALSE(w->close()); // Cancel keeps it
    EXPECT_EQ(asked, "Save changes to " + w->WavePath() + " ?");
    EXPECT_EQ(area->subWindowList().size(), 1);

    answer = QMessageBox::Discard; // closes without writing
    EXPECT_TRUE(w->close());
    QApplication::processEvents();
    EXPECT_FALSE(fs::exists(wave));

    Waview_ChildFrame* again = Open("close.vcd");
    ASSERT_NE(again, nullptr);
    again->Session().RenameRow(*RowNamed(again, "clk"), "a_much_longer_name_for_clk");
    answer = QMessageBox::Save; // saves, then closes
    EXPECT_TRUE(again->close());
    EXPECT_TRUE(fs::exists(wave));
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
    o.onProgressShown = [](QProgressDialog& d) {
        EXPECT_EQ(d.maximum(), 100); // a percentage of the dump's bytes
        d.cancel();
    };
    const Waview_ConvertResult r = ConvertDump(QString::fromStdString(vcd.string()), nullptr, o);
    EXPECT_TRUE(r.cancelled);
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(fs::exists(TempDir() / "cancel.wvw"));
    // The window stops waiting after 100 ms; the importer cleans up when it
    // notices the flag.
    for (int i = 0; i < 300 && fs::exists(TempDir() / "cancel.wvw.part"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
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

TEST_F(WaveWindowTest, ValueColumnEmptyWithoutCursor) {
    Waview_ChildFrame* w = Open();
    ASSERT_NE(w, nullptr);
    auto greenPixels = [&] {
        const QImage img = w->ValueView()->grab().toImage();
        int n = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                if (img.pixelColor(x, y).green() > 150 && img.pixelColor(x, y).red() < 100) ++n;
        return n;
    };
    EXPECT_GT(greenPixels(), 0);
    w->HandleCommand(kWaveRemoveCursor);
    EXPECT_EQ(w->Session().Cursors().count, 0);
    EXPECT_EQ(greenPixels(), 0); // cells only
    EXPECT_FALSE(w->CommandState(kWaveRemoveCursor));
}

TEST_F(WaveWindowTest, BusesOpenCollapsedAndToggleToAnalog) {
    Waview_ChildFrame* w = Open();
    ASSERT_NE(w, nullptr);
    Waview_Hierarchy* data = RowNamed(w, "data");
    ASSERT_TRUE(data && data->treeItem);
    EXPECT_FALSE(static_cast<QTreeWidgetItem*>(data->treeItem)->isExpanded());
    EXPECT_EQ(static_cast<Waview_CompositeHierarchy*>(data)->expanded, 0);

    ASSERT_TRUE(w->Session().SetWindow(0, 100));
    const QRect rd = RowRectIn(w, data);
    const QImage digital = w->ShapeView()->Render();
    w->SetPopupRow(data);
    ASSERT_TRUE(w->CommandState(kWaveToggleDigital));
    w->HandleCommand(kWaveToggleDigital);
    EXPECT_EQ(data->digital, 0);
    const QImage analog = w->ShapeView()->Render();
    // The count rises: late in the dump the curve is higher than early on.
    const Waview_ViewState& v = w->Session().View();
    auto topOfCurve = [&](int64_t t) {
        for (int y = rd.top(); y <= rd.bottom(); ++y)
            if (analog.pixelColor(int(v.X(t)), y) == QColor(255, 255, 0)) return y;
        return -1;
    };
    EXPECT_GT(topOfCurve(15), topOfCurve(85));
    EXPECT_FALSE(analog.copy(0, rd.top(), v.width, rd.height()) ==
                 digital.copy(0, rd.top(), v.width, rd.height()));
}

TEST_F(WaveWindowTest, MouseCursorDragOneZoomAreaAndDoubleClicksWhileItIsOn) {
    Waview_ChildFrame* w = Open();
    ASSERT_NE(w, nullptr);
    Waview_WaveSession& s = w->Session();
    Waview_ShapeView* sv = w->ShapeView();
    Waview_Hierarchy* clk = RowNamed(w, "clk");
    ASSERT_TRUE(clk && clk->treeItem);
    const int yClk = RowRectIn(w, clk).center().y();
    auto mouse = [&](QEvent::Type type, int x, Qt::MouseButtons buttons,
                     Qt::KeyboardModifiers mods = Qt::NoModifier) {
        const QPointF pos(x, yClk);
        QMouseEvent e(type, pos, sv->mapToGlobal(pos), Qt::LeftButton, buttons, mods);
        QApplication::sendEvent(sv, &e);
    };
    ASSERT_TRUE(s.SetWindow(0, 100));
    // A press moves the nearest cursor there; dragging keeps moving it.
    s.AddCursor();
    s.SetCursorTimes({0, 90});
    const int64_t t20 = s.View().TimeAt(s.View().X(20)), t70 = s.View().TimeAt(s.View().X(70));
    mouse(QEvent::MouseButtonPress, int(s.View().X(20)), Qt::LeftButton);
    EXPECT_EQ(s.Cursors().active, 0);
    EXPECT_EQ(s.Cursors().times[0], t20);
    mouse(QEvent::MouseMove, int(s.View().X(70)), Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, int(s.View().X(70)), Qt::NoButton);
    EXPECT_EQ(s.Cursors().times[0], t70);
    EXPECT_EQ(s.Cursors().times[1], 90);

    // Zoom area: Escape drops a band, a click is no area, and a double click
    // still goes to the next transition; one dragged band zooms and ends it.
    w->HandleCommand(kWaveZoomArea);
    bool checked = false;
    EXPECT_TRUE(w->CommandState(kWaveZoomArea, &checked));
    EXPECT_TRUE(checked);
    const int x0 = int(s.View().X(40)), x1 = int(s.View().X(60));
    mouse(QEvent::MouseButtonPress, x0, Qt::LeftButton);
    mouse(QEvent::MouseMove, x1, Qt::LeftButton);
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(sv, &esc);
    mouse(QEvent::MouseButtonRelease, x1, Qt::NoButton);
    EXPECT_EQ(s.View().start, 0);
    EXPECT_TRUE(s.ZoomAreaOn());

    s.SetCursorTimes({12});
    const int xc = int(s.View().X(12));
    mouse(QEvent::MouseButtonPress, xc, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, xc, Qt::NoButton);
    mouse(QEvent::MouseButtonDblClick, xc, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, xc, Qt::NoButton);
    EXPECT_EQ(s.Cursors().ActiveTime(), 15);
    mouse(QEvent::MouseButtonDblClick, xc, Qt::LeftButton, Qt::ShiftModifier);
    EXPECT_EQ(s.Cursors().ActiveTime(), 10);
    EXPECT_TRUE(s.ZoomAreaOn());
    EXPECT_EQ(s.View().start, 0);

    mouse(QEvent::MouseButtonPress, x0, Qt::LeftButton);
    mouse(QEvent::MouseMove, x1, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, x1, Qt::NoButton);
    EXPECT_LE(s.View().start, 40);
    EXPECT_GT(s.View().start, 30);
    EXPECT_EQ(s.View().stepTime, 1);         // finest grid: one time unit per step
    EXPECT_EQ(s.Cursors().ActiveTime(), 10); // zoom-area presses leave cursors alone
    EXPECT_FALSE(s.ZoomAreaOn());
    EXPECT_TRUE(w->CommandState(kWaveZoomArea, &checked));
    EXPECT_FALSE(checked);
}

TEST_F(WaveWindowTest, WheelZoomsAroundThePointer) {
    Waview_ChildFrame* w = Open();
    ASSERT_NE(w, nullptr);
    Waview_WaveSession& s = w->Session();
    Waview_ShapeView* sv = w->ShapeView();
    auto wheel = [&](int x, int dy) {
        QWheelEvent e(QPointF(x, 10), sv->mapToGlobal(QPointF(x, 10)), QPoint(), QPoint(0, dy), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(sv, &e);
    };
    const int x = sv->width() * 3 / 4;
    const int64_t t = s.View().TimeAt(x);
    const int64_t full = s.View().end - s.View().start;
    wheel(x, -120); // backward: in
    EXPECT_LT(s.View().end - s.View().start, full);
    EXPECT_NEAR(double(s.View().X(t)), x, s.View().stepPixels / 2.0 + 1);
    wheel(x, -120); // each zoom may move it by half a step of its own grid
    EXPECT_NEAR(double(s.View().X(t)), x, s.View().stepPixels + 1.0);
    wheel(x, 120); // forward: out
    wheel(x, 120);
    EXPECT_GE(s.View().end - s.View().start, 100);
}

TEST_F(WaveWindowTest, SignalsDialogFiltersAndAppliesParentsToChildren) {
    Waview_ChildFrame* w = Open();
    ASSERT_NE(w, nullptr);
    Waview_Hierarchy* clk = RowNamed(w, "clk");
    Waview_Hierarchy* data = RowNamed(w, "data");
    ASSERT_TRUE(clk && clk->treeItem && data);
    Waview_SignalsDlg dlg(w->Session().Doc(), w);
    EXPECT_FALSE(dlg.Apply()); // unchanged boxes change nothing
    auto item = [&](const QString& name) {
        for (QTreeWidgetItemIterator it(dlg.Tree()); *it; ++it)
            if ((*it)->text(0) == name) return *it;
        return static_cast<QTreeWidgetItem*>(nullptr);
    };
    auto shown = [&] {
        QStringList names;
        for (QTreeWidgetItemIterator it(dlg.Tree()); *it; ++it)
            if (!(*it)->isHidden()) names << (*it)->text(0);
        return names;
    };
    QTreeWidgetItem* dataItem = item("data");
    ASSERT_TRUE(dataItem && dataItem->childCount() == 4);

    // A substring (any case) keeps the matches, their ancestors and what lies below.
    dlg.FilterBox()->setText("DATA[2");
    EXPECT_EQ(shown(), (QStringList{"top", "data", "data[2]"}));
    dlg.FilterBox()->setText("/^(clk|n)$");
    EXPECT_EQ(shown(), (QStringList{"top", "clk", "n"}));
    dlg.FilterBox()->setText("/(["); // not a whole expression yet: the tree stays
    EXPECT_EQ(shown(), (QStringList{"top", "clk", "n"}));
    dlg.FilterBox()->setText("data");
    EXPECT_EQ(shown().size(), 6); // top, data and its four bits
    dlg.FilterBox()->clear();
    EXPECT_EQ(shown().size(), 9);

    // The parent's box sets its children; one child unchecked leaves it partial.
    dataItem->setCheckState(0, Qt::Unchecked);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(dataItem->child(i)->checkState(0), Qt::Unchecked);
    dataItem->child(1)->setCheckState(0, Qt::Checked);
    EXPECT_EQ(dataItem->checkState(0), Qt::PartiallyChecked);
    item("clk")->setCheckState(0, Qt::Unchecked);
    EXPECT_TRUE(dlg.Apply());
    EXPECT_EQ(clk->visible, 0);
    EXPECT_EQ(data->visible, 1); // partly checked: still shown, with one bit
    w->Session().RowsChanged();
    EXPECT_EQ(clk->treeItem, nullptr);
    ASSERT_NE(data->treeItem, nullptr);
    EXPECT_EQ(static_cast<QTreeWidgetItem*>(data->treeItem)->childCount(), 1);

    // Through the command: the dialog runs and its OK rebuilds the tree.
    Waview_ChildFrame::dialogHook = [](QDialog& d) {
        auto& sd = dynamic_cast<Waview_SignalsDlg&>(d);
        for (QTreeWidgetItemIterator it(sd.Tree()); *it; ++it) (*it)->setCheckState(0, Qt::Checked);
        return int(QDialog::Accepted);
    };
    w->HandleCommand(kWaveSignalsDialog);
    Waview_ChildFrame::dialogHook = nullptr;
    EXPECT_NE(clk->treeItem, nullptr);
    EXPECT_EQ(static_cast<QTreeWidgetItem*>(data->treeItem)->childCount(), 4);
}

TEST_F(WaveWindowTest, PrintsTheWavesOnOnePage) {
    Waview_ChildFrame* w = Open();
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(w->Session().SetWindow(0, 100));
    w->Session().SetCursorTimes({55});
    const std::vector<Waview_PrintRow> rows = ShownRows(*w->NameView(), w->Session().Doc());
    ASSERT_EQ(rows.size(), 5u); // top, clk, data (collapsed), n, v
    EXPECT_EQ(rows[1].row->name, "clk");
    EXPECT_EQ(rows[1].depth, 1);

    // The page routine into an image: header, names, values and traces.
    QImage page(850, 1100, QImage::Format_RGB32);
    page.fill(Qt::white);
    {
        QPainter p(&page);
        EXPECT_EQ(PaintWavePage(p, QRectF(0, 0, 850, 1100), w->Session(), rows, "small.vcd"), 5);
    }
    // Smoothed text and lines are shades of their colours.
    auto count = [&](auto is, QRect r) {
        int n = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x) n += is(page.pixelColor(x, y));
        return n;
    };
    auto dark = [](QColor c) { return c.red() < 100 && c.green() < 100 && c.blue() < 100; };
    auto green = [](QColor c) { return c.green() > 120 && c.red() < 80 && c.blue() < 80; };
    auto yellow = [](QColor c) { return c.red() > 120 && c.green() > 120 && c.blue() < 60; };
    auto pink = [](QColor c) { return c.red() > 150 && c.green() > 60 && c.green() < 170 && c.blue() > 60; };
    const double k = 850 / 1000.0;
    const int rowsTop = int(28 * k) + 1, traces = int(300 * k) + 1;
    EXPECT_GT(count(dark, QRect(0, 0, 300, rowsTop - 6)), 30);              // header text
    EXPECT_GT(count(green, QRect(0, rowsTop, traces - 2, 90)), 50);         // names, values
    EXPECT_GT(count(yellow, QRect(traces, rowsTop, 850 - traces, 90)), 50); // the bus
    EXPECT_GT(count(pink, QRect(traces, rowsTop, 850 - traces, 90)), 50);   // n and v
    EXPECT_EQ(count(yellow, QRect(0, 300, 850, 800)), 0);                   // below the rows: blank

    // And onto a PDF printer: one page that holds more than a blank one.
    const fs::path pdf = TempDir() / "print.pdf";
    fs::remove(pdf);
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(pdf.string()));
    ASSERT_TRUE(w->PrintTo(printer));
    std::ifstream in(pdf, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    size_t pages = 0;
    for (size_t at = bytes.find("/Type /Page"); at != std::string::npos;
         at = bytes.find("/Type /Page", at + 1))
        if (bytes.compare(at, 12, "/Type /Pages") != 0) ++pages;
    EXPECT_EQ(pages, 1u);
    EXPECT_GT(bytes.size(), 4000u);

    // A cancelled print dialog prints nothing and says nothing.
    int shownDialogs = 0;
    Waview_ChildFrame::dialogHook = [&](QDialog&) {
        ++shownDialogs;
        return int(QDialog::Rejected);
    };
    w->HandleCommand(kWavePrint);
    Waview_ChildFrame::dialogHook = nullptr;
    EXPECT_EQ(shownDialogs, 1);
}

TEST_F(WaveWindowTest, PrintSetupIsServedWhileAWaveWindowIsActive) {
    Waview_ChildFrame* w = Open();
    ASSERT_NE(w, nullptr);
    Korl_CommandRegistry commands;
    RegisterWaveCommands(commands);
    commands.SetActiveChild(w);
    EXPECT_TRUE(commands.State(korl::ID_FILE_PRINT_SETUP).enabled);
    EXPECT_TRUE(commands.State(korl::ID_FILE_PAGE_SETUP).enabled);
    EXPECT_TRUE(Waview_ChildFrame::IsWindowCommand(korl::ID_FILE_PRINT_SETUP));
    int shownDialogs = 0;
    Waview_ChildFrame::dialogHook = [&](QDialog& d) {
        ++shownDialogs;
        return int(d.metaObject()->className() == QString("QPageSetupDialog") ? QDialog::Accepted
                                                                              : QDialog::Rejected);
    };
    EXPECT_TRUE(commands.Dispatch(korl::ID_FILE_PRINT_SETUP));
    Waview_ChildFrame::dialogHook = nullptr;
    EXPECT_EQ(shownDialogs, 1);
    commands.SetActiveChild(nullptr);
    EXPECT_FALSE(commands.State(korl::ID_FILE_PRINT_SETUP).enabled);
}

// Collapsing a bus gives back what painting its bits held; opening it again
// paints the same picture.
TEST_F(WaveWindowTest, CollapsedBitsGiveBackTheirMemoryAndRepaintTheSame) {
    Waview_ChildFrame* w = Open();
    ASSERT_NE(w, nullptr);
    auto* data = static_cast<Waview_CompositeHierarchy*>(RowNamed(w, "data"));
    ASSERT_TRUE(data && data->treeItem);
    auto* item = static_cast<QTreeWidgetItem*>(data->treeItem);
    Waview_WaveSession& s = w->Session();
    s.SetSummaryBudget(0);
    ASSERT_TRUE(s.SetWindow(0, 100));
    item->setExpanded(true);
    QApplication::processEvents();
    const QImage open = w->ShapeView()->Render();
    Waview_Signal* bit = s.Doc().Row(data->children[0])->GetSignal();
    ASSERT_NE(bit, nullptr);
    EXPECT_FALSE(bit->IsLazy());
    const size_t held = s.SummaryBytes();
    item->setExpanded(false);
    QApplication::processEvents();
    w->ShapeView()->Render();
    w->ShapeView()->Render();
    EXPECT_TRUE(bit->IsLazy());
    EXPECT_LT(s.SummaryBytes(), held);
    item->setExpanded(true);
    QApplication::processEvents();
    EXPECT_TRUE(w->ShapeView()->Render() == open);
}
