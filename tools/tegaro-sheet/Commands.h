#pragma once
// The commands of tegaro-sheet, one file each; main() picks one by name.
// render and convert to PDF live in the drawing module (DrawCommands.cpp).
#include "sheets/calc/Calculator.h"
#include "sheets/model/Workbook.h"

#include <QStringList>

namespace tegaro::sheettool {

// Each returns the process exit code: 0 done, 1 failed, 2 bad arguments.
int usage();
// Reads a workbook of any kind the program knows, telling on stderr what
// reading left out.
sheets::Workbook readBook(const QString& path);
int catCommand(const QStringList& args);
int infoCommand(const QStringList& args);
int recordsCommand(const QStringList& args);
int convertCommand(const QStringList& args);
int setCommand(const QStringList& args);
int renderCommand(const QStringList& args);

// The files and sheets of convert: 0, or the exit code after saying why not.
int parseConvert(const QStringList& args, QStringList& files, QList<int>& sheets);
// "--sheet N" at args[i]: false (after saying why) when N is no sheet number.
bool parseSheet(const QStringList& args, int& i, int& sheet);
// false (after saying why) when the book has no sheet N.
bool checkSheet(const sheets::Workbook& book, const QString& path, int sheet);
// Circular references and formulas left as stored, on standard error.
void reportRecalculation(const sheets::Workbook& book, const sheets::Recalculation& r);

} // namespace tegaro::sheettool
