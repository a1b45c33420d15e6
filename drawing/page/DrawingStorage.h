#pragma once
// The house drawing kept in the current house record (column zumen):
// register the dropped drawing or a chosen file, show it, export it, delete it.
#include "widgets/DropHelpers.h"

#include <QByteArray>
#include <QString>
#include <Qt>

namespace tegaro {

class DrawingPage;
class ImageCheckLabel;
class RecordSet;
struct FileDialogState;

class DrawingStorage {
public:
    DrawingStorage(DrawingPage& page, RecordSet& query, ImageCheckLabel* PCheck1, FileDialogState& openDialog,
                   FileDialogState& saveDialog, const DragSources& sources);

    void RegisterShownDrawing();
    void RegisterDrawingFromFile();
    void ShowStoredDrawing();
    void ExportStoredDrawing();

    void InspectorBar3ItemClick(int panel, int item);
    void ToolbarButton975Click() { RegisterDrawingFromFile(); }
    void PCheck1MouseUp(Qt::MouseButton button);
    bool BitBtn1DragOver(const QObject* source) const { return sources_.accepts(source); }
    void BitBtn1DragDrop(const QObject* source);

private:
    void storeFile(const QString& path);
    QByteArray storedBytes();

    DrawingPage& page_;
    RecordSet& ADOQuery1;
    ImageCheckLabel* PCheck1;
    FileDialogState& OpenDialog1;
    FileDialogState& SaveDialog1;
    const DragSources& sources_;
};

} // namespace tegaro
