#pragma once

#include <QIcon>

// The fueling window's pictures, drawn in code so the program carries no image files.
namespace FuelingImages {

QIcon searchIcon();  // magnifying glass, for the plate's search button
QIcon confirmIcon(); // green tick, for "Confirma"

} // namespace FuelingImages
