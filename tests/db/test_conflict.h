#pragma once
#include "DbFixture.h"

#include <QObject>
#include <QTemporaryDir>
#include <memory>

// What the user meets around optimistic locking and outages: a refused
// post names what the other user changed and the record can be read again
// alone; a post whose answer was lost is settled, not guessed; waits for a
// locked row end; a server that cannot be reached is told in Japanese with
// the driver's words as detail. Run once per backend.
class ConflictTest : public dbtest::BackendCase {
    Q_OBJECT
public:
    explicit ConflictTest(dbtest::Backend backend) : BackendCase(backend) {}

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void refusedPostNamesTheirChanges_data();
    void refusedPostNamesTheirChanges();
    void lostAnswerIsSettled_data();
    void lostAnswerIsSettled();
    void lockedRowWaitEnds();
    void waitIsSetWithTheFirstStatement_data();
    void waitIsSetWithTheFirstStatement();
    void longStatementEnds();
    void unreachableServerInJapanese();

private:
};
