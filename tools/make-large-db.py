#!/usr/bin/env python3
"""Builds a large embedded database for the benchmarks: years of a busy station's data, always the same rows.

Usage: tools/make-large-db.py OUTPUT.db

Station 1 (CNPJ 12345678000195, password posto123) serves 500 client companies, which 20 other stations serve
as well. 50,000 vehicles, 20,000 drivers, agreed prices, and 1,000,000 fuelings over the three years up to
09/12/2026 in every status. Client 1 is the large one: over 100,000 fuelings in its latest year. The plate
ABC1A01 (vehicle 1, client 1) and the driver 1001 / PIN 1234 of client 1 serve the lookup benchmarks.
"""

import datetime
import os
import random
import sqlite3
import sys
import time

SEED = 20261209
COMPANIES = 500
OTHER_STATIONS = 20
VEHICLES = 50_000
LARGE_CLIENT_VEHICLES = 2_000
DRIVERS_PER_COMPANY = 40
FUELINGS = 1_000_000
LARGE_CLIENT_FUELINGS = 330_000
END = datetime.datetime(2026, 12, 9, 18, 0, 0)
START = END - datetime.timedelta(days=3 * 365)

MAKES = [("Volvo", ["FH 540", "FM 370"]), ("Mercedes-Benz", ["Sprinter 416", "Actros 2651", "Atego 1719"]),
         ("Scania", ["R 450", "P 320"]), ("Fiat", ["Strada Freedom", "Toro Volcano", "Fiorino"]),
         ("Volkswagen", ["Gol 1.0", "Saveiro", "Delivery 11.180"]), ("Ford", ["Ranger XLS", "Cargo 2429"]),
         ("Chevrolet", ["S10 LT", "Onix 1.0"]), ("Toyota", ["Hilux SRV", "Corolla XEi"])]
# Per model: tank in litres and the consumption range in km/l.
HEAVY = (400, 2.0, 3.5)
LIGHT = (55, 9.0, 13.0)
VAN = (75, 7.5, 11.0)
FUELS = [("DIESEL S10", 5.89), ("GASOLINA COMUM", 5.79), ("ETANOL", 3.99), ("ARLA 32", 3.20)]


def plate(index):
    """Old format ABC1234 for even vehicles, Mercosul ABC1D23 for odd ones; unique per index."""
    letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ"
    a = letters[index // (26 * 26) % 26] + letters[index // 26 % 26] + letters[index % 26]
    n = index // (26 ** 3)
    if index % 2 == 0:
        return f"{a}{n % 10}{(index // 7) % 10}{(index // 3) % 10}{(index // 11) % 10}"
    return f"{a}{n % 10}{letters[(index // 5) % 26]}{(index // 13) % 10}{(index // 17) % 10}"


def stamp(moment):
    return moment.strftime("%Y-%m-%d %H:%M:%S.000")


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    output = sys.argv[1]
    started = time.monotonic()
    rng = random.Random(SEED)
    schema = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "src", "db", "schema", "sqlite.sql")
    if os.path.exists(output):
        os.remove(output)
    db = sqlite3.connect(output)
    db.executescript("PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF;")
    with open(schema, encoding="utf-8") as f:
        db.executescript(f.read())
    cur = db.cursor()
    cur.execute("BEGIN")

    companies = list(range(1, COMPANIES + 1))
    cur.executemany("INSERT INTO Empresas (id, razao, cnpj) VALUES (?, ?, ?)",
                    [(c, f"Cliente Frota {c:03d} Ltda", f"{10_000_000 + c * 7919:08d}0001{c % 100:02d}")
                     for c in companies])
    postos = [(1, c, "12345678000195", "posto123", "Auto Posto Estrela do Vale") for c in companies]
    for s in range(2, OTHER_STATIONS + 2):
        served = rng.sample(companies, 60)
        postos += [(s, c, f"{20_000_000 + s:08d}0001{s:02d}", f"senha{s}", f"Posto Parceiro {s}") for c in served]
    cur.executemany("INSERT INTO ZeltoPostos (id, id_empresa, Cnpj, Senha, nome) VALUES (?, ?, ?, ?, ?)", postos)

    models = []
    for make_id, (make, names) in enumerate(MAKES, start=1):
        cur.execute("INSERT INTO VeiMarcas (ID, Marca) VALUES (?, ?)", (make_id, make))
        for name in names:
            models.append((len(models) + 1, make_id, name))
    cur.executemany("INSERT INTO VeiModelos (ID, Modelo) VALUES (?, ?)", [(m, n) for m, _, n in models])

    # Each client has its own item codes: company * 10 + fuel.
    items = []
    prices = []
    for c in companies:
        for k, (name, price) in enumerate(FUELS, start=1):
            items.append((c * 10 + k, c, name))
            margin = rng.choice([0, 0, 5, 10, None])
            prices.append((1, c * 10 + k, round(price + rng.uniform(-0.3, 0.3), 2), margin))
    cur.executemany("INSERT INTO TBItem (cd_item, id_empresa, descricao) VALUES (?, ?, ?)", items)
    cur.executemany("INSERT INTO PostoItem (id_posto, cd_item, valor, margem) VALUES (?, ?, ?, ?)", prices)

    vehicles = []
    for v in range(1, VEHICLES + 1):
        company = 1 if v <= LARGE_CLIENT_VEHICLES else 2 + (v - LARGE_CLIENT_VEHICLES - 1) % (COMPANIES - 1)
        model_id, make_id, name = models[rng.randrange(len(models))]
        kind = HEAVY if v % 3 == 0 else (VAN if v % 3 == 1 else LIGHT)
        fuel = 1 if kind != LIGHT else rng.choice([2, 3])
        vehicles.append((v, company, model_id, make_id, kind, fuel))
    cur.executemany(
        "INSERT INTO VeiculosNovo (id, Placa, id_empresa, Codigo, CodUT, IDMarca, IDModelo) VALUES (?,?,?,?,?,?,?)",
        [(v, "ABC1A01" if v == 1 else plate(v + 1000), c, f"FR-{v:05d}", 5000 + v, mk, md)
         for v, c, md, mk, _, _ in vehicles])
    cur.executemany("INSERT INTO AdicionaisVeiculos (idVeiculo, CapTanque, RendMinimo, RendMaximo) VALUES (?,?,?,?)",
                    [(v, k[0], k[1], k[2]) for v, _, _, _, k, _ in vehicles])
    comb = []
    for v, c, _, _, kind, fuel in vehicles:
        comb.append((v, c * 10 + fuel))
        if kind == HEAVY:
            comb.append((v, c * 10 + 4))
    cur.executemany("INSERT INTO VeiculoComb (id_veiculo, cd_item) VALUES (?, ?)", comb)

    drivers = []
    for c in companies:
        for i in range(1, DRIVERS_PER_COMPANY + 1):
            pin = "1234" if i == 1 else f"{rng.randrange(10000):04d}"
            drivers.append((c, c * 1000 + i, f"Motorista {i:02d} do Cliente {c:03d}", pin,
                            "B" if i % 25 == 0 else "A"))
    cur.executemany("INSERT INTO Motoristas (id_empresa, Codigo, nome, senha, Situacao) VALUES (?,?,?,?,?)",
                    drivers)

    # Fuelings per vehicle, in time order so each odometer runs on from the previous one. The large client's
    # vehicles share LARGE_CLIENT_FUELINGS; the rest share what is left.
    span = (END - START).total_seconds()
    validated_from = END - datetime.timedelta(days=60)
    registered_from = END - datetime.timedelta(days=25)
    large_each = LARGE_CLIENT_FUELINGS // LARGE_CLIENT_VEHICLES
    rest_each, rest_extra = divmod(FUELINGS - LARGE_CLIENT_FUELINGS, VEHICLES - LARGE_CLIENT_VEHICLES)
    rows = []
    for v, c, _, _, kind, fuel in vehicles:
        count = large_each if c == 1 else rest_each + (1 if v - LARGE_CLIENT_VEHICLES <= rest_extra else 0)
        moments = sorted(START + datetime.timedelta(seconds=rng.random() * span) for _ in range(count))
        km = rng.randrange(5_000, 200_000)
        tank, low, high = kind
        fuel_name, base_price = FUELS[fuel - 1]
        for moment in moments:
            qty = round(rng.uniform(0.3, 0.95) * tank, 2)
            rend = rng.uniform(low, high)
            distance = int(qty * rend)
            price = round(base_price + rng.uniform(-0.2, 0.2), 2)
            total = round(qty * price, 2)
            if moment >= registered_from:
                key, billed = "", None
            elif moment >= validated_from:
                key, billed = f"3526{rng.randrange(10 ** 12):012d}{v:08d}650010000{rng.randrange(10 ** 12):012d}", "N"
            else:
                key, billed = f"3526{rng.randrange(10 ** 12):012d}{v:08d}650010000{rng.randrange(10 ** 12):012d}", "S"
            rows.append((v, stamp(moment), "", 1, c * 1000 + 1 + rng.randrange(DRIVERS_PER_COMPANY), km, km + distance,
                         distance, qty, price, total, 5000 + v, fuel_name, distance / qty, f"{rng.randrange(10 ** 6):06d}",
                         key, None, 4, None, c, billed))
            km += distance
    # Stored in time order, as a station's fuelings arrive.
    rows.sort(key=lambda row: row[1])
    flush(cur, rows)
    cur.execute("COMMIT")
    db.execute("ANALYZE")
    db.close()
    print(f"{output}: {FUELINGS} fuelings, {VEHICLES} vehicles, {COMPANIES} clients "
          f"in {time.monotonic() - started:.1f} s")


def flush(cur, rows):
    cur.executemany(
        "INSERT INTO ZeltoMov (IDVeiculo, DtEmissao, NrCartao, IDPosto, IDMotorista, KmAnterior, KmAtual, KmTotal,"
        " Qtde, VrUnitario, VrTotal, cd_ut, TpCombustivel, Rendimento, NrCupom, ChaveAcesso, SeqZelto, Empresa,"
        " IntegradoAdd, ID_EMPRESA, Faturado) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)", rows)
    rows.clear()


if __name__ == "__main__":
    main()
