#include "core/HtmlHelp.h"

#include <QCoreApplication>
#include <QDir>

namespace {
HtmlHelpImpl helpImpl = nullptr;
QString helpFile;
} // namespace

void HtmlHelpA(QWidget* owner, const QString& file, unsigned command, quintptr data)
{
    if (helpImpl)
        helpImpl(owner, file, command, data);
}

namespace tegaro {

void setHtmlHelpImpl(HtmlHelpImpl impl) { helpImpl = impl; }
void setApplicationHelpFile(const QString& path) { helpFile = path; }
QString applicationHelpFile() { return helpFile; }

QString defaultHelpFilePath()
{
    QString dir = QCoreApplication::applicationDirPath();
    if (!dir.endsWith(u'/'))
        dir += u'/';
    return dir + QStringLiteral("muneya2005.CHM");
}

} // namespace tegaro
