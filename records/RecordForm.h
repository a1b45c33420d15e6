#pragma once
// The record form on page 0: four groups of controls bound to the house
// record query, and the transfer button.
#include <QHash>
#include <QObject>
#include <QString>

class QWidget;
class QPushButton;

namespace tegaro {

class DataSource;
class TextLink;

class RecordForm : public QObject {
    Q_OBJECT
public:
    // Builds the groups on page; DataSource1 feeds every control, DataSource2
    // the district list.
    RecordForm(QWidget* page, DataSource* DataSource1, DataSource* DataSource2);

    QWidget* control(const QString& objectName) const { return controls_.value(objectName); }
    // The link of a text control (edit box, memo, list box), for the transfer.
    TextLink* link(const QString& objectName) const { return links_.value(objectName); }
    QPushButton* transferButton() const { return FlatButton1; }

    static const QStringList& structureList();
    static const QStringList& shareList();

private:
    QHash<QString, QWidget*> controls_;
    QHash<QString, TextLink*> links_;
    QPushButton* FlatButton1 = nullptr;
};

} // namespace tegaro
