#!/usr/bin/python3
"""Stamps a visitor id into a signed TavoSetup.exe for the distribution channel.

  stamp_visitor.py --visitor-id ID IN.exe OUT.exe

The id ("vis_" or "vst_" and 32 lower-case hexadecimal digits) is written as
"TAVO_VISITOR_V1:" and the id into the Authenticode signature, as an
unauthenticated attribute of its signer: the signed hash does not cover it, so
the signature still verifies, and no byte follows the signature structure, so
Windows' strict certificate padding check accepts the file. A marker stamped
before is replaced (the launcher takes an id only from exactly one marker).
An invalid id, a file that is not a PE program or not signed, and an output
path equal to the input are refused with a message and exit code 2; nothing is
written then. It needs asn1crypto: Debian's /usr/bin/python3 with
python3-asn1crypto, or any Python 3 with the asn1crypto package; a Python
without it is refused the same way, with a message that says how to get it."""

import argparse
import pathlib
import re
import struct
import sys

# The first python3 on a release machine's PATH is often not the one that has
# the module, so its absence is a refusal that says how to get it, not a traceback.
try:
    from asn1crypto import cms, core
except ModuleNotFoundError as error:
    if error.name != "asn1crypto":
        raise
    cms = core = None

MARKER = b"TAVO_VISITOR_V1:"
VISITOR_ID = re.compile(r"^(vis|vst)_[0-9a-f]{32}$")
# A marker as the launcher takes it: the prefix and a valid id (the launcher's
# own code holds the prefix alone).
STAMPED = re.compile(re.escape(MARKER) + rb"(vis|vst)_[0-9a-f]{32}")
# A UUID-based object identifier (ITU-T X.667), free to use without registration.
ATTRIBUTE_OID = "2.25.176286397935573519432462349307411593812"
SECURITY_DIRECTORY = 4
WIN_CERT_REVISION_2_0, WIN_CERT_TYPE_PKCS_SIGNED_DATA = 0x0200, 0x0002


class Refused(Exception):
    pass


def pe_layout(data):
    """(offset of the optional header's CheckSum, offset of the security directory entry)."""
    if len(data) < 0x40 or data[:2] != b"MZ":
        raise Refused("not a PE program (no MZ header)")
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if pe + 24 > len(data) or data[pe:pe + 4] != b"PE\0\0":
        raise Refused("not a PE program (no PE signature)")
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    if magic not in (0x10B, 0x20B):
        raise Refused("not a PE program (unknown optional header)")
    directories = optional + (112 if magic == 0x20B else 96)
    if struct.unpack_from("<I", data, directories - 4)[0] <= SECURITY_DIRECTORY:
        raise Refused("the program has no security directory")
    return optional + 64, directories + 8 * SECURITY_DIRECTORY


def pe_checksum(data, checksum_offset):
    """The image checksum: 16-bit one's-complement sum of the file without the field, plus its length."""
    padded = data + b"\0" * (len(data) % 2)
    total = 0
    for (word,) in struct.iter_unpack("<H", padded):
        total += word
    for i in range(2):  # the field itself counts as zero
        total -= struct.unpack_from("<H", padded, checksum_offset + 2 * i)[0]
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return (total + len(data)) & 0xFFFFFFFF


def stamp(data, visitor_id):
    checksum_offset, security_entry = pe_layout(data)
    table, size = struct.unpack_from("<II", data, security_entry)
    if table == 0 or size < 8:
        raise Refused("the program is not signed")
    if table + size != len(data):
        raise Refused("data follows the signature; this tool stamps only programs signed last")
    length, revision, kind = struct.unpack_from("<IHH", data, table)
    if revision != WIN_CERT_REVISION_2_0 or kind != WIN_CERT_TYPE_PKCS_SIGNED_DATA or not 8 < length <= size:
        raise Refused("the program's signature is not an Authenticode PKCS#7 signature")
    signature = cms.ContentInfo.load(data[table + 8:table + length], strict=False)
    if signature["content_type"].native != "signed_data":
        raise Refused("the program's signature is not signed data")
    signer = signature["content"]["signer_infos"][0]

    attribute = cms.CMSAttribute({"type": ATTRIBUTE_OID,
                                  "values": [core.OctetString(MARKER + visitor_id.encode("ascii"))]})
    kept = [a for a in (signer["unsigned_attrs"] if signer["unsigned_attrs"].native else [])
            if a["type"].dotted != ATTRIBUTE_OID]
    signer["unsigned_attrs"] = cms.CMSAttributes(kept + [attribute])
    der = signature.dump(force=True)

    # The table stays 8-byte aligned and ends the file; the padding is zeros.
    padding = (8 - len(der) % 8) % 8
    certificate = struct.pack("<IHH", 8 + len(der) + padding, WIN_CERT_REVISION_2_0,
                              WIN_CERT_TYPE_PKCS_SIGNED_DATA) + der + b"\0" * padding
    out = bytearray(data[:table] + certificate)
    struct.pack_into("<II", out, security_entry, table, len(certificate))
    struct.pack_into("<I", out, checksum_offset, 0)
    struct.pack_into("<I", out, checksum_offset, pe_checksum(bytes(out), checksum_offset))
    if len(STAMPED.findall(bytes(out))) != 1:
        raise Refused("the program holds the marker outside its signature: it would carry two ids")
    return bytes(out)


def main(argv):
    parser = argparse.ArgumentParser(description="Stamps a visitor id into a signed TavoSetup.exe.")
    parser.add_argument("--visitor-id", required=True)
    parser.add_argument("input", type=pathlib.Path)
    parser.add_argument("output", type=pathlib.Path)
    args = parser.parse_args(argv)
    try:
        if cms is None:
            raise Refused("needs the Python module asn1crypto, which this Python (%s) does not have: run it with "
                          "Debian's /usr/bin/python3 (apt-get install python3-asn1crypto) or pip install asn1crypto"
                          % (sys.executable or "python3"))
        if not VISITOR_ID.match(args.visitor_id):
            raise Refused("invalid visitor id %r: \"vis_\" or \"vst_\" and 32 lower-case hexadecimal digits"
                          % args.visitor_id)
        if args.output.resolve() == args.input.resolve():
            raise Refused("the output must be another file than the input")
        try:
            data = args.input.read_bytes()
        except OSError as error:
            raise Refused("cannot read %s: %s" % (args.input, error.strerror))
        stamped = stamp(data, args.visitor_id)
    except (Refused, ValueError) as error:
        print("stamp_visitor: %s" % error, file=sys.stderr)
        return 2
    args.output.write_bytes(stamped)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
