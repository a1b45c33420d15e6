// Long seeded sequences of what a user can do to the sheet control: keys
// pressed and released (with Shift, Ctrl and Alt, alone and together),
// Japanese through input-method commits, clicks, double clicks, drags and
// wheel turns on cells, headings, sheet tabs and scroll bars, the edit bar
// and the name box, the context menu, zooming and resizes. After every step
// the control must be alive and paint what its book says the cells show,
// and an entry being typed must sit on its cell; every round ends by
// undoing everything, which must give back the loaded workbook's cells.
//
//   test_randominput [--seed N] [--runs N | --minutes M] [--steps N] [--run R] [--trace]
//
// A finding names its seed and run; --seed S --run R --trace replays it.
// Built with the asan preset it runs under AddressSanitizer and UBSan.
#include "sheets/formula/Formulas.h"
#include "sheets/render/FontFamilies.h"
#include "sheets/view/SheetGrid.h"
#include "sheets/view/TF5Book.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QSet>
#include <QTabBar>
#include <QtTest>

#include <cstdio>
#include <random>

using namespace tegaro::sheets;

namespace {

struct Finding {
    QString what;
};

// A workbook with what detail sheets have and the fixtures lack: frozen
// panes, a protected sheet with open cells, an array formula, merged areas,
// hidden lines, dates, and a hidden sheet between two shown ones.
Workbook builtBook()
{
    Workbook w;
    Sheet& s = w.sheets[0];
    s.name = QStringLiteral("明細");
    s.view.options |= 0x0008;
    s.view.pane = QByteArray::fromHex("0200030003000200"
                                      "0000");
    for (int r = 0; r < 40; ++r) {
        Cell& a = s.cellRef(r, 0);
        a.kind = CellKind::Text;
        a.text = QStringLiteral("項目%1").arg(r + 1);
        Cell& b = s.cellRef(r, 1);
        b.kind = CellKind::Number;
        b.number = (r + 1) * 12.5;
    }
    for (int r = 0; r < 40; ++r) {
        Cell& c = s.cellRef(r, 2);
        c.kind = CellKind::Formula;
        c.formula = compileFormula(w, 0, QStringLiteral("=B%1*2+SUM($B$1:B%1)").arg(r + 1));
    }
    Cell& date = s.cellRef(2, 5);
    date.kind = CellKind::Number;
    date.number = 45383;
    CellFormat dated = w.formats[15];
    dated.numberFormat = quint16(w.addNumberFormat(QStringLiteral("ggge\"年\"m\"月\"d\"日\"")));
    date.xf = quint16(w.addFormat(dated));
    s.merged << Range{5, 6, 4, 6} << Range{10, 10, 3, 5};
    Cell& merged = s.cellRef(5, 4);
    merged.kind = CellKind::Text;
    merged.text = QStringLiteral("合算した面積の一覧");
    ColumnInfo hidden;
    hidden.first = hidden.last = 8;
    hidden.options = 1;
    s.columns << hidden;
    RowInfo row;
    row.options |= 0x20;
    s.rows[15] = row;
    // B50:B51 hold {=A50:A51*3}
    for (int r = 49; r < 51; ++r) {
        Cell& a = s.cellRef(r, 0);
        a.kind = CellKind::Number;
        a.number = r;
        Cell& b = s.cellRef(r, 1);
        b.kind = CellKind::Formula;
        b.result = CellKind::Number;
        b.number = 3 * r;
    }
    auto array = std::make_shared<Formula>();
    array->source = QStringLiteral("A50:A51*3");
    array->array = Range{49, 50, 1, 1};
    s.cellRef(49, 1).formula = array;

    w.addSheet(QStringLiteral("隠し")).visibility = 1;
    Sheet& locked = w.addSheet(QStringLiteral("保護"));
    locked.protection = QByteArray::fromHex("120002000100");
    CellFormat open = w.formats[15];
    open.locked = false;
    const int openXf = w.addFormat(open);
    for (int r = 0; r < 6; ++r) {
        Cell& c = locked.cellRef(r, 1);
        c.kind = CellKind::Number;
        c.number = r;
        c.xf = quint16(r % 2 ? openXf : 15);
    }
    compileSources(w);
    return w;
}

QString describe(const Range& r)
{
    return cellName(r.firstRow, r.firstCol) + u':' + cellName(r.lastRow, r.lastCol);
}

bool allHashes(const QString& text)
{
    for (QChar c : text)
        if (c != u'#')
            return false;
    return true;
}

class Session {
public:
    Session(quint64 seed, int run, bool trace) : rng_(seed * 1000003ULL + quint64(run)), run_(run), trace_(trace)
    {
        top_.resize(900, 520);
        book_ = new TF5Book(&top_);
        book_->setGeometry(148, 8, 710, 433);
        QObject::connect(book_, &TF5Book::told, [this](const QString& t) { told_ << t; });
        QObject::connect(book_, &TF5Book::failed, [this](const QString& t) { failed_ << t; });
        top_.show();
        top_.activateWindow();
        exposed_ = QTest::qWaitForWindowExposed(&top_);
        grid_ = book_->grid();
        editBar_ = book_->findChild<QLineEdit*>(QStringLiteral("EditBar"));
        nameBox_ = book_->findChild<QLineEdit*>(QStringLiteral("NameBox"));
        tabs_ = book_->findChild<QTabBar*>(QStringLiteral("SheetTabs"));
        editor_ = grid_->findChild<QLineEdit*>(QStringLiteral("CellEditor"));
        load();
    }

    // Runs `steps` steps; a finding names the step.
    std::optional<Finding> go(int steps)
    {
        // painted checks mean nothing on a window that never showed
        if (!exposed_)
            return Finding{QStringLiteral("the window was never shown")};
        for (step_ = 1; step_ <= steps; ++step_) {
            act();
            QApplication::processEvents();
            if (auto f = checkScreen())
                return f;
            if (step_ % kRound == 0 || step_ == steps)
                if (auto f = undoEverything())
                    return f;
        }
        for (const QString& t : failed_)
            if (t.contains(QStringLiteral("不明")) || t.contains(QStringLiteral("メモリ")))
                return Finding{QStringLiteral("an unexpected error was reported: ") + t};
        return std::nullopt;
    }

    int steps() const { return step_ - 1; }
    const QStringList& failedTexts() const { return failed_; }

private:
    static constexpr int kRound = 40; // steps between undoing everything: fewer than undo keeps

    // Fixtures made by other programs, and the book above, in turn.
    void load()
    {
        const QStringList files{QStringLiteral("detail.xls"), QStringLiteral("meisai.xls"), QStringLiteral("formulas.xls"),
                                QStringLiteral("layout.xls")};
        const int pick = run_ % (files.size() + 1);
        if (pick < files.size()) {
            book_->LoadWorkbook(QStringLiteral(TEGARO_FIXTURES "/sheets/") + files[pick]);
            trace(QStringLiteral("load ") + files[pick]);
        } else {
            book_->book().setWorkbook(builtBook());
            trace(QStringLiteral("load the built book"));
        }
        // results worked out as this program does, so that undoing gives them back
        book_->book().RecalculateAll();
        loaded_ = book_->book().workbook();
        grid_->setFocus();
    }

    int pick(int n) { return int(std::uniform_int_distribution<int>(0, n - 1)(rng_)); }
    bool chance(int percent) { return pick(100) < percent; }
    template <class T>
    const T& oneOf(const QList<T>& list) { return list[pick(int(list.size()))]; }

    void trace(const QString& what)
    {
        history_ << QStringLiteral("%1: %2").arg(step_).arg(what);
        if (history_.size() > 40)
            history_.removeFirst();
        if (trace_)
            std::printf("run %d step %d: %s\n", run_, step_, qPrintable(what));
    }

    QWidget* focused() const
    {
        QWidget* f = QApplication::focusWidget();
        return f && top_.isAncestorOf(f) ? f : grid_;
    }

    Qt::KeyboardModifiers modifiers()
    {
        const int r = pick(100);
        if (r < 60)
            return Qt::NoModifier;
        if (r < 78)
            return Qt::ShiftModifier;
        if (r < 90)
            return Qt::ControlModifier;
        if (r < 94)
            return Qt::AltModifier;
        if (r < 98)
            return Qt::ControlModifier | Qt::ShiftModifier;
        return Qt::AltModifier | Qt::ShiftModifier;
    }

    // A point of the grid's viewport: mostly on cells, sometimes on the headings or the corner.
    QPoint gridPoint()
    {
        QWidget* v = grid_->viewport();
        const int w = std::max(v->width(), 1), h = std::max(v->height(), 1);
        const int r = pick(100);
        if (r < 8)
            return {pick(w), pick(std::min(h, 20))}; // column headings
        if (r < 16)
            return {pick(std::min(w, 40)), pick(h)}; // row headings
        if (r < 18)
            return {pick(10), pick(10)}; // the corner
        return {pick(w), pick(h)};
    }

    void act()
    {
        const int r = pick(1000);
        if (r < 430)
            return typeKey();
        if (r < 470)
            return inputMethod();
        if (r < 480)
            return modifierAlone();
        if (r < 640)
            return clickGrid();
        if (r < 680)
            return doubleClick();
        if (r < 720)
            return drag();
        if (r < 790)
            return wheel();
        if (r < 820)
            return clickScrollBar();
        if (r < 850)
            return clickTab();
        if (r < 900)
            return useBar();
        if (r < 920)
            return contextMenu();
        if (r < 945)
            return resize();
        if (r < 970)
            return viewCall();
        return clipboardText();
    }

    void typeKey()
    {
        struct Key {
            int key;
            const char* text;
        };
        static const QList<Key> keys = [] {
            QList<Key> k;
            for (int i = 0; i < 26; ++i)
                k << Key{Qt::Key_A + i, nullptr};
            for (int i = 0; i < 10; ++i)
                k << Key{Qt::Key_0 + i, nullptr};
            k << Key{Qt::Key_Equal, "="} << Key{Qt::Key_Plus, "+"} << Key{Qt::Key_Minus, "-"} << Key{Qt::Key_Asterisk, "*"}
              << Key{Qt::Key_Slash, "/"} << Key{Qt::Key_ParenLeft, "("} << Key{Qt::Key_ParenRight, ")"}
              << Key{Qt::Key_Ampersand, "&"} << Key{Qt::Key_Colon, ":"} << Key{Qt::Key_Comma, ","}
              << Key{Qt::Key_Period, "."} << Key{Qt::Key_QuoteDbl, "\""} << Key{Qt::Key_Dollar, "$"}
              << Key{Qt::Key_Space, " "};
            for (int key : {Qt::Key_F2, Qt::Key_F9, Qt::Key_Return, Qt::Key_Enter, Qt::Key_Tab, Qt::Key_Backtab,
                            Qt::Key_Escape, Qt::Key_Delete, Qt::Key_Backspace, Qt::Key_Up, Qt::Key_Down, Qt::Key_Left,
                            Qt::Key_Right, Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_Home, Qt::Key_End})
                k << Key{key, ""} << Key{key, ""}; // twice as likely as a character
            return k;
        }();
        const Key& k = oneOf(keys);
        Qt::KeyboardModifiers mods = modifiers();
        int key = k.key;
        QString text;
        if (chance(8)) {
            // the clipboard and undo keys
            static const QList<int> ctrlKeys{Qt::Key_C, Qt::Key_X, Qt::Key_V, Qt::Key_Z, Qt::Key_Y, Qt::Key_A};
            key = oneOf(ctrlKeys);
            mods = Qt::ControlModifier;
        }
        if (!k.text && key >= Qt::Key_A && key <= Qt::Key_Z)
            text = QChar(char16_t((mods & Qt::ShiftModifier ? 'A' : 'a') + (key - Qt::Key_A)));
        else if (!k.text && key >= Qt::Key_0 && key <= Qt::Key_9)
            text = QChar(char16_t('0' + (key - Qt::Key_0)));
        else if (k.text)
            text = QString::fromLatin1(k.text);
        if (mods & Qt::ControlModifier) // as X gives them: control characters
            text = key >= Qt::Key_A && key <= Qt::Key_Z ? QString(QChar(char16_t(key - Qt::Key_A + 1))) : QString();
        if (key == Qt::Key_Return || key == Qt::Key_Enter)
            text = QStringLiteral("\r");
        else if (key == Qt::Key_Tab)
            text = QStringLiteral("\t");
        else if (key == Qt::Key_Escape)
            text = QString(QChar(0x1b));
        QWidget* target = focused();
        trace(QStringLiteral("key %1 text %2 mods %3 to %4")
                  .arg(QKeySequence(key).toString())
                  .arg(text.toHtmlEscaped())
                  .arg(int(mods), 0, 16)
                  .arg(target->objectName()));
        // the modifiers go down first and come up last, as a keyboard sends them
        QTest::sendKeyEvent(QTest::Press, target, Qt::Key(key), text, mods);
        if (QApplication::activePopupWidget())
            return;
        QTest::sendKeyEvent(QTest::Release, focused(), Qt::Key(key), text, mods);
    }

    void modifierAlone()
    {
        static const QList<int> keys{Qt::Key_Shift, Qt::Key_Control, Qt::Key_Alt, Qt::Key_Meta};
        const int key = oneOf(keys);
        trace(QStringLiteral("modifier %1 alone").arg(QKeySequence(key).toString()));
        QTest::keyPress(focused(), Qt::Key(key));
        QTest::keyRelease(focused(), Qt::Key(key));
    }

    void inputMethod()
    {
        static const QList<std::pair<QString, QString>> words{
            {QStringLiteral("やまだ"), QStringLiteral("山田")},
            {QStringLiteral("かおく"), QStringLiteral("家屋")},
            {QStringLiteral("ひょうてん"), QStringLiteral("評点")},
            {QStringLiteral("ぜんかく"), QStringLiteral("＝ＳＵＭ（Ａ１")},
            {QStringLiteral("すうじ"), QStringLiteral("１２３．５")},
        };
        const auto& [reading, word] = oneOf(words);
        QWidget* target = focused();
        trace(QStringLiteral("input method %1 -> %2 to %3").arg(reading, word, target->objectName()));
        if (chance(70)) {
            QInputMethodEvent preedit(reading, {});
            QApplication::sendEvent(target, &preedit);
        }
        QInputMethodEvent commit;
        commit.setCommitString(chance(90) ? word : QString());
        QApplication::sendEvent(focused(), &commit);
    }

    Qt::MouseButton button()
    {
        const int r = pick(10);
        return r < 7 ? Qt::LeftButton : r < 9 ? Qt::RightButton
                                              : Qt::MiddleButton;
    }

    void clickGrid()
    {
        const QPoint at = gridPoint();
        const Qt::MouseButton b = button();
        const Qt::KeyboardModifiers mods = chance(20) ? Qt::ShiftModifier : chance(5) ? Qt::ControlModifier
                                                                                      : Qt::NoModifier;
        trace(QStringLiteral("click %1 at %2,%3 mods %4").arg(int(b)).arg(at.x()).arg(at.y()).arg(int(mods), 0, 16));
        QTest::mouseClick(grid_->viewport(), b, mods, at);
    }

    void doubleClick()
    {
        const QPoint at = gridPoint();
        trace(QStringLiteral("double click at %1,%2").arg(at.x()).arg(at.y()));
        QTest::mouseDClick(grid_->viewport(), Qt::LeftButton, {}, at);
    }

    void drag()
    {
        const QPoint from = gridPoint();
        trace(QStringLiteral("drag from %1,%2").arg(from.x()).arg(from.y()));
        QTest::mousePress(grid_->viewport(), Qt::LeftButton, {}, from);
        for (int i = 0, n = 1 + pick(4); i < n; ++i) {
            const QPoint to = chance(10) ? QPoint(pick(3000) - 1000, pick(3000) - 1000) : gridPoint();
            QMouseEvent move(QEvent::MouseMove, to, grid_->viewport()->mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                             Qt::NoModifier);
            QApplication::sendEvent(grid_->viewport(), &move);
        }
        QTest::mouseRelease(grid_->viewport(), Qt::LeftButton, {}, gridPoint());
    }

    void wheel()
    {
        const QPoint at = gridPoint();
        const int notches = oneOf(QList<int>{-3, -1, 1, 2});
        const bool ctrl = chance(40);
        const bool across = chance(15);
        trace(QStringLiteral("wheel %1 ctrl %2 across %3").arg(notches).arg(ctrl).arg(across));
        const QPoint delta = across ? QPoint(notches * 120, 0) : QPoint(0, notches * 120);
        QWheelEvent event(at, grid_->viewport()->mapToGlobal(at), {}, delta, Qt::NoButton,
                          ctrl ? Qt::ControlModifier : Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(grid_->viewport(), &event);
    }

    void clickScrollBar()
    {
        QScrollBar* bar = chance(50) ? grid_->verticalScrollBar() : grid_->horizontalScrollBar();
        if (!bar->isVisible() || bar->width() <= 0 || bar->height() <= 0)
            return;
        const QPoint at(pick(bar->width()), pick(bar->height()));
        trace(QStringLiteral("scroll bar %1 at %2,%3").arg(bar->orientation()).arg(at.x()).arg(at.y()));
        if (chance(30)) {
            QTest::mousePress(bar, Qt::LeftButton, {}, at);
            QTest::mouseMove(bar, QPoint(pick(bar->width()), pick(bar->height())));
            QTest::mouseRelease(bar, Qt::LeftButton, {}, at);
        } else {
            QTest::mouseClick(bar, Qt::LeftButton, {}, at);
        }
    }

    void clickTab()
    {
        if (tabs_->count() == 0 || !tabs_->isVisible())
            return;
        const int tab = pick(tabs_->count());
        trace(QStringLiteral("sheet tab %1").arg(tab));
        const QRect r = tabs_->tabRect(tab);
        if (r.isEmpty())
            return;
        QTest::mouseClick(tabs_, Qt::LeftButton, {}, r.center());
    }

    void useBar()
    {
        QLineEdit* bar = chance(60) ? editBar_ : nameBox_;
        if (!bar->isVisible())
            return;
        trace(QStringLiteral("click into %1").arg(bar->objectName()));
        QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(pick(std::max(bar->width(), 1)), bar->height() / 2));
        if (bar == nameBox_ && chance(70)) {
            static const QList<QString> places{QStringLiteral("B3"), QStringLiteral("a1:c4"), QStringLiteral("IV65536"),
                                               QStringLiteral("ZZZ9"), QStringLiteral("D4"), QStringLiteral("")};
            bar->selectAll();
            const QString place = oneOf(places);
            trace(QStringLiteral("name box %1").arg(place));
            QTest::keyClicks(bar, place);
            QTest::keyClick(bar, Qt::Key_Return);
        }
    }

    void contextMenu()
    {
        const QPoint at = gridPoint();
        trace(QStringLiteral("context menu at %1,%2").arg(at.x()).arg(at.y()));
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, grid_->viewport()->mapToGlobal(at));
        QApplication::sendEvent(grid_->viewport(), &event);
        QApplication::processEvents();
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu)
            return;
        QList<QAction*> actions;
        for (QAction* a : menu->actions())
            if (!a->isSeparator() && a->isEnabled())
                actions << a;
        if (!actions.isEmpty() && chance(80)) {
            QAction* a = oneOf(actions);
            trace(QStringLiteral("menu item %1").arg(a->text()));
            menu->close();
            a->trigger();
        }
    }

    void resize()
    {
        const QSize size(120 + pick(1500), 80 + pick(900));
        trace(QStringLiteral("resize to %1x%2").arg(size.width()).arg(size.height()));
        top_.resize(std::max(size.width() + 160, 300), std::max(size.height() + 20, 200));
        book_->resize(size);
    }

    void viewCall()
    {
        switch (pick(6)) {
        case 0: {
            const int zoom = oneOf(QList<int>{10, 50, 75, 95, 100, 150, 200, 400});
            trace(QStringLiteral("ViewScale %1").arg(zoom));
            book_->SetViewScale(zoom);
            break;
        }
        case 1:
            trace(QStringLiteral("TopRow"));
            book_->SetTopRow(1 + pick(200));
            break;
        case 2:
            trace(QStringLiteral("LeftCol"));
            book_->SetLeftCol(1 + pick(40));
            break;
        case 3:
            trace(QStringLiteral("standard view"));
            book_->ApplyStandardView();
            break;
        case 4:
            trace(QStringLiteral("headings"));
            book_->SetShowColHeading(chance(50));
            book_->SetShowRowHeading(chance(50));
            break;
        default:
            trace(QStringLiteral("edit bar"));
            book_->SetShowEditBar(chance(70));
            break;
        }
    }

    void clipboardText()
    {
        static const QList<QString> texts{QStringLiteral("1,234\t令和6年4月1日\r\nx\t\"a\"\"b\"\r\n"), QStringLiteral("=A1*2"),
                                          QStringLiteral("山田\t太郎\n85.5"), QStringLiteral(""),
                                          QStringLiteral("=SUM(A1:A3)\t=B1&\"円\"")};
        const QString text = oneOf(texts);
        trace(QStringLiteral("clipboard text %1").arg(text.toHtmlEscaped()));
        QApplication::clipboard()->setText(text);
    }

    // What the grid paints against what the book says, and where the editor is.
    std::optional<Finding> checkScreen()
    {
        if (QWidget* popup = QApplication::activePopupWidget())
            popup->close();
        const TSheetBook& book = book_->book();
        const int sheet = book.activeSheet();
        const SheetSelection& sel = book.selection();
        if (!sel.range.contains(book.activeRow(), book.activeCol()))
            return Finding{QStringLiteral("the active cell %1 lies outside the selection %2")
                               .arg(cellName(book.activeRow(), book.activeCol()), describe(sel.range))};
        if (grid_->isEditing() && editor_) {
            const QRect cell = grid_->cellRect(book.activeRow(), book.activeCol());
            const QRect at = editor_->geometry();
            if (!cell.isEmpty() && (at.topLeft() != cell.topLeft() || at.height() != cell.height()))
                return Finding{QStringLiteral("the editor at %1,%2 %3x%4 is not over its cell %5 at %6,%7 %8x%9")
                                   .arg(at.x())
                                   .arg(at.y())
                                   .arg(at.width())
                                   .arg(at.height())
                                   .arg(cellName(book.activeRow(), book.activeCol()))
                                   .arg(cell.x())
                                   .arg(cell.y())
                                   .arg(cell.width())
                                   .arg(cell.height())};
        }
        if (!grid_->viewport()->isVisible() || grid_->viewport()->width() <= 0 || grid_->viewport()->height() <= 0)
            return std::nullopt;
        QSet<quint32> painted;
        std::optional<Finding> wrong;
        grid_->textPainted = [&](const TextItem& t) {
            painted.insert(Sheet::key(t.row, t.col));
            if (wrong)
                return;
            const QString expected = book.cellText(sheet, t.row, t.col);
            if (t.text == expected || allHashes(t.text))
                return;
            // General numbers show fewer digits where the column is narrow
            bool number = false;
            t.text.toDouble(&number);
            if (number && t.cell && shownKind(*t.cell) == CellKind::Number)
                return;
            wrong = Finding{QStringLiteral("%1 paints %2 where the book says %3")
                                .arg(cellName(t.row, t.col), t.text, expected)};
        };
        grid_->viewport()->repaint();
        grid_->textPainted = nullptr;
        if (wrong)
            return wrong;
        // and every cell in sight that shows a text is painted
        const Sheet& s = book.workbook().sheets[sheet];
        if (s.view.frozen())
            return std::nullopt; // which frozen cells fit is the grid's own affair
        const Range shown = grid_->shownCells();
        const CellMoves moves = book.moves();
        for (auto it = s.cells().lower_bound(Sheet::key(shown.firstRow, 0));
             it != s.cells().end() && Sheet::rowOf(it->first) <= shown.lastRow; ++it) {
            const int r = Sheet::rowOf(it->first), c = Sheet::colOf(it->first);
            if (c < shown.firstCol || c > shown.lastCol || !moves.rowShown(r) || !moves.columnShown(c))
                continue;
            if (const Range* m = s.mergedAt(r, c); m && (m->firstRow != r || m->firstCol != c))
                continue;
            if (!painted.contains(it->first) && !book.cellText(sheet, r, c).isEmpty())
                return Finding{QStringLiteral("%1 shows %2 but is not painted").arg(cellName(r, c), book.cellText(sheet, r, c))};
        }
        return std::nullopt;
    }

    std::optional<Finding> undoEverything()
    {
        if (QWidget* popup = QApplication::activePopupWidget())
            popup->close();
        grid_->cancelEdit();
        trace(QStringLiteral("undo everything"));
        TSheetBook& book = book_->book();
        for (int guard = 0; book.canUndo() && guard < 1000; ++guard)
            grid_->run([&] { book.undo(); });
        const Workbook& now = book.workbook();
        for (int i = 0; i < loaded_.sheets.size(); ++i) {
            const auto& before = loaded_.sheets[i].cells();
            const auto& after = now.sheets[i].cells();
            if (before == after)
                continue;
            for (const auto& [key, cell] : after) {
                const auto old = before.find(key);
                if (old == before.end() || !(old->second == cell))
                    return Finding{QStringLiteral("after undoing everything sheet %1 %2 is %3, was %4")
                                       .arg(i + 1)
                                       .arg(cellName(Sheet::rowOf(key), Sheet::colOf(key)))
                                       .arg(now.cellText(i, Sheet::rowOf(key), Sheet::colOf(key)))
                                       .arg(old == before.end() ? QStringLiteral("not there")
                                                                : loaded_.cellText(i, Sheet::rowOf(key), Sheet::colOf(key)))};
            }
            return Finding{QStringLiteral("after undoing everything sheet %1 misses cells it had").arg(i + 1)};
        }
        grid_->setFocus();
        return std::nullopt;
    }

public:
    const QStringList& history() const { return history_; }

private:
    std::mt19937_64 rng_;
    int run_;
    bool trace_;
    bool exposed_ = false;
    int step_ = 0;
    QWidget top_;
    TF5Book* book_ = nullptr;
    SheetGrid* grid_ = nullptr;
    QLineEdit* editBar_ = nullptr;
    QLineEdit* nameBox_ = nullptr;
    QLineEdit* editor_ = nullptr;
    QTabBar* tabs_ = nullptr;
    Workbook loaded_;
    QStringList told_, failed_, history_;
};

} // namespace

QtMessageHandler standardHandler = nullptr;

// The offscreen platform says so whenever a menu pops up.
void quietPlatform(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (text.startsWith(QLatin1String("This plugin does not support")))
        return;
    if (standardHandler)
        standardHandler(type, context, text);
}

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    standardHandler = qInstallMessageHandler(quietPlatform);
    installDigitMeasure();
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOptions({{QStringLiteral("seed"), QStringLiteral("the seed"), QStringLiteral("n"), QStringLiteral("20240601")},
                       {QStringLiteral("runs"), QStringLiteral("runs, each a fresh control"), QStringLiteral("n"),
                        QStringLiteral("20")},
                       {QStringLiteral("steps"), QStringLiteral("steps a run"), QStringLiteral("n"), QStringLiteral("200")},
                       {QStringLiteral("minutes"), QStringLiteral("run for so long instead of --runs"), QStringLiteral("m")},
                       {QStringLiteral("run"), QStringLiteral("only this run"), QStringLiteral("r")},
                       {QStringLiteral("trace"), QStringLiteral("print every step")},
                       {QStringLiteral("nocrashhandler"), QStringLiteral("(as CTest starts every test)")}});
    parser.process(app);
    const quint64 seed = parser.value(QStringLiteral("seed")).toULongLong();
    const int steps = parser.value(QStringLiteral("steps")).toInt();
    const bool timed = parser.isSet(QStringLiteral("minutes"));
    const qint64 limitMs = qint64(parser.value(QStringLiteral("minutes")).toDouble() * 60000);
    const int runs = parser.isSet(QStringLiteral("run")) ? 1 : parser.value(QStringLiteral("runs")).toInt();
    const int first = parser.isSet(QStringLiteral("run")) ? parser.value(QStringLiteral("run")).toInt() : 0;
    QElapsedTimer clock;
    clock.start();
    qint64 totalSteps = 0;
    int done = 0;
    QStringList errors;
    for (int run = first; timed ? clock.elapsed() < limitMs : run < first + runs; ++run) {
        Session session(seed, run, parser.isSet(QStringLiteral("trace")));
        const auto finding = session.go(steps);
        totalSteps += session.steps();
        ++done;
        for (const QString& e : session.failedTexts())
            if (!errors.contains(e))
                errors << e;
        if (finding) {
            std::printf("FINDING seed %llu run %d step %d: %s\nlast steps:\n", (unsigned long long)seed, run,
                        session.steps() + 1, qPrintable(finding->what));
            for (const QString& h : session.history())
                std::printf("  %s\n", qPrintable(h));
            std::printf("replay: test_randominput --seed %llu --run %d --steps %d --trace\n", (unsigned long long)seed,
                        run, steps);
            return 1;
        }
        if (timed && done % 50 == 0) {
            std::printf("%d runs, %lld steps, %lld s\n", done, (long long)totalSteps, (long long)clock.elapsed() / 1000);
            std::fflush(stdout);
        }
    }
    std::printf("seed %llu: %d runs, %lld steps in %.1f s, no finding\n", (unsigned long long)seed, done,
                (long long)totalSteps, clock.elapsed() / 1000.0);
    std::printf("errors the control reported (expected refusals): %s\n", qPrintable(errors.join(QStringLiteral(" | "))));
    return 0;
}
