#pragma once

#include <QStringView>

// How moments and amounts are shown, on screen and in the workbook: Brazilian, never the system's.
namespace DisplayPatterns {

inline constexpr QStringView dateTime = u"dd/MM/yyyy HH:mm:ss";
inline constexpr QStringView date = u"dd/MM/yyyy";
inline constexpr QStringView time = u"HH:mm:ss";

// The workbook's number formats, in the spreadsheet's own pattern language.
inline constexpr char sheetDateTime[] = "dd/mm/yyyy hh:mm:ss";
inline constexpr char sheetDecimal[] = "#,##0.00";

} // namespace DisplayPatterns
