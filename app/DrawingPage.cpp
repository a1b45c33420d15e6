#include "app/DrawingPage.h"

#include "core/ErrorGuard.h"
#include "core/UserSeam.h"
#include "drawing/ZoomControl.h"
#include "widgets/FlatEdit.h"
#include "widgets/Hint.h"
#include "widgets/ShellListView.h"
#include "widgets/SideMenu.h"

#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QTabBar>

using tegaro::guarded;
using tegaro::setHint;

PaintBox::PaintBox(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PaintBox::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    if (!compose)
        return;
    const QImage* image = nullptr;
    guarded([&] { image = &compose(); });
    if (image && !image->isNull())
        p.drawImage(0, 0, *image);
    else
        p.fillRect(rect(), palette().window()); // no bitmap: an empty canvas
}

void PaintBox::mousePressEvent(QMouseEvent* event)
{
    emit mouseDown(event->button());
}

void PaintBox::dragEnterEvent(QDragEnterEvent* event)
{
    if (acceptsDrag && acceptsDrag(event->source()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void PaintBox::dragMoveEvent(QDragMoveEvent* event)
{
    if (acceptsDrag && acceptsDrag(event->source()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void PaintBox::dropEvent(QDropEvent* event)
{
    event->acceptProposedAction();
    if (dropFrom)
        guarded([&] { dropFrom(event->source()); });
}

DrawingPage::DrawingPage(QWidget* page, QLineEdit* zmfile) : QObject(page), zmfile_(zmfile)
{
    InspectorBar3 = new tegaro::SideMenu(page);
    InspectorBar3->setObjectName(QStringLiteral("InspectorBar3"));
    InspectorBar3->setGeometry(0, 0, 140, 452);
    const int menu = InspectorBar3->addItemPanel(QStringLiteral("図面メニュー"), tegaro::SideMenu::ItemStyle::SmallIcons);
    InspectorBar3->addItems(menu, {{"図面表示", "item-show"}, {"図面消去", "item-clear"},
                                   {"図面登録", "item-register"}, {"図面書出", "item-export"}});
    ShellListView2 = new tegaro::ShellListView;
    ShellListView2->setObjectName(QStringLiteral("ShellListView2"));
    InspectorBar3->addHostPanel(QStringLiteral("図面ファイル"), ShellListView2, false);

    FlatTabControl1 = new QWidget(page);
    FlatTabControl1->setObjectName(QStringLiteral("FlatTabControl1"));
    FlatTabControl1->setGeometry(148, 6, 598, 440);
    setHint(FlatTabControl1, QStringLiteral("123Fをﾀﾌﾞで選択!"));
    PaintBox1 = new PaintBox(FlatTabControl1);
    PaintBox1->setObjectName(QStringLiteral("PaintBox1"));
    PaintBox1->setGeometry(4, 4, tegaro::DrawingRenderer::kCanvasWidth, tegaro::DrawingRenderer::kCanvasHeight);
    setHint(PaintBox1, QStringLiteral("拡大(左ｸﾘｯｸ)縮小(右)!"));
    PaintBox1->compose = [this]() -> const QImage& {
        PaintBox1Paint();
        return renderer_.offscreen();
    };
    connect(PaintBox1, &PaintBox::mouseDown, this,
            [this](Qt::MouseButton b) { guarded([=, this] { PaintBox1MouseDown(b); }); });
    floorTabs_ = new QTabBar(FlatTabControl1);
    floorTabs_->setObjectName(QStringLiteral("FloorTabs"));
    floorTabs_->setShape(QTabBar::RoundedSouth);
    floorTabs_->addTab(QStringLiteral("1F"));
    floorTabs_->addTab(QStringLiteral("2F"));
    floorTabs_->addTab(QStringLiteral("3F"));
    floorTabs_->setGeometry(4, 416, 200, 22);
    // The floor follows the tab that was clicked, and shows at once.
    connect(floorTabs_, &QTabBar::tabBarClicked, this,
            [this](int index) { guarded([=, this] { FlatTabControl1MouseDown(index); }); });

    GroupBox1 = new QGroupBox(QStringLiteral("面積等"), page);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(752, 6, 108, 168);
    setHint(GroupBox1, GroupBox1->title());
    const struct { int box; const char* label; } boxes[] = {
        {1, "F1"}, {2, "F2"}, {3, "F3"}, {5, "計"}, {4, "【１間長】"}};
    int y = 20;
    for (const auto& b : boxes) {
        auto* edit = new tegaro::FlatEdit(GroupBox1);
        edit->setObjectName(QStringLiteral("FlatEdit%1").arg(b.box));
        auto* label = new QLabel(QString::fromUtf8(b.label), GroupBox1);
        label->setBuddy(edit);
        if (b.box == 4) {
            label->setGeometry(8, y, 92, 16);
            y += 16;
            edit->setGeometry(30, y, 70, 20);
        } else {
            label->setGeometry(8, y + 2, 22, 16);
            edit->setGeometry(30, y, 70, 20);
        }
        y += 26;
        areaBoxes_[b.box] = edit;
    }

    GroupBox2 = new QGroupBox(QStringLiteral("図面"), page);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    GroupBox2->setGeometry(752, 182, 108, 64);
    setHint(GroupBox2, QStringLiteral("青はデーターあり!"));
    auto* zoomLabel = new QLabel(QStringLiteral("【拡大率】"), GroupBox2);
    zoomLabel->setGeometry(8, 18, 92, 16);
    ZoomDisp = new tegaro::FlatEdit(GroupBox2);
    ZoomDisp->setObjectName(QStringLiteral("ZoomDisp"));
    ZoomDisp->setGeometry(30, 36, 70, 20);
    ZoomDisp->setStyleSheet(ZoomDisp->styleSheet() + QStringLiteral(" QLineEdit { color: blue; }"));
    ZoomDisp->setText(tegaro::kInitialZoomText);
    zoomLabel->setBuddy(ZoomDisp);
}

void DrawingPage::initDrawingState()
{
    model_ = tegaro::DrawingModel{};
}

void DrawingPage::InitCanvas(const QString& path, QWidget* window)
{
    const QString caption = renderer_.InitCanvas(model_, path);
    PaintBox1->update();
    window->setWindowTitle(caption);
}

void DrawingPage::PaintBox1Paint()
{
    renderer_.Redraw(model_);
}

void DrawingPage::PaintBox1MouseDown(Qt::MouseButton button)
{
    const auto step = tegaro::zoomClick(model_.Zoom, button);
    if (!step)
        return;
    ZoomDisp->setText(step->zoomText);
    redraw();
    tegaro::status().setMessage(step->statusText);
}

void DrawingPage::FlatTabControl1MouseDown(int tabIndex)
{
    model_.CurrentFloor = tegaro::floorForTab(tabIndex, model_.CurrentFloor);
    redraw();
}

void DrawingPage::setAreaText(int box, const QString& text)
{
    if (box >= 1 && box <= 5)
        areaBoxes_[box]->setText(text);
}

void DrawingPage::redraw()
{
    renderer_.Redraw(model_);
    PaintBox1->update();
}

void DrawingPage::setZmfileText(const QString& text) { zmfile_->setText(text); }
QString DrawingPage::zmfileText() const { return zmfile_->text(); }
