#include "widgets/UserSeam.h"

#include "core/ErrorGuard.h"
#include "core/FileFilter.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMainWindow>
#include <QMessageBox>
#include <QRegularExpression>

namespace tegaro {

namespace {

QWidget* dialogParent()
{
    if (QWidget* active = QApplication::activeWindow())
        return active;
    // No window of ours has the focus (a box shown after a click is over,
    // while the user is in another program, or where no window manager
    // hands the focus back after a box): the main window, not the middle of
    // the screen.
    for (QWidget* top : QApplication::topLevelWidgets())
        if (top->isVisible() && qobject_cast<QMainWindow*>(top))
            return top;
    return nullptr;
}

class QtSeam final : public UserSeam {
public:
    void message(const QString& text) override
    {
        QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), text, QMessageBox::Ok,
                        dialogParent());
        box.exec();
    }
    void error(const QString& text, const QString& detail) override
    {
        QMessageBox box(QMessageBox::Critical, QApplication::applicationName(), text, QMessageBox::Ok,
                        dialogParent());
        if (!detail.isEmpty())
            box.setDetailedText(detail);
        box.exec();
    }
    bool confirm(const QString& caption, const QString& text) override
    {
        QMessageBox box(QMessageBox::NoIcon, caption, text,
                        QMessageBox::Ok | QMessageBox::Cancel, dialogParent());
        box.setDefaultButton(QMessageBox::Ok);
        return box.exec() == QMessageBox::Ok;
    }
    void beep() override { QApplication::beep(); }

    bool openFile(FileDialogState& state) override
    {
        QFileDialog dialog(dialogParent(), state.title);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        // Names of files that do not exist come back too; callers test them.
        dialog.setFileMode(QFileDialog::AnyFile);
        return run(dialog, state);
    }
    bool print(const PrintJob& job) override { return runPrintDialog(job); }
    bool saveFile(FileDialogState& state) override
    {
        QFileDialog dialog(dialogParent(), state.title);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
        dialog.setDefaultSuffix(state.defaultExt);
        // The name gets the extension of the filter chosen, not always the first.
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
            static const QRegularExpression extension(QStringLiteral("\\*\\.(\\w+)"));
            const QRegularExpressionMatch m = extension.match(filter);
            if (m.hasMatch())
                dialog.setDefaultSuffix(m.captured(1));
        });
        return run(dialog, state);
    }

private:
    static bool run(QFileDialog& dialog, FileDialogState& state)
    {
        const QStringList filters = qtNameFilters(state.filter);
        if (!filters.isEmpty()) {
            dialog.setNameFilters(filters);
            if (state.filterIndex > 0 && state.filterIndex < filters.size())
                dialog.selectNameFilter(filters[state.filterIndex]);
        }
        if (!state.fileName.isEmpty()) {
            QFileInfo info(state.fileName);
            dialog.setDirectory(info.absolutePath());
            dialog.selectFile(info.fileName());
        }
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return false;
        state.fileName = dialog.selectedFiles().first();
        state.filterIndex = std::max(0, int(filters.indexOf(dialog.selectedNameFilter())));
        return true;
    }
};

class PlainStatus final : public StatusPanels {
public:
    void setMessage(const QString& text) override { text_ = text; }
    QString message() const override { return text_; }
    void setGauge(int position) override { gauge_ = position; }
    int gauge() const override { return gauge_; }

private:
    QString text_;
    int gauge_ = 0;
};

QtSeam& qtSeam()
{
    static QtSeam instance;
    return instance;
}
PlainStatus& plainStatus()
{
    static PlainStatus instance;
    return instance;
}

UserSeam* currentSeam = nullptr;
StatusPanels* currentStatus = nullptr;

void showErrorBox(const QString& text, const QString& detail) { seam().error(text, detail); }

// Errors caught by the guard are shown in the error box of whatever seam is
// in place, from the start of any program that has the seam at all.
[[maybe_unused]] const bool errorBoxInstalled = [] {
    setErrorReporter(&showErrorBox);
    return true;
}();

} // namespace

UserSeam& seam() { return currentSeam ? *currentSeam : qtSeam(); }
void setSeam(UserSeam* s)
{
    currentSeam = s;
    setErrorReporter(&showErrorBox);
}

StatusPanels& status() { return currentStatus ? *currentStatus : plainStatus(); }
void setStatusPanels(StatusPanels* panels) { currentStatus = panels; }

} // namespace tegaro
