#pragma once
// The splash window: shown first, painted at once, released when it first
// loses activation.
#include <QWidget>

class QLabel;

namespace tegaro {

class TForm2 : public QWidget {
    Q_OBJECT
public:
    TForm2();
    // Shows the window and paints it before returning.
    void showAndPaint();
    bool hasPicture() const;

protected:
    bool event(QEvent* event) override;

private:
    QLabel* image_;
};

} // namespace tegaro
