#include "waview/qt/waveopen.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QMdiArea>
#include <QMessageBox>
#include <QProgressDialog>
#include <QTimer>

#include "waview/qt/childframe.h"
#include "waview/model.h"
#include "waview/vcd_converter.h"

namespace {

struct ConvertJob {
    std::atomic<bool> cancel{false};
    std::atomic<bool> done{false};
    bool ok = false;
    std::unique_ptr<Waview_VCDConverter> converter;
};

QString Absolute(const QString& path) { return QFileInfo(path).absoluteFilePath(); }

} // namespace

Waview_ConvertResult ConvertDump(const QString& dumpPath, QWidget* messageParent,
                                 const Waview_ConvertOptions& options) {
    Waview_ConvertResult result;
    auto job = std::make_shared<ConvertJob>();
    job->converter = std::make_unique<Waview_VCDConverter>(dumpPath.toStdString());
    job->converter->SetCancelFlag(&job->cancel);
    std::thread worker([job] {
        job->ok = job->converter->Import();
        job->done = true;
    });
    // The GUI thread waits in an event loop woken by a timer (no busy loop):
    // user input is held back until the progress dialog appears after the
    // delay; the dialog shows the share of the dump's bytes read, and Cancel
    // ends the wait at once.
    const double total = double(QFileInfo(dumpPath).size());
    QElapsedTimer timer;
    timer.start();
    std::unique_ptr<QProgressDialog> dialog;
    QEventLoop loop;
    QTimer tick;
    auto poll = [&] {
        if (dialog && dialog->wasCanceled()) job->cancel = true;
        if (job->done || job->cancel) {
            loop.quit();
            return;
        }
        if (!dialog && timer.elapsed() >= options.progressDelayMs) {
            loop.quit(); // again, now taking user input for the dialog
            return;
        }
        if (dialog && total > 0)
            dialog->setValue(int(std::min(99.0, double(job->converter->BytesParsed()) * 100.0 / total)));
    };
    QObject::connect(&tick, &QTimer::timeout, poll);
    tick.start(20);
    while (!job->done && !job->cancel) {
        if (!dialog && timer.elapsed() >= options.progressDelayMs) {
            dialog = std::make_unique<QProgressDialog>(
                QString("Converting %1 ...").arg(QFileInfo(dumpPath).fileName()), "Cancel", 0, 100,
                messageParent);
            dialog->setWindowTitle("Korl");
            dialog->setWindowModality(Qt::ApplicationModal);
            dialog->setMinimumDuration(0);
            dialog->setAutoClose(false);
            dialog->setAutoReset(false);
            QObject::connect(dialog.get(), &QProgressDialog::canceled, [&] {
                job->cancel = true;
                loop.quit();
            });
            dialog->show();
            if (options.onProgressShown) options.onProgressShown(*dialog);
            if (dialog->wasCanceled()) job->cancel = true;
            if (job->cancel) break;
        }
        loop.exec(dialog ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
    }
    tick.stop();
    dialog.reset();
    if (job->cancel) {
        // The importer looks at the flag between commands; past 100 ms the
        // window does not wait for it any longer.
        for (int i = 0; i < 10 && !job->done; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (job->done)
            worker.join();
        else
            worker.detach();
        result.cancelled = true;
        return result;
    }
    worker.join();
    Waview_VCDConverter& c = *job->converter;
    for (const Waview_Message& m : c.Messages()) result.messages.push_back({m.title, m.text});
    if (!job->ok && result.messages.empty()) {
        std::string text = "Can not convert " + dumpPath.toStdString();
        for (const std::string& d : c.Diagnostics()) text += "\n" + d;
        result.messages.push_back({"Error", text});
    }
    if (job->ok) {
        result.ok = true;
        result.wavePath = c.WavePath();
        result.document = c.TakeDocument();
        result.warnings = c.WarningSummary();
    }
    if (options.showMessages) {
        for (const Waview_OpenMessage& m : result.messages)
            QMessageBox::information(messageParent, QString::fromStdString(m.title),
                                     QString::fromStdString(m.text));
        if (!result.warnings.empty())
            QMessageBox::information(messageParent, "Waview", QString::fromStdString(result.warnings));
    }
    return result;
}

Waview_ChildFrame* OpenVcdFile(QMdiArea* area, const QString& path, QWidget* messageParent) {
    if (!area) return nullptr;
    const QString dump = Absolute(path);
    for (QMdiSubWindow* sub : area->subWindowList()) {
        auto* w = qobject_cast<Waview_ChildFrame*>(sub);
        if (!w || w->DumpPath() != dump) continue;
        area->setActiveSubWindow(w);
        if (!w->Reload(messageParent)) {
            w->close();
            return nullptr;
        }
        return w;
    }
    const Waview_ConvertResult r = ConvertDump(dump, messageParent);
    if (!r.ok) return nullptr;
    // Like the editors: maximized when the active child is (or there is none).
    const bool maximize = !area->activeSubWindow() || area->activeSubWindow()->isMaximized();
    auto* w = new Waview_ChildFrame(QString::fromStdString(r.wavePath), dump);
    area->addSubWindow(w);
    if (maximize)
        w->showMaximized();
    else
        w->show();
    w->TakeDocument(*r.document);
    return w;
}

namespace {

bool ParseI64(const QString& s, int64_t& out) {
    bool ok = false;
    out = s.trimmed().toLongLong(&ok);
    return ok;
}

} // namespace

int WaveSnapshot(const QStringList& args, QString* error) {
    QString dump, out;
    int width = 1600, height = 900;
    bool haveWindow = false;
    int64_t from = 0, to = 0;
    std::vector<int64_t> cursorTimes;
    auto fail = [&](const QString& why) {
        if (error) *error = why;
        return 2;
    };
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        auto value = [&](QString& v) {
            if (i + 1 >= args.size()) return false;
            v = args[++i];
            return true;
        };
        QString v;
        if (a == "--snapshot") {
            if (!value(dump)) return fail("--snapshot needs a dump file");
        } else if (a == "-o") {
            if (!value(out)) return fail("-o needs a picture file");
        } else if (a == "--window") {
            const int colon = value(v) ? v.indexOf(':') : -1;
            if (colon < 0 || !ParseI64(v.left(colon), from) || !ParseI64(v.mid(colon + 1), to))
                return fail("--window takes FROM:TO");
            if (from < 0 || to <= from) return fail("--window takes FROM:TO with 0 <= FROM < TO, not " + v);
            haveWindow = true;
        } else if (a == "--cursor") {
            int64_t t = 0;
            if (!value(v) || !ParseI64(v, t)) return fail("--cursor takes a time");
            if (cursorTimes.size() >= size_t(kMaxCursors)) return fail("at most 10 cursors");
            cursorTimes.push_back(t);
        } else if (a == "--size") {
            const int x = value(v) ? v.indexOf('x') : -1;
            bool okW = false, okH = false;
            if (x > 0) {
                width = v.left(x).toInt(&okW);
                height = v.mid(x + 1).toInt(&okH);
            }
            if (!okW || !okH || width < 100 || height < 100 || width > 16384 || height > 16384)
                return fail("--size takes WxH between 100 and 16384");
        } else {
            return fail("unknown argument " + a);
        }
    }
    if (dump.isEmpty() || out.isEmpty())
        return fail(
            "usage: korl --snapshot FILE.vcd -o PICTURE.png [--window FROM:TO] "
            "[--cursor T]... [--size WxH]");

    Waview_ConvertOptions options;
    options.progressDelayMs = 1 << 30;
    options.showMessages = false;
    const Waview_ConvertResult r = ConvertDump(Absolute(dump), nullptr, options);
    if (!r.ok) {
        QString text;
        for (const Waview_OpenMessage& m : r.messages)
            text += QString::fromStdString(m.title + ": " + m.text + "\n");
        if (error) *error = text.trimmed();
        return 1;
    }
    QMdiArea area;
    area.setFrameShape(QFrame::NoFrame);
    area.resize(width + 200, height + 200);
    auto* w = new Waview_ChildFrame(QString::fromStdString(r.wavePath), Absolute(dump));
    area.addSubWindow(w);
    area.show();
    w->show();
    QCoreApplication::processEvents();
    const QSize extra = w->size() - w->widget()->size();
    w->move(0, 0);
    w->resize(QSize(width, height) + extra);
    QCoreApplication::processEvents();
    w->TakeDocument(*r.document);
    Waview_WaveSession& session = w->Session();
    if (haveWindow && !session.SetWindow(from, to))
        return fail(QString("--window %1:%2 starts at or after the end of the dump (%3)")
                        .arg(from)
                        .arg(to)
                        .arg(session.EndTime()));
    if (!cursorTimes.empty()) session.SetCursorTimes(cursorTimes);
    QCoreApplication::processEvents();
    const QImage picture = w->GrabClient();
    if (!picture.save(out, "PNG")) {
        if (error) *error = "Can not write " + out;
        return 1;
    }
    return 0;
}

int WaveSnapshotMain(int argc, char** argv) {
    bool snapshot = false;
    for (int i = 1; i < argc; ++i)
        if (QByteArray(argv[i]) == "--snapshot") snapshot = true;
    if (!snapshot) return -1;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    QString error;
    const int rc = WaveSnapshot(args, &error);
    if (!error.isEmpty()) std::fprintf(stderr, "%s\n", error.toLocal8Bit().constData());
    return rc;
}
