#pragma once
// Page 一覧: the house record query as a table, its totals, 一覧出力 and
// 一覧印刷. The table follows the navigator both ways: a move of the record
// selects its row, choosing a row moves the record. A double click or Enter
// opens 基本項目 at that record. Edits stay on the form.
#include "widgets/UserSeam.h"

#include <QObject>

class QLabel;
class QPushButton;
class QTableView;

namespace tegaro {

class DataAccess;
class HouseListModel;

class ListPage : public QObject {
    Q_OBJECT
public:
    ListPage(QWidget* page, DataAccess& data);
    ~ListPage() override;

    QTableView* grid() const { return DBGrid1; }
    HouseListModel* model() const { return model_; }
    QLabel* totalsLine() const { return ListTotal; }

    // A double click or Enter on a row.
    void DBGrid1Activated(int listRow);
    // 一覧出力 (the page's button and the toolbar's).
    void ListOutputClick();
    // 一覧印刷.
    void ListPrintClick();

    // The save dialog of 一覧出力: it keeps the last name and filter.
    FileDialogState ListSaveDialog;

signals:
    // Show 基本項目.
    void openRecord();

private:
    void showCurrent(int listRow);
    void rowChosen(int listRow);
    void showTotals();
    QList<int> shownColumns() const;

    DataAccess& data_;
    QWidget* page_;
    HouseListModel* model_ = nullptr;
    QTableView* DBGrid1 = nullptr;
    QLabel* ListTotal = nullptr;
    QPushButton* ListOutput = nullptr;
    QPushButton* ListPrint = nullptr;
    bool following_ = false; // the selection is being set from the record
    bool totalsStale_ = true;
};

} // namespace tegaro
