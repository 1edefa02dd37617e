#!/usr/bin/env python3
"""Writes the benchmark tables, the same bytes for the same record count on every run.

    make_tables.py FOLDER [RECORDS [TABLE_FOLDER...]]

RECORDS defaults to one million; naming table folders (dbase3, vfp, ...) writes only those.

FOLDER/dbase3/people.dbf  dBase III table (signature 0x83) with its memo file people.dbt:
                          N, C, D, L and M fields, code page mark 0x03 (Windows-1252).
                          One record in ten has memo text; one in 37 is marked deleted.
FOLDER/vfp/items.dbf      Visual FoxPro table (signature 0x30, no memo file): I, Y, T, B, N,
                          C, L and D fields, code page mark 0x03.
FOLDER/text1252/letters.dbf
                          dBase III table (0x03) of ten C fields of 10 to 254 bytes, accented
                          Windows-1252 text (mark 0x03) with euro signs, curly quotes and
                          apostrophes; fields filled 40 to 100 %, one value in 17 blank.
FOLDER/text866/cyrillic.dbf
                          The same fields with Russian text in code page 866 (mark 0x65).
FOLDER/memo/docs.dbf      FoxPro 2 table (signature 0xF5) with its memo file docs.fpt (block
                          size 64): N, C and M fields, Windows-1252; every record has a memo of
                          512 to 8192 bytes, with line breaks.
FOLDER/numeric/measures.dbf
                          Visual FoxPro table (0x30): twenty N fields with 1 to 10 decimals,
                          two F, two B (double), two Y (currency) and three I fields.
FOLDER/wide/survey.dbf    dBase III table (0x03) of 200 fields: N(9) ID, then C(10), N(8,2), D
                          and L in turn, Windows-1252.

FOLDER/blank/remarks.dbf  dBase III table (0x03) of eight C(20) fields, three values in four
                          blank; written only when named (the direct-mode benchmark's).

The four tables after the first two have no deleted records. Each table lies in a folder of its
own so that a converter given the folder sees one table. Values come from the record number
through a fixed integer hash, so no random generator (and no version of one) decides the bytes.
Records are packed into one buffer per block of records and written with one write per block.
"""
import os
import struct
import sys

LAST_UPDATE = (124, 6, 1)  # 2024-06-01, years counted from 1900
CP1252_MARK = 0x03
BLOCK_RECORDS = 20000

FIRST = ['Anna', 'Bernd', 'Chloé', 'Dmitri', 'Elodie', 'Fiona', 'Gérard', 'Hannah', 'Iñigo',
         'Jürgen', 'Katrin', 'Lars', 'Marta', 'Noël', 'Olaf', 'Petra', 'Quentin', 'Renée',
         'Søren', 'Tomás', "O'Neil", 'Ulrike', 'Víctor', 'Wanda']
LAST = ['Müller', 'Smith', "D'Arcy", 'García', 'Nowak', 'Østergaard', 'Dupont', 'Rossi',
        'Björk', 'Kowalski', 'Åberg', 'Ng', 'Fernández-López', 'Schröder', 'Brown']
CITIES = ['Berlin', 'Zürich', 'Paris', 'Kraków', 'Málaga', 'Oslo', 'Reykjavík', 'Wien',
          'Lisboa', 'Bruxelles', 'København', '']
WORDS = ['order', 'called', 'back', 'café', 'delivery', "won't", 'pay', 'before', 'Friday',
         'naïve', 'request', 'quote', 'déjà', 'vu', 'again', 'and', 'then', 'some', '100%',
         'résumé']
LABELS = ['Widget', 'Gadget', 'Sprocket', 'Crème brûlée', 'Bolt', "Nut 'M8'", 'Gear', 'Flange',
          'Spring', 'Washer', 'Señal', 'Ventil']


def mix(i, salt):
    """A fixed 32-bit hash of the record number."""
    x = (i * 2654435761 + salt * 40503) & 0xFFFFFFFF
    x ^= x >> 15
    x = (x * 2246822519) & 0xFFFFFFFF
    x ^= x >> 13
    return x


def header(signature, n_records, fields, flags, extra=0, mark=CP1252_MARK):
    record_size = 1 + sum(f[2] for f in fields)
    header_size = 32 + 32 * len(fields) + 1 + extra
    head = struct.pack('<B3BIHH16xBB2x', signature, *LAST_UPDATE, n_records, header_size,
                       record_size, flags, mark)
    offset = 1
    for name, letter, length, decimals in fields:
        head += name.encode('ascii').ljust(11, b'\0') + letter.encode('ascii')
        head += struct.pack('<IBBB13x', offset, length, decimals, 0)
        offset += length
    return head + b'\r' + b'\0' * extra, record_size


def text(value, length):
    return value.encode('cp1252').ljust(length, b' ')[:length]


def number(value, length):
    raw = value.encode('ascii')
    assert len(raw) <= length, value
    return raw.rjust(length, b' ')


def date(i, salt, blank_every):
    if blank_every and i % blank_every == 0:
        return b' ' * 8
    h = mix(i, salt)
    return b'%04d%02d%02d' % (1930 + h % 95, 1 + (h >> 8) % 12, 1 + (h >> 12) % 28)


PEOPLE = [('ID', 'N', 9, 0), ('NAME', 'C', 40, 0), ('CITY', 'C', 20, 0), ('BORN', 'D', 8, 0),
          ('SALARY', 'N', 12, 2), ('ACTIVE', 'L', 1, 0), ('NOTES', 'M', 10, 0)]


def memo_text(i):
    h = mix(i, 7)
    n = 3 + h % 60  # some memos span more than one 512-byte block
    words = [WORDS[(h + 7 * k + (h >> (k % 16))) % len(WORDS)] for k in range(n)]
    return ('Note %d: ' % i + ' '.join(words)).encode('cp1252')


def people_record(i, memo_block):
    h = mix(i, 1)
    name = FIRST[h % len(FIRST)] + ' ' + LAST[(h >> 5) % len(LAST)]
    if i % 101 == 0:
        name = ''  # blank text
    city = CITIES[(h >> 9) % len(CITIES)]
    cents = mix(i, 2) % 100000000
    salary = '' if i % 53 == 0 else '%s%d.%02d' % ('-' if i % 97 == 0 else '', cents // 100,
                                                  cents % 100)
    active = b'TFTFTYNF?'[(h >> 13) % 9:(h >> 13) % 9 + 1]
    memo = b'%10d' % memo_block if memo_block else b' ' * 10
    return b''.join((b'*' if i % 37 == 5 else b' ', number('%d' % i, 9), text(name, 40),
                     text(city, 20), date(i, 3, 41), number(salary, 12), active, memo))


def write_people(folder, count):
    path = os.path.join(folder, 'people.dbf')
    head, record_size = header(0x83, count, PEOPLE, 0)
    with open(path, 'wb') as dbf, open(os.path.join(folder, 'people.dbt'), 'wb') as dbt:
        dbf.write(head)
        # Block 0 is the memo file's header: the next free block, and (as FoxPro-style readers
        # expect a block size there) 512 big-endian at offset 6.
        dbt.write(b'\0' * 512)
        next_block = 1
        for first in range(0, count, BLOCK_RECORDS):
            records = []
            memos = []
            for i in range(first, min(count, first + BLOCK_RECORDS)):
                block = 0
                if i % 10 == 3:
                    memo = memo_text(i) + b'\x1a\x1a'
                    block = next_block
                    padded = memo.ljust((len(memo) + 511) // 512 * 512, b'\0')
                    memos.append(padded)
                    next_block += len(padded) // 512
                records.append(people_record(i, block))
            block_bytes = b''.join(records)
            assert len(block_bytes) == record_size * len(records)
            dbf.write(block_bytes)
            dbt.write(b''.join(memos))
        dbf.write(b'\x1a')
        dbt.seek(0)
        dbt.write(struct.pack('<I', next_block))
        dbt.seek(6)
        dbt.write(struct.pack('>H', 512))


ITEMS = [('ID', 'I', 4, 0), ('PRICE', 'Y', 8, 4), ('STAMP', 'T', 8, 0), ('WEIGHT', 'B', 8, 3),
         ('QTY', 'N', 7, 0), ('LABEL', 'C', 24, 0), ('INSTOCK', 'L', 1, 0), ('SOLD', 'D', 8, 0)]

JULIAN_2000_01_01 = 2451545


def items_record(i):
    h = mix(i, 11)
    price = (mix(i, 12) % 1000000000) * (-1 if i % 89 == 0 else 1)  # in 1/10000 units
    if i % 67 == 0:
        stamp = struct.pack('<ii', 0, 0)  # empty date-time
    else:
        stamp = struct.pack('<ii', JULIAN_2000_01_01 + mix(i, 13) % 9000,
                            (mix(i, 14) % 86400) * 1000)
    weight = (mix(i, 15) % 10000000) / 1000.0
    qty = '' if i % 71 == 0 else '%d' % ((h % 1999999) - 999999)
    label = LABELS[(h >> 7) % len(LABELS)] + ' #%d' % (h % 10000)
    return b''.join((b'*' if i % 43 == 7 else b' ', struct.pack('<iq', i - 500, price), stamp,
                     struct.pack('<d', weight), number(qty, 7), text(label, 24),
                     b'TF'[(h >> 11) % 2:(h >> 11) % 2 + 1], date(i, 16, 59)))


def write_items(folder, count):
    # A Visual FoxPro header ends with the 263-byte database container back link.
    head, record_size = header(0x30, count, ITEMS, 0x00, extra=263)
    with open(os.path.join(folder, 'items.dbf'), 'wb') as dbf:
        dbf.write(head)
        for first in range(0, count, BLOCK_RECORDS):
            block_bytes = b''.join(items_record(i)
                                   for i in range(first, min(count, first + BLOCK_RECORDS)))
            assert len(block_bytes) % record_size == 0
            dbf.write(block_bytes)
        dbf.write(b'\x1a')


def main():
    if len(sys.argv) < 2:
        sys.exit('usage: make_tables.py FOLDER [RECORDS [TABLE_FOLDER...]]')
    folder = sys.argv[1]
    count = int(sys.argv[2]) if len(sys.argv) >= 3 else 1000000
    from shape_tables import NAMED_WRITERS, WRITERS  # it reuses this file's helpers
    writers = (('dbase3', write_people), ('vfp', write_items)) + WRITERS
    wanted = sys.argv[3:] or [sub for sub, _ in writers]
    writers += NAMED_WRITERS
    unknown = set(wanted) - {sub for sub, _ in writers}
    if unknown:
        sys.exit('unknown table folder: ' + ', '.join(sorted(unknown)))
    for sub, write in writers:
        if sub in wanted:
            os.makedirs(os.path.join(folder, sub), exist_ok=True)
            write(os.path.join(folder, sub), count)


if __name__ == '__main__':
    main()
