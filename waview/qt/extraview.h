#pragma once
// The panel under the name tree: the visible range, the cursor times (lined
// up with the shape view's cursor rows) and the overview strip with the
// bookmarks.
#include <QFont>
#include <QWidget>

#include "waview/wave_session.h"

class Waview_ExtraView : public QWidget {
    Q_OBJECT
public:
    Waview_ExtraView(Waview_WaveSession& session, QWidget* parent);
    ~Waview_ExtraView() override;
    void PaintTo(QPainter& p);
    // Height of the overview strip (the shape view's scroll bar's).
    void SetStripHeight(int h) { stripHeight_ = h; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    Waview_WaveSession& session_;
    int observer_ = 0;
    QFont font_;
    int stripHeight_ = 16;
};
