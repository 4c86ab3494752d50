#!/usr/bin/env python3
"""Packs a file the launcher carries compressed: the worker program and the
fonts. A packed file is the 4 bytes "TVZ1", the expanded size as 32-bit
little-endian, then one zlib stream (RFC 1950, deflate with an Adler-32 of the
expanded bytes), which the launcher expands with zlib.

The stream comes from zopfli (Debian's zopfli package, a few percent smaller
than zlib's best) when it is installed, else from zlib at level 9; either way
the result is checked by expanding it again before it is written.

usage: pack.py SOURCE PACKED"""

import pathlib
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

MAGIC = b"TVZ1"


def pack(data, use_zopfli=True):
    tool = shutil.which("zopfli") if use_zopfli else None
    if tool:
        # zopfli reads a named file only (it needs the size first).
        with tempfile.TemporaryDirectory() as folder:
            source = pathlib.Path(folder) / "data"
            source.write_bytes(data)
            stream = subprocess.run([tool, "--zlib", "-c", str(source)], capture_output=True, check=True).stdout
    else:
        stream = zlib.compress(data, 9)
    return MAGIC + struct.pack("<I", len(data)) + stream


def unpack(packed):
    """The expanded bytes; ValueError when `packed` is not a whole packed file."""
    if len(packed) < 8 or packed[:4] != MAGIC:
        raise ValueError("not a packed file")
    size = struct.unpack_from("<I", packed, 4)[0]
    expander = zlib.decompressobj()
    data = expander.decompress(packed[8:])
    if not expander.eof or expander.unused_data or len(data) != size:
        raise ValueError("a damaged or truncated packed file")
    return data


def main(argv):
    if len(argv) != 3:
        sys.exit(__doc__)
    source, target = pathlib.Path(argv[1]), pathlib.Path(argv[2])
    data = source.read_bytes()
    packed = pack(data)
    if unpack(packed) != data:
        sys.exit("pack: %s does not expand to itself" % source)
    target.write_bytes(packed)


if __name__ == "__main__":
    main(sys.argv)
