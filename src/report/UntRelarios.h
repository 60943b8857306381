#pragma once

#include "common/Services.h"

#include <QWidget>

class TdmConexao;
class TfrmPesqEmpresas;
struct Station;

// The fueling report window.
class TfrmRelarorios final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TfrmRelarorios)

public:
    TfrmRelarorios(TdmConexao& dmConexao, const Station& station, Services services, TfrmPesqEmpresas& search,
                   QWidget* parent = nullptr);
    ~TfrmRelarorios() override;
};
