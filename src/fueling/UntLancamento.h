#pragma once

#include "common/Services.h"

#include <QWidget>

class TdmConexao;
class WaitIndicator;
struct Station;

// The fueling window.
class TfrmLancamento final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TfrmLancamento)

public:
    TfrmLancamento(TdmConexao& dmConexao, const Station& station, Services services, WaitIndicator& wait,
                   QWidget* parent = nullptr);
    ~TfrmLancamento() override;
};
