#pragma once
// Page 基本項目 and the house-record controls of the strip below the pages:
// the side menu, the record form, the navigator, the attachment indicators
// and the search tabs. The page owns them and their handlers; the window
// places the strip controls and handles the side menu's items.
#include "records/Indicators.h"
#include "records/SheetTransfer.h"

#include <QObject>

#include <memory>

class QComboBox;
class QLineEdit;
class QTabWidget;

namespace tegaro {

class ColumnListLink;
class DataAccess;
class DateTimePicker;
class NavigatorLink;
class NavigatorPanel;
class RecordForm;
class RecordSearch;
class SideMenu;

class RecordPage : public QObject {
    Q_OBJECT
public:
    // Builds the side menu and the form on page; the indicators follow the
    // house records from now on.
    RecordPage(QWidget* page, DataAccess& data, const AttachmentIndicators& marks);
    ~RecordPage() override;

    // The navigator and the search tabs, made after the pages so that Tab
    // reaches them after the page, in the strip's order.
    void buildStrip(QWidget* strip);
    // The transfer button and the registry boxes' double clicks read the
    // shown detail sheet through cellText.
    void connectTransfer(CellTextSource cellText);

    SideMenu* sideMenu() const { return InspectorBar1; }
    RecordForm* form() const { return form_; }
    NavigatorPanel* navigator() const { return DBInspectorBar1; }
    QTabWidget* searchTabs() const { return PageControl2; }
    RecordSearch* search() const { return search_.get(); }
    SheetTransfer* transfer() const { return transfer_.get(); }

private:
    void buildSearchTabs(QWidget* strip);
    void wireSearch();

    DataAccess& data_;
    SideMenu* InspectorBar1 = nullptr;
    RecordForm* form_ = nullptr;
    std::unique_ptr<IndicatorLink> indicators_;
    std::unique_ptr<SheetTransfer> transfer_;

    NavigatorPanel* DBInspectorBar1 = nullptr;
    std::unique_ptr<NavigatorLink> navigatorLink_;

    std::unique_ptr<RecordSearch> search_;
    QTabWidget* PageControl2 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QLineEdit* Edit2 = nullptr;
    QComboBox* DBLookupComboPlus1 = nullptr;
    std::unique_ptr<ColumnListLink> districtList_;
    DateTimePicker* DateTimePicker1 = nullptr;
    DateTimePicker* DateTimePicker2 = nullptr;
};

} // namespace tegaro
