#pragma once
// Follows the mouse over the application's windows and reports each change
// of the current hint text (the control under the mouse, or the nearest
// parent with a hint; empty over a control without one).
#include <QObject>
#include <QPointer>
#include <QString>

class QWidget;

namespace tegaro {

class HintTracker : public QObject {
    Q_OBJECT
public:
    explicit HintTracker(QObject* parent = nullptr);
    QString currentHint() const { return hint_; }
    // Installs the tracker on the application; hints reported from then on.
    void install();
    // Looks at the widget now under the pointer (also used by tests).
    void hover(QWidget* widget);

signals:
    void hintChanged(const QString& hint);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QString hint_;
    QPointer<QWidget> last_;
    bool first_ = true;
};

} // namespace tegaro
