-- The embedded database: the tables and columns the program reads and writes, as the fleet system keeps them.
-- Text columns compare without regard to case, as the server's collation does. Date-times are stored as the
-- text 'yyyy-MM-dd HH:mm:ss.zzz', which sorts and compares in time order.

CREATE TABLE Empresas (
    id    INTEGER PRIMARY KEY,
    razao TEXT COLLATE NOCASE,
    cnpj  TEXT COLLATE NOCASE
);

-- One row per pair of station and client company it serves; a station's rows share id, Cnpj and Senha.
CREATE TABLE ZeltoPostos (
    id         INTEGER NOT NULL,
    id_empresa INTEGER NOT NULL,
    Cnpj       TEXT COLLATE NOCASE NOT NULL,
    Senha      TEXT COLLATE NOCASE,
    nome       TEXT COLLATE NOCASE
);
CREATE INDEX ixZeltoPostosCnpj ON ZeltoPostos (Cnpj, id_empresa);
CREATE INDEX ixZeltoPostosPostoEmpresa ON ZeltoPostos (id, id_empresa);

CREATE TABLE VeiMarcas (
    ID    INTEGER PRIMARY KEY,
    Marca TEXT COLLATE NOCASE
);

CREATE TABLE VeiModelos (
    ID     INTEGER PRIMARY KEY,
    Modelo TEXT COLLATE NOCASE
);

CREATE TABLE VeiculosNovo (
    id         INTEGER PRIMARY KEY,
    Placa      TEXT COLLATE NOCASE NOT NULL,
    id_empresa INTEGER NOT NULL,
    Codigo     TEXT COLLATE NOCASE,
    CodUT      INTEGER,
    IDMarca    INTEGER,
    IDModelo   INTEGER
);
CREATE INDEX ixVeiculosNovoPlaca ON VeiculosNovo (Placa);

CREATE TABLE AdicionaisVeiculos (
    idVeiculo  INTEGER PRIMARY KEY,
    CapTanque  REAL,
    RendMinimo REAL,
    RendMaximo REAL
);

CREATE TABLE TBItem (
    cd_item    INTEGER NOT NULL,
    id_empresa INTEGER NOT NULL,
    descricao  TEXT COLLATE NOCASE,
    PRIMARY KEY (cd_item, id_empresa)
);

CREATE TABLE VeiculoComb (
    id_veiculo INTEGER NOT NULL,
    cd_item    INTEGER NOT NULL,
    PRIMARY KEY (id_veiculo, cd_item)
);

-- Price agreed between a station and its clients for an item, with the tolerated excess in percent.
CREATE TABLE PostoItem (
    id_posto INTEGER NOT NULL,
    cd_item  INTEGER NOT NULL,
    valor    REAL,
    margem   REAL,
    PRIMARY KEY (id_posto, cd_item)
);

-- Situacao 'A' is an active driver; any other value blocks him.
CREATE TABLE Motoristas (
    id_empresa INTEGER NOT NULL,
    Codigo     INTEGER NOT NULL,
    nome       TEXT COLLATE NOCASE,
    senha      TEXT COLLATE NOCASE,
    Situacao   TEXT COLLATE NOCASE
);
CREATE INDEX ixMotoristasEmpresaCodigo ON Motoristas (id_empresa, Codigo);

-- Fuelings. Rows are only ever inserted.
CREATE TABLE ZeltoMov (
    ID            INTEGER PRIMARY KEY AUTOINCREMENT,
    IDVeiculo     INTEGER NOT NULL,
    DtEmissao     TEXT COLLATE NOCASE NOT NULL,
    NrCartao      TEXT COLLATE NOCASE,
    IDPosto       INTEGER,
    IDMotorista   INTEGER,
    KmAnterior    INTEGER,
    KmAtual       INTEGER,
    KmTotal       INTEGER,
    Qtde          REAL,
    VrUnitario    REAL,
    VrTotal       REAL,
    cd_ut         INTEGER,
    TpCombustivel TEXT COLLATE NOCASE,
    Rendimento    REAL,
    NrCupom       TEXT COLLATE NOCASE,
    ChaveAcesso   TEXT COLLATE NOCASE,
    SeqZelto      INTEGER,
    Empresa       INTEGER,
    IntegradoAdd  TEXT COLLATE NOCASE,
    ID_EMPRESA    INTEGER,
    Faturado      TEXT COLLATE NOCASE
);
-- The vehicle's latest odometer, and a client's fuelings over a period.
CREATE INDEX ixZeltoMovVeiculoEmissao ON ZeltoMov (IDVeiculo, DtEmissao);
CREATE INDEX ixZeltoMovEmpresaEmissao ON ZeltoMov (ID_EMPRESA, DtEmissao);

-- The program does not know a fueling's client company: it is the vehicle's.
CREATE TRIGGER trZeltoMovEmpresa AFTER INSERT ON ZeltoMov
WHEN NEW.ID_EMPRESA IS NULL
BEGIN
    UPDATE ZeltoMov
       SET ID_EMPRESA = (SELECT id_empresa FROM VeiculosNovo WHERE VeiculosNovo.id = NEW.IDVeiculo)
     WHERE ID = NEW.ID;
END;
