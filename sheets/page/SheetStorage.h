#pragma once
// The detail sheet kept in the current house record (column excel):
// register the shown sheet or a chosen file, show it, export it, delete it.
#include <QByteArray>
#include <QString>
#include <Qt>

class QObject;

namespace tegaro {
class ImageCheckLabel;
class RecordSet;
struct DragSources;
struct FileDialogState;
} // namespace tegaro

namespace tegaro::sheets {

class SheetPage;

class SheetStorage {
public:
    SheetStorage(SheetPage& page, RecordSet& query, ImageCheckLabel* PCheck2, FileDialogState& openDialog,
                 FileDialogState& saveDialog, const DragSources& sources);

    // True when the sheet was stored; false when the user cancelled.
    bool RegisterShownSheet();
    void RegisterSheetFromFile();
    void ShowStoredSheet();
    void ExportStoredSheet();

    void InspectorBar2ItemClick(int panel, int item);
    void ToolbarButton974Click();
    void PCheck2MouseUp(Qt::MouseButton button);
    bool BitBtn2DragOver(const QObject* source) const;
    void BitBtn2DragDrop(const QObject* source);

private:
    QByteArray storedBytes();
    // Hands the stored bytes to the control.
    enum class Stored {
        None,       // the record holds no sheet
        Kept,       // the user kept the shown sheet with its edits
        Shown,      // the stored sheet is shown
        Unreadable, // the control could not read it (told)
    };
    Stored loadStored(bool catchSheetErrors);

    SheetPage& page_;
    RecordSet& ADOQuery1;
    ImageCheckLabel* PCheck2;
    FileDialogState& OpenDialog1;
    FileDialogState& SaveDialog1;
    const DragSources& sources_;
};

} // namespace tegaro::sheets
