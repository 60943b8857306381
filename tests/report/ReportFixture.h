#pragma once

// What the report tests share: the station and its clients, fuelings stored the way the fueling window
// stores them, the clock and shell doubles, and reading a grid or an exported workbook back.

#include "Doubles.h"
#include "ScriptedMessages.h"
#include "TestDatabase.h"
#include "common/Clock.h"
#include "common/Shell.h"
#include "common/Station.h"

#include <QAbstractItemModel>
#include <QDir>
#include <QHash>
#include <QList>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QTableView>
#include <QUrl>
#include <QXmlStreamReader>

namespace fixture {

// The logged-in station: id 7, serving the clients 10, 11, 12 and 13. Station 8 serves client 20.
inline const Station station{QStringLiteral("11222333000181"), 7};
inline const QDate today(2024, 3, 15);

inline void addClients(TestDatabase& db) {
    db.exec(QStringLiteral(R"(
INSERT INTO Empresas (id, razao, cnpj) VALUES
    (10, 'Transportes Alfa Ltda', '12345678000190'),
    (11, 'Beta Logistica S/A', '23456789000101'),
    (12, 'Gama_Fretes ME', '34567890000112'),
    (13, 'Auto Pecas D''Oeste', '45678901000123'),
    (20, 'Delta Cargas', '56789012000134');
INSERT INTO ZeltoPostos (id, id_empresa, Cnpj, Senha, nome) VALUES
    (7, 10, '11222333000181', 'senha', 'Posto Korva Centro'),
    (7, 11, '11222333000181', 'senha', 'Posto Korva Centro'),
    (7, 12, '11222333000181', 'senha', 'Posto Korva Centro'),
    (7, 13, '11222333000181', 'senha', 'Posto Korva Centro'),
    (8, 20, '99888777000166', 'outra', 'Posto Vizinho');
INSERT INTO VeiculosNovo (id, Placa, id_empresa, Codigo, CodUT, IDMarca, IDModelo) VALUES
    (100, 'ABC1234', 10, 'V-01', 3, 1, 1),
    (101, 'DEF5678', 10, 'V-02', 4, 1, 1),
    (110, 'GHI9012', 11, 'B-07', 5, 1, 1);
INSERT INTO Motoristas (id_empresa, Codigo, nome, senha, Situacao) VALUES
    (10, 55, 'Joao da Silva', '1234', 'A'),
    (11, 55, 'Motorista da Beta', '9999', 'A');
)"));
}

// A fueling as the fueling window stores it: Empresa 4, an empty ChaveAcesso, the fuel's name, the moment as
// the canonical text, and ID_EMPRESA left for the database to fill from the vehicle.
inline void addFueling(TestDatabase& db, int vehicle, const QString& moment, double qtde, double total,
                       const QString& fuel, int driver = 55) {
    db.exec(QStringLiteral(
                "INSERT INTO ZeltoMov (IDVeiculo, DtEmissao, NrCartao, IDPosto, IDMotorista, KmAnterior, "
                "KmAtual, KmTotal, Qtde, VrUnitario, VrTotal, cd_ut, TpCombustivel, Rendimento, NrCupom, "
                "ChaveAcesso, SeqZelto, Empresa, IntegradoAdd) VALUES (%1, '%2', '', 7, %3, 1000, 1400, "
                "400, %4, %5, %6, 3, '%7', 9.5, NULL, '', NULL, 4, NULL)")
                .arg(vehicle)
                .arg(moment)
                .arg(driver)
                .arg(qtde, 0, 'f', 3)
                .arg(qtde != 0 ? total / qtde : 0, 0, 'f', 3)
                .arg(total, 0, 'f', 2)
                .arg(fuel));
}

// What other writers of the database set on the last fueling stored.
inline void setStatus(TestDatabase& db, const QString& chaveAcessoSql, const QString& faturadoSql) {
    db.exec(
        QStringLiteral("UPDATE ZeltoMov SET ChaveAcesso = %1, Faturado = %2 WHERE ID = (SELECT MAX(ID) FROM "
                       "ZeltoMov)")
            .arg(chaveAcessoSql, faturadoSql));
}

// Every row's text in one column of a grid, as the grid shows them.
inline QStringList columnTexts(const QTableView& grid, int column) {
    QStringList texts;
    const QAbstractItemModel& model = *grid.model();
    for (int row = 0; row < model.rowCount(); ++row)
        texts.append(model.index(row, column).data().toString());
    return texts;
}

inline QStringList titles(const QTableView& grid) {
    QStringList texts;
    const QAbstractItemModel& model = *grid.model();
    for (int c = 0; c < model.columnCount(); ++c)
        texts.append(model.headerData(c, Qt::Horizontal).toString());
    return texts;
}

// One row of a grid as "text|text|...", the way a person reads it across.
inline QString rowText(const QTableView& grid, int row) {
    QStringList texts;
    const QAbstractItemModel& model = *grid.model();
    for (int c = 0; c < model.columnCount(); ++c)
        texts.append(model.index(row, c).data().toString());
    return texts.join(QLatin1Char('|'));
}

inline QStringList rowTexts(const QTableView& grid) {
    QStringList rows;
    for (int row = 0; row < grid.model()->rowCount(); ++row)
        rows.append(rowText(grid, row));
    return rows;
}

// An exported workbook read back from its parts.
struct Workbook {
    struct Cell {
        QString type;   // the cell's t attribute: "" or "n" a number, "inlineStr" or "s" a text
        QString format; // the number format of the cell's style, empty for the general one
        QString value;  // the number's text, or the text itself
        QString formula;
        bool bold = false;
    };
    QHash<QString, Cell> cells;          // by reference, "A1"
    QHash<QString, double> columnWidths; // by column letter
    int lastRow = 0;
    QString title;
    QString error;
    QStringList sheetNames;
    QString autoFilter; // the range the filter covers, "A1:M7"
    bool titleRowFrozen = false;

    bool has(const QString& reference) const { return cells.contains(reference); }
    Cell cell(const QString& reference) const { return cells.value(reference); }
};

// The workbook is read back with Info-ZIP's unzip: where there is none (Windows), the reading is skipped.
#define KORVA_SKIP_WITHOUT_UNZIP()                                                                           \
    do {                                                                                                     \
        if (QStandardPaths::findExecutable(QStringLiteral("unzip")).isEmpty())                               \
            QSKIP("The workbook is read back with unzip, which this system lacks");                          \
    } while (false)

inline QByteArray zipPart(const QString& path, const QString& part) {
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-p"), path, part});
    unzip.waitForFinished(-1);
    return unzip.readAllStandardOutput();
}

inline QString columnLetters(int index) {
    QString letters;
    for (int n = index + 1; n > 0; n = (n - 1) / 26)
        letters.prepend(QChar(u'A' + (n - 1) % 26));
    return letters;
}

inline Workbook readWorkbook(const QString& path, int sheet = 1) {
    Workbook book;
    // Styles: the number format of each cell style.
    QHash<int, QString> customFormats{{4, QStringLiteral("#,##0.00")}};
    QList<int> styleFormat;
    QList<int> styleFont;
    QList<bool> boldFont;
    {
        QXmlStreamReader xml(zipPart(path, QStringLiteral("xl/styles.xml")));
        bool inCellXfs = false;
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement() && xml.name() == QLatin1String("numFmt"))
                customFormats.insert(xml.attributes().value(QLatin1String("numFmtId")).toInt(),
                                     xml.attributes().value(QLatin1String("formatCode")).toString());
            else if (xml.isStartElement() && xml.name() == QLatin1String("cellXfs"))
                inCellXfs = true;
            else if (xml.isEndElement() && xml.name() == QLatin1String("cellXfs"))
                inCellXfs = false;
            else if (inCellXfs && xml.isStartElement() && xml.name() == QLatin1String("xf")) {
                styleFormat.append(xml.attributes().value(QLatin1String("numFmtId")).toInt());
                styleFont.append(xml.attributes().value(QLatin1String("fontId")).toInt());
            } else if (xml.isStartElement() && xml.name() == QLatin1String("font"))
                boldFont.append(false);
            else if (xml.isStartElement() && xml.name() == QLatin1String("b") && !boldFont.isEmpty())
                boldFont.last() = true;
        }
    }
    QStringList sharedStrings;
    {
        const QByteArray part = zipPart(path, QStringLiteral("xl/sharedStrings.xml"));
        QXmlStreamReader xml(part);
        while (!part.isEmpty() && !xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement() && xml.name() == QLatin1String("t"))
                sharedStrings.append(xml.readElementText());
        }
    }
    {
        QXmlStreamReader xml(zipPart(path, QStringLiteral("xl/worksheets/sheet%1.xml").arg(sheet)));
        QString reference;
        Workbook::Cell cell;
        while (!xml.atEnd()) {
            xml.readNext();
            if (!xml.isStartElement()) {
                if (xml.isEndElement() && xml.name() == QLatin1String("c") && !reference.isEmpty()) {
                    if (cell.type == QLatin1String("s"))
                        cell.value = sharedStrings.value(cell.value.toInt());
                    book.cells.insert(reference, cell);
                    reference.clear();
                }
                continue;
            }
            const auto attributes = xml.attributes();
            if (xml.name() == QLatin1String("col")) {
                const int first = attributes.value(QLatin1String("min")).toInt();
                const int last = attributes.value(QLatin1String("max")).toInt();
                for (int c = first; c <= last; ++c)
                    book.columnWidths.insert(columnLetters(c - 1),
                                             attributes.value(QLatin1String("width")).toDouble());
            } else if (xml.name() == QLatin1String("row")) {
                book.lastRow = std::max(book.lastRow, attributes.value(QLatin1String("r")).toInt());
            } else if (xml.name() == QLatin1String("c")) {
                reference = attributes.value(QLatin1String("r")).toString();
                cell = {};
                cell.type = attributes.value(QLatin1String("t")).toString();
                const int style = attributes.value(QLatin1String("s")).toInt();
                const int format = styleFormat.value(style);
                cell.format = customFormats.value(format);
                cell.bold = boldFont.value(styleFont.value(style));
            } else if (xml.name() == QLatin1String("f")) {
                cell.formula = xml.readElementText();
            } else if (xml.name() == QLatin1String("autoFilter")) {
                book.autoFilter = attributes.value(QLatin1String("ref")).toString();
            } else if (xml.name() == QLatin1String("pane")) {
                book.titleRowFrozen = attributes.value(QLatin1String("ySplit")) == QLatin1String("1") &&
                                      attributes.value(QLatin1String("state")) == QLatin1String("frozen");
            } else if (xml.name() == QLatin1String("v") || xml.name() == QLatin1String("t")) {
                cell.value = xml.readElementText();
            }
        }
        if (xml.hasError())
            book.error = xml.errorString();
    }
    {
        QXmlStreamReader xml(zipPart(path, QStringLiteral("xl/workbook.xml")));
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement() && xml.name() == QLatin1String("sheet"))
                book.sheetNames.append(xml.attributes().value(QLatin1String("name")).toString());
        }
    }
    {
        QXmlStreamReader xml(zipPart(path, QStringLiteral("docProps/core.xml")));
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement() && xml.name() == QLatin1String("title"))
                book.title = xml.readElementText();
        }
    }
    return book;
}

// The spreadsheet's serial number of a moment: days since 30/12/1899, the time as the fraction.
inline double serialOf(const QDateTime& moment) {
    return QDate(1899, 12, 30).daysTo(moment.date()) + moment.time().msecsSinceStartOfDay() / 86400000.0;
}

inline QStringList filesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace fixture
