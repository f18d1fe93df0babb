// The browser panes inside a real frame: Elaborate from the menu through the
// real build, the trees, their menus and the jumps into the editor.
#include "scparse/design_model.h"
#include "scparse/elaborate.h"
// Qt after the model headers (a model member is named "signals").
#include <gtest/gtest.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QDockWidget>
#include <QMenu>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTimer>

#include "base/command_ids.h"
#include "frame/panes.h"
#include "project/makefile.h"
#include "scparse/qt/browsericons.h"
#include "scparse/qt/browsers.h"
#include "tests/app/helpers.h"

namespace {

using korltest::Prompts;

// One node a line: indent, text and image.
QString Dump(QTreeWidget* tree) {
    QString out;
    std::function<void(QTreeWidgetItem*, int)> walk = [&](QTreeWidgetItem* item, int depth) {
        out += QString(depth * 2, ' ') + item->text(0) + " [" +
               QString::number(Korl_BrowserTreeWindow::ItemImage(item)) + "]\n";
        for (int i = 0; i < item->childCount(); ++i) walk(item->child(i), depth + 1);
    };
    for (int i = 0; i < tree->topLevelItemCount(); ++i) walk(tree->topLevelItem(i), 0);
    return out;
}

QTreeWidgetItem* Find(QTreeWidget* tree, const QString& path) {
    QTreeWidgetItem* item = nullptr;
    for (const QString& part : path.split('/')) {
        QTreeWidgetItem* next = nullptr;
        const int n = item ? item->childCount() : tree->topLevelItemCount();
        for (int i = 0; i < n && !next; ++i) {
            QTreeWidgetItem* c = item ? item->child(i) : tree->topLevelItem(i);
            if (c->text(0) == part) next = c;
        }
        if (!next) return nullptr;
        item = next;
    }
    return item;
}

// Right-clicks the item; returns the commands of the menu shown (none: no
// menu) and, when `choose` is one of them, takes it.
QList<int> RightClick(Korl_BrowserTreeWindow* tree, QTreeWidgetItem* item, int choose = 0) {
    tree->scrollToItem(item);
    const QPoint at = tree->visualItemRect(item).center();
    QList<int> shown;
    // The guard cancels the check when no menu opened.
    QObject guard;
    QTimer::singleShot(0, &guard, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu) return;
        EXPECT_EQ(menu->title(), "&Browse");
        QAction* take = nullptr;
        for (QAction* a : menu->actions()) {
            shown << a->data().toInt();
            if (a->data().toInt() == choose) take = a;
        }
        if (take) menu->setActiveAction(take), take->trigger();
        menu->close();
    });
    QContextMenuEvent e(QContextMenuEvent::Mouse, at, tree->viewport()->mapToGlobal(at));
    QApplication::sendEvent(tree->viewport(), &e);
    QCoreApplication::processEvents();
    return shown;
}

// File name and 1-based caret line of the active editor.
QString Caret(Korl_MainFrame& f) {
    Korl_EditorView* view = f.Editors()->ActiveView();
    if (!view) return "none";
    return QFileInfo(Korl_MainFrame::ChildPath(f.ActiveChild())).fileName() + ":" +
           QString::number(view->CaretLineQuery());
}

struct Fixture {
    Prompts prompts;
    QTemporaryDir dir;
    Korl_MainFrame frame{korltest::NoState()};
    Korl_Browsers* browsers = InstallBrowsers(frame, &frame);

    explicit Fixture(const QString& example = "pipeline") {
        frame.show();
        frame.LoadProject(korltest::CopyExample(dir, example));
    }
    // Elaboration without the build: the include scan is the build's part.
    bool ElaborateNow() {
        korl::Project& p = frame.Project();
        for (size_t i = 0; i < p.Sources().size(); ++i)
            korl::UpdateIncludes(*p.MutableSource(i), false, p.ExtraIncludes(), p.Directory());
        return browsers->Elaborate();
    }
};

const char* kDesignTree =
    "sc_main [0]\n"
    "  sum [5]\n"
    "  clk [12]\n"
    "  design [7]\n"
    "    clk [2]\n"
    "    written [5]\n"
    "    remaining [5]\n"
    "    prod [7]\n      clk [2]\n      out [10]\n      level[2] [3]\n        level[0] [3]\n        level[1] "
    "[3]\n"
    "      run [6]\n"
    "    cons [7]\n      clk [2]\n      in [10]\n      sum_out [11]\n      sum [5]\n      take [6]\n      "
    "watch [6]\n"
    "    fifo [7]\n";

} // namespace

TEST(browser_panes, ElaborateFromMenuBuildsFillsTreesAndJumps) {
    Fixture fx;
    QSignalSpy built(&fx.frame, &Korl_MainFrame::buildEnded);
    QSignalSpy done(fx.browsers, &Korl_Browsers::elaborated);
    ASSERT_TRUE(fx.frame.Action(korl::ID_ELABORATE)->isEnabled());
    fx.frame.Action(korl::ID_ELABORATE)->trigger();
    ASSERT_TRUE(fx.frame.BuildRunning());
    // A real make and g++ against SystemC: generous but bounded.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !built.isEmpty(); }, 600000));
    ASSERT_EQ(done.size(), 1) << fx.frame.LastBuild().errors << " build errors";
    EXPECT_TRUE(done.first().first().toBool());

    Korl_DBrowserWindow* db = fx.browsers->DesignBrowser();
    Korl_SourceBrowserWindow* sb = fx.browsers->SourceBrowser();
    EXPECT_EQ(fx.frame.PaneDock(Korl_Pane::DesignBrowser)->widget(), db);
    EXPECT_EQ(Dump(db), kDesignTree);
    EXPECT_TRUE(Find(db, "sc_main/design/cons")->isExpanded());
    EXPECT_FALSE(QFile::exists(fx.dir.filePath("output.out")));
    EXPECT_TRUE(fx.frame.statusBar()->currentMessage().contains("4 module(s)"))
        << fx.frame.statusBar()->currentMessage().toStdString();
    EXPECT_FALSE(fx.frame.PaneDock(Korl_Pane::DesignBrowser)->visibleRegion().isEmpty());

    const QString sbTree = Dump(sb);
    EXPECT_TRUE(
        sbTree.startsWith("sc_main [0]\n  clk [12]\n  sum [5]\n  design [14]\n  trace [9]\ntop [7]\n"))
        << sbTree.toStdString();
    EXPECT_TRUE(sbTree.contains(
        "consumer [7]\n  clk [2]\n  in [10]\n  sum_out [11]\n  sum [5]\n  take [6]\n  watch [6]\n"));
    EXPECT_TRUE(sbTree.endsWith("word_if [13]\n  put [8]\n  get [8]\n  used [8]\n")) << sbTree.toStdString();
    EXPECT_FALSE(sb->topLevelItem(0)->isExpanded());
    EXPECT_EQ(sb->topLevelItem(0)->toolTip(0), QStringLiteral("sc_main \u2014 main.cpp:6"));

    // The menu per tree and image, on every node of both trees.
    const QList<int> none;
    for (Korl_BrowserTreeWindow* tree :
         {static_cast<Korl_BrowserTreeWindow*>(db), static_cast<Korl_BrowserTreeWindow*>(sb)}) {
        for (QTreeWidgetItemIterator it(tree); *it; ++it) {
            const int image = Korl_BrowserTreeWindow::ItemImage(*it);
            QList<int> expected = none;
            if (tree == db && image == 6) expected = {32870, 32871};
            if (tree == db && image == 7) expected = {32871, 32872};
            if (tree == sb && image == 6) expected = {32870, 32871, 32875};
            if (tree == sb && image == 14) expected = {32870, 32871, 32872};
            tree->setCurrentItem(nullptr);
            EXPECT_EQ(RightClick(tree, *it), expected) << (*it)->text(0).toStdString() << " image " << image;
            if (!expected.isEmpty()) EXPECT_EQ(tree->currentItem(), *it);
        }
    }

    // Jumps land in the editor through the frame's open-at-line path.
    RightClick(sb, Find(sb, "producer/run"), 32875);
    EXPECT_EQ(Caret(fx.frame), "producer.cpp:5");
    RightClick(sb, Find(sb, "producer/run"), 32871);
    EXPECT_EQ(Caret(fx.frame), "producer.cpp:9");
    RightClick(sb, Find(sb, "producer/run"), 32870);
    EXPECT_EQ(Caret(fx.frame), "producer.h:14");
    RightClick(sb, Find(sb, "top/cons"), 32872);
    EXPECT_EQ(Caret(fx.frame), "top.h:20");
    RightClick(db, Find(db, "sc_main/design/cons"), 32871);
    EXPECT_EQ(Caret(fx.frame), "consumer.h:8");
    RightClick(db, Find(db, "sc_main/design/cons/watch"), 32871);
    EXPECT_EQ(Caret(fx.frame), "consumer.cpp:13");

    // Enter and double-click go to the declaration, also where there is no menu.
    db->setCurrentItem(Find(db, "sc_main/design/prod/level[2]"));
    QTest::keyClick(db, Qt::Key_Return);
    EXPECT_EQ(Caret(fx.frame), "producer.h:12");
    QTreeWidgetItem* sumOut = Find(sb, "consumer/sum_out");
    sb->expandItem(sumOut->parent());
    sb->scrollToItem(sumOut);
    QTest::mouseDClick(sb->viewport(), Qt::LeftButton, {}, sb->visualItemRect(sumOut).center());
    EXPECT_EQ(Caret(fx.frame), "consumer.h:11");
}

TEST(browser_panes, UnreadableFileKeepsPreviousTreesAndJumps) {
    Fixture fx;
    ASSERT_TRUE(fx.ElaborateNow());
    Korl_DBrowserWindow* db = fx.browsers->DesignBrowser();
    const QString before = Dump(db) + Dump(fx.browsers->SourceBrowser());
    ASSERT_EQ(Dump(db), kDesignTree);

    ASSERT_TRUE(QFile::remove(fx.dir.filePath("word_fifo.cpp")));
    QSignalSpy done(fx.browsers, &Korl_Browsers::elaborated);
    EXPECT_FALSE(fx.ElaborateNow());
    ASSERT_EQ(done.size(), 1);
    EXPECT_FALSE(done.first().first().toBool());
    EXPECT_TRUE(
        fx.frame.ConsoleWindow()->toPlainText().contains("Error in Elaboration\nPlease contact vendor\n"))
        << fx.frame.ConsoleWindow()->toPlainText().toStdString();
    EXPECT_EQ(Dump(db) + Dump(fx.browsers->SourceBrowser()), before);

    // The records behind the old trees still jump.
    db->setCurrentItem(Find(db, "sc_main/design/cons/take"));
    db->Goto(scparse::kGotoImplementation);
    EXPECT_EQ(Caret(fx.frame), "consumer.cpp:4");
}

TEST(browser_panes, HeaderOnlyIncludedBySourceAndProcessWithoutBody) {
    Fixture fx("counter");
    // A module that only a source's include brings in, with a process whose
    // body is nowhere in the project.
    korltest::WriteFile(fx.dir.filePath("extra.h"),
                        "#include \"systemc.h\"\n"
                        "SC_MODULE(extra) {\n"
                        "    sc_in<bool> clk;\n"
                        "    void poll();\n"
                        "    SC_CTOR(extra) {\n"
                        "        SC_METHOD(poll);\n"
                        "    }\n"
                        "};\n");
    korltest::WriteFile(fx.dir.filePath("main.cpp"),
                        "#include \"extra.h\"\nint sc_main(int, char**) { return 0; }\n");
    ASSERT_TRUE(fx.ElaborateNow());
    Korl_SourceBrowserWindow* sb = fx.browsers->SourceBrowser();
    QTreeWidgetItem* poll = Find(sb, "extra/poll");
    ASSERT_NE(poll, nullptr) << Dump(sb).toStdString();
    EXPECT_EQ(Korl_BrowserTreeWindow::ItemImage(poll), 6);

    QSignalSpy jumps(sb, &Korl_BrowserTreeWindow::gotoRequested);
    sb->setCurrentItem(poll);
    sb->Goto(scparse::kGotoImplementation);
    ASSERT_EQ(jumps.size(), 1);
    EXPECT_EQ(jumps[0][0].toString(), fx.dir.filePath("extra.h"));
    EXPECT_EQ(jumps[0][1].toString(), "extra.h");
    EXPECT_EQ(jumps[0][2].toInt(), -1);
    EXPECT_EQ(Caret(fx.frame).section(':', 0, 0), "extra.h");
}

TEST(browser_panes, IconsAreDistinctAndSharpAtTwiceTheSize) {
    QSet<QByteArray> seen;
    for (int i = 0; i < scparse::kImageCount; ++i) {
        const QImage img = Korl_BrowserImage(i, 32);
        seen.insert(QByteArray(reinterpret_cast<const char*>(img.constBits()), int(img.sizeInBytes())));
        // Drawn at the device pixel ratio, not a 16-pixel bitmap scaled up.
        const QPixmap pm = Korl_BrowserIcon(i).pixmap(QSize(16, 16), 2.0);
        EXPECT_EQ(pm.size(), QSize(32, 32));
        EXPECT_EQ(pm.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied), img) << "image " << i;
    }
    EXPECT_EQ(seen.size(), scparse::kImageCount);
}
