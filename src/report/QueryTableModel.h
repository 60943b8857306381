#pragma once

#include <QAbstractTableModel>
#include <QFont>
#include <QList>
#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QVariant>

#include <functional>

class Query;
class QTableView;

// How a grid column shows a field of the result.
struct GridColumn {
    using Mark = std::function<QPixmap(const Query& query, int row)>;

    GridColumn(QString field, QString title, int width, bool decimal = false, bool bold = false,
               Mark mark = {})
        : field(std::move(field)), title(std::move(title)), width(width), decimal(decimal), bold(bold),
          mark(std::move(mark)) {}

    QString field; // matched with the result's columns without regard to case; may name none of them
    QString title; // empty: the field's name
    int width = 64;
    bool decimal = false; // shown as ",0.00;-,0.00" with Brazilian separators
    bool bold = false;
    // A status picture for the cell, from the cell's row of the result; a null pixmap draws none.
    Mark mark;
};

// A data source: a grid's read-only view of the rows a query holds, keeping the grid's current row and the
// query's current row together.
class QueryTableModel final : public QAbstractTableModel {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(QueryTableModel)

public:
    QueryTableModel(Query& query, QList<GridColumn> columns, QObject* parent = nullptr);

    // Shows the query in the grid with the columns' titles and widths; from then on a row the user moves to
    // becomes the query's current row.
    void attach(QTableView& grid);
    // Moves the grid to the query's current row, after the query moved by itself.
    void followQuery();

    // While one is alive the grid holds no rows, so the query may be closed, rebuilt and reopened; the
    // grid takes the new result when it ends, whichever way the block is left.
    class Reset final {
        Q_DISABLE_COPY_MOVE(Reset)

    public:
        explicit Reset(QueryTableModel& model);
        ~Reset();

    private:
        QueryTableModel& model;
    };
    [[nodiscard]] Reset reset() { return Reset(*this); }

    const GridColumn& column(int index) const { return columns.at(index); }
    void setBoldFont(const QFont& font) { boldFont = font; }

    // The text a cell shows for a value: NULL empty, date-times dd/MM/yyyy hh:mm:ss (the time left out at
    // exactly midnight), numbers with a decimal comma.
    static QString displayText(const QVariant& value, bool decimal);
    static QString decimalText(double value);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    void resolveFields();

    void gridRowChanged(int row);

    Query& query;
    QPointer<QTableView> grid;
    int indicatorRow = -1;
    QList<GridColumn> columns;
    QList<int> fieldOfColumn;
    QFont boldFont;
    QPixmap indicator;
    bool resetting = false;
};
