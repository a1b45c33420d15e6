// The strip of controls along the bottom of the main window.
#include "app/TForm1.h"

#include "records/RecordPage.h"
#include "widgets/Anchors.h"
#include "widgets/Hint.h"
#include "widgets/ImageCheckLabel.h"
#include "widgets/NavigatorPanel.h"

#include <QFrame>
#include <QPushButton>
#include <QTabWidget>

namespace tegaro {

namespace {
QFrame* panel(QWidget* parent, const char* name, const QRect& place)
{
    auto* p = new QFrame(parent);
    p->setObjectName(QString::fromLatin1(name));
    p->setFrameStyle(QFrame::Panel | QFrame::Raised);
    p->setGeometry(place);
    return p;
}

template <class Control>
Control* add(QWidget* parent, const char* name, const QString& caption, const QRect& place, const QString& hint)
{
    auto* c = new Control(caption, parent);
    c->setObjectName(QString::fromLatin1(name));
    c->setGeometry(place);
    setHint(c, hint);
    return c;
}
} // namespace

// The attachment marks come before the pages, which show into them.
void TForm1::buildIndicators()
{
    QFrame* panel2 = panel(client_, "Panel2", belowDock({176, 520, 121, 65}));
    const QString hint = QStringLiteral("右クリックで登録を消去します。（確認あり）");
    PCheck2 = add<ImageCheckLabel>(panel2, "PCheck2", QStringLiteral("家屋明細書"), {6, 6, 110, 24}, hint);
    PCheck1 = add<ImageCheckLabel>(panel2, "PCheck1", QStringLiteral("家屋図面"), {6, 35, 110, 24}, hint);
    setAnchors(panel2, Qt::LeftEdge | Qt::BottomEdge);
}

void TForm1::buildStrip()
{
    QFrame* panel1 = panel(client_, "Panel1", belowDock({8, 520, 140, 65}));
    BitBtn3 = add<QPushButton>(panel1, "BitBtn3", QStringLiteral("明細l直接登録"), {5, 4, 130, 27},
                               QStringLiteral("明細をドロップで登録します!"));
    BitBtn4 = add<QPushButton>(panel1, "BitBtn4", QStringLiteral("図面直接登録"), {5, 34, 130, 27},
                               QStringLiteral("図面をドロップで登録します!"));

    record_->buildStrip(client_);
    record_->navigator()->setGeometry(belowDock({324, 520, 237, 64}));
    record_->searchTabs()->setGeometry(belowDock({588, 519, 271, 65}));
    // the strip keeps to the bottom edge as the window grows
    setAnchors(panel1, Qt::LeftEdge | Qt::BottomEdge);
    setAnchors(record_->navigator(), Qt::LeftEdge | Qt::BottomEdge);
    setAnchors(record_->searchTabs(), Qt::LeftEdge | Qt::BottomEdge);
}

} // namespace tegaro
