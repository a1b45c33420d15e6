#include "support/ScriptedSeam.h"

#include <QFileInfo>
#include <QPdfWriter>

namespace tegaro {

ScriptedSeam::ScriptedSeam()
{
    setSeam(this);
    setStatusPanels(this);
}

ScriptedSeam::~ScriptedSeam()
{
    setSeam(nullptr);
    setStatusPanels(nullptr);
}

QStringList ScriptedSeam::messages() const
{
    QStringList out;
    for (const Shown& s : shown)
        if (s.kind == Shown::Message || s.kind == Shown::Error)
            out << s.text;
    return out;
}

void ScriptedSeam::clear()
{
    shown.clear();
    beeps = 0;
    statusHistory.clear();
    gaugeHistory.clear();
}

void ScriptedSeam::message(const QString& text) { shown.append({Shown::Message, {}, text, {}, {}}); }
void ScriptedSeam::error(const QString& text, const QString& detail) { shown.append({Shown::Error, {}, text, {}, {}, detail}); }

bool ScriptedSeam::confirm(const QString& caption, const QString& text)
{
    shown.append({Shown::Confirm, caption, text, {}, {}});
    return confirmAnswers.isEmpty() ? true : confirmAnswers.dequeue();
}

bool ScriptedSeam::answerFile(Shown::Kind kind, FileDialogState& state)
{
    shown.append({kind, state.title, state.filter, state.fileName, state.defaultExt});
    if (fileAnswers.isEmpty())
        return false;
    QString answer = fileAnswers.dequeue();
    const int filter = filterAnswers.isEmpty() ? state.filterIndex : filterAnswers.dequeue();
    if (answer.isEmpty())
        return false;
    state.filterIndex = filter;
    // The save dialog adds its default extension to a name without one.
    if (kind == Shown::Save && !state.defaultExt.isEmpty() && QFileInfo(answer).suffix().isEmpty())
        answer += u'.' + state.defaultExt;
    state.fileName = answer;
    return true;
}

bool ScriptedSeam::openFile(FileDialogState& state) { return answerFile(Shown::Open, state); }
bool ScriptedSeam::saveFile(FileDialogState& state) { return answerFile(Shown::Save, state); }

bool ScriptedSeam::print(const PrintJob& job)
{
    shown.append({Shown::Print, job.title, QString::number(job.pageCount), {}, {}});
    if (printAnswers.isEmpty())
        return false;
    const PrintAnswer answer = printAnswers.dequeue();
    if (answer.pdf.isEmpty())
        return false;
    QPdfWriter pdf(answer.pdf);
    pdf.setResolution(600);
    if (job.layout)
        pdf.setPageLayout(*job.layout);
    job.paint(pdf, answer.first, answer.last < 0 ? job.pageCount - 1 : answer.last);
    return true;
}

void ScriptedSeam::setMessage(const QString& text)
{
    status_ = text;
    statusHistory << text;
}

} // namespace tegaro
