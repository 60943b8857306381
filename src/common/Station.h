#pragma once

#include <QString>

// The record of the logged-in station: written once by the login, then only read.
struct Station {
    QString sCNPJ;
    qint32 iIDPosto = 0;
};
