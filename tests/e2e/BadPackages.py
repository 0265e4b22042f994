#!/usr/bin/env python3
"""Writes damaged and hostile variants of a package into a folder, with a
table of what each must give.

    BadPackages.py BASE.kpv OUT_DIR

BASE.kpv is a package as kpv packs it: stored entries, no data descriptors,
no comment. Every variant is OUT_DIR/<case>.kpv; OUT_DIR/cases.tsv has one
line per case: the case, the expected result, whether the installer runs it
too (1) or only kpv (0), and what was done.

The expected result is what `kpv extract --all` exits with: 0 when every
entry is written, 9 for a package the reader refuses ("Invalid package!"),
else the result code of the first entry that fails.
"""
import os
import struct
import sys

LOCAL = 0x04034B50
CENTRAL = 0x02014B50
END = 0x06054B50

# (name, offset, size) of the fixed fields of each record.
LOCAL_FIELDS = [
    ("signature", 0, 4), ("version_needed", 4, 2), ("flags", 6, 2), ("method", 8, 2),
    ("mod_time", 10, 2), ("mod_date", 12, 2), ("crc32", 14, 4), ("compressed_size", 18, 4),
    ("uncompressed_size", 22, 4), ("name_length", 26, 2), ("extra_length", 28, 2),
]
CENTRAL_FIELDS = [
    ("signature", 0, 4), ("version_made_by", 4, 2), ("version_needed", 6, 2), ("flags", 8, 2),
    ("method", 10, 2), ("mod_time", 12, 2), ("mod_date", 14, 2), ("crc32", 16, 4),
    ("compressed_size", 20, 4), ("uncompressed_size", 24, 4), ("name_length", 28, 2),
    ("extra_length", 30, 2), ("comment_length", 32, 2), ("disk_number_start", 34, 2),
    ("internal_attributes", 36, 2), ("external_attributes", 38, 4),
    ("local_header_offset", 42, 4),
]
END_FIELDS = [
    ("signature", 0, 4), ("disk_number", 4, 2), ("central_disk", 6, 2), ("disk_records", 8, 2),
    ("total_records", 10, 2), ("central_size", 12, 4), ("central_offset", 16, 4),
    ("comment_length", 20, 2),
]

INVALID = 9
# ExtractFile's result codes.
NOT_READ_HEADER, CANNOT_CREATE, CANNOT_READ, BAD_METHOD, BAD_PASSWORD = 3, 4, 6, 7, 8

# What a field with every bit inverted gives. Fields read only for the
# listing, or not at all, change nothing.
LOCAL_FLIPPED = {
    "signature": INVALID,          # no local header where the walk expects one
    "flags": BAD_PASSWORD,         # bit 0: encrypted, and the password is empty
    "method": BAD_METHOD,          # 65535 > 10
    "crc32": CANNOT_READ,          # the data fails its check
    "compressed_size": INVALID,    # the walk steps past the end
    "uncompressed_size": CANNOT_READ,  # stored sizes disagree
    "name_length": INVALID,        # the name runs past the end
    "extra_length": INVALID,       # so does the extra field
}
CENTRAL_FLIPPED = {
    "signature": INVALID,
    "name_length": INVALID,
    "extra_length": INVALID,
    "comment_length": INVALID,
    "local_header_offset": INVALID,  # no local header the walk read stands there
}
END_FLIPPED = {"signature": INVALID, "comment_length": INVALID}


def records(data):
    """The offsets of the local headers, the central records and the end record."""
    local, central, at = [], [], 0
    while struct.unpack_from("<I", data, at)[0] == LOCAL:
        local.append(at)
        size = struct.unpack_from("<I", data, at + 18)[0]
        n, m = struct.unpack_from("<HH", data, at + 26)
        at += 30 + n + m + size
    while struct.unpack_from("<I", data, at)[0] == CENTRAL:
        central.append(at)
        n, m, k = struct.unpack_from("<HHH", data, at + 28)
        at += 46 + n + m + k
    assert struct.unpack_from("<I", data, at)[0] == END, "not a package as kpv packs it"
    return local, central, at


def entries(data):
    """(name, bytes) of each entry of a package as kpv packs it."""
    local, _, _ = records(data)
    out = []
    for at in local:
        size, _, n, m = struct.unpack_from("<IIHH", data, at + 18)
        name = data[at + 30:at + 30 + n]
        out.append((name, data[at + 30 + n + m:at + 30 + n + m + size]))
    return out


def crc32(data):
    import zlib
    return zlib.crc32(data) & 0xFFFFFFFF


def local_header(name, data, extra=b""):
    fixed = struct.pack("<HHHHHIIIHH", 10, 0, 0, 0x6000, 0x5421, crc32(data), len(data),
                        len(data), len(name), len(extra))
    return struct.pack("<I", LOCAL) + fixed + name + extra


def build(members, comment=b"", offset_of=None):
    """A stored archive of (name, data, local extra, central extra, file comment).
    offset_of(i, offsets) may give member i's central record another local
    header offset; offsets are those of the local headers so far."""
    out, central, offsets = bytearray(), bytearray(), []
    for i, (name, data, local_extra, central_extra, file_comment) in enumerate(members):
        offsets.append(len(out))
        out += local_header(name, data, local_extra) + data
    for i, (name, data, local_extra, central_extra, file_comment) in enumerate(members):
        offset = offset_of(i, offsets) if offset_of else offsets[i]
        central += struct.pack("<IHHHHHHIIIHHHHHII", CENTRAL, 20, 10, 0, 0, 0x6000, 0x5421,
                               crc32(data), len(data), len(data), len(name), len(central_extra),
                               len(file_comment), 0, 0, 0, offset)
        central += name + central_extra + file_comment
    count = len(members)
    end = struct.pack("<IHHHHIIH", END, 0, 0, count, count, len(central), len(out), len(comment))
    return bytes(out + central + end + comment)


def plain(name, data):
    return (name, data, b"", b"", b"")


def main():
    base_path, out_dir = sys.argv[1], sys.argv[2]
    base = open(base_path, "rb").read()
    local, central, end = records(base)
    members = [plain(name, data) for name, data in entries(base)]
    os.makedirs(out_dir, exist_ok=True)
    table = []

    def case(name, expected, installer, note, data):
        with open(os.path.join(out_dir, name + ".kpv"), "wb") as f:
            f.write(data)
        table.append((name, expected, installer, note))

    def patched(offset, value_bytes):
        data = bytearray(base)
        data[offset:offset + len(value_bytes)] = value_bytes
        return bytes(data)

    def flipped(offset, size):
        return patched(offset, bytes(b ^ 0xFF for b in base[offset:offset + size]))

    case("intact", 0, 1, "the package itself", base)

    # Cut at every sixteenth of its length: the end record is always lost.
    for k in range(16):
        cut = len(base) * k // 16
        case(f"truncated_{k:02d}_of_16", INVALID, 1, f"the first {cut} of {len(base)} bytes",
             base[:cut])

    # Every fixed field of every record, all bits inverted. The installer
    # runs those of the first and the last entry and the end record; the
    # entries between fail the same way.
    last = len(local) - 1
    for i, at in enumerate(local):
        for field, offset, size in LOCAL_FIELDS:
            case(f"local{i}_{field}_flipped", LOCAL_FLIPPED.get(field, 0), int(i in (0, last)),
                 f"entry {i}'s local {field} inverted", flipped(at + offset, size))
    for i, at in enumerate(central):
        for field, offset, size in CENTRAL_FIELDS:
            case(f"central{i}_{field}_flipped", CENTRAL_FLIPPED.get(field, 0),
                 int(i in (0, last)), f"entry {i}'s central {field} inverted",
                 flipped(at + offset, size))
    for field, offset, size in END_FIELDS:
        case(f"end_{field}_flipped", END_FLIPPED.get(field, 0), 1, f"end record's {field} inverted",
             flipped(end + offset, size))

    # Sizes and offsets past the end, and 0xFFFFFFFF (Zip64's marker).
    length = struct.pack("<I", len(base))
    ones = b"\xff\xff\xff\xff"
    case("local_compressed_size_past_end", INVALID, 1, "first entry's size: the file's length",
         patched(local[0] + 18, length))
    case("local_sizes_past_end", INVALID, 1, "first entry's both sizes: the file's length",
         patched(local[0] + 18, length + length))
    case("local_compressed_size_ffffffff", INVALID, 1, "", patched(local[last] + 18, ones))
    case("local_uncompressed_size_ffffffff", CANNOT_READ, 1, "", patched(local[last] + 22, ones))
    case("local_sizes_ffffffff", INVALID, 1, "last entry's both sizes",
         patched(local[last] + 18, ones + ones))
    case("central_sizes_ffffffff", 0, 1, "read only", patched(central[0] + 20, ones + ones))
    case("central_offset_past_end", INVALID, 1, "", patched(central[last] + 42, length))
    case("central_offset_ffffffff", INVALID, 1, "", patched(central[0] + 42, ones))
    case("end_central_offset_ffffffff", 0, 1, "read only", patched(end + 12, ones + ones))

    # A central record whose name no local header has.
    name_at = central[last] + 46
    case("central_names_nothing", INVALID, 1, "last central name's last letter changed",
         patched(name_at + len(members[last][0]) - 1, b"#"))

    # Central offsets that are not the local header the walk read for that
    # name, once: each would write another entry's data under its name.
    case("central_offset_other_entry", INVALID, 1, "last entry's offset: the first entry's",
         patched(central[last] + 42, struct.pack("<I", local[0])))
    hidden = local_header(b"articles/hidden.php", b"<?php evil();\n") + b"<?php evil();\n"
    case("central_offset_into_data", INVALID, 1,
         "a header of the same name inside the entry's own data",
         build(members + [plain(b"articles/hidden.php", hidden)],
               offset_of=lambda i, o: o[i] + 30 + len(b"articles/hidden.php")
               if i == len(members) else o[i]))
    case("central_offset_twice", INVALID, 1, "the last central record twice",
         build(members + [members[last]], offset_of=lambda i, o: o[min(i, last)]))
    # 1,000 small entries whose central records all name one 1 MiB entry.
    small = [plain(b"articles/f%04d.txt" % k, b"%d\n" % k) for k in range(1000)]
    case("central_offsets_one_big_entry", INVALID, 1, "1,000 records, one 1 MiB header",
         build(members + [plain(b"articles/big.bin", b"\x5a" * (1 << 20))] + small,
               offset_of=lambda i, o: o[len(members)] if i > len(members) else o[i]))

    # Names: an extra entry beside the package's own.
    names = {
        "name_dotdot": b"../evil.php",
        "name_dotdot_inner": b"articles/../../evil.php",
        "name_dotdot_backslash": b"..\\..\\..\\..\\sentinel\\evil.php",
        "name_slash": b"/evil.php",
        "name_backslash": b"\\evil.php",
        "name_drive": b"C:\\evil.php",
        "name_drive_relative": b"C:evil.php",
        "name_host_root": b"Z:\\tmp\\evil.php",
        "name_zero_byte": b"evil.php\0.txt",
        "name_line_break": b"php_x\nzend_extension=evil.dll",
        # Names Windows cannot hold as written: devices, a dropped trailing
        # dot or blank, characters it refuses.
        "name_device": b"aux.php",
        "name_device_folder": b"articles/COM1/index.php",
        "name_device_blank": b"Nul .txt",
        "name_trailing_dot": b"articles/index.php.",
        "name_trailing_blank": b"articles. /index.php",
        "name_reserved_character": b"articles/a|b.php",
    }
    for key, name in names.items():
        case(key, INVALID, 1, repr(name)[1:], build(members + [plain(name, b"<?php evil();\n")]))
    case("name_backslash_separator", 0, 1, "articles\\inner.php: a folder, as '/'",
         build(members + [plain(b"articles\\inner.php", b"<?php\n")]))
    # 65,535 bytes, the most a name can hold: no file system takes the path.
    case("name_64k", CANNOT_CREATE, 1, "one component", build(members + [plain(b"a" * 65535, b"x")]))
    case("name_64k_folders", CANNOT_CREATE, 1, "32,767 folders deep",
         build(members + [plain(b"a/" * 32767 + b"x", b"x")]))
    case("name_64k_extension", CANNOT_CREATE, 1, "php_...dll: its php.ini line is never added",
         build(members + [plain(b"php_" + b"a" * 65527 + b".dll", b"MZ")]))

    # The largest extra fields and comments a record can carry.
    big = b"\xfe" * 65535
    first = members[0]
    case("local_extra_64k", 0, 1, "first entry",
         build([(first[0], first[1], big, b"", b"")] + members[1:]))
    case("central_extra_64k", 0, 1, "first entry",
         build([(first[0], first[1], b"", big, b"")] + members[1:]))
    case("central_comment_64k", 0, 1, "first entry",
         build([(first[0], first[1], b"", b"", big)] + members[1:]))
    case("archive_comment_64k", 0, 1, "", build(members, b"c" * 65535))

    # Bigger than a 1 MiB file system: the installer's case mounts one.
    case("entry_2m", 0, 0, "articles/big.bin, 2 MiB",
         build(members + [plain(b"articles/big.bin", b"\x5a" * (2 << 20))]))

    with open(os.path.join(out_dir, "cases.tsv"), "w") as f:
        for row in table:
            f.write("\t".join(str(x) for x in row) + "\n")


if __name__ == "__main__":
    main()
