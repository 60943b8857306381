-- Reference DDL for the server: the tables and columns the program reads and writes, as the fleet system
-- keeps them, with an index for every lookup the program makes. The catalog's collation is expected to be
-- case-insensitive (e.g. Latin1_General_CI_AI), as the program's text comparisons assume.

CREATE TABLE Empresas (
    id    int          NOT NULL CONSTRAINT pkEmpresas PRIMARY KEY,
    razao varchar(100) NULL,
    cnpj  varchar(14)  NULL
);
GO

-- One row per pair of station and client company it serves; a station's rows share id, Cnpj and Senha.
CREATE TABLE ZeltoPostos (
    id         int          NOT NULL,
    id_empresa int          NOT NULL,
    Cnpj       varchar(14)  NOT NULL,
    Senha      varchar(30)  NULL,
    nome       varchar(100) NULL
);
CREATE INDEX ixZeltoPostosCnpj ON ZeltoPostos (Cnpj, id_empresa);
CREATE INDEX ixZeltoPostosPostoEmpresa ON ZeltoPostos (id, id_empresa);
GO

CREATE TABLE VeiMarcas (
    ID    int         NOT NULL CONSTRAINT pkVeiMarcas PRIMARY KEY,
    Marca varchar(50) NULL
);
GO

CREATE TABLE VeiModelos (
    ID     int         NOT NULL CONSTRAINT pkVeiModelos PRIMARY KEY,
    Modelo varchar(50) NULL
);
GO

CREATE TABLE VeiculosNovo (
    id         int         NOT NULL CONSTRAINT pkVeiculosNovo PRIMARY KEY,
    Placa      varchar(10) NOT NULL,
    id_empresa int         NOT NULL,
    Codigo     varchar(20) NULL,
    CodUT      int         NULL,
    IDMarca    int         NULL,
    IDModelo   int         NULL
);
CREATE INDEX ixVeiculosNovoPlaca ON VeiculosNovo (Placa);
GO

CREATE TABLE AdicionaisVeiculos (
    idVeiculo  int           NOT NULL CONSTRAINT pkAdicionaisVeiculos PRIMARY KEY,
    CapTanque  numeric(10,2) NULL,
    RendMinimo numeric(10,2) NULL,
    RendMaximo numeric(10,2) NULL
);
GO

CREATE TABLE TBItem (
    cd_item    int         NOT NULL,
    id_empresa int         NOT NULL,
    descricao  varchar(60) NULL,
    CONSTRAINT pkTBItem PRIMARY KEY (cd_item, id_empresa)
);
GO

CREATE TABLE VeiculoComb (
    id_veiculo int NOT NULL,
    cd_item    int NOT NULL,
    CONSTRAINT pkVeiculoComb PRIMARY KEY (id_veiculo, cd_item)
);
GO

-- Price agreed between a station and its clients for an item, with the tolerated excess in percent.
CREATE TABLE PostoItem (
    id_posto int           NOT NULL,
    cd_item  int           NOT NULL,
    valor    numeric(12,4) NULL,
    margem   numeric(5,2)  NULL,
    CONSTRAINT pkPostoItem PRIMARY KEY (id_posto, cd_item)
);
GO

-- Situacao 'A' is an active driver; any other value blocks him.
CREATE TABLE Motoristas (
    id_empresa int          NOT NULL,
    Codigo     int          NOT NULL,
    nome       varchar(100) NULL,
    senha      varchar(10)  NULL,
    Situacao   char(1)      NULL
);
CREATE INDEX ixMotoristasEmpresaCodigo ON Motoristas (id_empresa, Codigo);
GO

-- Fuelings. Rows are only ever inserted.
CREATE TABLE ZeltoMov (
    ID            int IDENTITY(1,1) NOT NULL CONSTRAINT pkZeltoMov PRIMARY KEY,
    IDVeiculo     int           NOT NULL,
    DtEmissao     datetime      NOT NULL,
    NrCartao      varchar(20)   NULL,
    IDPosto       int           NULL,
    IDMotorista   int           NULL,
    KmAnterior    int           NULL,
    KmAtual       int           NULL,
    KmTotal       int           NULL,
    Qtde          numeric(12,3) NULL,
    VrUnitario    numeric(12,4) NULL,
    VrTotal       numeric(12,2) NULL,
    cd_ut         int           NULL,
    TpCombustivel varchar(60)   NULL,
    Rendimento    float         NULL,
    NrCupom       varchar(20)   NULL,
    ChaveAcesso   varchar(44)   NULL,
    SeqZelto      int           NULL,
    Empresa       tinyint       NULL,
    IntegradoAdd  char(1)       NULL,
    ID_EMPRESA    int           NULL,
    Faturado      char(1)       NULL
);
-- The vehicle's latest odometer, and a client's fuelings over a period.
CREATE INDEX ixZeltoMovVeiculoEmissao ON ZeltoMov (IDVeiculo, DtEmissao) INCLUDE (KmAtual);
CREATE INDEX ixZeltoMovEmpresaEmissao ON ZeltoMov (ID_EMPRESA, DtEmissao);
GO

-- The program does not know a fueling's client company: it is the vehicle's.
CREATE TRIGGER trZeltoMovEmpresa ON ZeltoMov AFTER INSERT AS
BEGIN
    SET NOCOUNT ON;
    UPDATE m
       SET ID_EMPRESA = v.id_empresa
      FROM ZeltoMov m
     INNER JOIN inserted i ON i.ID = m.ID
     INNER JOIN VeiculosNovo v ON v.id = i.IDVeiculo
     WHERE m.ID_EMPRESA IS NULL;
END;
GO
