#!/usr/bin/env python3
"""A scripted TDS 7.4 server on 127.0.0.1: a fake for the tests only.

Nothing in the program depends on it. It plays the database server for FreeTDS's ODBC driver, reached
through Qt's ODBC driver, where no real server can run: it lets any user log in, answers each request
from a per-test JSON script, and records every request it receives as one JSON line, so that a test can
check both what the program made of the answers and what it sent.

The script is a JSON array of rules, tried in order; the first that fits a request answers it:
  "match"   regular expression searched in the statement text, case-insensitive (a login: the user name)
  "kind"    optional: "batch", "rpc", "tm" (transaction manager) or "login"
  "nth"     optional: fits only the n-th request (from 1) that its match and kind fit
  "times"   optional: answers that many requests, then leaves them to the rules below
  "delay"   optional: seconds of silence before the answer; an attention from the client cuts it short
and at most one answer (without one, the server answers as it would have after the delay):
  "columns": [{"name": "ID", "type": "int"}, ...], "rows": [[1], ...]
      types int, bigint, smallint, tinyint, bit, float, real, datetime, varchar(n), nvarchar(n),
      numeric(p,s), decimal(p,s); values are JSON numbers, texts ("2024-05-31 13:45:00.000") or null
  "rowcount": 1
  "error": {"number": 242, "class": 16, "state": 3, "message": "..."}
  "close": true    the link drops, nothing answered
  "close_after": true   the server does what was asked (a COMMIT commits), then the link drops unanswered
Unless a rule says otherwise the server keeps @@TRANCOUNT through BEGIN/COMMIT/ROLLBACK statements and
transaction-manager requests (3902/3903 with none open; a deadlock victim, 1205, loses its transaction),
answers SELECT @@TRANCOUNT and the driver's question for the timestamp type (sp_datatype_info), keeps
prepared handles and cursors (sp_prepare, sp_cursoropen, ...), and gives other statements an empty DONE.

Rows a rule's "rowcount" gives an INSERT, UPDATE or DELETE are held by the transaction they ran in and logged
as {"kind": "stored", "rows": n} when it commits (at once outside one); a roll-back, a deadlock or a dropped
session discards them, as SQL Server rolls back the open transaction of a session that ends:
https://learn.microsoft.com/en-us/sql/t-sql/language-elements/transactions-transact-sql
Log lines: {"kind": "prelogin" | "browser" | "login" | "batch" | "rpc" | "tm" | "attention" | "stored", "statement": ..., "procedure": ...,
"parameters": [{"name": "@P1", "type": "datetime2(7)", "value": "2024-06-01 08:30:15.0000000"}]}, the type
as the driver declared it on the wire and the value decoded from it.

  tds_standin.py SCRIPT LOG [--port 0] [--lifetime 120] [--port-file FILE] [--watch FILE] [--instance NAME]
The first line on stdout is the port; the server stops after --lifetime seconds, or at EOF on stdin (with
--watch: once that file is gone).
[MS-TDS] is https://learn.microsoft.com/en-us/openspecs/windows_protocols/ms-tds/
"""

import argparse
import datetime
import decimal
import json
import os
import re
import select
import socket
import socketserver
import struct
import sys
import threading
import time

# Packet types, [MS-TDS] 2.2.3.1.1, and DONE status bits, 2.2.7.6.
BATCH, RPC, REPLY, ATTENTION, TM, LOGIN7, PRELOGIN = 1, 3, 4, 6, 14, 16, 18
DONE_MORE, DONE_ERROR, DONE_COUNT, DONE_ATTN = 0x01, 0x02, 0x10, 0x20
DONE, DONEPROC, DONEINPROC = 0xFD, 0xFE, 0xFF
# SQL_Latin1_General_CP1_CI_AS: LCID 0x0409, ignoring case, kana and width, sort id 52 (code page 1252).
COLLATION = bytes([0x09, 0x04, 0xD0, 0x00, 0x34])
ANSWERS = ("columns", "rowcount", "error")
STATIC, READ_ONLY = 0x0008, 0x0001

# What the driver's SQLGetTypeInfo gets for the timestamp types from sp_datatype_info; Qt takes the first
# row's PRECISION (23 for datetime) for the number of date-time characters it may send:
# https://learn.microsoft.com/en-us/sql/relational-databases/system-stored-procedures/sp-datatype-info-transact-sql
TYPE_INFO_COLUMNS = [("TYPE_NAME", "nvarchar(128)"), ("DATA_TYPE", "smallint"), ("PRECISION", "int"),
                     ("LITERAL_PREFIX", "varchar(32)"), ("LITERAL_SUFFIX", "varchar(32)"),
                     ("CREATE_PARAMS", "varchar(32)"), ("NULLABLE", "smallint"), ("CASE_SENSITIVE", "smallint"),
                     ("SEARCHABLE", "smallint"), ("UNSIGNED_ATTRIBUTE", "smallint"), ("MONEY", "smallint"),
                     ("AUTO_INCREMENT", "smallint"), ("LOCAL_TYPE_NAME", "nvarchar(128)"),
                     ("MINIMUM_SCALE", "smallint"), ("MAXIMUM_SCALE", "smallint"), ("SQL_DATA_TYPE", "smallint"),
                     ("SQL_DATETIME_SUB", "smallint"), ("NUM_PREC_RADIX", "int"),
                     ("INTERVAL_PRECISION", "smallint"), ("USERTYPE", "smallint")]
TIMESTAMP_TYPES = {"columns": [{"name": n, "type": t} for n, t in TYPE_INFO_COLUMNS], "rows": [
    ["datetime", 93, 23, "'", "'", None, 1, 0, 3, None, 0, None, "datetime", 3, 3, 9, 3, None, None, 12],
    ["smalldatetime", 93, 16, "'", "'", None, 1, 0, 3, None, 0, None, "smalldatetime", 0, 0, 9, 3, None, None, 22]]}

# Procedure ids, [MS-TDS] 2.2.6.6; for each procedure: how many leading arguments are its own (the bound
# values follow), and which hold the statement and the parameter declaration.
PROC_IDS = {1: "sp_cursor", 2: "sp_cursoropen", 3: "sp_cursorprepare", 4: "sp_cursorexecute",
            5: "sp_cursorprepexec", 6: "sp_cursorunprepare", 7: "sp_cursorfetch", 8: "sp_cursoroption",
            9: "sp_cursorclose", 10: "sp_executesql", 11: "sp_prepare", 12: "sp_execute", 13: "sp_prepexec",
            14: "sp_prepexecrpc", 15: "sp_unprepare"}
PROC_ARGS = {"sp_executesql": (2, 0, 1), "sp_prepexec": (3, 2, 1), "sp_prepare": (4, 2, 1),
             "sp_execute": (1, None, None), "sp_unprepare": (1, None, None), "sp_cursoropen": (6, 1, 5),
             "sp_cursorfetch": (4, None, None), "sp_cursoroption": (3, None, None),
             "sp_cursorclose": (1, None, None)}


# ---------------------------------------------------------------------------------------------------------
# Tokens the server writes, [MS-TDS] 2.2.7

def b_varchar(text):
    data = text.encode("utf-16-le")
    return bytes([len(data) // 2]) + data


def envchange(kind, new, old):
    body = bytes([kind]) + new + old
    return b"\xe3" + struct.pack("<H", len(body)) + body


def message(number, state, cls, text, info=False):
    # ERROR (0xAA) or INFO (0xAB): number, state, class, text, server, procedure, line.
    body = struct.pack("<iBBH", number, state, cls, len(text)) + text.encode("utf-16-le") + \
        b_varchar("STANDIN") + b_varchar("") + struct.pack("<i", 1)
    return (b"\xab" if info else b"\xaa") + struct.pack("<H", len(body)) + body


def done(status=0, count=0, token=DONE):
    return bytes([token]) + struct.pack("<HHQ", status, 0xC1, count)


def return_status(value=0):
    return b"\x79" + struct.pack("<i", value)


def return_int(ordinal, name, value):
    # RETURNVALUE of an int output argument: ordinal, name, status, user type, flags, INTN(4), value.
    return b"\xac" + struct.pack("<H", ordinal) + b_varchar(name) + b"\x01" + struct.pack("<IH", 0, 0) + \
        b"\x26\x04\x04" + struct.pack("<i", value)


INTS = {"tinyint": (1, "<B"), "smallint": (2, "<h"), "int": (4, "<i"), "bigint": (8, "<q")}


def column_type(declared):
    name, size, scale = re.fullmatch(r"\s*(\w+)\s*(?:\(\s*(\d+)\s*(?:,\s*(\d+)\s*)?\))?\s*", declared).groups()
    return name.lower(), int(size or 0), int(scale or 0)


def numeric_size(precision):
    return 5 if precision <= 9 else 9 if precision <= 19 else 13 if precision <= 28 else 17


def type_info(declared):
    name, size, scale = column_type(declared)
    if name in INTS:
        return bytes([0x26, INTS[name][0]])
    fixed = {"bit": b"\x68\x01", "float": b"\x6d\x08", "real": b"\x6d\x04", "datetime": b"\x6f\x08"}
    if name in fixed:
        return fixed[name]
    if name in ("numeric", "decimal"):
        return bytes([0x6C if name == "numeric" else 0x6A, numeric_size(size or 18), size or 18, scale])
    if name == "varchar":
        return b"\xa7" + struct.pack("<H", size or 8000) + COLLATION
    if name == "nvarchar":
        return b"\xe7" + struct.pack("<H", 2 * (size or 4000)) + COLLATION
    raise ValueError("column type not supported: " + declared)


def cell(declared, value):
    name, size, scale = column_type(declared)
    if name in ("varchar", "nvarchar"):
        data = None if value is None else str(value).encode("cp1252" if name == "varchar" else "utf-16-le")
        return b"\xff\xff" if data is None else struct.pack("<H", len(data)) + data
    if value is None:
        return b"\x00"
    if name in INTS:
        return bytes([INTS[name][0]]) + struct.pack(INTS[name][1], int(value))
    if name == "bit":
        return bytes([1, 1 if value else 0])
    if name in ("float", "real"):
        return b"\x08" + struct.pack("<d", value) if name == "float" else b"\x04" + struct.pack("<f", value)
    if name == "datetime":
        # Days since 1900-01-01 (int32), then 1/300 s ticks since midnight (uint32), [MS-TDS] 2.2.5.5.1.8.
        moment = datetime.datetime.fromisoformat(value.replace(" ", "T"))
        days = (moment.date() - datetime.date(1900, 1, 1)).days
        ms = ((moment.hour * 60 + moment.minute) * 60 + moment.second) * 1000 + moment.microsecond / 1000
        return b"\x08" + struct.pack("<iI", days, round(ms * 3 / 10))
    # numeric/decimal: sign (1 positive), then the value times 10^scale little-endian, [MS-TDS] 2.2.5.5.1.6.
    length = numeric_size(size or 18)
    scaled = int(decimal.Decimal(str(value)).scaleb(scale).to_integral_value(decimal.ROUND_HALF_UP))
    return bytes([length, 1 if scaled >= 0 else 0]) + abs(scaled).to_bytes(length - 1, "little")


def col_metadata(columns, cursor=False):
    # COLMETADATA, [MS-TDS] 2.2.7.4: user type, flags (nullable, updatability unknown), type, name.
    out = b"\x81" + struct.pack("<H", len(columns) + cursor)
    for column in columns:
        out += struct.pack("<IH", 0, 0x0009) + type_info(column["type"]) + b_varchar(column.get("name", ""))
    if cursor:
        # A server cursor's rows end in a ROWSTAT int column that COLINFO (2.2.7.3) marks hidden (0x10).
        out += struct.pack("<IH", 0, 0) + b"\x38" + b_varchar("ROWSTAT")
        info = b"".join(bytes([i + 1, 0, 0x10 if i == len(columns) else 0]) for i in range(len(columns) + 1))
        out += b"\xa5" + struct.pack("<H", len(info)) + info
    return out


def row(columns, values, rowstat=None):
    out = b"\xd1" + b"".join(cell(c["type"], v) for c, v in zip(columns, values))
    return out if rowstat is None else out + struct.pack("<i", rowstat)


# ---------------------------------------------------------------------------------------------------------
# Requests the client sends

class Reader:
    def __init__(self, data):
        self.data, self.pos = data, 0

    def take(self, n):
        self.pos += n
        return self.data[self.pos - n:self.pos]

    def unpack(self, fmt):
        values = struct.unpack_from(fmt, self.data, self.pos)
        self.pos += struct.calcsize(fmt)
        return values[0] if len(values) == 1 else values

    def text(self, chars):
        return self.take(2 * chars).decode("utf-16-le")

    def skip_all_headers(self):
        # ALL_HEADERS, before a batch, an RPC or a transaction-manager request, [MS-TDS] 2.2.5.3.
        start = self.pos
        self.pos = start + self.unpack("<I")

    def at_end(self):
        return self.pos >= len(self.data)


# Parameter TYPE_INFO, [MS-TDS] 2.2.5.4, by how the size is written: fixed, a byte, a scale, precision and
# scale, two bytes (with a collation for texts), four bytes.
FIXED = {0x1F: ("null", 0), 0x30: ("tinyint", 1), 0x32: ("bit", 1), 0x34: ("smallint", 2), 0x38: ("int", 4),
         0x3A: ("smalldatetime", 4), 0x3B: ("real", 4), 0x3C: ("money", 8), 0x3D: ("datetime", 8),
         0x3E: ("float", 8), 0x7A: ("smallmoney", 4), 0x7F: ("bigint", 8)}
BY_SIZE = {0x26: {1: "tinyint", 2: "smallint", 4: "int", 8: "bigint"}, 0x68: {1: "bit"},
           0x6D: {4: "real", 8: "float"}, 0x6E: {4: "smallmoney", 8: "money"},
           0x6F: {4: "smalldatetime", 8: "datetime"}, 0x24: {16: "uniqueidentifier"}}
SCALED = {0x28: "date", 0x29: "time", 0x2A: "datetime2", 0x2B: "datetimeoffset"}
DECIMALS = {0x6A: "decimal", 0x6C: "numeric"}
SIZED = {0xA5: "varbinary", 0xA7: "varchar", 0xAD: "binary", 0xAF: "char", 0xE7: "nvarchar", 0xEF: "nchar"}
LONG = {0x22: "image", 0x23: "text", 0x63: "ntext"}


def read_parameter(r):
    """One RPC parameter: its name, the type as T-SQL writes it, and its value."""
    name = r.text(r.unpack("<B"))
    r.unpack("<B")  # status: output, default
    code, scale = r.unpack("<B"), 0
    if code in FIXED:
        declared, size = FIXED[code]
        data = r.take(size) if size else None
    elif code in BY_SIZE:
        declared = BY_SIZE[code][r.unpack("<B")]
        data = r.take(r.unpack("<B")) or None
    elif code in SCALED:
        scale = 0 if code == 0x28 else r.unpack("<B")
        declared = SCALED[code] + ("(%d)" % scale if code != 0x28 else "")
        data = r.take(r.unpack("<B")) or None
    elif code in DECIMALS:
        _, precision, scale = r.unpack("<BBB")
        declared = "%s(%d,%d)" % (DECIMALS[code], precision, scale)
        data = r.take(r.unpack("<B")) or None
    elif code in SIZED:
        size = r.unpack("<H")
        if code in (0xA7, 0xAF, 0xE7, 0xEF):
            r.take(5)
        chars = size // 2 if code in (0xE7, 0xEF) else size
        declared = SIZED[code] + ("(max)" if size == 0xFFFF else "(%d)" % chars)
        data = read_plp(r) if size == 0xFFFF else read_sized(r, "<H", 0xFFFF)
    elif code in LONG:
        r.unpack("<I")
        if code != 0x22:
            r.take(5)
        declared, data = LONG[code], read_sized(r, "<I", 0xFFFFFFFF)
    else:
        raise ValueError("parameter type 0x%02x not supported" % code)
    return {"name": name, "type": declared, "value": decode(declared.split("(")[0], data, scale)}


def read_sized(r, fmt, null):
    length = r.unpack(fmt)
    return None if length == null else r.take(length)


def read_plp(r):
    # Partially length-prefixed value (a (max) type): total length, then chunks until a zero length.
    if r.unpack("<Q") == 0xFFFFFFFFFFFFFFFF:
        return None
    chunks = []
    while length := r.unpack("<I"):
        chunks.append(r.take(length))
    return b"".join(chunks)


def decode(kind, data, scale):
    if data is None:
        return None
    if kind in ("nvarchar", "nchar", "ntext"):
        return data.decode("utf-16-le")
    if kind in ("varchar", "char", "text"):
        return data.decode("cp1252")
    if kind in INTS:
        return int.from_bytes(data, "little", signed=kind != "tinyint")
    if kind == "bit":
        return bool(data[0])
    if kind in ("float", "real"):
        return struct.unpack("<d" if len(data) == 8 else "<f", data)[0]
    if kind in ("decimal", "numeric"):
        magnitude = decimal.Decimal(int.from_bytes(data[1:], "little")).scaleb(-scale)
        return str(magnitude if data[0] else -magnitude)
    if kind in ("datetime", "smalldatetime"):
        days, ticks = struct.unpack("<iI" if kind == "datetime" else "<HH", data)
        since = datetime.timedelta(days=days, milliseconds=round(ticks * 10 / 3)) if kind == "datetime" else \
            datetime.timedelta(days=days, minutes=ticks)
        return (datetime.datetime(1900, 1, 1) + since).isoformat(" ", "milliseconds")
    if kind in SCALED.values():
        # time(n) counts 10^-n s since midnight, date counts days since 0001-01-01; datetime2 is time then
        # date, datetimeoffset adds the offset in minutes, [MS-TDS] 2.2.5.5.1.8.
        time_len = {"date": 0, "time": len(data), "datetime2": len(data) - 3}.get(kind, len(data) - 5)
        parts = []
        if kind != "time":
            days = int.from_bytes(data[time_len:time_len + 3], "little")
            parts.append((datetime.date(1, 1, 1) + datetime.timedelta(days=days)).isoformat())
        if kind != "date":
            seconds, fraction = divmod(int.from_bytes(data[:time_len], "little"), 10 ** scale)
            clock = "%02d:%02d:%02d" % (seconds // 3600, seconds // 60 % 60, seconds % 60)
            parts.append(clock + ("." + str(fraction).zfill(scale) if scale else ""))
        return " ".join(parts)
    return data.hex()


# ---------------------------------------------------------------------------------------------------------
# The script and the log

class Script:
    def __init__(self, rules, log_path):
        self.rules = rules
        self.seen = [0] * len(rules)
        self.answered = [0] * len(rules)
        self.lock = threading.Lock()
        self.log = open(log_path, "a", encoding="utf-8")

    def record(self, entry):
        with self.lock:
            self.log.write(json.dumps(entry, ensure_ascii=False) + "\n")
            self.log.flush()

    def answer(self, kind, text, count=True):
        """The first rule that fits; count=False only looks, as a prepare does before anything runs."""
        with self.lock:
            for i, rule in enumerate(self.rules):
                if rule.get("kind", kind) != kind or not re.search(rule.get("match", ""), text, re.I | re.S):
                    continue
                seen, answered = self.seen[i] + 1, self.answered[i]
                self.seen[i] += count
                if rule.get("nth", seen) != seen or answered >= rule.get("times", answered + 1):
                    continue
                self.answered[i] += count
                return rule
        return None


class LinkClosed(Exception):
    pass


# ---------------------------------------------------------------------------------------------------------
# One client's connection

class Session(socketserver.BaseRequestHandler):
    def setup(self):
        self.script = self.server.script
        self.packet_size = 4096
        self.trancount = 0
        self.pending = 0  # rows written in the open transaction
        self.descriptor = 0
        self.last_id = 0
        self.handles = {}  # prepared handle -> (statement, declaration)
        self.cursors = {}  # cursor id -> columns, rows, statement and the current fetch buffer

    def handle(self):
        try:
            while True:
                kind, data = self.receive()
                if kind == PRELOGIN:
                    self.script.record({"kind": "prelogin", "encryption": prelogin_encryption(data)})
                    self.send(self.prelogin_reply())
                elif kind == LOGIN7:
                    self.login(data)
                elif kind == ATTENTION:
                    self.script.record({"kind": "attention"})
                    self.send(done(DONE_ATTN))
                elif kind == BATCH:
                    r = Reader(data)
                    r.skip_all_headers()
                    text = r.text((len(data) - r.pos) // 2)
                    self.script.record({"kind": "batch", "statement": text})
                    self.respond("batch", text, lambda answer: self.outcome(answer))
                elif kind == RPC:
                    self.rpc(data)
                elif kind == TM:
                    self.transaction_request(data)
        except (LinkClosed, OSError):
            pass

    # -- packets, [MS-TDS] 2.2.3: type, status (1 = last of its message), length, SPID, number, window

    def receive(self):
        data, status = b"", 0
        while not status & 1:
            kind, status, length = struct.unpack(">BBH", self.recv_exactly(8)[:4])
            data += self.recv_exactly(length - 8)
        return kind, data

    def recv_exactly(self, n):
        data = b""
        while len(data) < n:
            chunk = self.request.recv(n - len(data))
            if not chunk:
                raise LinkClosed()
            data += chunk
        return data

    def send(self, payload):
        room = self.packet_size - 8
        chunks = [payload[i:i + room] for i in range(0, len(payload), room)]
        for number, chunk in enumerate(chunks, 1):
            header = struct.pack(">BBHHBB", REPLY, number == len(chunks), len(chunk) + 8, 0, number % 256, 0)
            self.request.sendall(header + chunk)

    # -- login

    def prelogin_reply(self):
        # PRELOGIN, [MS-TDS] 2.2.6.5: version 15.0.2000, ENCRYPT_NOT_SUP (2), no instance, no MARS.
        options = [(0, bytes([15, 0, 0x07, 0xD0, 0, 0])), (1, b"\x02"), (2, b"\x00"), (3, b""), (4, b"\x00")]
        head, body = b"", b""
        for token, value in options:
            head += struct.pack(">BHH", token, 5 * len(options) + 1 + len(body), len(value))
            body += value
        return head + b"\xff" + body

    def login(self, data):
        # LOGIN7, [MS-TDS] 2.2.6.4: fixed fields, then offset and length (in characters) of each text.
        tds_version, packet_size = struct.unpack_from("<4xII", data)
        self.packet_size = min(max(packet_size, 512), 32767)

        def text(at, unmask=lambda b: b):
            offset, chars = struct.unpack_from("<HH", data, at)
            return bytes(unmask(b) for b in data[offset:offset + 2 * chars]).decode("utf-16-le")

        # The password's bytes travel with their halves swapped and XOR 0xA5, 2.2.6.4.
        def unmasked(b):
            b ^= 0xA5
            return ((b << 4) & 0xF0) | (b >> 4)
        user, database = text(40), text(68) or "master"
        self.script.record({"kind": "login", "user": user, "password": text(44, unmasked),
                            "server": text(52), "language": text(64), "database": database,
                            "application": text(48), "tds_version": "%08x" % tds_version,
                            "packet_size": self.packet_size})
        rule = self.script.answer("login", user)
        if rule and self.delay_or_drop(rule):
            return
        if rule and "error" in rule:
            self.send(self.error(rule["error"]) + done(DONE_ERROR))
            raise LinkClosed()
        # A server's answer to a login, [MS-TDS] 2.2.2.2: database, collation, language (ENVCHANGE 1, 7, 2,
        # 2.2.7.9) with their INFO messages, LOGINACK (2.2.7.14), packet size (ENVCHANGE 4), DONE.
        ack = b"\x01" + struct.pack(">I", 0x74000004) + b_varchar("Microsoft SQL Server") + \
            bytes([15, 0, 7, 0xD0])
        size = b_varchar(str(self.packet_size))
        self.send(envchange(1, b_varchar(database), b_varchar("master")) +
                  message(5701, 2, 0, "Changed database context to '%s'." % database, info=True) +
                  envchange(7, b"\x05" + COLLATION, b"\x00") +
                  envchange(2, b_varchar("us_english"), b_varchar("")) +
                  message(5703, 1, 0, "Changed language setting to us_english.", info=True) +
                  b"\xad" + struct.pack("<H", len(ack)) + ack + envchange(4, size, size) + done())

    # -- answers

    def respond(self, kind, text, reply):
        """Answers one request from the script, or as the server itself would."""
        rule = self.script.answer(kind, text)
        if rule and self.delay_or_drop(rule):
            return
        answer = rule if rule and any(k in rule for k in ANSWERS) else self.builtin(text)
        if "rowcount" in answer and re.match(r"\s*(INSERT|UPDATE|DELETE)\b", text, re.I):
            self.write_rows(answer["rowcount"])
        payload = reply(answer)
        if rule and rule.get("close_after"):
            self.request.shutdown(socket.SHUT_RDWR)
            raise LinkClosed()
        self.send(payload)

    def write_rows(self, rows):
        if self.trancount:
            self.pending += rows
        else:
            self.script.record({"kind": "stored", "rows": rows})

    def delay_or_drop(self, rule):
        """The rule's silence and link drop; True when nothing more is to be answered."""
        if rule.get("delay"):
            readable, _, _ = select.select([self.request], [], [], rule["delay"])
            if readable and self.receive()[0] == ATTENTION:
                # An attention ends the request with DONE_ATTN, [MS-TDS] 2.2.1.7.
                self.script.record({"kind": "attention"})
                self.send(done(DONE_ATTN))
                return True
        if rule.get("close"):
            self.request.shutdown(socket.SHUT_RDWR)
            raise LinkClosed()
        return False

    def builtin(self, text):
        words = text.strip().upper()
        if re.match(r"BEGIN\s+TRAN", words):
            return {"tokens": self.begin_transaction()}
        verb = re.match(r"(COMMIT|ROLLBACK)\b", words)
        if verb:
            return self.finish_transaction(verb.group(1))
        if re.fullmatch(r"SELECT\s+@@TRANCOUNT\s*;?", words):
            return {"columns": [{"name": "", "type": "int"}], "rows": [[self.trancount]]}
        if re.fullmatch(r"(EXEC\s+)?SP_DATATYPE_INFO(_100)?\s+(11|93)\b.*", words):
            return TIMESTAMP_TYPES
        return {}

    def begin_transaction(self):
        self.trancount += 1
        if self.trancount > 1:
            return b""
        self.descriptor += 1
        # ENVCHANGE 8 carries the new transaction's 8-byte descriptor; 9 and 10 end it, [MS-TDS] 2.2.7.9.
        return envchange(8, b"\x08" + struct.pack("<Q", self.descriptor), b"\x00")

    def end_transaction(self, kind):
        self.trancount = 0
        if kind == 9 and self.pending:
            self.script.record({"kind": "stored", "rows": self.pending})
        self.pending = 0
        return envchange(kind, b"\x00", b"\x08" + struct.pack("<Q", self.descriptor))

    def finish_transaction(self, verb):
        if not self.trancount:
            text = "The %s TRANSACTION request has no corresponding BEGIN TRANSACTION." % verb
            return {"error": {"number": 3902 if verb == "COMMIT" else 3903, "message": text}}
        if verb == "COMMIT" and self.trancount > 1:
            self.trancount -= 1
            return {}
        return {"tokens": self.end_transaction(9 if verb == "COMMIT" else 10)}

    def error(self, fault):
        out = b""
        # A deadlock victim's transaction is rolled back by the server, MSSQLSERVER_1205:
        # https://learn.microsoft.com/en-us/sql/relational-databases/errors-events/mssqlserver-1205-database-engine-error
        # Other statement errors, a lock time-out (1222) or a bad date-time text (242) among them, leave it
        # open:
        # https://learn.microsoft.com/en-us/previous-versions/sql/sql-server-2005/ms177413(v=sql.90)
        if fault["number"] == 1205 and self.trancount:
            out = self.end_transaction(10)
        return out + message(fault["number"], fault.get("state", 1), fault.get("class", 16), fault["message"])

    def outcome(self, answer, inproc=False):
        """One statement's tokens, ended by DONE, or DONEINPROC inside a procedure."""
        token, more = (DONEINPROC, DONE_MORE) if inproc else (DONE, 0)
        out = answer.get("tokens", b"")
        if "error" in answer:
            return out + self.error(answer["error"]) + done(DONE_ERROR | more, token=token)
        if "columns" in answer:
            columns, rows = answer["columns"], answer.get("rows", [])
            return out + col_metadata(columns) + b"".join(row(columns, r) for r in rows) + \
                done(DONE_COUNT | more, len(rows), token)
        if "rowcount" in answer:
            return out + done(DONE_COUNT | more, answer["rowcount"], token)
        return out + done(more, token=token)

    def procedure_end(self, failed, outputs=()):
        return return_status(1 if failed else 0) + b"".join(return_int(*o) for o in outputs) + \
            done(DONE_ERROR if failed else 0, token=DONEPROC)

    # -- remote procedure calls, [MS-TDS] 2.2.6.6: procedure name or id, option flags, parameters

    def rpc(self, data):
        r = Reader(data)
        r.skip_all_headers()
        length = r.unpack("<H")
        name = PROC_IDS.get(r.unpack("<H"), "?") if length == 0xFFFF else r.text(length).lower()
        r.unpack("<H")
        args = []
        while not r.at_end() and r.data[r.pos] not in (0x80, 0xFF):  # a batch separator ends the call
            args.append(read_parameter(r))
        own, stmt_at, decl_at = PROC_ARGS.get(name, (0, None, None))
        own = min(own, len(args))

        def arg(i):
            return args[i]["value"] if i is not None and i < len(args) else None
        statement, declaration = arg(stmt_at), arg(decl_at)
        if name in ("sp_execute", "sp_unprepare"):
            statement, declaration = self.handles.get(arg(0), (None, None))
        if name in ("sp_cursorfetch", "sp_cursoroption", "sp_cursorclose"):
            statement = self.cursors.get(arg(0), {}).get("statement")
        # The driver sends the values unnamed, in the order of the declaration's names.
        names = re.findall(r"(@\w+)\s", declaration or "")
        for value, declared in zip(args[own:], names):
            value["name"] = value["name"] or declared
        entry = {"kind": "rpc", "procedure": name, "statement": statement, "parameters": args[own:]}
        if declaration is not None:
            entry["declaration"] = declaration
        self.script.record(entry)

        if name in ("sp_executesql", "sp_execute", "sp_prepexec"):
            outputs = [self.handle_output(args, statement, declaration)] if name == "sp_prepexec" else []
            self.respond("rpc", statement or "", lambda answer: self.outcome(answer, True) +
                         self.procedure_end("error" in answer, outputs))
        elif name == "sp_cursoropen":
            self.respond("rpc", statement or "", lambda answer: self.cursor_open(args, statement, answer))
        elif name == "sp_prepare":
            self.send(self.prepared(args, statement, declaration))
        elif name == "sp_cursorfetch":
            self.send(self.cursor_fetch(*[arg(i) for i in range(4)]))
        elif name in ("sp_unprepare", "sp_cursoroption", "sp_cursorclose"):
            {"sp_unprepare": self.handles, "sp_cursorclose": self.cursors}.get(name, {}).pop(arg(0), None)
            self.send(self.procedure_end(False))
        else:
            self.respond("rpc", name, lambda answer: self.outcome(answer, True) +
                         self.procedure_end("error" in answer))

    def new_id(self):
        self.last_id += 1
        return self.last_id

    def handle_output(self, args, statement, declaration):
        """A new prepared handle, as the procedure's first (output) argument."""
        handle = self.new_id()
        self.handles[handle] = (statement, declaration)
        return 0, args[0]["name"], handle

    def prepared(self, args, statement, declaration):
        # sp_prepare's options 0x0001 (RETURN_METADATA) ask for the result's columns,
        # https://learn.microsoft.com/en-us/sql/relational-databases/system-stored-procedures/sp-prepare-transact-sql
        rule = self.script.answer("rpc", statement or "", count=False)
        metadata = rule and "columns" in rule and (args[3]["value"] or 0) & 1
        out = col_metadata(rule["columns"]) if metadata else b""
        return out + self.procedure_end(False, [self.handle_output(args, statement, declaration)])

    def cursor_open(self, args, statement, answer):
        # sp_cursoropen, https://learn.microsoft.com/en-us/sql/relational-databases/system-stored-procedures/
        # sp-cursoropen-transact-sql
        # A statement without rows to keep runs directly, and no cursor is opened.
        if "columns" in answer:
            cursor, rows = self.new_id(), answer.get("rows", [])
            self.cursors[cursor] = {"columns": answer["columns"], "rows": rows, "statement": statement,
                                    "start": 0, "count": 0}
            out = col_metadata(answer["columns"], cursor=True) + done(DONE_MORE, 0, DONEINPROC)
            rowcount = len(rows)
        else:
            cursor, rowcount = 0, -1
            out = message(16954, 1, 10, "Executing SQL directly; no cursor.", info=True) + \
                self.outcome(answer, True)
        scrollopt, ccopt = args[2]["value"] or 0, args[3]["value"] or 0
        outputs = [(0, args[0]["name"], cursor), (2, args[2]["name"], scrollopt & 0x1F or STATIC),
                   (3, args[3]["name"], ccopt & 0x0F or READ_ONLY), (4, args[4]["name"], rowcount)]
        return out + self.procedure_end("error" in answer, outputs)

    def cursor_fetch(self, cursor_id, fetchtype, rownum, nrows):
        # sp_cursorfetch, https://learn.microsoft.com/en-us/sql/relational-databases/system-stored-procedures/
        # sp-cursorfetch-transact-sql
        cursor = self.cursors.get(cursor_id)
        if cursor is None:
            # Not a real server's message (50000 is the number of ad-hoc ones): a driver that fetches from a
            # cursor it never opened is the test's failure to see.
            return message(50000, 1, 16, "No open cursor %s on the stand-in." % cursor_id) + self.procedure_end(True)
        rows, nrows, rownum = cursor["rows"], nrows or 1, rownum or 0
        total = len(rows)
        if fetchtype & 0x100:  # INFO: the fetch buffer's first row number and the row count, as outputs
            return self.procedure_end(False, [(2, "", cursor["start"]), (3, "", total)])
        after = cursor["start"] + cursor["count"] if cursor["start"] else 1
        start = {0x01: 1, 0x02: after, 0x04: cursor["start"] - nrows, 0x08: total - nrows + 1,
                 0x10: rownum if rownum > 0 else total + rownum + 1,
                 0x20: cursor["start"] + rownum}.get(fetchtype, cursor["start"])
        first, last = max(start, 1), min(start + nrows - 1, total)
        picked = rows[first - 1:last] if first <= last else []
        # Past either end the position stays there, with an empty buffer.
        cursor["start"], cursor["count"] = (first, len(picked)) if picked else \
            (0 if start < 1 else total + 1, 0)
        columns = cursor["columns"]
        return col_metadata(columns, cursor=True) + b"".join(row(columns, r, 1) for r in picked) + \
            done(DONE_COUNT | DONE_MORE, len(picked), DONEINPROC) + self.procedure_end(False)

    # -- transaction manager, [MS-TDS] 2.2.6.9: 5 begin, 7 commit, 8 roll back; a commit or roll-back may
    #    ask for the next transaction to begin at once (fBeginXact)

    def transaction_request(self, data):
        r = Reader(data)
        r.skip_all_headers()
        request = r.unpack("<H")
        chain = False
        if request == 5:
            r.unpack("<B")  # isolation level
        elif request in (7, 8):
            r.text(r.unpack("<B"))  # transaction name
            chain = not r.at_end() and r.unpack("<B") == 1
        text = {5: "BEGIN", 7: "COMMIT", 8: "ROLLBACK"}.get(request, "REQUEST %d" % request) + " TRANSACTION"
        self.script.record({"kind": "tm", "statement": text, "begin_next": chain})

        def reply(answer):
            if chain and "error" not in answer:
                answer = dict(answer, tokens=answer.get("tokens", b"") + self.begin_transaction())
            return self.outcome(answer)
        self.respond("tm", text, reply)


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True


def prelogin_encryption(data):
    """The client's ENCRYPTION option of PRELOGIN, [MS-TDS] 2.2.6.5: 0 off, 1 on, 2 not supported, 3 required."""
    at = 0
    while at < len(data) and data[at] != 0xFF:
        token, offset, length = struct.unpack_from(">BHH", data, at)
        if token == 1 and length:
            return data[offset]
        at += 5
    return None


def answer_browser(browser, instance, port, script):
    """The SQL Server Browser on UDP 1434 for one named instance, [MC-SQLR] 2.2.2 and 2.2.5: a
    CLNT_UCAST_INST (0x04 and the instance's name) gets an SVR_RESP (0x05, size, the instance's text)."""
    while True:
        request, client = browser.recvfrom(4096)
        asked = request[1:].split(b"\0")[0].decode("latin-1") if request[:1] == b"\x04" else None
        script.record({"kind": "browser", "instance": asked})
        if asked is not None and asked.upper() == instance.upper():
            text = ("ServerName;STANDIN;InstanceName;%s;IsClustered;No;Version;15.0.2000.5;tcp;%d;;"
                    % (instance, port)).encode("latin-1")
            browser.sendto(b"\x05" + struct.pack("<H", len(text)) + text, client)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("script")
    parser.add_argument("log")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--lifetime", type=float, default=120)
    parser.add_argument("--port-file", help="also write the port to this file, once listening")
    parser.add_argument("--watch", help="stop when this file is gone, instead of at EOF on stdin")
    parser.add_argument("--instance", help="also answer the browser service on UDP 1434 for this instance")
    options = parser.parse_args()
    with open(options.script, encoding="utf-8") as f:
        rules = json.load(f)
    server = Server(("127.0.0.1", options.port), Session)
    if options.instance:
        # Bound before the port is told, so a browser port taken by another run fails the start.
        browser = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        browser.bind(("127.0.0.1", 1434))
    server.script = Script(rules, options.log)
    print(server.server_address[1], flush=True)
    if options.port_file:
        # Written whole under another name first, so a reader never sees half of it.
        with open(options.port_file + ".new", "w") as f:
            f.write("%d\n" % server.server_address[1])
        os.replace(options.port_file + ".new", options.port_file)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    if options.instance:
        threading.Thread(target=answer_browser, daemon=True,
                         args=(browser, options.instance, server.server_address[1], server.script)).start()
    stopping = threading.Event()
    deadline = time.monotonic() + options.lifetime
    if options.watch:
        # A program Wine starts has no pipe from the test: it stops when the test removes the watched file.
        while time.monotonic() < deadline and os.path.exists(options.watch):
            stopping.wait(0.2)
    else:
        threading.Thread(target=lambda: (sys.stdin.read(), stopping.set()), daemon=True).start()
        stopping.wait(options.lifetime)
    server.server_close()


if __name__ == "__main__":
    main()
