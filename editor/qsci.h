#pragma once
// QScintilla's headers use Qt's keyword macros, which the whole project
// turns off (QT_NO_KEYWORDS): include them only through this header.
#include <QtGlobal>

#define signals Q_SIGNALS
#define slots Q_SLOTS
#include <Qsci/qscicommand.h>
#include <Qsci/qscicommandset.h>
#include <Qsci/qscilexercpp.h>
#include <Qsci/qscilexercustom.h>
#include <Qsci/qsciprinter.h>
#include <Qsci/qsciscintilla.h>
#undef signals
#undef slots
