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

} // namespace tegaro::sheets

// Raised when a memory block handed to a stream cannot be locked.
class EHandleMemoryStream : public tegaro::Exception {
public:
    using Exception::Exception;
};
