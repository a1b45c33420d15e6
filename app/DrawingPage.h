#pragma once
// Page 2 of the main window: the drawing side menu, the floor tabs with the
// canvas, the area boxes and the zoom box. It owns the drawing model and the
// renderer and shows the model through them.
#include "drawing/DrawingModel.h"
#include "drawing/DrawingRenderer.h"
#include "drawing/DrawingView.h"

#include <QWidget>

#include <array>

class QGroupBox;
class QLineEdit;
class QTabBar;

namespace tegaro {
class FlatEdit;
class SideMenu;
class ShellListView;
} // namespace tegaro

// The canvas: every paint recomposes the whole picture.
class PaintBox : public QWidget {
    Q_OBJECT
public:
    explicit PaintBox(QWidget* parent);
    std::function<const QImage&()> compose;
    // Drags from inside the window: asked whether to accept, told of the drop.
    std::function<bool(const QObject* source)> acceptsDrag;
    std::function<void(const QObject* source)> dropFrom;

signals:
    void mouseDown(Qt::MouseButton button);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};

class DrawingPage : public QObject, public tegaro::DrawingView {
    Q_OBJECT
public:
    DrawingPage(QWidget* page, QLineEdit* zmfile);

    void initDrawingState();
    void InitCanvas(const QString& path, QWidget* window);

    // Handlers of the page.
    void PaintBox1Paint();
    void PaintBox1MouseDown(Qt::MouseButton button);
    void FlatTabControl1MouseDown(int tabIndex);

    // DrawingView
    void setAreaText(int box, const QString& text) override;
    void redraw() override;
    void setZmfileText(const QString& text) override;
    QString zmfileText() const override;

    tegaro::DrawingModel& model() { return model_; }
    tegaro::DrawingRenderer& renderer() { return renderer_; }
    PaintBox* paintBox() const { return PaintBox1; }
    QTabBar* floorTabs() const { return floorTabs_; }
    QWidget* floorTabControl() const { return FlatTabControl1; }
    tegaro::SideMenu* sideMenu() const { return InspectorBar3; }
    tegaro::ShellListView* fileList() const { return ShellListView2; }
    tegaro::FlatEdit* zoomDisp() const { return ZoomDisp; }
    tegaro::FlatEdit* areaBox(int box) const { return areaBoxes_.at(box); }

private:
    tegaro::DrawingModel model_;
    tegaro::DrawingRenderer renderer_;
    QLineEdit* zmfile_;
    tegaro::SideMenu* InspectorBar3 = nullptr;
    tegaro::ShellListView* ShellListView2 = nullptr;
    QWidget* FlatTabControl1 = nullptr;
    QTabBar* floorTabs_ = nullptr;
    PaintBox* PaintBox1 = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    tegaro::FlatEdit* ZoomDisp = nullptr;
    std::array<tegaro::FlatEdit*, 6> areaBoxes_{}; // FlatEdit1..5 at 1..5
};
