#pragma once
// The house drawing kept in the current house record (column zumen):
// register the dropped drawing or a chosen file, show it, export it, delete it.
#include "app/DropHelpers.h"
#include "core/UserSeam.h"

#include <Qt>

namespace tegaro {
struct DrawingModel;
class DrawingView;
class RecordSet;
class ImageCheckLabel;
} // namespace tegaro

class DrawingStorage {
public:
    DrawingStorage(tegaro::DrawingModel& model, tegaro::DrawingView& view, tegaro::RecordSet& query,
                   tegaro::ImageCheckLabel* PCheck1, tegaro::FileDialogState& openDialog,
                   tegaro::FileDialogState& saveDialog, const DragSources& sources);

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

    tegaro::DrawingModel& model_;
    tegaro::DrawingView& view_;
    tegaro::RecordSet& ADOQuery1;
    tegaro::ImageCheckLabel* PCheck1;
    tegaro::FileDialogState& OpenDialog1;
    tegaro::FileDialogState& SaveDialog1;
    const DragSources& sources_;
};
