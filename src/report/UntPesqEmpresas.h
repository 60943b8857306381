#pragma once

#include "common/Services.h"

#include <QString>
#include <QWidget>

#include <memory>
#include <optional>

class FormEvents;
class QEventLoop;
class Query;
class QueryTableModel;
class TdmConexao;
struct Station;

namespace Ui {
class TfrmPesqEmpresas;
}

// The client search window, shown modally by the report window, centred over its owner, the main window.
class TfrmPesqEmpresas final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TfrmPesqEmpresas)

public:
    TfrmPesqEmpresas(TdmConexao& dmConexao, const Station& station, Services services,
                     QWidget* parent = nullptr);
    ~TfrmPesqEmpresas() override;

    // Shows the window application-modal and returns once it is hidden again, however it was closed.
    void showModal();

    // What the window hands over after it closed: the id and razao of the result's current row, after which
    // the result is closed. A closed or empty result means no choice.
    struct Choice {
        QString id;
        QString razao;
    };
    std::optional<Choice> takeChoice();

    // Handlers. Qt reaches them guarded; called directly, their errors propagate.
    void FormShow();        // window shown: clears the name, which lists every client of the station
    void fiNomeChange();    // typed in the name: searches the clients whose name contains it
    void DBGrid1DblClick(); // double-click on the list: closes with that client as the choice
    void btSairClick();     // "Sair": closes without a choice

    const Query& searchQuery() const { return *qrConsulta; }

protected:
    void hideEvent(QHideEvent* event) override;

private:
    std::unique_ptr<Ui::TfrmPesqEmpresas> ui;
    const Station& station;
    Services services;
    FormEvents* events;
    std::unique_ptr<Query> qrConsulta;
    // Declared after the queries they show, so they go first.
    std::unique_ptr<QueryTableModel> dsConsulta;
    QEventLoop* modalLoop = nullptr;
};
