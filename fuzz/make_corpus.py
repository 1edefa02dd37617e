#!/usr/bin/env python3
"""Writes the fuzz seed corpora. corpus/: tables of our own, the demo database and a few small
tables of the other layouts; each seed is a 16-bit table length, the table, then its memo file.
index_corpus/: index files made from their published layouts, whole and damaged; each seed is
a byte naming the layout (0 cdx, 1 idx, 2 mdx, 3 ndx, 4 ntx), then the file."""
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

    index_seeds()
    dbc_property_seeds()


def index_seed(name, kind, data):
    with open(os.path.join(HERE, 'index_corpus', name), 'wb') as f:
        f.write(bytes([kind]) + data)


def compact_header(key, filter_=b'', options=0, descending=False, root=0):
    """A compact tag header and its expression pool (Visual FoxPro help, compact .idx)."""
    h = bytearray(1024)
    options |= 0x20 | (0x08 if filter_ else 0)
    struct.pack_into('<iiiHBB', h, 0, root, -1, 0, 10, options, 1)
    struct.pack_into('<HHHHH', h, 502, 1 if descending else 0, len(key) + 1, len(filter_) + 1,
                     0, len(key) + 1)
    h[512:512 + len(key)] = key
    h[513 + len(key):513 + len(key) + len(filter_)] = filter_
    return h


def compact_leaf(keys, attributes=3, left=-1, right=-1):
    """An exterior node: 3-byte entries of 16 record bits and 4 + 4 count bits, keys from the
    back with trailing blanks dropped (no duplicate compression here)."""
    n = bytearray(512)
    struct.pack_into('<HHii', n, 0, attributes, len(keys), left, right)
    struct.pack_into('<IBBBBBB', n, 14, 0xFFFF, 15, 15, 16, 4, 4, 3)
    back = 512
    for i, (key, record) in enumerate(keys):
        key = key.ljust(10)
        stored = key.rstrip(b' ')
        back -= len(stored)
        n[back:back + len(stored)] = stored
        packed = record | (10 - len(stored)) << 20
        n[24 + 3 * i:27 + 3 * i] = packed.to_bytes(3, 'little')
    struct.pack_into('<H', n, 12, back - 24 - 3 * len(keys))
    return n


def cdx(tags):
    """A compound index: file header at 0, the tag directory leaf at 1024, then per tag its
    header and an empty root leaf. Tags are (name, key, filter, options, descending)."""
    directory = compact_header(b'', options=0xC0, root=1024)
    directory[512:] = bytes(512)
    keys = [(t[0], 1536 + 1536 * i) for i, t in enumerate(tags)]
    out = directory + compact_leaf(keys)
    for i, (name, key, filter_, options, descending) in enumerate(tags):
        out += compact_header(key, filter_, options, descending, root=1536 + 1536 * i + 1024)
        out += compact_leaf([])
    return bytes(out)


def mdx(tags):
    """A dBase IV multiple index (Bachmann's layout): tags are (name, key, filter, format)."""
    f = bytearray(2048)
    struct.pack_into('<B3s16sHHBBB', f, 0, 2, b'\x7c\x01\x01', b'TABLE', 2, 1024, 1, 48, 32)
    struct.pack_into('<H', f, 28, len(tags))
    for i, (name, key, filter_, key_format) in enumerate(tags):
        page = 4 + 3 * i
        struct.pack_into('<I11sB', f, 544 + 32 * i, page, name, 0x10)
        f[544 + 32 * i + 20] = ord('C')
        h = bytearray(1536)
        struct.pack_into('<IIBB', h, 0, page + 2, 3, key_format, ord('C'))
        struct.pack_into('<HHHH', h, 12, 10, 60, 0, 16)
        h[23] = 1 if key_format & 0x40 else 0
        h[24:24 + len(key)] = key
        h[245] = 1 if filter_ else 0
        h[762:762 + len(filter_)] = filter_
        f += h
    return bytes(f)


def index_seeds():
    os.makedirs(os.path.join(HERE, 'index_corpus'), exist_ok=True)
    odd = b'SUBSTR(name,3,2)+STR(qty*2)'
    three = [(b'BYNAME', b'UPPER(name)', b'', 0, True),
             (b'ODD', odd, b'', 0x01, False),
             (b'PK', b'id', b'', 0x04, False),
             (b'RECENT', b'DTOS(sold)', b'qty > 0 .AND. !DELETED()', 0, False)]
    good = cdx(three)
    index_seed('cdx_tags', 0, good)
    looped = bytearray(good)
    struct.pack_into('<i', looped, 1024 + 8, 1024)  # the leaf is its own right sibling
    index_seed('cdx_sibling_loop', 0, bytes(looped))
    interior = bytearray(good)
    struct.pack_into('<H', interior, 1024, 1)  # an interior root whose child is itself
    struct.pack_into('>I', interior, 1024 + 12 + 10 + 4, 1024)
    index_seed('cdx_interior_loop', 0, bytes(interior))
    index_seed('cdx_truncated', 0, good[:700])

    index_seed('idx_compact', 1, bytes(compact_header(b'UPPER(name)', b'qty > 0', 0x01, True,
                                                      root=1024) + compact_leaf([])))
    plain = bytearray(1024)
    struct.pack_into('<iiiHBB', plain, 0, 512, -1, 1024, 10, 0x09, 0)
    plain[16:16 + len(odd)] = odd
    plain[236:243] = b'qty > 0'
    struct.pack_into('<H', plain, 512, 3)
    index_seed('idx_plain', 1, bytes(plain))

    index_seed('mdx_tags', 2, mdx([(b'BYNAME', b'UPPER(name)', b'', 0x18),
                                   (b'ODD', odd, b'', 0x40),
                                   (b'RECENT', b'DTOS(sold)', b'qty > 0', 0x10)]))
    index_seed('mdx_truncated', 2, mdx([(b'ODD', odd, b'', 0)])[:600])

    ndx = bytearray(1024)
    struct.pack_into('<IIIHHHI', ndx, 0, 1, 2, 0, 10, 24, 0, 20)
    ndx[23] = 1
    ndx[24:24 + len(odd)] = odd
    index_seed('ndx', 3, bytes(ndx))

    ntx = bytearray(2048)
    struct.pack_into('<HHIIHHHHH', ntx, 0, 7, 1, 1024, 0, 18, 10, 0, 50, 25)
    ntx[22:22 + len(odd)] = odd
    ntx[278] = 1
    ntx[280] = 1
    ntx[282:289] = b'qty > 0'
    index_seed('ntx', 4, bytes(ntx))
    index_seed('ntx_root_past_end', 4, bytes(ntx[:1024]))


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
