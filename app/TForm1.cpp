#include "app/TForm1.h"

#include "core/ErrorGuard.h"
#include "core/HtmlHelp.h"
#include "db/DataAccess.h"
#include "db/RecordSet.h"
#include "db/login/ConnectCommand.h"
#include "db/login/TSQLLogin.h"
#include "drawing/page/DrawingFiles.h"
#include "drawing/page/DrawingPage.h"
#include "drawing/page/DrawingStorage.h"
#include "records/ListPage.h"
#include "records/RecordPage.h"
#include "sheets/page/SheetFiles.h"
#include "sheets/page/SheetPage.h"
#include "sheets/page/SheetStorage.h"
#include "sheets/view/TF5Book.h"
#include "widgets/AccessibleNames.h"
#include "widgets/Anchors.h"
#include "widgets/FlatEdit.h"
#include "widgets/Hint.h"
#include "widgets/HintTracker.h"
#include "widgets/ImageCheckLabel.h"
#include "widgets/NavigatorPanel.h"
#include "widgets/SideMenu.h"
#include "widgets/StatusPanelBar.h"
#include "widgets/data/DataControls.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QIcon>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>

namespace tegaro {

namespace {

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

QToolBar* addToolbar(QMainWindow* window, const char* name, const QString& caption, int dockHeight)
{
    auto* bar = new QToolBar(caption, window);
    bar->setObjectName(QString::fromLatin1(name));
    bar->setFixedHeight(dockHeight);
    bar->setIconSize({24, 24});
    bar->setAllowedAreas(Qt::TopToolBarArea | Qt::BottomToolBarArea);
    window->addToolBar(Qt::TopToolBarArea, bar);
    return bar;
}

FlatEdit* addFileField(QToolBar* bar, const char* name, const QString& text)
{
    auto* edit = new FlatEdit(bar);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setText(text);
    edit->setFixedWidth(249);
    bar->addWidget(edit);
    return edit;
}

// A click that runs a handler inside the error guard.
template <class Handler>
void onClick(QAbstractButton* button, QObject* context, Handler handler)
{
    QObject::connect(button, &QAbstractButton::clicked, context, [handler] { guarded(handler); });
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
    resize(kDesigned);
    setMinimumSize(kDesigned);

    hints_ = new HintTracker(this);
    data_ = new DataAccess(this);
    client_ = new QWidget(this);
    client_->setObjectName(QStringLiteral("ClientArea"));
    setCentralWidget(client_);

    buildToolbars();
    buildIndicators();
    buildPages();
    buildStrip();
    wirePages();
    dfsStatusBar1 = new StatusPanelBar(client_);
    dfsStatusBar1->setObjectName(QStringLiteral("dfsStatusBar1"));
    setStatusPanels(dfsStatusBar1);

    applyAccessibleNames(this);
    guarded([&] { FormCreate(args); });
}

TForm1::~TForm1()
{
    setStatusPanels(nullptr);
}

void TForm1::buildToolbars()
{
    auto toolbar = [this](const char* name, const QString& caption) { return addToolbar(this, name, caption, kDockHeight); };
    QToolBar* sheetBar = toolbar("ToolBar971", QStringLiteral("明細"));
    addButton(sheetBar, "MMenu", QStringLiteral("open-sheet"), QStringLiteral("明細読込!"), true);
    addButton(sheetBar, "ToolbarButton973", QStringLiteral("save-sheet"), QStringLiteral("明細保存!"), true);
    addButton(sheetBar, "ToolbarButton971", QStringLiteral("print-sheet"), QStringLiteral("明細印刷!"), true);

    QToolBar* drawingBar = toolbar("ToolBar972", QStringLiteral("図面"));
    addButton(drawingBar, "ZmRead", QStringLiteral("open-drawing"), QStringLiteral("図面読込!"), true);

    QToolBar* registerBar = toolbar("ToolWindow971", QString());
    addButton(registerBar, "ToolbarButton974", QStringLiteral("register-sheet"),
              QStringLiteral("ファイル指定読込みで明細を登録します。"), false);
    addButton(registerBar, "ToolbarButton975", QStringLiteral("register-drawing"),
              QStringLiteral("ファイル指定読込みで図面を登録します。"), false);

    QToolBar* systemBar = toolbar("ToolBar973", QString());
    onClick(addButton(systemBar, "ToolbarButton976", QStringLiteral("connect"), QStringLiteral("SQLServerに接続します。"), true),
            this, [this] { ToolbarButton976Click(); });
    ToolbarButton972 = addButton(systemBar, "ToolbarButton972", QStringLiteral("help"), QString(), false, 36);
    ToolbarButton972->setAccessibleName(QStringLiteral("ヘルプ"));
    // Room for the drop-down arrow; the menu opens below the button.
    ToolbarButton972->setPopupMode(QToolButton::DelayedPopup);
    ToolbarButton972->setArrowType(Qt::NoArrow);
    ToolbarButton972->setStyleSheet(QStringLiteral("QToolButton { padding-right: 10px; }"));
    onClick(ToolbarButton972, this, [this] { ToolbarButton972Click(); });
    onClick(addButton(systemBar, "Owari", QStringLiteral("exit"), QStringLiteral("終了"), false), this,
            [this] { OwariClick(); });

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    QAction* herupu1 = PopupMenu1->addAction(QStringLiteral("ヘルプ"));
    herupu1->setObjectName(QStringLiteral("herupu1"));
    connect(herupu1, &QAction::triggered, this, [this] { guarded([this] { herupu1Click(); }); });

    QToolBar* fileFields = toolbar("ToolWindow972", QString());
    exfile = addFileField(fileFields, "exfile", QStringLiteral("明細"));
    zmfile = addFileField(fileFields, "zmfile", QStringLiteral("図面"));

    QToolBar* listBar = toolbar("ToolBar974", QStringLiteral("一覧"));
    addButton(listBar, "ToolbarButton977", QStringLiteral("export-list"), QStringLiteral("一覧をファイルに書き出します。"), true);
}

void TForm1::buildPages()
{
    PageControl1 = new QTabWidget(client_);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setGeometry(belowDock({5, 34, 871, 479}));
    setAnchors(PageControl1, Qt::LeftEdge | Qt::TopEdge | Qt::RightEdge | Qt::BottomEdge);
    setHint(PageControl1, QStringLiteral("ページ選択・明細シート＆図面ファイルのドロップが出来ます。"));
    const struct {
        const char* name;
        const char* caption;
        const char* hint;
    } tabs[] = {
        {"TabSheet1", "基本項目", ""},
        {"TabSheet2", "評点明細", "評点明細"},
        {"TabSheet3", "家屋図面", "家屋図面ファイルのドロップが出来ます。"},
        {"TabSheet8", "一覧", "検索結果の一覧です。行をダブルクリックすると基本項目を表示します。"},
    };
    QWidget* tab[4];
    for (int i = 0; i < 4; ++i) {
        tab[i] = new QWidget;
        tab[i]->setObjectName(QString::fromLatin1(tabs[i].name));
        setHint(tab[i], QString::fromUtf8(tabs[i].hint));
        PageControl1->addTab(tab[i], QString::fromUtf8(tabs[i].caption));
    }

    record_ = new RecordPage(tab[0], *data_, AttachmentIndicators{PCheck1, zmfile, PCheck2, exfile});
    sheet_ = new sheets::SheetPage(tab[1], {.exfile = exfile, .PCheck2 = PCheck2, .OpenDialog1 = &OpenDialog1, .SaveDialog1 = &SaveDialog1, .dragSources = &dragSources_, .ADOQuery1 = data_->ADOQuery1});
    drawing_ = new DrawingPage(tab[2], {.zmfile = zmfile, .PCheck1 = PCheck1, .OpenDialog1 = &OpenDialog1, .SaveDialog1 = &SaveDialog1, .dragSources = &dragSources_, .ADOQuery1 = data_->ADOQuery1});
    dragSources_ = {sheet_->fileList(), drawing_->fileList()};
    list_ = new ListPage(tab[3], *data_);
}

// The frame's buttons that act on one page, and the window's own side menu.
void TForm1::wirePages()
{
    connect(record_->sideMenu(), &SideMenu::itemClicked, this,
            [this](int p, int i) { guarded([=, this] { InspectorBar1ItemClick(p, i); }); });

    sheets::TF5Book* book = sheet_->book();
    record_->connectTransfer([book](int sheet, int row, int col) { return book->CellText(sheet, row, col); });

    sheets::SheetFiles* sheetFiles = &sheet_->files();
    sheets::SheetStorage* sheetStorage = &sheet_->storage();
    onClick(findChild<QToolButton*>(QStringLiteral("MMenu")), this, [sheetFiles] { sheetFiles->MMenuClick(); });
    onClick(findChild<QToolButton*>(QStringLiteral("ToolbarButton973")), this,
            [sheetFiles] { sheetFiles->ToolbarButton973Click(); });
    onClick(findChild<QToolButton*>(QStringLiteral("ToolbarButton971")), this,
            [sheetFiles] { sheetFiles->ToolbarButton971Click(); });
    onClick(findChild<QToolButton*>(QStringLiteral("ToolbarButton974")), this,
            [sheetStorage] { sheetStorage->ToolbarButton974Click(); });
    connect(PCheck2, &ImageCheckLabel::mouseUp, this,
            [sheetStorage](Qt::MouseButton b) { guarded([=] { sheetStorage->PCheck2MouseUp(b); }); });
    takeListDrops(
        BitBtn3, [sheetStorage](const QObject* source) { return sheetStorage->BitBtn2DragOver(source); },
        [sheetStorage](const QObject* source) { sheetStorage->BitBtn2DragDrop(source); });

    DrawingFiles* files = &drawing_->files();
    DrawingStorage* storage = &drawing_->storage();
    onClick(findChild<QToolButton*>(QStringLiteral("ZmRead")), this, [files] { files->ZmReadClick(); });
    onClick(findChild<QToolButton*>(QStringLiteral("ToolbarButton975")), this,
            [storage] { storage->ToolbarButton975Click(); });
    connect(PCheck1, &ImageCheckLabel::mouseUp, this,
            [storage](Qt::MouseButton b) { guarded([=] { storage->PCheck1MouseUp(b); }); });
    takeListDrops(
        BitBtn4, [storage](const QObject* source) { return storage->BitBtn1DragOver(source); },
        [storage](const QObject* source) { storage->BitBtn1DragDrop(source); });

    // a typed date that does not exist is told here
    for (DBDateTimePicker* picker : findChildren<DBDateTimePicker*>())
        connect(picker, &DBDateTimePicker::refused, this, [](const QString& text) { seam().message(text); });

    connect(list_, &ListPage::openRecord, this, [this] { PageControl1->setCurrentIndex(0); });
    ListPage* list = list_;
    onClick(findChild<QToolButton*>(QStringLiteral("ToolbarButton977")), this, [list] { list->ListOutputClick(); });
}

void TForm1::FormCreate(const QStringList& args)
{
    drawing_->initDrawingState();
    // Hints are installed before the canvas: a background picture that
    // cannot be loaded must not cost the hints for the rest of the run.
    connect(hints_, &HintTracker::hintChanged, this, &TForm1::ApplicationHint);
    hints_->install();
    const QString first = args.value(0);
    const QFileInfo info(first);
    const QString path = (!first.isEmpty() && info.exists() && info.isFile()) ? first : QString();
    setWindowTitle(drawing_->InitCanvas(path));
}

void TForm1::FormShow()
{
    record_->navigator()->setButtonSize(18);
}

void TForm1::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    guarded([this] { FormShow(); });
}

void TForm1::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    // Without a window manager, or with one that ignores size hints, the
    // window can still be made smaller than its smallest size: then it cuts
    // the designed layout off at its edges instead of pulling the status bar
    // over the pages and the strip below them.
    if (size().width() >= kDesigned.width() && size().height() >= kDesigned.height())
        client_->setMinimumSize(kDesigned - QSize(client_->x(), client_->y()));
    growAnchored(this, size() - kDesigned);
    if (dfsStatusBar1)
        dfsStatusBar1->setGeometry(0, client_->height() - dfsStatusBar1->height(), client_->width(),
                                   dfsStatusBar1->height());
}

bool TForm1::hasUnsavedEdits() const
{
    if (sheet_->book()->hasEdits())
        return true;
    const RecordSet* records = data_->ADOQuery1;
    if (!records)
        return false;
    const DataSetState state = records->state();
    return (state == DataSetState::Edit || state == DataSetState::Insert) && records->modified();
}

void TForm1::closeEvent(QCloseEvent* event)
{
    // Nothing typed goes without a question; with nothing changed the
    // window closes at once.
    if (hasUnsavedEdits() && !seam().confirm(QStringLiteral("終了"), QStringLiteral("変更が保存されていません。終了しますか？"))) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

void TForm1::ApplicationHint(const QString& hint)
{
    status().setMessage(hint);
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
    setApplicationHelpFile(defaultHelpFilePath());
    HtmlHelpA(nullptr, applicationHelpFile(), HH_DISPLAY_TOC, 0);
}

void TForm1::setLoginDialog(TSQLLogin* dialog)
{
    login_ = dialog;
    connect_.reset();
}

TSQLLogin* TForm1::loginDialog()
{
    if (!login_) {
        login_ = new TSQLLogin(this);
        login_->setObjectName(QStringLiteral("TSQLLogin"));
    }
    return login_;
}

ConnectCommand* TForm1::connectCommand()
{
    if (!connect_)
        connect_ = std::make_unique<ConnectCommand>(*loginDialog(), *data_,
                                                    [this] { record_->navigator()->setButtonSize(18); });
    return connect_.get();
}

void TForm1::ToolbarButton976Click()
{
    connectCommand()->ToolbarButton976Click();
}

} // namespace tegaro
