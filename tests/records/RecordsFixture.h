#pragma once
// A main window connected to a real SQLite file made for the test.
#include "app/TForm1.h"
#include "support/ScriptedSeam.h"
#include "db/Connection.h"
#include "db/RecordSet.h"

#include <QTemporaryDir>
#include <QVariant>

namespace records_test {

// Types text key by key, Japanese included (QTest only knows ASCII keys).
void typeText(QWidget* widget, const QString& text);

// Writes bytes to a file under dir, making its folders; returns the path.
QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes);

struct House {
    QString owner;
    QVariant date = {};     // 日付
    QVariant district = {}; // 所在区
    QVariant memo = {};     // 備考
    QVariant zumen = {};    // QByteArray or null
    QVariant excel = {};
};

class ConnectedWindow {
public:
    explicit ConnectedWindow(const QList<House>& houses, const QStringList& districts = {"北区", "南区", "中央区"});
    ~ConnectedWindow();

    tegaro::ScriptedSeam seam;
    QTemporaryDir dir;
    QString path;
    bool active = false; // the window has the focus: focus moves reach its controls
    tegaro::TForm1* form = nullptr;

    template <class T>
    T* find(const char* name) const { return form->findChild<T*>(QString::fromLatin1(name)); }
    tegaro::RecordSet& query() const;
    // A second connection to the same file, for checking what was stored.
    QVariant stored(const QString& column, const QString& owner) const;
    int storedCount() const;
    // Runs the connect command with the test file as server name.
    void connect();

private:
    tegaro::Connection* check_ = nullptr;
};

} // namespace records_test
