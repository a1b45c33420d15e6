#include "drawing/page/DrawingPage.h"

#include "core/ErrorGuard.h"
#include "widgets/Anchors.h"
#include "widgets/UserSeam.h"
#include "drawing/ZoomControl.h"
#include "drawing/page/DrawingFiles.h"
#include "drawing/page/DrawingStorage.h"
#include "drawing/page/PaintBox.h"
#include "widgets/DropHelpers.h"
#include "widgets/FileDropTarget.h"
#include "widgets/FlatEdit.h"
#include "widgets/Hint.h"
#include "widgets/PageMenu.h"
#include "widgets/ShellListView.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTabBar>

namespace tegaro {

DrawingPage::DrawingPage(QWidget* page, const Frame& frame) : QObject(page), zmfile_(frame.zmfile)
{
    InspectorBar3 = addPageMenu(page, "InspectorBar3", QStringLiteral("図面メニュー"), SideMenu::ItemStyle::SmallIcons,
                                {{"図面表示", "item-show"}, {"図面消去", "item-clear"}, {"図面登録", "item-register"}, {"図面書出", "item-export"}});
    ShellListView2 = addFileList(InspectorBar3, QStringLiteral("図面ファイル"), "ShellListView2");
    buildCanvas(page);
    buildBoxes(page);

    files_ = std::make_unique<DrawingFiles>(*this, *frame.OpenDialog1, *frame.dragSources);
    storage_ = std::make_unique<DrawingStorage>(*this, *frame.ADOQuery1, frame.PCheck1, *frame.OpenDialog1,
                                                *frame.SaveDialog1, *frame.dragSources);
    wire();
}

DrawingPage::~DrawingPage() = default;

void DrawingPage::buildCanvas(QWidget* page)
{
    FlatTabControl1 = new QWidget(page);
    FlatTabControl1->setObjectName(QStringLiteral("FlatTabControl1"));
    FlatTabControl1->setGeometry(148, 6, 598, 440);
    setAnchors(FlatTabControl1, Qt::LeftEdge | Qt::TopEdge | Qt::RightEdge | Qt::BottomEdge);
    setHint(FlatTabControl1, QStringLiteral("123Fをﾀﾌﾞで選択!"));
    PaintBox1 = new PaintBox(FlatTabControl1);
    PaintBox1->setObjectName(QStringLiteral("PaintBox1"));
    PaintBox1->setGeometry(4, 4, DrawingRenderer::kCanvasWidth, DrawingRenderer::kCanvasHeight);
    // The canvas takes the room the tab control gets; the tabs keep below it.
    setAnchors(PaintBox1, Qt::LeftEdge | Qt::TopEdge | Qt::RightEdge | Qt::BottomEdge);
    setHint(PaintBox1, QStringLiteral("拡大(左ｸﾘｯｸ)縮小(右)!"));
    PaintBox1->compose = [this]() -> const QImage& {
        PaintBox1Paint();
        return renderer_.offscreen();
    };
    floorTabs_ = new QTabBar(FlatTabControl1);
    floorTabs_->setObjectName(QStringLiteral("FloorTabs"));
    floorTabs_->setShape(QTabBar::RoundedSouth);
    for (const char* floor : {"1F", "2F", "3F"})
        floorTabs_->addTab(QString::fromLatin1(floor));
    floorTabs_->setGeometry(4, 416, 200, 22);
    setAnchors(floorTabs_, Qt::LeftEdge | Qt::BottomEdge);
}

void DrawingPage::buildBoxes(QWidget* page)
{
    GroupBox1 = new QGroupBox(QStringLiteral("面積等"), page);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(752, 6, 108, 168);
    setAnchors(GroupBox1, Qt::RightEdge | Qt::TopEdge);
    setHint(GroupBox1, GroupBox1->title());
    const struct {
        int box;
        const char* label;
    } boxes[] = {
        {AreaBoxF1, "F1"}, {AreaBoxF2, "F2"}, {AreaBoxF3, "F3"}, {AreaBoxTotal, "計"}, {AreaBoxKen, "【１間長】"}};
    int y = 20;
    for (const auto& b : boxes) {
        auto* edit = new FlatEdit(GroupBox1);
        edit->setObjectName(QStringLiteral("FlatEdit%1").arg(b.box));
        auto* label = new QLabel(QString::fromUtf8(b.label), GroupBox1);
        label->setBuddy(edit);
        if (b.box == AreaBoxKen) {
            label->setGeometry(8, y, 92, 16); // the long caption sits above its box
            y += 16;
        } else {
            label->setGeometry(8, y + 2, 22, 16);
        }
        edit->setGeometry(30, y, 70, 20);
        y += 26;
        areaBoxes_[b.box] = edit;
    }

    GroupBox2 = new QGroupBox(QStringLiteral("図面"), page);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    GroupBox2->setGeometry(752, 182, 108, 64);
    setAnchors(GroupBox2, Qt::RightEdge | Qt::TopEdge);
    setHint(GroupBox2, QStringLiteral("青はデーターあり!"));
    auto* zoomLabel = new QLabel(QStringLiteral("【拡大率】"), GroupBox2);
    zoomLabel->setGeometry(8, 18, 92, 16);
    ZoomDisp = new FlatEdit(GroupBox2);
    ZoomDisp->setObjectName(QStringLiteral("ZoomDisp"));
    ZoomDisp->setGeometry(30, 36, 70, 20);
    ZoomDisp->setStyleSheet(ZoomDisp->styleSheet() + QStringLiteral(" QLineEdit { color: blue; }"));
    ZoomDisp->setText(kInitialZoomText);
    zoomLabel->setBuddy(ZoomDisp);
}

void DrawingPage::wire()
{
    // A grown or shrunk canvas shows the same picture, cut to its new size,
    // from the same top-left corner: pixel (x, y) stays drawing point
    // (x, y) / Zoom at every size.
    connect(PaintBox1, &PaintBox::resized, this, [this](QSize size) {
        renderer_.setCanvasSize(size);
        PaintBox1->update();
    });
    connect(PaintBox1, &PaintBox::mouseDown, this,
            [this](Qt::MouseButton b) { guarded([=, this] { PaintBox1MouseDown(b); }); });
    // The floor follows the tab that was clicked, and shows at once.
    connect(floorTabs_, &QTabBar::tabBarClicked, this,
            [this](int index) { guarded([=, this] { FlatTabControl1MouseDown(index); }); });

    DrawingFiles* files = files_.get();
    auto* FileDrop4 = new FileDropTarget(FlatTabControl1);
    FileDrop4->setObjectName(QStringLiteral("FileDrop4"));
    FileDrop4->watch(PaintBox1);
    connect(FileDrop4, &FileDropTarget::dropped, this,
            [files](const QStringList& paths) { guarded([&] { files->FileDrop4Drop(paths); }); });
    takeListDrops(
        PaintBox1, [files](const QObject* source) { return files->PaintBox1DragOver(source); },
        [files](const QObject* source) { files->PaintBox1DragDrop(source); });

    DrawingStorage* storage = storage_.get();
    connect(InspectorBar3, &SideMenu::itemClicked, this,
            [storage](int p, int i) { guarded([=] { storage->InspectorBar3ItemClick(p, i); }); });
}

void DrawingPage::initDrawingState()
{
    model_ = DrawingModel{};
}

QString DrawingPage::InitCanvas(const QString& path)
{
    // The bitmaps take the size of the paint box as it is now.
    renderer_.setCanvasSize(PaintBox1->size());
    const QString caption = renderer_.InitCanvas(model_, path);
    PaintBox1->update();
    return caption;
}

void DrawingPage::PaintBox1Paint()
{
    renderer_.Redraw(model_);
}

void DrawingPage::PaintBox1MouseDown(Qt::MouseButton button)
{
    const auto step = zoomClick(model_.Zoom, button);
    if (!step)
        return;
    ZoomDisp->setText(step->zoomText);
    redraw();
    status().setMessage(step->statusText);
}

void DrawingPage::FlatTabControl1MouseDown(int tabIndex)
{
    model_.CurrentFloor = floorForTab(tabIndex, model_.CurrentFloor);
    redraw();
}

void DrawingPage::read(const std::function<DrawingReport(const DrawingProgress&)>& reader)
{
    DrawingReport report;
    try {
        report = reader([](int gauge) { status().setGauge(gauge); });
    } catch (...) {
        showAreas();
        throw;
    }
    for (const QString& message : report.messages)
        seam().message(message);
    showAreas();
    redraw();
    for (const QString& text : report.statusTexts)
        status().setMessage(text);
}

void DrawingPage::showAreas()
{
    for (int box = AreaBoxF1; box <= AreaBoxTotal; ++box)
        areaBoxes_[box]->setText(model_.AreaTexts[box]);
}

void DrawingPage::redraw()
{
    renderer_.Redraw(model_);
    PaintBox1->update();
}

void DrawingPage::clearDrawing()
{
    zclear(model_);
    showAreas();
    redraw();
    setZmfileText(QString());
}

void DrawingPage::setZmfileText(const QString& text) { zmfile_->setText(text); }
QString DrawingPage::zmfileText() const { return zmfile_->text(); }

} // namespace tegaro
