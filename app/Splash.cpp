#include "app/Splash.h"

#include "app/JpegImage.h"

#include <QApplication>
#include <QEvent>
#include <QFile>
#include <QLabel>
#include <QPixmap>

namespace tegaro {

TForm2::TForm2() : QWidget(nullptr)
{
    setObjectName(QStringLiteral("TForm2"));
    setWindowTitle(QStringLiteral("Tegaroシステム（MSSQL_Server版）"));
    setGeometry(218, 141, 356, 342);
    setAttribute(Qt::WA_DeleteOnClose);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QApplication::palette().color(QPalette::Base));
    setPalette(pal);

    auto* title = new QLabel(QStringLiteral("Tegaroシステム"), this);
    title->setObjectName(QStringLiteral("Label1"));
    QFont big = font();
    big.setPixelSize(21);
    title->setFont(big);
    title->move(88, 16);
    title->adjustSize();

    image_ = new QLabel(this);
    image_->setObjectName(QStringLiteral("Image1"));
    image_->setGeometry(24, 56, 305, 217);
    image_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QFile file(QStringLiteral(":/splash/house.jpg"));
    if (file.open(QIODevice::ReadOnly)) {
        const QImage picture = tegaro::decodeJpeg(file.readAll());
        if (!picture.isNull())
            image_->setPixmap(QPixmap::fromImage(picture));
    }

    auto* note = new QLabel(QStringLiteral("ID,PWDが必要です。"), this);
    note->setObjectName(QStringLiteral("Label2"));
    note->move(216, 80);
    note->adjustSize();
    note->raise();
}

bool TForm2::hasPicture() const
{
    return !image_->pixmap().isNull();
}

void TForm2::showAndPaint()
{
    show();
    repaint();
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

bool TForm2::event(QEvent* event)
{
    // FormDeactivate: ask for release; the loop destroys it later.
    if (event->type() == QEvent::WindowDeactivate)
        deleteLater();
    return QWidget::event(event);
}

} // namespace tegaro
