#include "support/DialogAnswer.h"

#include <QApplication>
#include <QTimer>

#include <memory>

namespace tegaro {

void whenDialogShows(const std::function<void(QWidget* dialog)>& answer)
{
    auto* poll = new QTimer;
    auto tries = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, [=] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (!dialog && ++*tries < 500)
            return;
        poll->stop();
        poll->deleteLater();
        if (dialog)
            answer(dialog);
    });
    poll->start(10);
}

} // namespace tegaro
