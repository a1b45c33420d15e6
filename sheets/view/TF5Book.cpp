#include "sheets/view/TF5Book.h"

#include "sheets/model/SheetErrors.h"
#include "sheets/render/PrintLayout.h"
#include "sheets/view/SheetGrid.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QTabBar>
#include <QVBoxLayout>

namespace tegaro::sheets {

TF5Book::TF5Book(QWidget* parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("F5Book1"));
    setAccessibleName(QStringLiteral("明細シート"));
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);

    editRow_ = new QWidget(this);
    nameBox_ = new QLineEdit(editRow_);
    nameBox_->setObjectName(QStringLiteral("NameBox"));
    nameBox_->setAccessibleName(QStringLiteral("名前ボックス"));
    nameBox_->setFixedWidth(84);
    editBar_ = new QLineEdit(editRow_);
    editBar_->setObjectName(QStringLiteral("EditBar"));
    editBar_->setAccessibleName(QStringLiteral("数式バー"));
    auto* row = new QHBoxLayout(editRow_);
    row->setContentsMargins(1, 1, 1, 1);
    row->setSpacing(2);
    row->addWidget(nameBox_);
    row->addWidget(editBar_, 1);

    grid_ = new SheetGrid(book_, this);
    tabs_ = new QTabBar(grid_);
    tabs_->setObjectName(QStringLiteral("SheetTabs"));
    tabs_->setAccessibleName(QStringLiteral("シート見出し"));
    tabs_->setShape(QTabBar::RoundedSouth);
    tabs_->setDrawBase(false);
    tabs_->setExpanding(false);
    tabs_->setUsesScrollButtons(true);
    tabs_->setMaximumWidth(320);
    // the tabs sit beside the horizontal scroll bar, as high as it is
    const int barHeight = grid_->horizontalScrollBar()->sizeHint().height();
    tabs_->setStyleSheet(QStringLiteral("QTabBar::tab { height: %1px; padding: 0px 10px; margin: 0px; }").arg(barHeight));
    grid_->addScrollBarWidget(tabs_, Qt::AlignLeft);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(editRow_);
    column->addWidget(grid_, 1);
    setFocusProxy(grid_);
    connect(grid_, &SheetGrid::told, this, &TF5Book::told);
    connect(grid_, &SheetGrid::failed, this, &TF5Book::failed);

    book_.onChanged = [this](const BookChange& c) { changed(c); };
    connect(grid_, &SheetGrid::activeCellChanged, this, [this] { showActiveCell(); });
    connect(grid_, &SheetGrid::editTextChanged, editBar_, &QLineEdit::setText);
    connect(editBar_, &QLineEdit::returnPressed, this, [this] { grid_->run([this] { commitEditBar(); }); });
    connect(editBar_, &QLineEdit::textEdited, this, [this](const QString& text) { grid_->setEditText(text); });
    connect(nameBox_, &QLineEdit::returnPressed, this, [this] { grid_->run([this] { goToName(); }); });
    connect(tabs_, &QTabBar::currentChanged, this, [this](int index) {
        if (filling_ || index < 0)
            return;
        grid_->run([&] {
            try {
                finishEditing();
            } catch (...) {
                fillTabs(); // the entry stays: so does its sheet
                throw;
            }
            book_.setActiveSheet(tabs_->tabData(index).toInt());
        });
    });
    editBar_->installEventFilter(this);
    fillTabs();
    showActiveCell();
}

TF5Book::~TF5Book()
{
    book_.onChanged = nullptr;
}

void TF5Book::changed(const BookChange& change)
{
    grid_->bookChanged(change);
    if (change.kind == BookChange::Workbook)
        fillTabs();
    if (change.kind != BookChange::Cells) {
        editRow_->setVisible(book_.viewFlags().editBar);
        if (tabs_->currentIndex() < 0 || tabs_->tabData(tabs_->currentIndex()).toInt() != book_.activeSheet())
            fillTabs();
    }
    showActiveCell();
    if (change.kind != BookChange::View)
        emit contentChanged();
}

bool TF5Book::hasEdits() const
{
    return book_.edited() || grid_->isEditing();
}

void TF5Book::markKept()
{
    book_.markKept();
    emit contentChanged();
}

void TF5Book::fillTabs()
{
    filling_ = true;
    while (tabs_->count() > 0)
        tabs_->removeTab(0);
    const Workbook& w = book_.workbook();
    for (int i = 0; i < w.sheets.size(); ++i) {
        if (w.sheets[i].visibility != 0 && i != w.activeSheet)
            continue; // hidden sheets have no tab
        const int tab = tabs_->addTab(w.sheets[i].name);
        tabs_->setTabData(tab, i);
        if (i == w.activeSheet)
            tabs_->setCurrentIndex(tab);
    }
    filling_ = false;
}

void TF5Book::showActiveCell(bool always)
{
    const int row = book_.activeRow(), col = book_.activeCol();
    const Range sel = grid_->selection();
    if (always || !nameBox_->hasFocus())
        nameBox_->setText(grid_->singleCell() || grid_->isEditing()
                              ? cellName(row, col)
                              : QStringLiteral("%1R x %2C").arg(sel.lastRow - sel.firstRow + 1).arg(sel.lastCol - sel.firstCol + 1));
    if (!editBar_->hasFocus())
        editBar_->setText(grid_->editText());
    editBar_->setReadOnly(book_.isLocked(book_.activeSheet(), row, col));
}

void TF5Book::commitEditBar()
{
    if (grid_->isEditing())
        grid_->cancelEdit();
    const int row = book_.activeRow(), col = book_.activeCol();
    if (book_.isLocked(book_.activeSheet(), row, col))
        return;
    try {
        book_.SetEntry(book_.activeSheet(), row, col, editBar_->text());
    } catch (const EFormulaError& e) {
        // the entry stays in the edit bar, the caret at the fault
        emit told(e.message());
        editBar_->setFocus();
        if (e.position() >= 0)
            editBar_->setCursorPosition(std::min(int(e.position()), int(editBar_->text().size())));
        return;
    }
    grid_->reportRecalculation();
    grid_->setFocus();
    grid_->moveBy(1, 0);
}

bool TF5Book::eventFilter(QObject* watched, QEvent* event)
{
    // Escape in the edit bar gives the cell's entry back
    if (watched == editBar_ && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        grid_->cancelEdit();
        editBar_->setText(grid_->editText());
        grid_->setFocus();
        return true;
    }
    return QFrame::eventFilter(watched, event);
}

void TF5Book::goToName()
{
    const auto range = parseRange(nameBox_->text());
    if (!range) {
        emit told(QStringLiteral("参照が正しくありません。"));
        showActiveCell(true);
        return;
    }
    finishEditing();
    grid_->selectRange(*range);
    grid_->setFocus();
    showActiveCell(true);
}

void TF5Book::finishEditing()
{
    grid_->finishEdit();
}

QString TF5Book::CellText(int sheet, int row, int col) const
{
    return book_.cellText(sheet - 1, row - 1, col - 1);
}

void TF5Book::LoadWorkbook(const QString& path, short* fileType)
{
    book_.LoadWorkbook(path, fileType);
}

void TF5Book::SaveWorkbook(const QString& path, short fileType)
{
    finishEditing();
    book_.SaveWorkbook(path, fileType);
}

void TF5Book::SaveToMemoryHandle(HGLOBAL& handle, short reserved)
{
    finishEditing();
    book_.SaveToMemoryHandle(handle, reserved);
}

void TF5Book::LoadFromMemoryHandle(HGLOBAL handle, short reserved)
{
    book_.LoadFromMemoryHandle(handle, reserved);
}

void TF5Book::ClearWorkbook()
{
    book_.ClearWorkbook();
}

bool TF5Book::PrintWorkbook(const Printer& print)
{
    finishEditing();
    const PrintLayout layout(book_.workbook(), {}, book_.fileName());
    if (layout.pageCount() == 0)
        throw ESheetError(QStringLiteral("印刷する内容がありません。"));
    PrintJob job;
    job.title = book_.fileName().isEmpty() ? QStringLiteral("明細") : QFileInfo(book_.fileName()).fileName();
    job.pageCount = layout.pageCount();
    job.paint = [&layout](QPagedPaintDevice& device, int first, int last) { layout.print(device, first, last); };
    return print(job);
}

int TF5Book::TopRow() const { return book_.topRow() + 1; }
void TF5Book::SetTopRow(int row) { book_.setTopRow(row - 1); }
int TF5Book::LeftCol() const { return book_.leftCol() + 1; }
void TF5Book::SetLeftCol(int col) { book_.setLeftCol(col - 1); }
bool TF5Book::ShowEditBar() const { return book_.viewFlags().editBar; }
bool TF5Book::ShowColHeading() const { return book_.viewFlags().colHeading; }
bool TF5Book::ShowRowHeading() const { return book_.viewFlags().rowHeading; }
int TF5Book::ViewScale() const { return book_.zoom(); }
void TF5Book::SetViewScale(int percent) { book_.setZoom(percent); }

void TF5Book::SetShowEditBar(bool on)
{
    ViewFlags f = book_.viewFlags();
    f.editBar = on;
    book_.setViewFlags(f);
}

void TF5Book::SetShowColHeading(bool on)
{
    ViewFlags f = book_.viewFlags();
    f.colHeading = on;
    book_.setViewFlags(f);
}

void TF5Book::SetShowRowHeading(bool on)
{
    ViewFlags f = book_.viewFlags();
    f.rowHeading = on;
    book_.setViewFlags(f);
}

void TF5Book::ApplyStandardView()
{
    SetTopRow(1);
    SetLeftCol(1);
    SetShowEditBar(true);
    SetShowColHeading(false);
    SetShowRowHeading(false);
    SetViewScale(95);
}

} // namespace tegaro::sheets
