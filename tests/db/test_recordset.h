#pragma once
#include "DbFixture.h"

#include <QObject>
#include <QTemporaryDir>
#include <memory>

namespace tegaro {
class Connection;
class RecordSet;
} // namespace tegaro

// The record set rules, run once per backend.
class RecordSetTest : public dbtest::BackendCase {
    Q_OBJECT
public:
    explicit RecordSetTest(dbtest::Backend backend) : BackendCase(backend) {}

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void openAndAfterScroll_data();
    void openAndAfterScroll();
    void movePostsChangedAndCancelsUnchanged_data();
    void movePostsChangedAndCancelsUnchanged();
    void editOnEmptyStartsInsertAndPostAssignsKey();
    void fieldRules();
    void blobsComeBackIdentical_data();
    void blobsComeBackIdentical();
    void textComesBackIdentical_data();
    void textComesBackIdentical();
    void failedStatementLeavesConnectionWorking();
    void lostConnectionIsReportedAndReopened();
    void blobStreams();
    void conflictBetweenConnections_data();
    void conflictBetweenConnections();
    void dateParametersAndLiterals();
    void deleteAndRefresh();
    void otherSelectsAreReadOnly();
    void keyColumns_data();
    void keyColumns();
    void dataSourceLinks();
    void tableModel();

private:
};
