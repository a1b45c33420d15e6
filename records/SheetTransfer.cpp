#include "records/SheetTransfer.h"

#include "records/RecordForm.h"
#include "widgets/data/FieldLink.h"

#include <QLineEdit>

namespace tegaro {

SheetTransfer::SheetTransfer(RecordForm& form, CellTextSource cellText) : form_(form), CellText(std::move(cellText))
{
}

void SheetTransfer::setShown(const char* box, const QString& text)
{
    form_.link(QString::fromLatin1(box))->setTextFromCode(text);
}

void SheetTransfer::FlatButton1Click()
{
    // Sheets with something in G6 keep their areas one column further left.
    const int firstArea = CellText(1, 6, 7).isEmpty() ? 10 : 9;
    const struct {
        const char* box;
        int row, col;
    } cells[] = {
        {"DBEdit1", 6, firstArea},
        {"DBEdit2", 6, firstArea + 1},
        {"DBEdit26", 6, firstArea + 2},
        {"DBEdit25", 6, 5},
        {"DBEdit10", 4, 4},
    };
    // One cell at a time: a cell that cannot be read leaves the boxes before it set.
    for (const auto& c : cells)
        setShown(c.box, CellText(1, c.row, c.col));
}

void SheetTransfer::copyShown(const char* from, const char* to)
{
    auto* source = qobject_cast<QLineEdit*>(form_.control(QString::fromLatin1(from)));
    setShown(to, source->text());
}

} // namespace tegaro
