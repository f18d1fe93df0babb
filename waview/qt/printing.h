#pragma once
// Printing what the screen shows: a picture of a window's client area,
// scaled to one page with its aspect ratio kept.
#include <QImage>

class QPrinter;
class QWidget;

inline constexpr const char* kPrintFailure = "Unable to print screen!";
inline constexpr const char* kPrintCaption = "CPrntScreen";

// Draws the picture on one page at the top left, as large as the page allows
// without distorting it. False when the printer cannot be drawn on.
bool PrintPicture(QPrinter& printer, const QImage& picture);
// Print dialog (or the default printer), then PrintPicture of the client's
// grab; failures show the failure box, a cancelled dialog nothing.
void PrintClientArea(QWidget* client, bool showDialog);
