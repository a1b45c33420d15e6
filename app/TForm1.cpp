#include "app/TForm1.h"

#include "drawing/page/DrawingFiles.h"
#include "drawing/page/DrawingPage.h"
#include "drawing/page/DrawingStorage.h"
#include "widgets/EventHook.h"
#include "core/ErrorGuard.h"
#include "core/HtmlHelp.h"
#include "widgets/UserSeam.h"
#include "db/login/ConnectCommand.h"
#include "db/DataAccess.h"
#include "db/login/TSQLLogin.h"
#include "records/Indicators.h"
#include "records/NavigatorBinding.h"
#include "records/RecordForm.h"
#include "records/RecordSearch.h"
#include "widgets/ImageCheckLabel.h"
#include "widgets/AccessibleNames.h"
#include "widgets/DataControls.h"
#include "widgets/FlatEdit.h"
#include "widgets/Hint.h"
#include "widgets/HintTracker.h"
#include "widgets/NavigatorPanel.h"
#include "widgets/PageMenu.h"
#include "widgets/StatusPanelBar.h"

#include <QApplication>
#include <QFileInfo>
#include <QGroupBox>
#include <QIcon>
#include <QMenu>
#include <QTabWidget>
#include <QToolBar>
#include <QPushButton>
#include <QToolButton>

using tegaro::guarded;
using tegaro::setHint;

namespace {

// Places in the designed window are given from the top of the client area,
// which includes the 30-pixel toolbar dock above the central widget.
constexpr int kDockHeight = 30;

QToolButton* addButton(QToolBar* bar, const char* name, const QString& icon, const QString& hint,
                       bool tooltip, int width = 25)
{
    auto* b = new QToolButton(bar);
    b->setObjectName(QString::fromLatin1(name));
    b->setIcon(QIcon(QStringLiteral(":/icons/%1.svg").arg(icon)));
    b->setIconSize({24, 24});
    b->setFixedSize(width, 25);
    b->setAutoRaise(true);
    b->setAccessibleName(hint.isEmpty() ? b->objectName() : hint);
    if (!hint.isEmpty())
        setHint(b, hint, tooltip);
    bar->addWidget(b);
    return b;
}

QToolBar* addToolbar(QMainWindow* window, const char* name, const QString& caption)
{
    auto* bar = new QToolBar(caption, window);
    bar->setObjectName(QString::fromLatin1(name));
    bar->setFixedHeight(kDockHeight);
    bar->setIconSize({24, 24});
    bar->setAllowedAreas(Qt::TopToolBarArea | Qt::BottomToolBarArea);
    window->addToolBar(Qt::TopToolBarArea, bar);
    return bar;
}

} // namespace

TForm1::TForm1(const QStringList& args) : QMainWindow(nullptr)
{
    setObjectName(QStringLiteral("TForm1"));
    setWindowTitle(QStringLiteral("Tegaro"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/tegaro.svg")));
    setAttribute(Qt::WA_DeleteOnClose, false);
    // 891 x 644 with its frame at (80, 64): the client area is the rest.
    move(80, 64);
    resize(883, 610);

    hints_ = new tegaro::HintTracker(this);
    data_ = new tegaro::DataAccess(this);
    client_ = new QWidget(this);
    client_->setObjectName(QStringLiteral("ClientArea"));
    setCentralWidget(client_);

    buildToolbars();
    buildPages();
    buildStrip(client_);
    buildDrawingPage();
    wireRecords();
    wireSearch();
    dfsStatusBar1 = new tegaro::StatusPanelBar(client_);
    dfsStatusBar1->setObjectName(QStringLiteral("dfsStatusBar1"));
    tegaro::setStatusPanels(dfsStatusBar1);

    tegaro::applyAccessibleNames(this);
    guarded([&] { FormCreate(args); });
}

TForm1::~TForm1()
{
    // The links go before the controls they show into.
    navigatorLink_.reset();
    indicatorLink_.reset();
    districtList_.reset();
    tegaro::setStatusPanels(nullptr);
}

void TForm1::buildToolbars()
{
    ToolBar971 = addToolbar(this, "ToolBar971", QStringLiteral("明細"));
    addButton(ToolBar971, "MMenu", QStringLiteral("open-sheet"), QStringLiteral("明細読込!"), true);
    addButton(ToolBar971, "ToolbarButton973", QStringLiteral("save-sheet"), QStringLiteral("明細保存!"), true);
    addButton(ToolBar971, "ToolbarButton971", QStringLiteral("print-sheet"), QStringLiteral("明細印刷!"), true);

    ToolBar972 = addToolbar(this, "ToolBar972", QStringLiteral("図面"));
    addButton(ToolBar972, "ZmRead", QStringLiteral("open-drawing"), QStringLiteral("図面読込!"), true);

    ToolWindow971 = addToolbar(this, "ToolWindow971", QString());
    addButton(ToolWindow971, "ToolbarButton974", QStringLiteral("register-sheet"),
              QStringLiteral("ファイル指定読込みで明細を登録します。"), false);
    addButton(ToolWindow971, "ToolbarButton975", QStringLiteral("register-drawing"),
              QStringLiteral("ファイル指定読込みで図面を登録します。"), false);

    ToolBar973 = addToolbar(this, "ToolBar973", QString());
    auto* connectButton = addButton(ToolBar973, "ToolbarButton976", QStringLiteral("connect"),
                                    QStringLiteral("SQLServerに接続します。"), true);
    connect(connectButton, &QToolButton::clicked, this, [this] { guarded([this] { ToolbarButton976Click(); }); });
    ToolbarButton972 = addButton(ToolBar973, "ToolbarButton972", QStringLiteral("help"), QString(), false, 36);
    ToolbarButton972->setAccessibleName(QStringLiteral("ヘルプ"));
    // Room for the drop-down arrow; the menu opens below the button.
    ToolbarButton972->setPopupMode(QToolButton::DelayedPopup);
    ToolbarButton972->setArrowType(Qt::NoArrow);
    ToolbarButton972->setStyleSheet(QStringLiteral("QToolButton { padding-right: 10px; }"));
    connect(ToolbarButton972, &QToolButton::clicked, this, [this] { guarded([this] { ToolbarButton972Click(); }); });
    auto* owari = addButton(ToolBar973, "Owari", QStringLiteral("exit"), QStringLiteral("終了"), false);
    connect(owari, &QToolButton::clicked, this, [this] { guarded([this] { OwariClick(); }); });

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    QAction* herupu1 = PopupMenu1->addAction(QStringLiteral("ヘルプ"));
    herupu1->setObjectName(QStringLiteral("herupu1"));
    connect(herupu1, &QAction::triggered, this, [this] { guarded([this] { herupu1Click(); }); });

    ToolWindow972 = addToolbar(this, "ToolWindow972", QString());
    exfile = new tegaro::FlatEdit(ToolWindow972);
    exfile->setObjectName(QStringLiteral("exfile"));
    exfile->setText(QStringLiteral("明細"));
    exfile->setFixedWidth(249);
    zmfile = new tegaro::FlatEdit(ToolWindow972);
    zmfile->setObjectName(QStringLiteral("zmfile"));
    zmfile->setText(QStringLiteral("図面"));
    zmfile->setFixedWidth(249);
    ToolWindow972->addWidget(exfile);
    ToolWindow972->addWidget(zmfile);
}

void TForm1::buildPages()
{
    PageControl1 = new QTabWidget(client_);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setGeometry(5, 34 - kDockHeight, 871, 479);
    setHint(PageControl1, QStringLiteral("ページ選択・明細シート＆図面ファイルのドロップが出来ます。"));

    auto* tab1 = new QWidget;
    tab1->setObjectName(QStringLiteral("TabSheet1"));
    auto* tab2 = new QWidget;
    tab2->setObjectName(QStringLiteral("TabSheet2"));
    setHint(tab2, QStringLiteral("評点明細"));
    auto* tab3 = new QWidget;
    tab3->setObjectName(QStringLiteral("TabSheet3"));
    setHint(tab3, QStringLiteral("家屋図面ファイルのドロップが出来ます。"));
    PageControl1->addTab(tab1, QStringLiteral("基本項目"));
    PageControl1->addTab(tab2, QStringLiteral("評点明細"));
    PageControl1->addTab(tab3, QStringLiteral("家屋図面"));

    buildRecordPage(tab1);
    buildSheetPage(tab2);
    drawingTab_ = tab3;
}

void TForm1::buildRecordPage(QWidget* page)
{
    InspectorBar1 = tegaro::addPageMenu(page, "InspectorBar1", QStringLiteral("メニュー"),
                                        tegaro::SideMenu::ItemStyle::LargeIcons,
                                        {{"基本項目", "menu-record"}, {"評点明細", "menu-sheet"},
                                         {"家屋図面", "menu-drawing"}, {"サーバー接続", "menu-connect"},
                                         {"システム終了", "menu-exit"}});
    connect(InspectorBar1, &tegaro::SideMenu::itemClicked, this,
            [this](int p, int i) { guarded([=, this] { InspectorBar1ItemClick(p, i); }); });

    form_ = new RecordForm(page, data_->DataSource1, data_->DataSource2);
}

void TForm1::buildSheetPage(QWidget* page)
{
    InspectorBar2 = tegaro::addPageMenu(page, "InspectorBar2", QStringLiteral("明細メニュー"),
                                        tegaro::SideMenu::ItemStyle::SmallIcons,
                                        {{"明細表示", "item-show"}, {"明細消去", "item-clear"},
                                         {"明細登録", "item-register"}, {"明細書出", "item-export"}});
    dragSources_.ShellListView1 = tegaro::addFileList(InspectorBar2, QStringLiteral("明細ファイル"), "ShellListView1");

    // The sheet control takes this place.
    auto* book = new QFrame(page);
    book->setObjectName(QStringLiteral("F5Book1"));
    book->setGeometry(148, 8, 710, 433);
    book->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    book->setAutoFillBackground(true);
    QPalette pal = book->palette();
    pal.setColor(QPalette::Window, Qt::white);
    book->setPalette(pal);
}

void TForm1::FormCreate(const QStringList& args)
{
    drawing_->initDrawingState();
    // Hints are installed before the canvas: a background picture that
    // cannot be loaded must not cost the hints for the rest of the run.
    connect(hints_, &tegaro::HintTracker::hintChanged, this, &TForm1::ApplicationHint);
    hints_->install();
    const QString first = args.value(0);
    const QFileInfo info(first);
    const QString path = (!first.isEmpty() && info.exists() && info.isFile()) ? first : QString();
    setWindowTitle(drawing_->InitCanvas(path));
}

void TForm1::FormShow()
{
    DBInspectorBar1->setButtonSize(18);
}

void TForm1::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    guarded([this] { FormShow(); });
}

void TForm1::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    if (dfsStatusBar1)
        dfsStatusBar1->setGeometry(0, client_->height() - 24, client_->width(), 24);
}

void TForm1::ApplicationHint(const QString& hint)
{
    tegaro::status().setMessage(hint);
}

void TForm1::InspectorBar1ItemClick(int panel, int item)
{
    if (panel != 0)
        return;
    switch (item) {
    case 0:
    case 1:
    case 2:
        PageControl1->setCurrentIndex(item);
        break;
    case 3:
        ToolbarButton976Click();
        break;
    case 4:
        close();
        break;
    default:
        break;
    }
}

void TForm1::OwariClick()
{
    close();
}

void TForm1::ToolbarButton972Click()
{
    const QPoint origin = ToolbarButton972->mapToGlobal(QPoint(0, 0));
    PopupMenu1->popup(QPoint(origin.x(), origin.y() + ToolbarButton972->height()));
}

void TForm1::herupu1Click()
{
    tegaro::setApplicationHelpFile(tegaro::defaultHelpFilePath());
    HtmlHelpA(nullptr, tegaro::applicationHelpFile(), HH_DISPLAY_TOC, 0);
}

void TForm1::setLoginDialog(tegaro::TSQLLogin* dialog)
{
    login_ = dialog;
    connect_.reset();
}

tegaro::TSQLLogin* TForm1::loginDialog()
{
    if (!login_) {
        login_ = new tegaro::TSQLLogin(this);
        login_->setObjectName(QStringLiteral("TSQLLogin"));
    }
    return login_;
}

tegaro::ConnectCommand* TForm1::connectCommand()
{
    if (!connect_)
        connect_ = std::make_unique<tegaro::ConnectCommand>(*loginDialog(), *data_,
                                                           [this] { DBInspectorBar1->setButtonSize(18); });
    return connect_.get();
}

void TForm1::ToolbarButton976Click()
{
    connectCommand()->ToolbarButton976Click();
}

void TForm1::wireRecords()
{
    navigatorLink_ = std::make_unique<tegaro::NavigatorLink>(DBInspectorBar1, data_->DataSource1);
    indicatorLink_ = std::make_unique<tegaro::IndicatorLink>(
        data_->DataSource1, tegaro::AttachmentIndicators{PCheck1, zmfile, PCheck2, exfile});
}

void TForm1::buildDrawingPage()
{
    tegaro::DrawingPage::Frame frame;
    frame.zmfile = zmfile;
    frame.PCheck1 = PCheck1;
    frame.OpenDialog1 = &OpenDialog1;
    frame.SaveDialog1 = &SaveDialog1;
    frame.dragSources = &dragSources_;
    frame.ADOQuery1 = data_->ADOQuery1;
    drawing_ = new tegaro::DrawingPage(drawingTab_, frame);
    dragSources_.ShellListView2 = drawing_->fileList();

    tegaro::DrawingFiles* files = &drawing_->files();
    connect(findChild<QToolButton*>(QStringLiteral("ZmRead")), &QToolButton::clicked, this,
            [files] { guarded([files] { files->ZmReadClick(); }); });
    tegaro::DrawingStorage* storage = &drawing_->storage();
    connect(findChild<QToolButton*>(QStringLiteral("ToolbarButton975")), &QToolButton::clicked, this,
            [storage] { guarded([storage] { storage->ToolbarButton975Click(); }); });
    connect(PCheck1, &tegaro::ImageCheckLabel::mouseUp, this,
            [storage](Qt::MouseButton b) { guarded([=] { storage->PCheck1MouseUp(b); }); });
    // BitBtn4 takes items dragged from the file lists.
    tegaro::takeListDrops(
        BitBtn4, [storage](const QObject* source) { return storage->BitBtn1DragOver(source); },
        [storage](const QObject* source) { storage->BitBtn1DragDrop(source); });
}
