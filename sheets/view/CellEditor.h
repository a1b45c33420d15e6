#pragma once
// The line editor laid over a cell while its entry is typed.
#include <QLineEdit>

namespace tegaro::sheets {

class SheetGrid;

class CellEditor : public QLineEdit {
    Q_OBJECT
public:
    explicit CellEditor(SheetGrid* grid);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool event(QEvent* event) override;

private:
    SheetGrid* grid_;
};

} // namespace tegaro::sheets
