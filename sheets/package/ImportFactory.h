#pragma once
// What the package reader fills: the workbook as a whole, with its sheets,
// strings, styles and names. When the reader is done, finalize() turns what
// it handed over into the workbook's own formats and notes what an .xls
// workbook cannot hold.
#include "sheets/package/ImportSheet.h"
#include "sheets/package/ImportStyles.h"

#include <QHash>

#include <memory>
#include <vector>

namespace tegaro::sheets {

class ImportFactory : public ss::iface::import_factory {
public:
    explicit ImportFactory(ImportContext& ctx);
    ~ImportFactory() override;

    ss::iface::import_global_settings* get_global_settings() override;
    ss::iface::import_named_expression* get_named_expression() override;
    ss::iface::import_styles* get_styles() override;
    ss::iface::import_sheet* append_sheet(ss::sheet_t index, std::string_view name) override;
    ss::iface::import_sheet* get_sheet(std::string_view name) override;
    ss::iface::import_sheet* get_sheet(ss::sheet_t index) override;
    void finalize() override;

    bool finalized() const { return finalized_; }

private:
    class Parts;
    void applyNames();

    ImportContext& ctx_;
    ImportStyles styles_;
    std::unique_ptr<Parts> parts_;
    std::vector<std::unique_ptr<ImportSheet>> sheets_;
    QHash<QString, int> sheetByName_; // names as the file writes them
    std::vector<PendingName> names_;
    bool finalized_ = false;
};

} // namespace tegaro::sheets
