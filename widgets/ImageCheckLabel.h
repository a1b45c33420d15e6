#pragma once
// A caption with a check-mark image in front of it. A left release toggles
// the mark (display only) and clicks; every release is then reported with
// its button.
#include <QWidget>

namespace tegaro {

class ImageCheckLabel : public QWidget {
    Q_OBJECT
public:
    explicit ImageCheckLabel(const QString& caption, QWidget* parent = nullptr);

    bool isChecked() const { return checked_; }
    void setChecked(bool checked);
    QString caption() const { return caption_; }
    QSize sizeHint() const override;

signals:
    void mouseUp(Qt::MouseButton button);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QString caption_;
    bool checked_ = false;
};

} // namespace tegaro
