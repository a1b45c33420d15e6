#pragma once
// A seam for tests: answers are queued in advance, everything shown is recorded.
#include "widgets/UserSeam.h"

#include <QList>
#include <QQueue>

namespace tegaro {

class ScriptedSeam final : public UserSeam, public StatusPanels {
public:
    struct Shown {
        enum Kind {
            Message,
            Error,
            Confirm,
            Open,
            Save,
            Print
        } kind;
        QString caption;
        QString text;     // message text, or the dialog's filter
        QString fileName; // proposed name for dialogs
        QString defaultExt;
        QString detail = {}; // of an error box
    };

    ScriptedSeam();           // installs itself as seam and status panels
    ~ScriptedSeam() override; // restores the real ones

    // Answers, taken in order; when a queue is empty confirm answers OK and
    // dialogs are cancelled.
    QQueue<bool> confirmAnswers;
    QQueue<QString> fileAnswers; // an empty string cancels
    QQueue<int> filterAnswers;   // the filter chosen with the next file answer
    // The print dialog's answers: a PDF file the pages go to, and the
    // pages (from 0, all when last is -1); an empty path cancels.
    struct PrintAnswer {
        QString pdf;
        int first = 0, last = -1;
    };
    QQueue<PrintAnswer> printAnswers;

    QList<Shown> shown;
    int beeps = 0;
    QStringList statusHistory;

    QStringList messages() const; // texts of Message and Error boxes, in order
    void clear();

    void message(const QString& text) override;
    void error(const QString& text, const QString& detail = {}) override;
    bool confirm(const QString& caption, const QString& text) override;
    void beep() override { ++beeps; }
    bool openFile(FileDialogState& state) override;
    bool saveFile(FileDialogState& state) override;
    bool print(const PrintJob& job) override; // Shown: caption the title, text the page count

    void setMessage(const QString& text) override;
    QString message() const override { return status_; }
    void setGauge(int position) override
    {
        gauge_ = position;
        gaugeHistory << position;
    }
    int gauge() const override { return gauge_; }
    QList<int> gaugeHistory;

private:
    bool answerFile(Shown::Kind kind, FileDialogState& state);
    QString status_;
    int gauge_ = 0;
};

} // namespace tegaro
