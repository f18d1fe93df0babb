#pragma once
// The name tree of the wave window: one item per shown row, composites
// expanded or collapsed by their flag; F2 renames, Delete removes an item
// (the row stays in the document).
#include <QTreeWidget>

#include "waview/wave_session.h"

class Waview_NameView : public QTreeWidget {
    Q_OBJECT
public:
    Waview_NameView(Waview_WaveSession& session, QWidget* parent);
    Waview_Hierarchy* RowOf(const QTreeWidgetItem* item) const;
    Waview_Hierarchy* RowAtY(int y) const; // y in viewport coordinates
    // The row under a point of another widget of the same window.
    Waview_Hierarchy* RowAt(const QWidget* from, const QPoint& pos) const;
    // Inserts the top-level rows in row order with their visible descendants.
    void Rebuild();

Q_SIGNALS:
    // The rows on screen moved or went: the drawing views follow.
    void rowsMoved();
    void signalsDialogRequested();

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    void dragMoveEvent(QDragMoveEvent* e) override;
    void dropEvent(QDropEvent* e) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void InsertRow(QTreeWidgetItem* parent, int32_t row, int depth);
    Waview_WaveSession& session_;
};
