"""Reads what the release checks need from a PE file (32- or 64-bit): imported
functions, exported names and ordinals, resources by type and id, and the API
set map of an apisetschema.dll."""

import struct

DIRECTORY_EXPORT, DIRECTORY_IMPORT, DIRECTORY_RESOURCE = 0, 1, 2
RT_RCDATA = 10
RT_VERSION = 16


class PeFile:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise ValueError("not an MZ file")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        self.machine, section_count = struct.unpack_from("<HH", data, pe + 4)
        optional_size = struct.unpack_from("<H", data, pe + 20)[0]
        optional = pe + 24
        magic = struct.unpack_from("<H", data, optional)[0]
        if magic not in (0x10B, 0x20B):
            raise ValueError("unknown optional header 0x%X" % magic)
        self.is64 = magic == 0x20B
        directories = optional + (112 if self.is64 else 96)
        count = struct.unpack_from("<I", data, directories - 4)[0]
        self.directories = [struct.unpack_from("<II", data, directories + 8 * i) for i in range(count)]
        self.sections = []
        self.section_names = {}
        for i in range(section_count):
            header = optional + optional_size + 40 * i
            virtual_size, address, raw_size, raw_offset = struct.unpack_from("<IIII", data, header + 8)
            self.sections.append((address, max(virtual_size, raw_size), raw_offset, raw_size))
            self.section_names[data[header:header + 8].rstrip(b"\0").decode("ascii")] = (raw_offset, raw_size)

    @classmethod
    def load(cls, path):
        with open(path, "rb") as f:
            return cls(f.read())

    def offset(self, rva):
        for address, size, raw_offset, raw_size in self.sections:
            if address <= rva < address + size and rva - address < raw_size:
                return raw_offset + rva - address
        raise ValueError("RVA 0x%X is not in the file" % rva)

    def string(self, rva):
        start = self.offset(rva)
        return self.data[start:self.data.index(b"\0", start)].decode("ascii")

    def directory(self, index):
        return self.directories[index] if index < len(self.directories) else (0, 0)

    def imports(self):
        """{dll name (lower case): [function name, or '#ordinal']}."""
        rva, _ = self.directory(DIRECTORY_IMPORT)
        result = {}
        while rva:
            lookup, _, _, name, thunks = struct.unpack_from("<IIIII", self.data, self.offset(rva))
            if not name:
                break
            functions = result.setdefault(self.string(name).lower(), [])
            entry = lookup or thunks
            width, flag = (8, 1 << 63) if self.is64 else (4, 1 << 31)
            while True:
                value = struct.unpack_from("<Q" if self.is64 else "<I", self.data, self.offset(entry))[0]
                if not value:
                    break
                functions.append("#%d" % (value & 0xFFFF) if value & flag else self.string((value & 0x7FFFFFFF) + 2))
                entry += width
            rva += 20
        return result

    def exports(self):
        """Exported names and '#ordinal's."""
        rva, _ = self.directory(DIRECTORY_EXPORT)
        if not rva:
            return set()
        (base, function_count, name_count, functions, names) = struct.unpack_from(
            "<IIIII", self.data, self.offset(rva) + 16)
        result = set()
        for i in range(function_count):
            if struct.unpack_from("<I", self.data, self.offset(functions) + 4 * i)[0]:
                result.add("#%d" % (base + i))
        for i in range(name_count):
            result.add(self.string(struct.unpack_from("<I", self.data, self.offset(names) + 4 * i)[0]))
        return result

    def resources(self):
        """(type id, resource id, bytes) of every resource, first language
        only; named types and resources have None as their id."""
        root, _ = self.directory(DIRECTORY_RESOURCE)
        if not root:
            return
        base = self.offset(root)

        def entries(table):
            named, numbered = struct.unpack_from("<HH", self.data, base + table + 12)
            for i in range(named + numbered):
                name, target = struct.unpack_from("<II", self.data, base + table + 16 + 8 * i)
                yield (None if name & 0x80000000 else name), target

        for type_id, types in entries(0):
            if not types & 0x80000000:  # not a subdirectory
                continue
            for resource_id, languages in entries(types & 0x7FFFFFFF):
                language = next(entries(languages & 0x7FFFFFFF), None) if languages & 0x80000000 else None
                if language is None or language[1] & 0x80000000:
                    continue
                data_rva, size = struct.unpack_from("<II", self.data, base + language[1])
                start = self.offset(data_rva)
                yield type_id, resource_id, self.data[start:start + size]

    def resource(self, type_id, resource_id):
        """The bytes of resource `resource_id` of type `type_id` (first language), or None."""
        return next((data for t, r, data in self.resources() if (t, r) == (type_id, resource_id)), None)

def version_info(block):
    """The fixed file and product versions and the string values of a
    VS_VERSIONINFO resource: ((file version), (product version), {name: value})."""
    def node(offset):
        length, value_length, kind = struct.unpack_from("<HHH", block, offset)
        end = block.index(b"\0\0", offset + 6)
        while (end - offset - 6) % 2:  # the key is UTF-16: the terminator starts on an even byte
            end = block.index(b"\0\0", end + 1)
        key = block[offset + 6:end].decode("utf-16-le")
        value_at = (end + 2 + 3) & ~3
        value_size = value_length * 2 if kind == 1 else value_length
        children = (value_at + value_size + 3) & ~3
        return key, length, value_at, value_size, children

    key, length, value_at, _, child = node(0)
    if key != "VS_VERSION_INFO":
        raise ValueError("not a VS_VERSIONINFO block")
    signature, _, ms, ls, pms, pls = struct.unpack_from("<6I", block, value_at)
    if signature != 0xFEEF04BD:
        raise ValueError("no VS_FIXEDFILEINFO")
    versions = [(a >> 16, a & 0xFFFF, b >> 16, b & 0xFFFF) for a, b in ((ms, ls), (pms, pls))]
    strings = {}

    def walk(offset, end, depth):
        while offset < end:
            key, length, value_at, value_size, child = node(offset)
            if length == 0:
                break
            if depth == 2:  # StringFileInfo > table > String
                strings[key] = block[value_at:value_at + value_size].decode("utf-16-le").rstrip("\0")
            elif key == "StringFileInfo" or depth == 1:
                walk(child, offset + length, depth + 1)
            offset = (offset + length + 3) & ~3

    walk(child, length, 0)
    return versions[0], versions[1], strings


def api_set_hosts(schema):
    """{API set name without its last version number: host DLL} from the
    .apiset section (schema version 6) of Wine's apisetschema.dll."""
    image = PeFile.load(schema)
    start, size = image.section_names[".apiset"]
    data = image.data[start:start + size]
    version, _, _, count, entries = struct.unpack_from("<IIIII", data, 0)
    if version != 6:
        raise ValueError("API set schema version %d" % version)

    def text(offset, length):
        return data[offset:offset + length].decode("utf-16-le").lower()

    hosts = {}
    for i in range(count):
        _, name, _, hashed, values, value_count = struct.unpack_from("<IIIIII", data, entries + 24 * i)
        if value_count:
            _, _, _, host, host_length = struct.unpack_from("<IIIII", data, values)
            hosts[text(name, hashed)] = text(host, host_length)
    return hosts


def api_set_key(dll):
    """The part of an API set DLL name that the schema matches: no ".dll", no last version number."""
    return dll.lower().removesuffix(".dll").rpartition("-")[0]
