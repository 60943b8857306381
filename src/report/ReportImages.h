#pragma once

#include <QIcon>
#include <QPixmap>

// The report windows' pictures, drawn in code so the program carries no image files.
namespace ReportImages {

// 16 x 16, transparent around the badge.
QPixmap validatedMark(); // green round badge with a white tick: the receipt is validated
QPixmap invoicedMark();  // green square badge with a white dollar sign: the fueling is invoiced

// The grids' row indicator: a small black triangle pointing at the current row.
QPixmap rowIndicator();

QIcon searchIcon();      // magnifying glass
QIcon runIcon();         // lightning bolt
QIcon spreadsheetIcon(); // green spreadsheet page
QIcon exitIcon();        // open door

} // namespace ReportImages
