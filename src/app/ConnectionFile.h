#pragma once

#include <QString>

struct ConnectionSettings;

// Conexao.ini beside the executable: where the program connects, written by the station's administrator and
// never by the program. Section [Conexao]: Banco (SQLSERVER or SQLITE), Servidor, Porta, Catalogo, Usuario,
// Senha, Driver (the ODBC driver's name) and Arquivo (the embedded database's file). A missing file or key
// takes the value the program was built with.
class ConnectionFile final {
public:
    static QString fileName() { return QStringLiteral("Conexao.ini"); }

    // Never throws: a file that cannot be used gives settings whose every open fails with a message naming
    // the file and the key, so start-up goes on as when the server cannot be reached.
    static ConnectionSettings read(const QString& executableFolder);
};
