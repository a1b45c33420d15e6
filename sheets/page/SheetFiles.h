#pragma once
// Bringing detail sheet files into the control and writing the shown sheet
// out: the open, save and print buttons, desktop drops on the control and
// drags from the file lists onto it.
#include <QString>
#include <QStringList>

class QObject;

namespace tegaro {
struct DragSources;
struct FileDialogState;
} // namespace tegaro

namespace tegaro::sheets {

class SheetPage;

// The name a workbook is saved under: ".xls" appended unless the name
// already ends in it, in any letter case.
QString xlsFileName(const QString& chosen);

// The name test of sheet drops: "xls" anywhere in the path, as always,
// and OpenDocument spreadsheets, which are read as well.
bool isDroppableSheet(const QString& path);

// An open dialog's filter with the workbooks read besides .xls offered after it.
QString withAllBooks(const QString& filter);

class SheetFiles {
public:
    SheetFiles(SheetPage& page, FileDialogState& openDialog, FileDialogState& saveDialog, const DragSources& sources);

    void MMenuClick();
    void ToolbarButton973Click();
    void ToolbarButton971Click();
    void FileDrop3Drop(const QStringList& paths);
    bool F5Book1DragOver(const QObject* source) const;
    void F5Book1DragDrop(const QObject* source);

private:
    void showDropped(const QString& path);

    SheetPage& page_;
    FileDialogState& OpenDialog1;
    FileDialogState& SaveDialog1;
    const DragSources& sources_;
};

} // namespace tegaro::sheets
