#pragma once
// Everything that asks or tells the user goes through this seam: message
// boxes, OK/Cancel confirmations, the beep, the open and save dialogs, and the
// status bar (panel 2 text, panel 1 gauge). The program installs the real one;
// tests install a scripted one and read back what was shown.
#include <QPageLayout>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QPagedPaintDevice;

namespace tegaro {

// What an open or save dialog is asked for and answers with. The dialog
// objects of the window keep one of these between uses.
struct FileDialogState {
    QString filter;     // "Label|*.ext|Label|*.ext" pairs
    QString fileName;   // proposed on entry, chosen on return
    QString defaultExt; // added by the save dialog when the name has none
    QString title;
    int filterIndex = 0; // the filter pair shown first, and the one chosen
};

// A document to print: how many pages it has and how to paint them onto a
// printer, a PDF file or a preview.
struct PrintJob {
    QString title;
    int pageCount = 0;
    // The paper the dialog offers first; without it the printer's own. A
    // job that brings its paper with each page leaves it out.
    std::optional<QPageLayout> layout;
    // Paints pages first..last (counted from 0); throws when it cannot.
    std::function<void(QPagedPaintDevice& device, int first, int last)> paint;
};

class UserSeam {
public:
    virtual ~UserSeam() = default;

    // A plain message box with an OK button; the caption is the application title.
    virtual void message(const QString& text) = 0;
    // The error box of the top-level handler; a detail (a driver's own
    // words) is shown below the text on request.
    virtual void error(const QString& text, const QString& detail = {}) = 0;
    // OK/Cancel, no icon, OK the default; true for OK.
    virtual bool confirm(const QString& caption, const QString& text) = 0;
    virtual void beep() = 0;
    // True when the user chose a file; state.fileName then holds it.
    virtual bool openFile(FileDialogState& state) = 0;
    virtual bool saveFile(FileDialogState& state) = 0;
    // The print dialog (printer, copies, page range, a PDF file, a preview),
    // then the printing; false when the user cancelled and nothing was printed.
    virtual bool print(const PrintJob& job) = 0;
};

// The real print dialog behind the seam.
bool runPrintDialog(const PrintJob& job);

// The status bar as the rest of the program sees it.
class StatusPanels {
public:
    virtual ~StatusPanels() = default;
    virtual void setMessage(const QString& text) = 0; // panel 2
    virtual QString message() const = 0;
    virtual void setGauge(int position) = 0; // panel 1, 0..100
    virtual int gauge() const = 0;
};

UserSeam& seam();
void setSeam(UserSeam* seam); // nullptr restores the real dialogs

StatusPanels& status();
void setStatusPanels(StatusPanels* panels); // nullptr restores a plain holder

} // namespace tegaro
