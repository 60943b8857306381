#pragma once

#include "common/Services.h"

#include <QWidget>

class TdmConexao;
struct Station;

// The client search window, shown modally by the report window.
class TfrmPesqEmpresas final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TfrmPesqEmpresas)

public:
    TfrmPesqEmpresas(TdmConexao& dmConexao, const Station& station, Services services, QWidget* parent = nullptr);
    ~TfrmPesqEmpresas() override;
};
