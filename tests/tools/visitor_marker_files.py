"""Writes the files on which the launcher's visitor scan is tested: copies of
real launcher files (and of a minimal PE32 image made here) with a certificate
table appended as the distribution channel stamps it, well-formed or broken.

  visitor_marker_files.py OUT_DIR [PE_FILE...]

OUT_DIR/cases.txt lists one case a line: file name, a TAB, the visitor id the
scan must find (empty: none)."""

import os
import struct
import sys

MARKER = b"TAVO_VISITOR_V1:"
ID = b"vis_0123456789abcdef0123456789abcdef"
ID_VST = b"vst_fedcba9876543210fedcba9876543210"
ID_UPPER = b"vis_0123456789ABCDEF0123456789ABCDEF"
# Stands in for the PKCS#7 signature that precedes the marker in a signed file.
SIGNATURE = bytes([0x30, 0x82, 0x01, 0x00]) + bytes(range(256)) * 2


def minimal_pe32():
    """An image with just the headers the scan reads: MZ, PE, a PE32 optional
    header with 16 data directories (all empty), one section, 1024 bytes."""
    e = 0x80
    data = bytearray(1024)
    data[0:2] = b"MZ"
    struct.pack_into("<I", data, 0x3C, e)
    data[e:e + 4] = b"PE\0\0"
    struct.pack_into("<HHIIIHH", data, e + 4, 0x14C, 1, 0, 0, 0, 0xE0, 0x0102)
    struct.pack_into("<H", data, e + 24, 0x10B)
    struct.pack_into("<I", data, e + 24 + 92, 16)  # NumberOfRvaAndSizes
    section = e + 24 + 0xE0
    data[section:section + 8] = b".text\0\0\0"
    struct.pack_into("<IIII", data, section + 8, 0x200, 0x1000, 0x200, 0x200)
    return bytes(data)


def security_directory(data):
    e = struct.unpack_from("<I", data, 0x3C)[0]
    magic = struct.unpack_from("<H", data, e + 24)[0]
    return e + (152 if magic == 0x10B else 168)


def stamp(data, payload, revision=0x0200, cert_type=2, length_delta=0):
    """Appends a WIN_CERTIFICATE holding `payload` and points the security
    directory at it; `length_delta` breaks the header's length field."""
    data = bytearray(data)
    data += bytes(-len(data) % 8)  # the table starts 8-byte aligned
    table = payload + bytes(-(len(payload) + 8) % 8)
    offset, size = len(data), 8 + len(table)
    data += struct.pack("<IHH", size + length_delta, revision, cert_type) + table
    struct.pack_into("<II", data, security_directory(data), offset, size)
    return bytes(data)


def cases(base):
    once = stamp(base, SIGNATURE + MARKER + ID + bytes(16))
    return [
        ("none", base, b""),
        ("once", once, ID),
        ("once_vst", stamp(base, SIGNATURE + MARKER + ID_VST + bytes(16)), ID_VST),
        ("marker_first", stamp(base, MARKER + ID + SIGNATURE), ID),
        ("twice_same", stamp(base, SIGNATURE + MARKER + ID + MARKER + ID + bytes(16)), b""),
        ("twice_different", stamp(base, MARKER + ID + SIGNATURE + MARKER + ID_VST), b""),
        ("upper_case_id", stamp(base, SIGNATURE + MARKER + ID_UPPER + bytes(16)), b""),
        ("short_id", stamp(base, SIGNATURE + MARKER + ID[:-1] + b"-" + bytes(16)), b""),
        ("truncated_table", once[:-20], b""),
        ("extended_file", once + bytes(8), b""),
        ("length_field_mismatch", stamp(base, SIGNATURE + MARKER + ID, length_delta=8), b""),
        ("revision_1", stamp(base, SIGNATURE + MARKER + ID, revision=0x0100), b""),
        ("type_x509", stamp(base, SIGNATURE + MARKER + ID, cert_type=1), b""),
        ("marker_without_room_for_id", stamp(base, SIGNATURE + MARKER + ID[:20]), b""),
        ("marker_before_table", stamp(base + MARKER + ID + bytes(8), SIGNATURE), b""),
    ]


def main():
    out_dir, inputs = sys.argv[1], sys.argv[2:]
    os.makedirs(out_dir, exist_ok=True)
    bases = [("pe32_minimal", minimal_pe32())]
    for path in inputs:
        with open(path, "rb") as f:
            data = f.read()
        e = struct.unpack_from("<I", data, 0x3C)[0]
        kind = "pe32plus" if struct.unpack_from("<H", data, e + 24)[0] == 0x20B else "pe32"
        bases.append(("%s_%s" % (kind, os.path.splitext(os.path.basename(path))[0]), data))
    lines = []
    for base_name, base in bases:
        for case, data, expected in cases(base):
            name = "%s.%s.exe" % (base_name, case)
            with open(os.path.join(out_dir, name), "wb") as f:
                f.write(data)
            lines.append("%s\t%s\n" % (name, expected.decode("ascii")))
    with open(os.path.join(out_dir, "cases.txt"), "w") as f:
        f.writelines(lines)


if __name__ == "__main__":
    main()
