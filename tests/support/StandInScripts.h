#pragma once

#include <QJsonObject>

// The fueling window's plate lookup as SQL Server answers it, a rule of the TDS stand-in's script: vehicle
// V-07 (id 7) of Transportes Alfa (company 3), a Volvo FH 540 with a 400 l tank, consuming `minimum` to
// `maximum` km/l.
QJsonObject vehicleLookupRule(double minimum = 2.2, double maximum = 3.1);
