#!/usr/bin/env python3
"""Compares the values our DBF reader produced (a JSON file) with those of python3-dbfread.

Usage: dbfread_compare.py OURS.json

OURS.json holds {"tables": [{"path", "code_page", "char_table", "fields", "records"}]}, each
record {"deleted": bool, "values": [...]}, a value being null, a string, true/false, or an
object {"int"|"num"|"r4"|"date"|"datetime": text}.

Representational differences that are normalised before comparing, and why:
- Text: we end a field at its first NUL byte and drop trailing blanks of C fields; dbfread
  strips trailing NULs and blanks. Both are cut at the first NUL, then compared.
- Empty values: an empty memo, a memo whose block is 0 or unreadable, a blank number or date
  are None in dbfread and null or "" for us; all of these compare equal to each other.
- Logicals: dbfread gives None for "?" and blank; we give false for every byte other than
  T, t, Y, y, so None compares equal to false.
- Numbers: dbfread gives int, float or Decimal; we give exact integers and decimals (compared
  exactly after rounding to 1e-9 relative) and single-precision values for F fields (compared
  to 1e-6 relative, the precision such a value keeps).
- Dates of "00000000": dbfread gives None, we give the all-zero date 0000-00-00.
- Date-times: we drop milliseconds after rounding 999 up into the next second (the table's
  encoding); dbfread keeps microseconds, so its value is brought to whole seconds by the same
  rule before comparing.
- General (G) and picture (P) fields: dbfread's bytes are not compared.
- Visual FoxPro's hidden _NullFlags field: we read it for the other fields and give no column
  for it; dbfread's column of it is left out.
- Visual FoxPro V fields: their length is in their last byte when _NullFlags says so, which
  we honour and dbfread does not; its text must start with ours.
- Code pages Python has no codec for (Mazovia 620, Kamenicky 895): dbfread decodes as
  latin-1 and the bytes are mapped through our own 256-entry table, which still checks every
  field's position, length and trimming; the letters themselves are tested elsewhere.
- Bytes the code page leaves undefined: we keep them as the C1 control of the same value
  (as Windows does for 0x81 in code page 1252); dbfread replaces them by U+FFFD, which
  therefore matches any C1 control or U+FFFD of ours.
- dBase IV memos: we take the stored length; dbfread reads on to the 0x1F end mark, past
  that length, so its text must start with ours.
- Field names: we take names that are valid UTF-8 as UTF-8 and others in the table's code
  page; dbfread decodes them with the table's code page, so the names' bytes are read through
  latin-1 and decoded by our rule before comparing.
- Records whose deletion flag is neither blank nor "*" (some writers leave 0): dbfread skips
  them, we read them as live records; only the records dbfread sees are compared.
- Duplicate field names: dbfread's records are read as lists, not dicts, so both values of
  a repeated name are compared; we give the repeated field a name generated from it (the
  name and a counter).
- B fields: dbfread takes a B field of a non-Visual-FoxPro table for a binary memo
  reference, while this system does so only in dBase IV and level 7 tables and reads other
  B fields as 8-byte doubles (as the tables it writes carry them); the script reads B fields
  as doubles, and none of the shared tables is a dBase IV table with B fields.
- C and M fields flagged binary (Visual FoxPro's NOCPTRANS): we read their bytes, dbfread
  decodes them as text of the table's code page; its text is encoded back to bytes to compare.
- Tables in formats dbfread does not read (FoxBase 0x02, dBase level 7 0x04/0x8C: it knows
  no 16- or 48-byte field descriptors) are reported as skipped, not compared. So the level 7
  field types (O, +, @, B as a binary memo) have no dbfread values to meet here.
- Tables read as UTF-8 (a .cpg file, or text all UTF-8 under the default mark, as in
  dbase_03_cyrillic.dbf whose mark 0xF0 names no code page) are decoded by dbfread as UTF-8.
"""
import datetime
import decimal
import json
import sys

import struct

import dbfread
from dbfread.field_parser import FieldParser


class DoubleB(FieldParser):
    def parseB(self, field, data):
        return struct.unpack('<d', data)[0] if len(data) == 8 else None

PYTHON_CODECS = {
    0: 'cp1252', 437: 'cp437', 850: 'cp850', 1252: 'cp1252', 10000: 'mac_roman', 866: 'cp866',
    1251: 'cp1251', 852: 'cp852', 865: 'cp865', 861: 'cp861', 737: 'cp737', 857: 'cp857',
    1256: 'cp1256', 10007: 'mac_cyrillic', 10029: 'mac_latin2', 10006: 'mac_greek',
    1250: 'cp1250', 1254: 'cp1254', 1253: 'cp1253', 1255: 'cp1255', 1257: 'cp1257',
    874: 'cp874', 860: 'cp860', 863: 'cp863', 932: 'cp932', 936: 'gbk', 949: 'cp949', 950: 'cp950',
    65001: 'utf-8',
}
UNREADABLE_SIGNATURES = {0x02, 0x04, 0x8C}


def cut_text(s):
    return s.split('\0', 1)[0]


def theirs_to_text(value, table_map):
    if isinstance(value, bytes):
        value = value.decode('latin-1')
    if table_map is not None:
        value = ''.join(table_map[ord(c)] if ord(c) < 256 else c for c in value)
    return value


def same_text(ours, theirs):
    if len(ours) != len(theirs):
        return False
    for mine, other in zip(ours, theirs):
        if mine != other and not (other == '\ufffd' and (0x80 <= ord(mine) <= 0x9F or mine == '\ufffd')):
            return False
    return True


def our_name(raw, codec):
    try:
        return raw.decode('utf-8')
    except UnicodeDecodeError:
        return raw.decode(codec, errors='replace')


def same(ours, theirs, ftype, table_map, codec, memo_prefix=False):
    if ftype in ('G', 'P'):
        return True
    if isinstance(ours, dict) and ours.get('num', '').startswith('0x') and isinstance(theirs, str):
        return bytes.fromhex(ours['num'][2:]) == theirs.encode(codec, errors='replace')
    if ftype == 'V' and isinstance(ours, str) and isinstance(theirs, str):
        return theirs.startswith(ours)
    if isinstance(theirs, (bytes, str)):
        theirs = cut_text(theirs_to_text(theirs, table_map))
        if ftype == 'C':
            theirs = theirs.rstrip(' ')
    empty_ours = ours is None or ours == ''
    if theirs is None or theirs == '':
        if ftype == 'L':
            return ours is False or empty_ours
        if isinstance(ours, dict) and ours.get('date') == '0000-00-00':
            return True
        return empty_ours
    if isinstance(theirs, bool):
        return ours is theirs
    if isinstance(theirs, str):
        if not isinstance(ours, str):
            return False
        if ftype not in ('C', 'M'):
            theirs = theirs.lstrip(' ')
        if ftype == 'M' and memo_prefix:
            return len(theirs) >= len(ours) and same_text(ours, theirs[:len(ours)])
        return same_text(ours, theirs)
    if isinstance(theirs, datetime.datetime):
        whole = theirs.replace(microsecond=0)
        if theirs.microsecond >= 999000:
            whole += datetime.timedelta(seconds=1)
        return isinstance(ours, dict) and ours.get('datetime') == whole.strftime('%Y-%m-%d %H:%M:%S')
    if isinstance(theirs, datetime.date):
        return isinstance(ours, dict) and ours.get('date') == theirs.strftime('%Y-%m-%d')
    if isinstance(theirs, (int, float, decimal.Decimal)):
        if not isinstance(ours, dict):
            return False
        kind, text = next(iter(ours.items()))
        mine = decimal.Decimal(text)
        other = decimal.Decimal(str(theirs)) if not isinstance(theirs, decimal.Decimal) else theirs
        tolerance = decimal.Decimal('1e-6') if kind == 'r4' else decimal.Decimal('1e-9')
        return abs(mine - other) <= tolerance * max(abs(other), 1)
    return False


def compare(table):
    path = table['path']
    with open(path, 'rb') as f:
        signature = f.read(1)[0]
    code_page = table['code_page']
    codec = PYTHON_CODECS.get(code_page)
    table_map = None
    if codec is None:
        codec = 'latin-1'
        table_map = [chr(c) for c in table['char_table']]
    try:
        dbf = dbfread.DBF(path, encoding=codec, char_decode_errors='replace', load=True,
                          ignore_missing_memofile=True,
                          recfactory=lambda items: [value for _, value in items],
                          parserclass=DoubleB)
    except Exception as e:  # noqa: BLE001 - the format decides whether this is expected
        if signature in UNREADABLE_SIGNATURES:
            return ['SKIP %s: dbfread cannot read signature 0x%02X (%s)' % (path, signature, e)]
        return ['FAIL %s: dbfread failed: %r' % (path, e)]
    problems = []
    raw_names = dbfread.DBF(path, encoding='latin-1', load=False, ignore_missing_memofile=True).fields
    kept = [i for i, f in enumerate(dbf.fields) if not (f.name == '_NullFlags' and f.type == '0')]
    names = [our_name(raw_names[i].name.encode('latin-1'), codec) for i in kept]
    types = [dbf.fields[i].type for i in kept]
    def same_name(i, ours, theirs):
        repeated = theirs.lower() in [n.lower() for n in names[:i]]
        return ours == theirs or (repeated and ours.startswith(theirs))
    if len(names) != len(table['fields']) or not all(
            same_name(i, o, t) for i, (o, t) in enumerate(zip(table['fields'], names))):
        problems.append('FAIL %s: fields %r, dbfread %r' % (path, table['fields'], names))
        return problems
    memo_prefix = signature in (0x7B, 0x8B, 0xCB, 0xEB)
    seen = [r for r in table['records'] if r['flag'] in (0x20, 0x2A)]
    ours_live = [r for r in seen if not r['deleted']]
    ours_deleted = [r for r in seen if r['deleted']]
    for label, ours_list, theirs_list in (('record', ours_live, dbf.records),
                                          ('deleted record', ours_deleted, dbf.deleted)):
        if len(ours_list) != len(theirs_list):
            problems.append('FAIL %s: %d %ss, dbfread %d' % (path, len(ours_list), label,
                                                            len(theirs_list)))
            continue
        for n, (ours, theirs) in enumerate(zip(ours_list, theirs_list)):
            theirs = [theirs[i] for i in kept]
            for i, (mine, other) in enumerate(zip(ours['values'], theirs)):
                if not same(mine, other, types[i], table_map, codec, memo_prefix):
                    problems.append('FAIL %s %s %d field %s (%s): ours %r, dbfread %r' %
                                    (path, label, n, names[i], types[i], mine, other))
    return problems


def main():
    with open(sys.argv[1], encoding='utf-8') as f:
        ours = json.load(f)
    problems = []
    for table in ours['tables']:
        problems += compare(table)
    for line in problems:
        print(line)
    failed = [p for p in problems if p.startswith('FAIL')]
    print('compared %d tables, %d differences' % (len(ours['tables']), len(failed)))
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
