"""The benchmark tables that stress one kind of data each: long text in two code pages, large
memos, many numbers, many fields. make_tables.py writes them next to its two mixed tables.

Text is cut from a fixed pool of words at offsets taken from the record number's hash, and the
wide table is put together from precomputed runs of fields, so that writing a million records
stays a matter of seconds rather than minutes.
"""
import os
import struct

from make_tables import BLOCK_RECORDS, CP1252_MARK, date, header, mix, number

CP866_MARK = 0x65
FOXPRO_MEMO_SIGNATURE = 0xF5
VFP_SIGNATURE = 0x30
DBASE3_SIGNATURE = 0x03

# Windows-1252 words: accents, and the characters this code page has where Latin-1 has control
# codes (euro sign, curly quotes, dashes, ellipsis), and apostrophes for the quoting.
WORDS_1252 = ['Müller', 'García', 'Østergaard', 'Björk', 'Åberg', 'Schröder', 'Fernández',
              'Zürich', 'Kraków', 'Málaga', 'Reykjavík', 'København', 'Straße', 'œuvre',
              'façade', 'Ærø', 'naïveté', 'Þórr', 'crème', 'brûlée', 'déjà', 'vu', 'résumé',
              '€uro', '“quoted”', '–', '…', '½', '©', '°C', '±', 'µ', '×', "won't", "O'Neil",
              "D'Arcy", 'the', 'order', 'was', 'delivered', 'to', 'and', 'paid', 'before',
              'Friday', 'señal', 'Ventil', '100%', 'Iñigo', 'Noël']
# Code page 866 words: Russian text with Ё, № and hard signs, and apostrophes.
WORDS_866 = ['Москва', 'Санкт-Петербург', 'улица', 'дом', 'квартира', 'заказ', 'оплата',
             'доставка', 'Иванов', 'Петров', 'Сидорова', 'Ёлка', 'ёж', 'съешь', 'же', 'ещё',
             'этих', 'мягких', 'французских', 'булок', 'да', 'выпей', 'чаю', "д'Артаньян",
             '№5', 'Щукин', 'Жуков', 'Юлия', 'Эльвира', 'пятница', '100%', 'объём']


def text_pool(words, encoding, salt, size, line_breaks=False):
    """About `size` bytes of words chosen by the hash, encoded; memo pools get line breaks."""
    parts = []
    length = 0
    k = 0
    while length < size:
        h = mix(k, salt)
        word = words[h % len(words)]
        if h % 11 == 0:
            word += '.'
        elif h % 7 == 0:
            word += ','
        if line_breaks and h % 13 == 0:
            word += '\r\n'
        parts.append(word)
        length += len(word) + 1
        k += 1
    return ' '.join(parts).encode(encoding)


def cut(pool, i, salt, width, fill):
    """`width` bytes: a piece of the pool, blank-padded; one value in 17 is blank."""
    h = mix(i, salt)
    if h % 17 == 0:
        return b' ' * width
    n = width * (fill + h % (101 - fill)) // 100
    start = (h >> 8) % (len(pool) - width)
    return pool[start:start + n].ljust(width, b' ')


# -- text: ten C fields of 10 to 254 bytes -------------------------------------------------------

TEXT_FIELDS = [('CODE', 'C', 10, 0), ('TITLE', 'C', 20, 0), ('AUTHOR', 'C', 35, 0),
               ('CITY', 'C', 50, 0), ('STREET', 'C', 64, 0), ('SUBJECT', 'C', 80, 0),
               ('SUMMARY', 'C', 100, 0), ('REMARK', 'C', 128, 0), ('ABSTRACT', 'C', 180, 0),
               ('BODY', 'C', 254, 0)]


def write_text(path, count, words, encoding, mark):
    pool = text_pool(words, encoding, 21, 1 << 16)
    head, record_size = header(DBASE3_SIGNATURE, count, TEXT_FIELDS, 0, mark=mark)
    widths = [(100 + k, f[2]) for k, f in enumerate(TEXT_FIELDS)]
    with open(path, 'wb') as dbf:
        dbf.write(head)
        for first in range(0, count, BLOCK_RECORDS):
            records = []
            for i in range(first, min(count, first + BLOCK_RECORDS)):
                records.append(b' ')
                records.extend(cut(pool, i, salt, width, 40) for salt, width in widths)
            block_bytes = b''.join(records)
            assert len(block_bytes) % record_size == 0
            dbf.write(block_bytes)
        dbf.write(b'\x1a')


def write_text1252(folder, count):
    write_text(os.path.join(folder, 'letters.dbf'), count, WORDS_1252, 'cp1252', CP1252_MARK)


def write_text866(folder, count):
    write_text(os.path.join(folder, 'cyrillic.dbf'), count, WORDS_866, 'cp866', CP866_MARK)


# -- memo: FoxPro 2 table, a memo of 512 to 8192 bytes on every record -----------------------

DOCS = [('ID', 'N', 9, 0), ('TITLE', 'C', 40, 0), ('BODY', 'M', 10, 0)]
FPT_BLOCK = 64
FPT_HEADER = 512


def write_memo(folder, count):
    pool = text_pool(WORDS_1252, 'cp1252', 31, 1 << 17, line_breaks=True)
    titles = text_pool(WORDS_1252, 'cp1252', 32, 1 << 14)
    head, record_size = header(FOXPRO_MEMO_SIGNATURE, count, DOCS, 0)
    with open(os.path.join(folder, 'docs.dbf'), 'wb') as dbf, \
            open(os.path.join(folder, 'docs.fpt'), 'wb') as fpt:
        dbf.write(head)
        # The memo file's header: next free block and block size, both big-endian.
        fpt.write(b'\0' * FPT_HEADER)
        next_block = FPT_HEADER // FPT_BLOCK
        for first in range(0, count, BLOCK_RECORDS):
            records = []
            memos = []
            for i in range(first, min(count, first + BLOCK_RECORDS)):
                h = mix(i, 33)
                length = 512 + h % (8192 - 512 + 1)
                start = mix(i, 34) % (len(pool) - 8192)
                memo = struct.pack('>II', 1, length) + pool[start:start + length]
                padded = memo.ljust((len(memo) + FPT_BLOCK - 1) // FPT_BLOCK * FPT_BLOCK, b'\0')
                memos.append(padded)
                records.append(b''.join((b' ', number('%d' % i, 9), cut(titles, i, 35, 40, 30),
                                         b'%10d' % next_block)))
                next_block += len(padded) // FPT_BLOCK
            block_bytes = b''.join(records)
            assert len(block_bytes) == record_size * len(records)
            dbf.write(block_bytes)
            fpt.write(b''.join(memos))
        dbf.write(b'\x1a')
        fpt.seek(0)
        fpt.write(struct.pack('>I', next_block))
        fpt.seek(6)
        fpt.write(struct.pack('>H', FPT_BLOCK))


# -- numeric: Visual FoxPro table of N, F, B, Y and I fields ----------------------------------

N_SHAPES = [(7, 1), (8, 2), (10, 2), (12, 2), (14, 2), (16, 2), (19, 2), (9, 3), (12, 3), (15, 3),
            (10, 4), (14, 4), (18, 4), (12, 5), (16, 6), (20, 6), (18, 8), (20, 10), (11, 1),
            (13, 5)]
MEASURES = ([('ID', 'I', 4, 0)] +
            [('N%02d_%d_%d' % (k + 1, w, d), 'N', w, d) for k, (w, d) in enumerate(N_SHAPES)] +
            [('FSMALL', 'F', 12, 3), ('FLARGE', 'F', 20, 8), ('RATE', 'B', 8, 2),
             ('RATIO', 'B', 8, 6), ('AMOUNT', 'Y', 8, 4), ('BALANCE', 'Y', 8, 4),
             ('COUNT', 'I', 4, 0), ('DELTA', 'I', 4, 0)])
TEXT_NUMBERS = [(w, d) for w, d in N_SHAPES] + [(12, 3), (20, 8)]


def decimal_text(i, salt, width, decimals):
    """A number that fills at most `width`: varied magnitude, one in 9 negative, one in 31 blank."""
    h = mix(i, salt)
    if h % 31 == 0:
        return b' ' * width
    digits = width - decimals - 2  # the point and a sign
    whole = mix(i, salt + 500) % 10 ** (1 + h % digits)
    frac = (h >> 5) % 10 ** decimals
    return number('%s%d.%0*d' % ('-' if h % 9 == 0 else '', whole, decimals, frac), width)


def measures_record(i):
    parts = [b' ', struct.pack('<i', i - 300000)]
    parts.extend(decimal_text(i, 200 + k, w, d) for k, (w, d) in enumerate(TEXT_NUMBERS))
    h = mix(i, 240)
    sign = -1 if h % 5 == 0 else 1
    rate = sign * (mix(i, 241) % 1000000000) / 100.0
    ratio = mix(i, 242) / 4294967296.0
    amount = sign * ((mix(i, 243) << 18 | mix(i, 244) >> 14) % 10 ** 15)  # ten-thousandths
    balance = -((mix(i, 245) % 10 ** 9) * 10000) if h % 7 == 0 else mix(i, 245) * 37
    count = mix(i, 246) % 100000
    delta = (mix(i, 247) & 0xFFFFFFFF) - 0x80000000
    parts.append(struct.pack('<ddqqii', rate, ratio, amount, balance, count, delta))
    return b''.join(parts)


def write_numeric(folder, count):
    # A Visual FoxPro header ends with the 263-byte database container back link.
    head, record_size = header(VFP_SIGNATURE, count, MEASURES, 0x00, extra=263)
    with open(os.path.join(folder, 'measures.dbf'), 'wb') as dbf:
        dbf.write(head)
        for first in range(0, count, BLOCK_RECORDS):
            block_bytes = b''.join(measures_record(i)
                                   for i in range(first, min(count, first + BLOCK_RECORDS)))
            assert len(block_bytes) % record_size == 0
            dbf.write(block_bytes)
        dbf.write(b'\x1a')


# -- wide: 200 fields of C, N, D and L ---------------------------------------------------------

WIDE_KINDS = [('TXT', 'C', 10, 0), ('AMT', 'N', 8, 2), ('DAY', 'D', 8, 0), ('YES', 'L', 1, 0)]
SURVEY = [('ID', 'N', 9, 0)] + [(WIDE_KINDS[k % 4][0] + '%03d' % (k + 2),) + WIDE_KINDS[k % 4][1:]
                                for k in range(199)]
WIDE_RUNS = 10  # the 199 fields after ID, in runs of consecutive fields
WIDE_VARIANTS = 1024  # precomputed values of each run


def wide_field(kind, v, salt, pool):
    h = mix(v, salt)
    if kind == 'C':
        return cut(pool, v, salt, 10, 20)
    if kind == 'N':
        return b' ' * 8 if h % 23 == 0 else number('%s%d.%02d' % ('-' if h % 6 == 0 else '',
                                                                   h % 10000, (h >> 14) % 100), 8)
    if kind == 'D':
        return date(v, salt, 19)
    return b'TFYN? '[(h >> 3) % 6:(h >> 3) % 6 + 1]


def write_wide(folder, count):
    pool = text_pool(WORDS_1252, 'cp1252', 41, 1 << 14)
    fields = SURVEY[1:]
    bounds = [len(fields) * r // WIDE_RUNS for r in range(WIDE_RUNS + 1)]
    runs = []
    for r in range(WIDE_RUNS):
        run = range(bounds[r], bounds[r + 1])
        runs.append([b''.join(wide_field(fields[k][1], v, 1000 + k, pool) for k in run)
                     for v in range(WIDE_VARIANTS)])
    head, record_size = header(DBASE3_SIGNATURE, count, SURVEY, 0)
    with open(os.path.join(folder, 'survey.dbf'), 'wb') as dbf:
        dbf.write(head)
        for first in range(0, count, BLOCK_RECORDS):
            records = []
            for i in range(first, min(count, first + BLOCK_RECORDS)):
                records.append(b' ')
                records.append(number('%d' % i, 9))
                records.extend(runs[r][mix(i, 60 + r) % WIDE_VARIANTS] for r in range(WIDE_RUNS))
            block_bytes = b''.join(records)
            assert len(block_bytes) % record_size == 0
            dbf.write(block_bytes)
        dbf.write(b'\x1a')


# -- blank: eight C(20) fields, three values in four blank -----------------------------------

BLANKS = [('NOTE%d' % (k + 1), 'C', 20, 0) for k in range(8)]


def blank_or_text(pool, i, salt):
    """20 bytes: blank for three values in four, else a piece of the pool."""
    if mix(i, salt) % 4 != 0:
        return b' ' * 20
    h = mix(i, salt + 100)
    start = h % (len(pool) - 20)
    return pool[start:start + 4 + (h >> 8) % 17].ljust(20, b' ')


def write_blank(folder, count):
    pool = text_pool(WORDS_1252, 'cp1252', 51, 1 << 14)
    head, record_size = header(DBASE3_SIGNATURE, count, BLANKS, 0)
    with open(os.path.join(folder, 'remarks.dbf'), 'wb') as dbf:
        dbf.write(head)
        for first in range(0, count, BLOCK_RECORDS):
            records = []
            for i in range(first, min(count, first + BLOCK_RECORDS)):
                records.append(b' ')
                records.extend(blank_or_text(pool, i, 70 + k) for k in range(len(BLANKS)))
            block_bytes = b''.join(records)
            assert len(block_bytes) % record_size == 0
            dbf.write(block_bytes)
        dbf.write(b'\x1a')


WRITERS = (('text1252', write_text1252), ('text866', write_text866), ('memo', write_memo),
           ('numeric', write_numeric), ('wide', write_wide))
# Written only when named: the direct-mode benchmark's table of mostly blank texts.
NAMED_WRITERS = (('blank', write_blank),)
