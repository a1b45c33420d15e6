// The print dialog: printer (or a PDF file), copies and page range, with a
// preview reached from it.
#include "widgets/UserSeam.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>

#include <exception>

namespace tegaro {

namespace {

constexpr int kPreview = 2; // the dialog's answer when the preview is asked for

} // namespace

bool runPrintDialog(const PrintJob& job)
{
    QWidget* parent = QApplication::activeWindow();
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(job.title);
    // pages bring their own paper and margins: paint from the sheet's corner
    printer.setFullPage(true);
    if (job.layout)
        printer.setPageLayout(*job.layout);
    printer.setFromTo(1, std::max(job.pageCount, 1));
    QPrintDialog dialog(&printer, parent);
    dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintPageRange
                      | QAbstractPrintDialog::PrintCollateCopies | QAbstractPrintDialog::PrintShowPageSize);
    dialog.setMinMax(1, std::max(job.pageCount, 1));
    if (auto* buttons = dialog.findChild<QDialogButtonBox*>()) {
        QPushButton* preview = buttons->addButton(QStringLiteral("プレビュー(&V)..."), QDialogButtonBox::ActionRole);
        preview->setObjectName(QStringLiteral("PrintPreview"));
        QObject::connect(preview, &QPushButton::clicked, &dialog, [&dialog] { dialog.done(kPreview); });
    }
    for (;;) {
        const int answer = dialog.exec();
        if (answer == QDialog::Rejected)
            return false;
        if (answer == kPreview) {
            // Qt calls the painting from inside its own event handling,
            // where no exception may pass: keep it and throw it after.
            std::exception_ptr failure;
            QPrintPreviewDialog preview(&printer, parent);
            QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview, [&](QPrinter* target) {
                try {
                    job.paint(*target, 0, job.pageCount - 1);
                } catch (...) {
                    failure = std::current_exception();
                }
            });
            const bool printed = preview.exec() == QDialog::Accepted;
            if (failure)
                std::rethrow_exception(failure);
            if (printed)
                return true;
            continue; // back to the print dialog
        }
        int first = 0, last = job.pageCount - 1;
        if (printer.printRange() == QPrinter::PageRange) {
            first = printer.fromPage() - 1;
            last = printer.toPage() - 1;
        }
        job.paint(printer, first, last);
        return true;
    }
}

} // namespace tegaro
