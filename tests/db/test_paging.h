#pragma once
#include "DbFixture.h"

#include <QObject>
#include <QTemporaryDir>
#include <memory>

// A long house record query read in pages: every position shows its own
// row, whatever the order of moves, with a bounded number of rows at hand;
// searches, orders, rows others delete or change, inserts and refreshes.
// Run once per backend.
class PagingTest : public dbtest::BackendCase {
    Q_OBJECT
public:
    explicit PagingTest(dbtest::Backend backend) : BackendCase(backend) {}

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void everyPositionShowsItsRow();
    void searchesAndOrders_data();
    void searchesAndOrders();
    void rowsOthersDeleteOrChange();
    void insertAndCancelInTheMiddle();
    void tableModelReadsRowN();
    void firstRecordBeforeTheKeys();
    void keysComeFromTheEventLoop();
    void movesBeforeTheKeys_data();
    void movesBeforeTheKeys();

private:
};

// Pieces of the paging without a database: the order of a query text and
// the sorting of keys.
class PagingPiecesTest : public QObject {
    Q_OBJECT
private slots:
    void orderByIsFound_data();
    void orderByIsFound();
    void keysSort_data();
    void keysSort();
    void firstRowsKeepTheirPlaces_data();
    void firstRowsKeepTheirPlaces();
};
