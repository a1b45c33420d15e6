#pragma once
// The data-access objects the main window owns for its whole life: the one
// connection, the house record query, the district table and their data
// sources, set up as the window expects them.
#include "db/Connection.h"
#include "db/DataSource.h"
#include "db/RecordSet.h"

#include <QObject>

namespace tegaro {

class DataAccess : public QObject {
    Q_OBJECT
public:
    explicit DataAccess(QObject* parent = nullptr);
    ~DataAccess() override;

    Connection* ADOConnection1;
    RecordSet* ADOQuery1; // "select * from 基本データ" at start
    RecordSet* ADOTable2; // table 行政区
    DataSource* DataSource1;
    DataSource* DataSource2;
};

} // namespace tegaro
