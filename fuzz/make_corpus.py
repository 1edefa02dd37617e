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


def table32(signature, fields, records, flags=0, cp=0, rec_len=None, count=None):
    """Fields are (name, letter, length, decimals) or with Visual FoxPro field flags fifth."""
    header_len = 32 + 32 * len(fields) + 1
    if rec_len is None:
        rec_len = 1 + sum(f[2] for f in fields)
    count = len(records) if count is None else count
    out = bytearray(struct.pack('<B3BIHH16xBB2x', signature, 124, 1, 1, count, header_len,
                                rec_len, flags, cp))
    for name, letter, length, dec, *field_flags in fields:
        out += name.encode().ljust(11, b'\0') + letter.encode() + struct.pack(
            '<IBBB13x', 0, length, dec, field_flags[0] if field_flags else 0)
    out += b'\r'
    for r in records:
        out += r
    return bytes(out)


def table48(signature, fields, records):
    """dBase level 7: a 68-byte header and 48-byte descriptors."""
    header_len = 68 + 48 * len(fields) + 1
    rec_len = 1 + sum(f[2] for f in fields)
    out = bytearray(struct.pack('<B3BIHH', signature, 124, 1, 1, len(records), header_len,
                                rec_len)).ljust(68, b'\0')
    for name, letter, length, dec in fields:
        out += name.encode().ljust(32, b'\0') + letter.encode() + bytes([length, dec]) + bytes(13)
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

    # dBase level 7 binary types: sortable integers and doubles, a timestamp, an identity
    # column and a binary memo in a dBase IV memo file.
    dbt7 = bytearray(512)
    struct.pack_into('<I', dbt7, 0, 2)
    struct.pack_into('<H', dbt7, 20, 512)
    dbt7 += struct.pack('<II', 0x0008FFFF, 8 + 4) + b'\0\1\2\3'
    sortable = lambda d: struct.pack('>Q', struct.unpack('>Q', struct.pack('>d', d))[0] ^
                                     (0x8000000000000000 if d >= 0 else 0xFFFFFFFFFFFFFFFF))
    rec7 = (b' ' + struct.pack('>I', 0x80000001) + struct.pack('>I', 0x7FFFFFFB) + sortable(-2.5) +
            struct.pack('>d', 62135596800000.0 + 86400000.0) + b'1'.rjust(10))
    seed('level7_types', table48(0x8C, [('Item ID', '+', 4, 0), ('Qty', 'I', 4, 0),
                                        ('O', 'O', 8, 0), ('At', '@', 8, 0), ('B', 'B', 10, 0)],
                                 [rec7]), bytes(dbt7))

    # Visual FoxPro 9: varchar and varbinary with length bits, binary and nullable fields, a
    # blob, and the hidden _NullFlags field.
    fpt9 = bytearray(512)
    struct.pack_into('>I', fpt9, 0, 10)
    struct.pack_into('>H', fpt9, 6, 64)
    fpt9 += struct.pack('>II', 0, 3) + b'x\0y'
    fpt9 = fpt9.ljust(9 * 64, b'\0') + struct.pack('>II', 2, 3) + b'\0\1\2'
    rec9 = (b' ' + b'abc  ' + b'hi\0\0\0\x02' + b'\x01\0\0\x02' + b'a\0 b' +
            struct.pack('<I', 8) + struct.pack('<I', 9) + b'\x0a')
    seed('vfp9_types', table32(0x30, [('NAME', 'C', 5, 0, 0x02), ('V', 'V', 6, 0, 0x02),
                                      ('Q', 'Q', 4, 0), ('RAW', 'C', 4, 0, 0x04),
                                      ('M', 'M', 4, 0, 0x04), ('W', 'W', 4, 0),
                                      ('_NullFlags', '0', 1, 0, 0x05)],
                               [rec9], flags=0x02), bytes(fpt9))

    # Numbers dBase could not fit (asterisks), two fields of one name, descriptors wider than
    # the header's record length, and records past the header's count.
    odd_fields = [('N', 'N', 5, 0), ('n', 'N', 8, 2), ('C', 'C', 3, 0)]
    odd_records = [b' *****    1.50abc', b'   12a********xyz', b' 1e300' + b' ' * 11]
    seed('odd_numbers', table32(0x03, odd_fields, odd_records, count=1) + b'\x1a')
    seed('short_record_length', table32(0x03, odd_fields, odd_records, rec_len=12) + b'\x1a')

    dbc_property_seeds()


def dbc_property(prop_id, value, length=None, id_size=1):
    """One record of a container object's PROPERTY memo: total length, id length, id, value."""
    head = struct.pack('<IH', 0, id_size) + prop_id.to_bytes(id_size, 'little')
    total = len(head) + len(value) if length is None else length
    return struct.pack('<I', total) + head[4:] + value


def dbc_property_seeds():
    """PROPERTY memos for dbc_property_fuzz, each seed one memo: valid ones as Visual FoxPro
    writes them for a table, a field, a view and a relation, and damaged lengths."""
    corpus = os.path.join(HERE, 'corpus_dbc_property')
    os.makedirs(corpus, exist_ok=True)

    def put(name, memo):
        with open(os.path.join(corpus, name), 'wb') as f:
            f.write(memo)

    table = (dbc_property(0x02, b'\x01') + dbc_property(0x01, b'orders.dbf\0') +
             dbc_property(0x0F, b'__ri_update_orders()\0') + dbc_property(0x14, b'orderid\0'))
    put('table', table)
    put('field', dbc_property(0x0B, b'0\0') + dbc_property(0x09, b'discount=>0\0') +
        dbc_property(0x0A, b'"Must be positive"\0') + dbc_property(0x38, b'Discount\0'))
    put('remote_view', dbc_property(0x02, b'\x07') + dbc_property(0x25, b'\0\0\0d') +
        dbc_property(0x2A, b'SELECT a.x FROM a\0') + dbc_property(0x20, b'CURSADM\0'))
    put('relation', dbc_property(0x0D, b'custid\0') + dbc_property(0x12, b'Customers\0') +
        dbc_property(0x13, b'custid\0'))
    put('wide_id', dbc_property(0x0120, b'x\0', id_size=2))
    put('zero_length', table[:8] + dbc_property(0x01, b'a.dbf\0', length=0))
    put('past_end', dbc_property(0x01, b'a.dbf\0', length=4000))
    put('cut_header', table + table[:5])


if __name__ == '__main__':
    sys.exit(main())
