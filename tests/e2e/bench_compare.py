#!/usr/bin/python3
"""Compares quorvik's T-SQL script of one table, row by row, with what dbfread reads.

    bench_compare.py SCRIPT TABLE.dbf

Every record is converted (deleted ones too), so the script's INSERT statements are matched
in file order with dbfread's live and deleted records merged by each record's deletion flag.
Prints "compared N rows, D differences" and exits 1 when D is not 0 or the row counts differ.

What the two represent differently, and why it is normalised:
- Text: dbfread cuts blanks and NULs off the end, as our reader cuts trailing blanks; an
  empty C field is N'' for us and '' for dbfread. Literals are unquoted before comparing.
- NULL in the script stands for dbfread's None: a blank N or D field, a T field with day 0,
  a memo field without a block.
- N fields with decimals: dbfread gives a float, we write the exact decimal text (trailing
  zeros dropped). The table's numbers have at most 10 significant digits, which a double
  carries exactly through its shortest repr, so both are compared as Decimal.
- Y fields: dbfread gives a Decimal, we write the currency text; compared as Decimal.
- B fields: we write 17 significant digits ("%.16e"), enough to give back the same double.
- D and T fields: dates become 'YYYY-MM-DD', date-times 'YYYY-MM-DD hh:mm:ss' (the table's
  times are whole seconds, and a date-time at midnight prints as a date).
- L fields: with logicals written as 'T'/'F' we map True to 'T'; dbfread reads an unset
  logical ('?' or blank) as None, we read every byte but T, t, Y and y as false, so None
  counts as 'F'.
"""

import decimal
import struct
import sys

import dbfread


def literals(values):
    """Splits the text between VALUES ( and ); into its literals."""
    out = []
    i = 0
    n = len(values)
    while i < n:
        while i < n and values[i] in ' ,':
            i += 1
        if i >= n:
            break
        if values.startswith("N'", i) or values[i] == "'":
            i += 2 if values[i] == 'N' else 1
            text = []
            while True:
                j = values.index("'", i)
                text.append(values[i:j])
                if values.startswith("''", j):
                    text.append("'")
                    i = j + 2
                else:
                    i = j + 1
                    break
            out.append(('text', ''.join(text)))
        else:
            j = values.find(',', i)
            j = n if j < 0 else j
            token = values[i:j].strip()
            out.append(('null', None) if token == 'NULL' else ('number', token))
            i = j
    return out


def script_rows(path):
    prefix = 'INSERT INTO '
    with open(path, encoding='utf-8', newline='') as f:
        for line in f:
            if not line.startswith(prefix):
                continue
            start = line.index(') VALUES (') + len(') VALUES (')
            end = line.rindex(');')
            yield literals(line[start:end])


def table_rows(path):
    """dbfread's records in file order, deleted ones included."""
    with open(path, 'rb') as f:
        head = f.read(32)
        count, data_offset, rec_size = struct.unpack('<IHH', head[4:12])
        flags = []
        for k in range(count):
            f.seek(data_offset + k * rec_size)
            flags.append(f.read(1) == b'*')
    # dbfread takes B fields for memo references and would look for a memo file the Visual
    # FoxPro table (whose B fields are doubles) does not have.
    table = dbfread.DBF(path, encoding='cp1252', char_decode_errors='strict',
                        ignore_missing_memofile=True)
    live = iter(table.records)
    deleted = iter(table.deleted)
    fields = [(f.name, f.type) for f in table.fields]
    for is_deleted in flags:
        record = next(deleted) if is_deleted else next(live)
        yield [(name, kind, record[name]) for name, kind in fields]


def matches(kind, value, literal):
    what, text = literal
    if kind == 'L':
        return what == 'text' and text == ('T' if value else 'F')
    if value is None:
        return what == 'null'
    if kind in 'CM':
        return what == 'text' and text == value
    if kind == 'D':
        return what == 'text' and text == value.isoformat()
    if kind == 'T':
        # DATETIME literals are written in the form every server language reads alike.
        return what == 'text' and text == value.strftime('%Y-%m-%dT%H:%M:%S')
    if what != 'number':
        return False
    if kind == 'B':
        return float(text) == value
    if kind in 'NY':
        return decimal.Decimal(text) == decimal.Decimal(repr(value) if isinstance(value, float)
                                                        else value)
    if kind == 'I':
        return int(text) == value
    return False


def main():
    script, dbf = sys.argv[1], sys.argv[2]
    rows = 0
    differences = 0
    ours = script_rows(script)
    theirs = table_rows(dbf)
    for expected in theirs:
        got = next(ours, None)
        if got is None:
            print('script ends before record %d' % rows)
            differences += 1
            break
        if len(got) != len(expected):
            print('record %d: %d values, table has %d fields' % (rows, len(got), len(expected)))
            differences += 1
        else:
            for (name, kind, value), literal in zip(expected, got):
                if not matches(kind, value, literal):
                    differences += 1
                    if differences <= 20:
                        print('record %d field %s: dbfread %r, script %r' %
                              (rows, name, value, literal))
        rows += 1
    extra = sum(1 for _ in ours)
    if extra:
        print('script has %d rows more than the table' % extra)
        differences += extra
    print('compared %d rows, %d differences' % (rows, differences))
    sys.exit(1 if differences else 0)


if __name__ == '__main__':
    main()
