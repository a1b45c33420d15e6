#pragma once
// The status bar: five panels side by side from the left, each as wide as
// set, the last one reaching to the bar's right edge (and cut by it when the
// window is narrower than the panels); panel 1 is a gauge (0..100), panel 2
// the one-line message panel.
#include "widgets/UserSeam.h"

#include <QFrame>
#include <QList>

class QLabel;
class QProgressBar;

namespace tegaro {

class StatusPanelBar : public QFrame, public StatusPanels {
    Q_OBJECT
public:
    explicit StatusPanelBar(QWidget* parent = nullptr);

    void setMessage(const QString& text) override;
    QString message() const override;
    void setGauge(int position) override;
    int gauge() const override;

    QString panelText(int panel) const;
    int panelWidth(int panel) const;

signals:
    void messageChanged(const QString& text);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QList<QWidget*> panels_;
    QList<int> widths_;
    QProgressBar* gauge_;
    QLabel* message_;
};

} // namespace tegaro
