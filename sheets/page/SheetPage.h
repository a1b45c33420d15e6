#pragma once
// Page 評点明細: the sheet side menu with its file list and the sheet
// control F5Book1. The page owns the handlers of detail sheet files and of
// the detail sheet stored in the house record.
#include "sheets/memory/GlobalMemory.h"

#include <QObject>

#include <functional>
#include <memory>

class QLineEdit;
class QWidget;

namespace tegaro {
class ImageCheckLabel;
class RecordSet;
class ShellListView;
class SideMenu;
struct DragSources;
struct FileDialogState;
} // namespace tegaro

namespace tegaro::sheets {

class SheetFiles;
class SheetStorage;
class TF5Book;

class SheetPage : public QObject {
    Q_OBJECT
public:
    // What the page uses of the window around it.
    struct Frame {
        QLineEdit* exfile = nullptr;        // the sheet field of the toolbar
        ImageCheckLabel* PCheck2 = nullptr; // the sheet mark of the indicators
        FileDialogState* OpenDialog1 = nullptr;
        FileDialogState* SaveDialog1 = nullptr;
        const DragSources* dragSources = nullptr;
        RecordSet* ADOQuery1 = nullptr; // the house records
    };

    SheetPage(QWidget* page, const Frame& frame);
    ~SheetPage() override;

    SideMenu* sideMenu() const { return InspectorBar2; }
    ShellListView* fileList() const { return ShellListView1; }
    TF5Book* book() const { return F5Book1; }
    SheetFiles& files() const { return *files_; }
    SheetStorage& storage() const { return *storage_; }

    // Runs a step that loads the control, then tells the user what the
    // workbook's reading left out, if anything.
    void load(const std::function<void()>& loading);
    // The open dialog, then the chosen file into the control; empty when
    // the user cancelled or named no existing file (that is told).
    QString loadChosenFile(FileDialogState& dialog);
    // The control's operations on whole workbooks, with large ones read
    // and written on a worker thread while the gauge moves.
    void saveToMemoryHandle(HGLOBAL& handle);
    void loadFromMemoryHandle(HGLOBAL handle);
    void saveWorkbook(const QString& path);

    void setExfileText(const QString& text);
    QString exfileText() const;

private:
    void wire();
    // An entry being typed into a cell belongs to the workbook first.
    void finishEntry();

    QLineEdit* exfile_;
    SideMenu* InspectorBar2 = nullptr;
    ShellListView* ShellListView1 = nullptr;
    TF5Book* F5Book1 = nullptr;
    std::unique_ptr<SheetFiles> files_;
    std::unique_ptr<SheetStorage> storage_;
};

} // namespace tegaro::sheets
