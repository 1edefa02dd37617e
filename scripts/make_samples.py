#!/usr/bin/env python3
"""Writes the demo database samples/shop: three small tables of our own.

customers.dbf  dBase III table with a .dbt memo file (names, cities, notes)
orders.dbf     dBase III table without memo: numbers, dates, logicals, text
products.dbf   Visual FoxPro table with an .fpt memo file, code page 1252 (mark 0x03):
               currency, integer, date-time and memo fields, accented names

Everything is written with plain struct packing and fixed dates, so running the script again
gives the same bytes.
"""
import datetime
import os
import struct
import sys

LAST_UPDATE = (124, 3, 15)  # 2024-03-15, years counted from 1900


def header(signature, n_records, n_fields, record_size, flags=0, cp_mark=0):
    header_size = 32 + 32 * n_fields + 1
    return struct.pack('<B3BIHH16xBB2x', signature, *LAST_UPDATE, n_records, header_size,
                       record_size, flags, cp_mark)


def descriptor(name, letter, length, decimals, offset, flags=0):
    raw = name.encode('ascii')[:10].ljust(11, b'\0')
    return raw + letter.encode('ascii') + struct.pack('<IBBB13x', offset, length, decimals, flags)


def table(path, signature, fields, rows, flags=0, cp_mark=0, encoding='cp1252'):
    record_size = 1 + sum(f[2] for f in fields)
    out = bytearray(header(signature, len(rows), len(fields), record_size, flags, cp_mark))
    offset = 1
    for name, letter, length, decimals in fields:
        out += descriptor(name, letter, length, decimals, offset)
        offset += length
    out += b'\r'
    for deleted, values in rows:
        rec = bytearray(b'*' if deleted else b' ')
        for (name, letter, length, decimals), value in zip(fields, values):
            rec += encode_value(letter, length, decimals, value, encoding)
        assert len(rec) == record_size, (path, name)
        out += rec
    out += b'\x1a'
    with open(path, 'wb') as f:
        f.write(out)


def encode_value(letter, length, decimals, value, encoding):
    if isinstance(value, (bytes, bytearray)):
        return bytes(value).ljust(length, b' ')
    if value is None:
        return b' ' * length
    if letter == 'C':
        return value.encode(encoding).ljust(length, b' ')[:length]
    if letter == 'N':
        text = ('%.*f' % (decimals, value)) if decimals else str(int(value))
        return text.encode('ascii').rjust(length, b' ')
    if letter == 'D':
        return value.strftime('%Y%m%d').encode('ascii')
    if letter == 'L':
        return b'T' if value else b'F'
    if letter == 'I':
        return struct.pack('<i', value)
    if letter == 'Y':
        return struct.pack('<q', round(value * 10000))
    if letter == 'T':
        day = value.date().toordinal() + 1721425
        ms = ((value.hour * 60 + value.minute) * 60 + value.second) * 1000
        return struct.pack('<ii', day, ms)
    raise ValueError(letter)


class OldMemo:
    """dBase III memo file: 512-byte blocks, each memo ended by 0x1A 0x1A."""

    def __init__(self):
        self.blocks = bytearray(512)
        self.next_block = 1

    def add(self, text, encoding='cp1252'):
        if not text:
            return b' ' * 10
        data = text.encode(encoding) + b'\x1a\x1a'
        block = self.next_block
        n_blocks = (len(data) + 511) // 512
        self.blocks += data.ljust(n_blocks * 512, b'\0')
        self.next_block += n_blocks
        return str(block).rjust(10).encode('ascii')

    def save(self, path):
        self.blocks[0:4] = struct.pack('<I', self.next_block)
        self.blocks[16] = 3
        with open(path, 'wb') as f:
            f.write(self.blocks)


class FptMemo:
    """FoxPro memo file: big-endian header and block lengths, 64-byte blocks."""

    BLOCK = 64

    def __init__(self):
        self.data = bytearray(512)
        self.next_block = 512 // self.BLOCK

    def add(self, text, encoding='cp1252'):
        if not text:
            return struct.pack('<I', 0)
        raw = text.encode(encoding)
        block = self.next_block
        chunk = struct.pack('>II', 1, len(raw)) + raw
        n_blocks = (len(chunk) + self.BLOCK - 1) // self.BLOCK
        self.data += chunk.ljust(n_blocks * self.BLOCK, b'\0')
        self.next_block += n_blocks
        return struct.pack('<I', block)

    def save(self, path):
        self.data[0:4] = struct.pack('>I', self.next_block)
        self.data[6:8] = struct.pack('>H', self.BLOCK)
        with open(path, 'wb') as f:
            f.write(self.data)


def customers(folder):
    memo = OldMemo()
    fields = [('ID', 'N', 6, 0), ('NAME', 'C', 30, 0), ('CITY', 'C', 20, 0),
              ('SINCE', 'D', 8, 0), ('NOTES', 'M', 10, 0)]
    people = [
        (1, 'Ada Lovelace', 'London', datetime.date(2019, 4, 2),
         'Prefers delivery before noon.\r\nAsks for paper invoices.'),
        (2, 'Nikola Tesla', 'Belgrade', datetime.date(2020, 11, 23), ''),
        (3, 'Grace Hopper', 'Arlington', datetime.date(2021, 1, 7),
         'Wholesale customer: ' + 'repeat orders every month. ' * 25),
        (4, 'Alan Turing', 'Manchester', datetime.date(2022, 6, 23), 'Closed account.'),
        (5, 'Marie Curie', 'Paris', None, 'No first order yet.'),
    ]
    rows = []
    for ident, name, city, since, notes in people:
        rows.append((ident == 4, [ident, name, city, since, memo.add(notes)]))
    table(os.path.join(folder, 'customers.dbf'), 0x83, fields, rows)
    memo.save(os.path.join(folder, 'customers.dbt'))


def orders(folder):
    fields = [('ORDER_ID', 'N', 8, 0), ('CUST_ID', 'N', 6, 0), ('ORDERED', 'D', 8, 0),
              ('AMOUNT', 'N', 10, 2), ('PAID', 'L', 1, 0), ('STATUS', 'C', 12, 0)]
    rows = []
    start = datetime.date(2024, 1, 3)
    statuses = ['new', 'packed', 'shipped', 'delivered']
    for i in range(12):
        rows.append((False, [1000 + i, 1 + i % 5, start + datetime.timedelta(days=7 * i),
                             round(19.99 * (i + 1) + 0.5 * (i % 3), 2), i % 4 != 0,
                             statuses[i % 4]]))
    rows.append((False, [1012, 3, None, None, False, '']))
    table(os.path.join(folder, 'orders.dbf'), 0x03, fields, rows)


def products(folder):
    memo = FptMemo()
    fields = [('CODE', 'C', 10, 0), ('TITLE', 'C', 40, 0), ('PRICE', 'Y', 8, 4),
              ('STOCK', 'I', 4, 0), ('ADDED', 'T', 8, 0), ('DESCR', 'M', 4, 0)]
    items = [
        ('TEA-01', 'Earl Grey', 4.5, 120, datetime.datetime(2023, 9, 1, 8, 30, 0),
         'Black tea with bergamot.'),
        ('CAKE-07', 'Crème brûlée', 6.25, 14, datetime.datetime(2023, 12, 24, 17, 45, 30),
         'Vanilla custard, caramelised sugar crust. Served chilled.'),
        ('COF-02', 'Café au lait', 3.8, 0, datetime.datetime(2024, 2, 29, 23, 59, 59), ''),
        ('BRD-11', 'Pão de queijo', 2.15, 48, datetime.datetime(2024, 3, 1, 6, 0, 0),
         'Cheese bread from Minas Gerais. Contains: tapioca flour, eggs, cheese.'),
    ]
    rows = []
    for code, title, price, stock, added, descr in items:
        rows.append((False, [code, title, price, stock, added, memo.add(descr)]))
    table(os.path.join(folder, 'products.dbf'), 0x30, fields, rows, flags=0x02, cp_mark=0x03)
    memo.save(os.path.join(folder, 'products.fpt'))


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, 'samples', 'shop')
    os.makedirs(folder, exist_ok=True)
    customers(folder)
    orders(folder)
    products(folder)


if __name__ == '__main__':
    main()
