#pragma once
// The value column: each shown row's value at the active cursor.
#include <QFont>
#include <QWidget>

#include "waview/wave_session.h"

class Waview_NameView;

class Waview_ValueView : public QWidget {
    Q_OBJECT
public:
    Waview_ValueView(Waview_WaveSession& session, const Waview_NameView& names, QWidget* parent);
    ~Waview_ValueView() override;
    void PaintTo(QPainter& p);

Q_SIGNALS:
    // A right press on a row: the radix popup for it.
    void popupRequested(const QPoint& globalPos, Waview_Hierarchy* row);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    bool event(QEvent* e) override;

private:
    Waview_WaveSession& session_;
    const Waview_NameView& names_;
    int observer_ = 0;
    QFont font_;
};
