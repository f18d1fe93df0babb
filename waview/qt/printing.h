#pragma once
// Printing the waves: the rows the name tree shows, with their names, their
// values at the active cursor and their traces over the shown time range,
// drawn onto the page (not a picture of the screen) under a header line
// with the dump's name and the range.
#include <QRectF>
#include <QString>
#include <vector>

#include "waview/wave_session.h"

class QPainter;
class QPrinter;
class QTreeWidget;

inline constexpr const char* kPrintFailure = "Unable to print screen!";
inline constexpr const char* kPrintCaption = "CPrntScreen";

struct Waview_PrintRow {
    Waview_Hierarchy* row = nullptr;
    int depth = 0;
};

// The rows the tree shows, from its first one on screen down, in order.
std::vector<Waview_PrintRow> ShownRows(const QTreeWidget& tree, const Waview_FileManager& doc);

// Lays the page out in `page` (painter coordinates): header, then as many
// rows as fit. Returns how many rows it drew.
int PaintWavePage(QPainter& p, const QRectF& page, Waview_WaveSession& session,
                  const std::vector<Waview_PrintRow>& rows, const QString& title);

// One page on the printer; false when it cannot be drawn on.
bool PrintWaves(QPrinter& printer, Waview_WaveSession& session, const std::vector<Waview_PrintRow>& rows,
                const QString& title);
