#include "widgets/StatusPanelBar.h"

#include <QLabel>
#include <QProgressBar>

namespace tegaro {

static QLabel* sunkenLabel(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setTextFormat(Qt::PlainText);
    return label;
}

namespace {
constexpr int kGap = 2;
constexpr int kTop = 2;
} // namespace

StatusPanelBar::StatusPanelBar(QWidget* parent) : QFrame(parent), widths_({57, 100, 300, 400, 45})
{
    setFixedHeight(24);
    auto* first = sunkenLabel(QStringLiteral(" Tegaro"), this);
    gauge_ = new QProgressBar(this);
    gauge_->setRange(0, 100);
    gauge_->setValue(0);
    gauge_->setTextVisible(false);
    gauge_->setObjectName(QStringLiteral("Gauge"));
    message_ = sunkenLabel(QString(), this);
    message_->setObjectName(QStringLiteral("StatusMessage"));
    panels_ = {first, gauge_, message_, sunkenLabel(QString(), this), sunkenLabel(QString(), this)};
}

// Placed by hand: a layout would squeeze or overlap panels that do not fit.
void StatusPanelBar::resizeEvent(QResizeEvent* event)
{
    QFrame::resizeEvent(event);
    const int height = this->height() - kTop - 1;
    int x = 1;
    for (int i = 0; i < panels_.size(); ++i) {
        const bool last = i == panels_.size() - 1;
        const int width = qMax(0, last ? this->width() - 1 - x : qMin(widths_[i], this->width() - 1 - x));
        panels_[i]->setGeometry(x, kTop, width, height);
        panels_[i]->setVisible(width > 0);
        x += width + kGap;
    }
}

void StatusPanelBar::setMessage(const QString& text)
{
    message_->setText(text);
    emit messageChanged(text);
    // Handlers run to the end before the loop paints; show progress at once.
    message_->repaint();
}
QString StatusPanelBar::message() const { return message_->text(); }

void StatusPanelBar::setGauge(int position)
{
    gauge_->setValue(qBound(0, position, 100));
    gauge_->repaint();
}
int StatusPanelBar::gauge() const { return gauge_->value(); }

QString StatusPanelBar::panelText(int panel) const
{
    if (panel == 1)
        return QString::number(gauge_->value());
    auto* label = qobject_cast<QLabel*>(panels_.value(panel));
    return label ? label->text() : QString();
}

int StatusPanelBar::panelWidth(int panel) const { return panels_.value(panel)->width(); }

} // namespace tegaro
