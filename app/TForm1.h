#pragma once
// The main window, the frame around the pages: the toolbar dock, the page
// control, the strip along the bottom and the status bar. It owns the
// connection and one controller per page, and wires its buttons to the
// pages' handlers; what a page does lives with the page.
#include "widgets/DropHelpers.h"
#include "widgets/UserSeam.h"

#include <QMainWindow>

#include <memory>

class QMenu;
class QPushButton;
class QTabWidget;
class QToolButton;

namespace tegaro {

class ConnectCommand;
class DataAccess;
class DrawingPage;
class FlatEdit;
class HintTracker;
class ImageCheckLabel;
class ListPage;
class RecordPage;
class StatusPanelBar;
class TSQLLogin;
namespace sheets {
class SheetPage;
}

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    // args: the command-line arguments after the program name.
    explicit TForm1(const QStringList& args = {});
    ~TForm1() override;

    // Handlers of the frame.
    void FormCreate(const QStringList& args);
    void FormShow();
    void ApplicationHint(const QString& hint);
    void InspectorBar1ItemClick(int panel, int item);
    void OwariClick();
    void ToolbarButton972Click();
    void herupu1Click();
    // The connect operation; the database layer does the work.
    void ToolbarButton976Click();

    RecordPage* recordPage() const { return record_; }
    sheets::SheetPage* sheetPage() const { return sheet_; }
    DrawingPage* drawingPage() const { return drawing_; }
    ListPage* listPage() const { return list_; }

    QTabWidget* pages() const { return PageControl1; }
    StatusPanelBar* statusBarPanels() const { return dfsStatusBar1; }
    HintTracker* hintTracker() const { return hints_; }
    QMenu* helpMenu() const { return PopupMenu1; }
    DataAccess* data() const { return data_; }
    ConnectCommand* connectCommand();
    // The connection settings dialog, made at start-up after the window.
    void setLoginDialog(TSQLLogin* dialog);
    TSQLLogin* loginDialog();

    // The shared open and save dialogs: they keep the last name chosen.
    FileDialogState OpenDialog1;
    FileDialogState SaveDialog1;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // Places are given in the designed window, whose client area starts
    // above the toolbar dock; the central widget starts below it.
    static constexpr int kDockHeight = 30;
    // 891 x 644 with its frame: the designed size, and the smallest.
    static constexpr QSize kDesigned{883, 610};
    static QRect belowDock(const QRect& place) { return place.translated(0, -kDockHeight); }

    void buildToolbars();
    void buildPages();
    void buildIndicators();
    void buildStrip();
    void wirePages();
    // The shown sheet or the house record holds edits not stored.
    bool hasUnsavedEdits() const;

    QWidget* client_ = nullptr;
    HintTracker* hints_ = nullptr;
    DataAccess* data_ = nullptr;
    TSQLLogin* login_ = nullptr;
    std::unique_ptr<ConnectCommand> connect_;
    DragSources dragSources_;

    RecordPage* record_ = nullptr;
    sheets::SheetPage* sheet_ = nullptr;
    DrawingPage* drawing_ = nullptr;
    ListPage* list_ = nullptr;

    // Toolbar dock.
    QToolButton* ToolbarButton972 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    FlatEdit* exfile = nullptr;
    FlatEdit* zmfile = nullptr;

    QTabWidget* PageControl1 = nullptr;

    // Strip along the bottom.
    QPushButton* BitBtn3 = nullptr;
    QPushButton* BitBtn4 = nullptr;
    ImageCheckLabel* PCheck1 = nullptr;
    ImageCheckLabel* PCheck2 = nullptr;

    StatusPanelBar* dfsStatusBar1 = nullptr;
};

} // namespace tegaro
