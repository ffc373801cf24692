#!/usr/bin/env python3
"""Writes the hand-made seed inputs of the fuzz targets into fuzz/corpus/ (the table files
other programs write are added beside them by ogr2ogr when it is installed). A table
file seed is one byte n, n bytes of the .cpg file beside the table, then the .dbf file. The
seeds ours_*.bin are tables our own store wrote (the statement target's folder)."""
import os, shutil, struct, subprocess, sys, tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
CORPUS = os.path.join(HERE, "corpus")


def dbf(fields, records, version=0x03, ldid=0xC9, extra_header=0, deleted=()):
    """fields: (name, type, length, decimals); records: lists of raw field bytes."""
    rec_len = 1 + sum(f[2] + (256 * f[3] if f[1] == "C" and f[3] else 0) for f in fields)
    head_len = 32 + 32 * len(fields) + 1 + extra_header
    out = struct.pack("<B3BIHH20x", version, 126, 12, 8, len(records), head_len, rec_len)
    out = out[:29] + bytes([ldid]) + out[30:]
    for name, typ, length, dec in fields:
        out += struct.pack("<11sc4xBB14x", name.encode("ascii"), typ.encode("ascii"), length, dec)
    out += b"\r" + b"\0" * extra_header
    for k, rec in enumerate(records):
        out += (b"*" if k in deleted else b" ") + b"".join(rec)
    return out + b"\x1a"


def seed(target, name, data):
    os.makedirs(os.path.join(CORPUS, target), exist_ok=True)
    with open(os.path.join(CORPUS, target, name), "wb") as f:
        f.write(data)


def table(name, dbf_bytes, cpg=b""):
    seed("fuzz_dbf", name, bytes([len(cpg)]) + cpg + dbf_bytes)


def main():
    ru = "Лист стальной".encode("cp1251")
    all_types = [("NAME", "C", 20, 0), ("QTY", "N", 5, 0), ("PRICE", "N", 10, 2), ("W", "F", 12, 3),
                 ("DAY", "D", 8, 0), ("OK", "L", 1, 0), ("ID", "I", 4, 0), ("SUM", "Y", 8, 0),
                 ("K", "B", 8, 0), ("AT", "T", 8, 0), ("MEMO", "M", 10, 0), ("_NullFlags", "0", 1, 0)]
    rows = [[ru.ljust(20), b"   42", b"   1234.50", b"   1.500E+03", b"20240229", b"T",
             struct.pack("<i", -7), struct.pack("<q", 123456789), struct.pack("<d", 2.5),
             struct.pack("<II", 2460000, 3600000), b"         1", b"\0"],
            [b" " * 20, b"     ", b"          ", b"            ", b"        ", b"?",
             b"\0" * 4, b"\0" * 8, b"\0" * 8, b"\0" * 8, b" " * 10, b"\x01"],
            [b"x".ljust(20), b"-0001", b"  -0,5    ", b"       -0.25", b"19991231", b"n",
             struct.pack("<i", 2**31 - 1), struct.pack("<q", -1), struct.pack("<d", -0.0),
             b"\0" * 8, b"         0", b"\0"]]
    table("all_types_cp1251.bin", dbf(all_types, rows, version=0x30, extra_header=263, deleted=(2,)))
    table("memo_version_backlink.bin", dbf([("ID", "I", 4, 0), ("T", "C", 3, 0)],
                                           [[struct.pack("<i", 1), b"abc"]], version=0x30, ldid=0x26,
                                           extra_header=263))
    table("long_text.bin", dbf([("NOTE", "C", 44, 1)], [["Длинная заметка".encode("cp866").ljust(300)]],
                               ldid=0x65))
    table("cpg_utf8.bin", dbf([("NAME", "C", 40, 0), ("N", "N", 20, 6)],
                              [["Труба профильная".encode("utf-8").ljust(40), b"12.125000".rjust(20)]], ldid=0),
          b"UTF-8")
    table("cpg_ansi1251.bin", dbf([("NAME", "C", 10, 0)], [["Круг".encode("cp1251").ljust(10)]], ldid=0),
          b"ANSI 1251\r\n")
    # Values other readers refuse and ours reads as null: an impossible date, a broken number.
    table("bad_values.bin", dbf([("DAY", "D", 8, 0), ("N", "N", 6, 2), ("OK", "L", 1, 0)],
                                [[b"19991301", b"1.2.3 ", b"x"], [b"2024 2 1", b"--1   ", b"\0"]]))
    table("empty.bin", dbf([("ID", "N", 11, 0)], []))
    table("foxpro_fields.bin", dbf([("G", "G", 4, 0), ("P", "P", 10, 0), ("B10", "B", 10, 0)],
                                   [[b"\0" * 4, b" " * 10, b" " * 10]], version=0xF5, ldid=0x03))

    ogr2ogr = shutil.which("ogr2ogr")
    if ogr2ogr:
        for enc in ("CP1251", "UTF-8"):
            with tempfile.TemporaryDirectory() as tmp:
                csv = os.path.join(tmp, "src.csv")
                with open(csv, "w", encoding="utf-8") as f:
                    f.write("id,name,price\n1,Лист 2 мм,120.5\n2,Уголок,\n3,,7\n")
                subprocess.run([ogr2ogr, "-f", "ESRI Shapefile", os.path.join(tmp, "out"), csv,
                                "-lco", "ENCODING=" + enc], check=True, capture_output=True)
                base = os.path.join(tmp, "out", "src")
                cpg = open(base + ".cpg", "rb").read() if os.path.exists(base + ".cpg") else b""
                table("gdal_%s.bin" % enc.lower().replace("-", ""), open(base + ".dbf", "rb").read(), cpg)

    statements = [
        "select * from tbl_pos",
        "select p.name, sum(l.qty) as total from tbl_pos p join tbl_line l on l.pos_id = p.id "
        "group by p.name order by total desc",
        "select max(id) as MAX_IND from tbl_line where pos_id = 1",
        "select * from tbl_pos where name like '%лист%' and price between 10 and 200",
        "select count(*) from tbl_line where note is null or qty < 0",
        "insert into tbl_line (id, pos_id, qty, note) values (4, 3, 1.5, 'новая строка')",
        "insert into tbl_pos values (9, 'Швеллер', 1e300, -2147483648)",
        "update tbl_pos set price = price * 1.1, name = upper(name) where grp = 3",
        "update tbl_line set note = 'это примечание длиннее сорока знаков, оно не влезет' where id = 1",
        "delete from tbl_line where pos_id = 2",
        "delete from tbl_pos",
        "create table tbl_new (a int, b double, c varchar(254))",
        "create table if not exists tbl_pos (id int)",
        "drop table tbl_pos",
        "select * from tbl_pos where id in (select pos_id from tbl_line) order by 1 limit 2",
    ]
    for k, s in enumerate(statements):
        seed("fuzz_statement", "s%02d.sql" % k, s.encode("utf-8"))
    for k, s in enumerate(statements[11:13] + [
            "CREATE TABLE tbl_ord (IND int, NORDER int, QTY double, PR varchar(50), D varchar(16))",
            "create table \"Заказы\" (x int)", "create table t (a varchar(0))", "create table t (a int, a int)",
            "CREATE TABLE t(a VARCHAR ( 254 ) , b INT)"]):
        seed("fuzz_create_table", "c%02d.sql" % k, s.encode("utf-8"))
    for k, s in enumerate([
            r"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=C:\zel\DB;Extended Properties=dBASE IV;",
            "Data Source=/home/op/DB;", r"data source=D:\a;b\DB;Persist Security Info=False",
            "Provider=x;Data Source=;Data Source=/tmp/second", "exec nom_command1 5",
            "select id from tbl_price"]):
        seed("fuzz_connection_string", "cs%02d.txt" % k, s.encode("utf-8"))
    # A selector byte (its remainder by 3: number, text, date), then the bytes.
    values = [bytes([3 * 20]) + struct.pack("<d", 1234.5), bytes([3 * 39]) + struct.pack("<d", -0.1 - 0.2),
              bytes([3 * 5]) + struct.pack("<d", 1e300), bytes([1]) + "Лист №1 «Сталь»".encode("cp1251"),
              bytes([1 + 3 * 5]) + "Труба".encode("utf-8"), bytes([2]) + b"20240229", bytes([2]) + b"19000229"]
    for k, b in enumerate(values):
        seed("fuzz_field_values", "v%02d.bin" % k, b)
    for k, b in enumerate([b"\x00\x04\x02\x03\x00\x00\x10\x00", b"\x00\x04\x0a\x06\x05Rezka\x04\x02\x04\x01",
                           b"\x00\x04\x02\x04\x7f\xf0\x00\x00\x00\x00\x00\x00", bytes(range(64))]):
        seed("fuzz_order_fields", "o%02d.bin" % k, b)


if __name__ == "__main__":
    sys.exit(main())
