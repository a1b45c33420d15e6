#pragma once
// Errors of the spreadsheet engine. Each carries a message for the error box.
#include "core/Errors.h"

namespace tegaro::sheets {

// Any workbook that cannot be read or written.
class ESheetError : public tegaro::Exception {
public:
    using Exception::Exception;
};
// Bytes that are no workbook at all (no compound file, no workbook stream).
class ENotAWorkbook : public ESheetError {
public:
    using ESheetError::ESheetError;
};
// A password-protected workbook; we never try to decrypt.
class EEncryptedWorkbook : public ESheetError {
public:
    using ESheetError::ESheetError;
};
// A workbook whose records are cut short or inconsistent.
class ECorruptWorkbook : public ESheetError {
public:
    using ESheetError::ESheetError;
};

// A formula that cannot be read: typed text with a fault at `position()`
// (counted in characters from 0), or stored tokens that make no sense.
class EFormulaError : public ESheetError {
public:
    EFormulaError(const QString& message, int position = -1) : ESheetError(message), position_(position) {}
    int position() const { return position_; }

private:
    int position_;
};

// Called inside a catch block: rethrows what a reader threw as the file's
// error, so that anything a reader throws (a library's own exception, lack
// of memory) reaches the user as the file's message. Our own errors pass as
// they are.
[[noreturn]] void rethrowAsWorkbookError();

} // namespace tegaro::sheets
