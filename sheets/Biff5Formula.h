#pragma once
// Formula tokens of Excel 95 files rewritten in the Excel 97 dialect, so
// that their formulas survive being written again.
#include "sheets/BiffRecords.h"

#include <QByteArray>

#include <optional>

namespace tegaro::sheets {

// The same formula in Excel 97 tokens, or nothing when it uses something
// that does not carry over on its own (names, other sheets, shared or
// array formulas); such a formula keeps only its value when written.
std::optional<QByteArray> translateBiff5Tokens(const QByteArray& tokens, const ByteDecoder& decode);

} // namespace tegaro::sheets
