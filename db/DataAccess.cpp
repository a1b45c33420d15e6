#include "db/DataAccess.h"

namespace tegaro {

DataAccess::DataAccess(QObject* parent) : QObject(parent)
{
    ADOConnection1 = new Connection(this);
    ADOConnection1->setObjectName(QStringLiteral("ADOConnection1"));
    ADOConnection1->setLoginPrompt(false);

    ADOQuery1 = new RecordSet(ADOConnection1, this);
    ADOQuery1->setObjectName(QStringLiteral("ADOQuery1"));
    ADOQuery1->addSql(QStringLiteral("select * from 基本データ"));

    ADOTable2 = new RecordSet(ADOConnection1, this);
    ADOTable2->setObjectName(QStringLiteral("ADOTable2"));
    ADOTable2->setTableName(QStringLiteral("行政区"));

    DataSource1 = new DataSource(this);
    DataSource1->setObjectName(QStringLiteral("DataSource1"));
    DataSource1->setDataSet(ADOQuery1);

    DataSource2 = new DataSource(this);
    DataSource2->setObjectName(QStringLiteral("DataSource2"));
    DataSource2->setDataSet(ADOTable2);
}

DataAccess::~DataAccess()
{
    // Controls first lose their sources, then the record sets close, and
    // the connection goes last.
    delete DataSource1;
    delete DataSource2;
    delete ADOQuery1;
    delete ADOTable2;
    delete ADOConnection1;
}

} // namespace tegaro
