#!/usr/bin/env python3
"""Writes the fuzz seed corpus from tables of our own: the demo database and a few small tables
of the other layouts. Each seed is a 16-bit table length, the table, then its memo file."""
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)


def seed(name, table, memo=b''):
    with open(os.path.join(HERE, 'corpus', name), 'wb') as f:
        f.write(struct.pack('<H', len(table)) + table + memo)


def table32(signature, fields, records, flags=0, cp=0):
    header_len = 32 + 32 * len(fields) + 1
    rec_len = 1 + sum(f[2] for f in fields)
    out = bytearray(struct.pack('<B3BIHH16xBB2x', signature, 124, 1, 1, len(records), header_len,
                                rec_len, flags, cp))
    for name, letter, length, dec in fields:
        out += name.encode().ljust(11, b'\0') + letter.encode() + struct.pack('<IBB14x', 0, length, dec)
    out += b'\r'
    for r in records:
        out += r
    return bytes(out)


def main():
    os.makedirs(os.path.join(HERE, 'corpus'), exist_ok=True)
    shop = os.path.join(ROOT, 'samples', 'shop')
    for table, memo in (('customers.dbf', 'customers.dbt'), ('orders.dbf', None),
                        ('products.dbf', 'products.fpt')):
        with open(os.path.join(shop, table), 'rb') as f:
            data = f.read()
        memo_data = b''
        if memo:
            with open(os.path.join(shop, memo), 'rb') as f:
                memo_data = f.read()
        seed('shop_' + table.replace('.dbf', ''), data, memo_data)

    # FoxBase: 8-byte header, 16-byte descriptors, records after the 521-byte header area.
    fb = bytearray(struct.pack('<BHxxxH', 2, 2, 6))
    fb += b'NAME'.ljust(11, b'\0') + b'C' + bytes([5, 0, 0, 0])
    fb += b'\r'
    fb = fb.ljust(521, b'\0') + b' alpha' + b'*beta '
    seed('foxbase', bytes(fb))

    # dBase IV with memo: stored lengths include the 8-byte block head.
    dbt = bytearray(512)
    struct.pack_into('<I', dbt, 0, 2)
    struct.pack_into('<H', dbt, 20, 512)
    dbt += struct.pack('<II', 0x0008FFFF, 8 + 5) + b'memo!' + b'\x1a' * 3
    seed('dbase4_memo', table32(0x8B, [('M', 'M', 10, 0), ('D', 'D', 8, 0), ('F', 'F', 8, 2)],
                                [b' ' + b'1'.rjust(10) + b'20240229' + b'   3.25']), bytes(dbt))

    # dBase level 7: 48-byte descriptors from offset 68.
    l7 = bytearray(struct.pack('<B3BIHH', 0x04, 124, 1, 1, 1, 68 + 48 + 1, 1 + 4))
    l7 = l7.ljust(68, b'\0')
    l7 += b'ID'.ljust(32, b'\0') + b'C' + bytes([4, 0]) + bytes(13)
    l7 += b'\r' + b' abcd'
    seed('level7', bytes(l7))

    # SMT memo.
    smt = bytearray(512)
    struct.pack_into('<I', smt, 4, 64)
    smt += b'smt text\0'
    seed('smt_memo', table32(0xE5, [('M', 'M', 10, 0)], [b' ' + b'      ' + struct.pack('<I', 8)]),
         bytes(smt))

    # Visual FoxPro binary fields and a database container memo.
    fpt = bytearray(512)
    struct.pack_into('>I', fpt, 0, 9)
    struct.pack_into('>H', fpt, 6, 64)
    fpt += struct.pack('>II', 1, 4) + b'dct!'
    rec = (b' ' + struct.pack('<i', -5) + struct.pack('<q', 123456) + struct.pack('<d', 1.5) +
           struct.pack('<ii', 2457917, 43200999) + struct.pack('<I', 8) + b'T')
    seed('vfp_dbc', table32(0x30, [('I', 'I', 4, 0), ('Y', 'Y', 8, 4), ('B', 'B', 8, 0),
                                   ('T', 'T', 8, 0), ('M', 'M', 4, 0), ('L', 'L', 1, 0)],
                            [rec], flags=0x06, cp=0x65), bytes(fpt))


if __name__ == '__main__':
    sys.exit(main())
