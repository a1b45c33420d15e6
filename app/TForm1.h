#pragma once
// The main window: the toolbar dock, three pages, the strip of controls
// along the bottom and the status bar. It owns every component and wires
// the subsystems' handlers to its controls; the logic lives elsewhere.
#include "widgets/UserSeam.h"
#include "widgets/DropHelpers.h"

#include <QMainWindow>
#include <QPointer>

#include <memory>

class QMenu;
class QTabWidget;
class QToolBar;
class QToolButton;
class QGroupBox;
class QLineEdit;
class QComboBox;
class QPushButton;

namespace tegaro {
class ConnectCommand;
class DataAccess;
class TSQLLogin;
class SideMenu;
class StatusPanelBar;
class ImageCheckLabel;
class FlatEdit;
class NavigatorPanel;
class HintTracker;
class DateTimePicker;
class DrawingPage;
class NavigatorLink;
class IndicatorLink;
class ColumnListLink;
} // namespace tegaro

class RecordForm;
class RecordSearch;

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

    // Components other parts and tests reach.
    tegaro::StatusPanelBar* statusBarPanels() const { return dfsStatusBar1; }
    QTabWidget* pages() const { return PageControl1; }
    tegaro::DrawingPage* drawingPage() const { return drawing_; }
    QMenu* helpMenu() const { return PopupMenu1; }
    tegaro::HintTracker* hintTracker() const { return hints_; }
    tegaro::DataAccess* data() const { return data_; }
    RecordForm* recordForm() const { return form_; }
    RecordSearch* search() const { return search_.get(); }
    tegaro::ConnectCommand* connectCommand();
    // The connection settings dialog, made at start-up after the window.
    void setLoginDialog(tegaro::TSQLLogin* dialog);
    tegaro::TSQLLogin* loginDialog();

    // The shared open and save dialogs: they keep the last name chosen.
    tegaro::FileDialogState OpenDialog1;
    tegaro::FileDialogState SaveDialog1;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildToolbars();
    void buildPages();
    void buildRecordPage(QWidget* page);
    void buildSheetPage(QWidget* page);
    void buildStrip(QWidget* client);
    void buildSearchTabs(QWidget* client);
    void buildDrawingPage();
    void wireRecords();
    void wireSearch();

    QWidget* client_ = nullptr;
    tegaro::HintTracker* hints_ = nullptr;
    QWidget* drawingTab_ = nullptr;
    tegaro::DrawingPage* drawing_ = nullptr;
    tegaro::DragSources dragSources_;
    tegaro::DataAccess* data_ = nullptr;
    tegaro::TSQLLogin* login_ = nullptr;
    std::unique_ptr<tegaro::ConnectCommand> connect_;
    RecordForm* form_ = nullptr;
    std::unique_ptr<RecordSearch> search_;
    std::unique_ptr<tegaro::NavigatorLink> navigatorLink_;
    std::unique_ptr<tegaro::IndicatorLink> indicatorLink_;
    std::unique_ptr<tegaro::ColumnListLink> districtList_;

    // Toolbar dock.
    QToolBar* ToolBar971 = nullptr;
    QToolBar* ToolBar972 = nullptr;
    QToolBar* ToolWindow971 = nullptr;
    QToolBar* ToolBar973 = nullptr;
    QToolBar* ToolWindow972 = nullptr;
    QToolButton* ToolbarButton972 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    tegaro::FlatEdit* exfile = nullptr;
    tegaro::FlatEdit* zmfile = nullptr;

    // Pages.
    QTabWidget* PageControl1 = nullptr;
    tegaro::SideMenu* InspectorBar1 = nullptr;
    tegaro::SideMenu* InspectorBar2 = nullptr;

    // Strip along the bottom.
    QPushButton* BitBtn3 = nullptr;
    QPushButton* BitBtn4 = nullptr;
    tegaro::ImageCheckLabel* PCheck1 = nullptr;
    tegaro::ImageCheckLabel* PCheck2 = nullptr;
    tegaro::NavigatorPanel* DBInspectorBar1 = nullptr;
    QTabWidget* PageControl2 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QLineEdit* Edit2 = nullptr;
    QComboBox* DBLookupComboPlus1 = nullptr;
    tegaro::DateTimePicker* DateTimePicker1 = nullptr;
    tegaro::DateTimePicker* DateTimePicker2 = nullptr;

    tegaro::StatusPanelBar* dfsStatusBar1 = nullptr;
};
