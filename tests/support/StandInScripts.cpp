#include "StandInScripts.h"

#include <QJsonArray>
#include <QJsonDocument>

QJsonObject vehicleLookupRule(double minimum, double maximum) {
    QJsonObject rule = QJsonDocument::fromJson(R"js(
        {"match": "FROM VeiculosNovo", "columns": [{"name": "id", "type": "int"},
            {"name": "id_empresa", "type": "int"}, {"name": "Codigo", "type": "varchar(20)"},
            {"name": "CodUT", "type": "int"}, {"name": "Marca", "type": "varchar(40)"},
            {"name": "Modelo", "type": "varchar(40)"}, {"name": "razao", "type": "varchar(60)"},
            {"name": "cnpj", "type": "varchar(14)"}, {"name": "IDEmp", "type": "int"},
            {"name": "CapTanque", "type": "float"}, {"name": "RendMinimo", "type": "float"},
            {"name": "RendMaximo", "type": "float"}]})js")
                           .object();
    const QJsonArray row{7, 3,   "V-07",  21,     "Volvo", "FH 540", "Transportes Alfa", "11222333000144",
                         3, 400, minimum, maximum};
    rule.insert(QStringLiteral("rows"), QJsonArray{row});
    return rule;
}
