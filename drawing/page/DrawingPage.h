#pragma once
// Page 家屋図面: the drawing side menu with its file list, the floor tabs
// with the canvas, the area boxes and the zoom box. The page owns the
// drawing model and the renderer, shows the model through them, and owns
// the handlers of drawing files and of the drawing stored in the record.
#include "drawing/DrawingModel.h"
#include "drawing/DrawingReaders.h"
#include "drawing/DrawingRenderer.h"

#include <QObject>

#include <array>
#include <memory>

class QGroupBox;
class QLineEdit;
class QTabBar;

namespace tegaro {

class DrawingFiles;
class DrawingStorage;
class FlatEdit;
class ImageCheckLabel;
class PaintBox;
class RecordSet;
class ShellListView;
class SideMenu;
struct DragSources;
struct FileDialogState;

class DrawingPage : public QObject {
    Q_OBJECT
public:
    // What the page uses of the window around it.
    struct Frame {
        QLineEdit* zmfile = nullptr;        // the drawing field of the toolbar
        ImageCheckLabel* PCheck1 = nullptr; // the drawing mark of the indicators
        FileDialogState* OpenDialog1 = nullptr;
        FileDialogState* SaveDialog1 = nullptr;
        const DragSources* dragSources = nullptr;
        RecordSet* ADOQuery1 = nullptr; // the house records
    };

    DrawingPage(QWidget* page, const Frame& frame);
    ~DrawingPage() override;

    // Start-up: the drawing state first, then the canvas with the background
    // picture at path (may be empty). Returns the window caption.
    void initDrawingState();
    QString InitCanvas(const QString& path);

    // Handlers of the page itself.
    void PaintBox1Paint();
    void PaintBox1MouseDown(Qt::MouseButton button);
    void FlatTabControl1MouseDown(int tabIndex);

    DrawingFiles& files() const { return *files_; }
    DrawingStorage& storage() const { return *storage_; }

    // What the handlers show the drawing through.
    DrawingModel& model() { return model_; }
    DrawingRenderer& renderer() { return renderer_; }
    // Runs a read with the gauge following it, then shows its messages, the
    // area texts, the picture and its status texts. A read that fails still
    // shows the area texts it got to.
    void read(const std::function<DrawingReport(const DrawingProgress&)>& reader);
    void redraw();
    // zclear, shown: empty area boxes, empty floors, an empty drawing field.
    void clearDrawing();
    void setZmfileText(const QString& text);
    QString zmfileText() const;

    PaintBox* paintBox() const { return PaintBox1; }
    QTabBar* floorTabs() const { return floorTabs_; }
    QWidget* floorTabControl() const { return FlatTabControl1; }
    SideMenu* sideMenu() const { return InspectorBar3; }
    ShellListView* fileList() const { return ShellListView2; }
    FlatEdit* zoomDisp() const { return ZoomDisp; }
    FlatEdit* areaBox(int box) const { return areaBoxes_.at(box); }

private:
    void buildCanvas(QWidget* page);
    void buildBoxes(QWidget* page);
    void wire();
    void showAreas();

    DrawingModel model_;
    DrawingRenderer renderer_;
    QLineEdit* zmfile_;
    std::unique_ptr<DrawingFiles> files_;
    std::unique_ptr<DrawingStorage> storage_;

    SideMenu* InspectorBar3 = nullptr;
    ShellListView* ShellListView2 = nullptr;
    QWidget* FlatTabControl1 = nullptr;
    QTabBar* floorTabs_ = nullptr;
    PaintBox* PaintBox1 = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    FlatEdit* ZoomDisp = nullptr;
    std::array<FlatEdit*, 6> areaBoxes_{}; // FlatEdit1..5 at 1..5
};

} // namespace tegaro
