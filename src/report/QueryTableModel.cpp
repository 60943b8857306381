#include "QueryTableModel.h"

#include "ReportImages.h"
#include "db/StoredValues.h"
#include "db/UntConexao.h"
#include "format/DisplayPatterns.h"
#include "format/UntProcedimentos.h"

#include <QDateTime>
#include <QHeaderView>
#include <QLocale>
#include <QTableView>

#include <algorithm>
#include <cmath>
#include <optional>

QueryTableModel::Reset::Reset(QueryTableModel& model) : model(model) {
    model.beginResetModel();
    model.resetting = true;
}

QueryTableModel::Reset::~Reset() {
    model.resetting = false;
    model.resolveFields();
    model.endResetModel();
    model.followQuery();
}

QueryTableModel::QueryTableModel(Query& query, QList<GridColumn> columns, QObject* parent)
    : QAbstractTableModel(parent), query(query), columns(std::move(columns)),
      indicator(ReportImages::rowIndicator()) {
    boldFont.setBold(true);
    resolveFields();
}

void QueryTableModel::resolveFields() {
    fieldOfColumn.clear();
    for (const GridColumn& column : columns)
        fieldOfColumn.append(query.isOpen() && !column.field.isEmpty() ? query.fieldIndex(column.field) : -1);
}

void QueryTableModel::attach(QTableView& view) {
    grid = &view;
    view.setModel(this);
    view.horizontalHeader()->setHighlightSections(false);
    // The picture columns are narrower than the style's smallest section.
    view.horizontalHeader()->setMinimumSectionSize(8);
    for (int c = 0; c < columns.size(); ++c)
        view.setColumnWidth(c, columns.at(c).width);
    view.horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    view.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view.verticalHeader()->setDefaultSectionSize(18);
    view.verticalHeader()->setFixedWidth(12);
    connect(view.selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { gridRowChanged(current.row()); });
    followQuery();
}

void QueryTableModel::gridRowChanged(int row) {
    if (row >= 0 && row < rowCount() && row != query.currentRow())
        query.setCurrentRow(row);
    const int previous = indicatorRow;
    indicatorRow = rowCount() > 0 ? query.currentRow() : -1;
    if (previous >= 0 && previous < rowCount())
        emit headerDataChanged(Qt::Vertical, previous, previous);
    if (indicatorRow >= 0 && indicatorRow != previous)
        emit headerDataChanged(Qt::Vertical, indicatorRow, indicatorRow);
}

void QueryTableModel::followQuery() {
    if (!grid)
        return;
    const int rows = rowCount();
    if (rows == 0) {
        gridRowChanged(-1);
        return;
    }
    const int row = std::clamp(query.currentRow(), 0, rows - 1);
    const QModelIndex target = index(row, std::clamp(grid->currentIndex().column(), 0, columnCount() - 1));
    if (grid->currentIndex() != target)
        grid->setCurrentIndex(target);
    gridRowChanged(row);
}

QString QueryTableModel::decimalText(double value) {
    static const QLocale brazil(QLocale::Portuguese, QLocale::Brazil);
    const QString magnitude = brazil.toString(std::fabs(value), 'f', 2);
    // A value that rounds to zero shows as zero, without a sign.
    if (value < 0 && magnitude != QLatin1String("0,00"))
        return QLatin1Char('-') + magnitude;
    return magnitude;
}

QString QueryTableModel::displayText(const QVariant& value, bool decimal) {
    if (!value.isValid() || value.isNull())
        return {};
    switch (value.metaType().id()) {
    case QMetaType::QDateTime: {
        const QDateTime moment = value.toDateTime();
        if (moment.time() == QTime(0, 0))
            return moment.toString(DisplayPatterns::date);
        return moment.toString(DisplayPatterns::dateTime);
    }
    case QMetaType::QDate:
        return value.toDate().toString(DisplayPatterns::date);
    default:
        break;
    }
    if (decimal) {
        if (const std::optional<double> number = StoredValues::numberOf(value))
            return decimalText(*number);
    }
    if (StoredValues::isWholeNumber(value))
        return QString::number(value.toLongLong());
    if (StoredValues::isNumber(value))
        return generalText(value.toDouble());
    return value.toString();
}

int QueryTableModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || resetting || !query.isOpen())
        return 0;
    return query.rowCount();
}

int QueryTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(columns.size());
}

QVariant QueryTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount())
        return {};
    const GridColumn& column = columns.at(index.column());
    const int field = fieldOfColumn.at(index.column());
    switch (role) {
    case Qt::DisplayRole:
        return field < 0 ? QString() : displayText(query.value(index.row(), field), column.decimal);
    case Qt::DecorationRole:
        if (column.mark) {
            const QPixmap mark = column.mark(query, index.row());
            if (!mark.isNull())
                return mark;
        }
        return {};
    case Qt::FontRole:
        return column.bold ? QVariant(boldFont) : QVariant();
    case Qt::TextAlignmentRole: {
        const bool rightAligned =
            field >= 0 &&
            (column.decimal ? StoredValues::numberOf(query.value(index.row(), field)).has_value()
                            : StoredValues::isNumber(query.value(index.row(), field)));
        return int(Qt::AlignVCenter | (rightAligned ? Qt::AlignRight : Qt::AlignLeft));
    }
    default:
        return {};
    }
}

QVariant QueryTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal) {
        if (section < 0 || section >= columnCount())
            return {};
        if (role == Qt::DisplayRole) {
            const GridColumn& column = columns.at(section);
            return column.title.isEmpty() ? column.field : column.title;
        }
        return {};
    }
    if (role == Qt::DecorationRole && section == indicatorRow && section < rowCount())
        return indicator;
    if (role == Qt::DisplayRole)
        return QString();
    return {};
}

Qt::ItemFlags QueryTableModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}
