#pragma once
// Page 評点明細: the sheet side menu with its file list and the sheet
// control F5Book1. The page owns the handlers of detail sheet files and of
// the detail sheet stored in the house record.
#include "sheets/memory/GlobalMemory.h"

#include <QObject>
#include <QVariant>

#include <functional>
#include <memory>

class QLabel;
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
    // the user cancelled, kept the shown sheet or named no existing file
    // (that is told).
    QString loadChosenFile(FileDialogState& dialog);
    // The control's operations on whole workbooks, with large ones read
    // and written on a worker thread while the gauge moves.
    void saveToMemoryHandle(HGLOBAL& handle);
    void loadFromMemoryHandle(HGLOBAL handle);
    void saveWorkbook(const QString& path);

    void setExfileText(const QString& text);
    QString exfileText() const;

    // Where the shown sheet came from: a house record (its key and
    // "owner code name"), a file, or nowhere (an empty control).
    struct Origin {
        enum Kind {
            Nothing,
            Record,
            File
        } kind = Nothing;
        QString label;
        QVariant key;
    };
    const Origin& origin() const { return origin_; }
    void shownFromRecord(); // the current house record
    void shownFromFile(const QString& path);
    void shownNothing();
    // The owner of the current house record as the sheet line names it.
    QString currentOwner() const;
    // Whether the current house record is another than the one the sheet
    // was shown from.
    bool fromOtherRecord() const;

    // Before the shown sheet is replaced or cleared: when it holds edits
    // that are neither registered nor saved, the user is asked; false when
    // the sheet is to stay.
    bool mayReplaceShown();
    // The shown sheet was stored into the current house record, or saved
    // to a file: its edits are kept.
    void registeredShown();
    void savedShown(const QString& path);

private:
    void wire();
    void showOrigin();
    // An entry being typed into a cell belongs to the workbook first.
    void finishEntry();

    QLineEdit* exfile_;
    RecordSet* records_;
    Origin origin_;
    QLabel* originLine_ = nullptr;
    SideMenu* InspectorBar2 = nullptr;
    ShellListView* ShellListView1 = nullptr;
    TF5Book* F5Book1 = nullptr;
    std::unique_ptr<SheetFiles> files_;
    std::unique_ptr<SheetStorage> storage_;
};

} // namespace tegaro::sheets
