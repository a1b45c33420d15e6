#pragma once
// The status bar: five panels side by side; panel 1 is a gauge (0..100),
// panel 2 the one-line message panel.
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

private:
    QList<QWidget*> panels_;
    QProgressBar* gauge_;
    QLabel* message_;
};

} // namespace tegaro
