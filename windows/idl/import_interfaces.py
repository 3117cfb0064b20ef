#!/usr/bin/env python3
"""Makes a type library refer to the interfaces another library defines, instead of copying them.

    import_interfaces.py LIBRARY.tlb IMPORTED.tlb OUTPUT.tlb

The IDL compiler copies every interface that a coclass names into the coclass's own library, even
when an importlib'd library defines it. This takes such a library and, for each of its interfaces
that IMPORTED.tlb defines (same identifier), turns the references to the copy into references to
IMPORTED.tlb's interface, found by the library's identifier and version (the file name
IMPORTED.tlb is kept as the hint), and drops the copy. It handles what the compiler writes for a
coclass: the copies are the library's last type infos, and only coclasses refer to them; anything
else is refused, so a changed library fails the build instead of coming out broken.

The layout is the MSFT type library format, as OLE Automation reads it.
"""
import struct
import sys

HEADER = struct.Struct("<21i")  # magic1 ... nimpinfos
H_VARFLAGS, H_NRTYPEINFOS, H_NIMPINFOS = 5, 8, 20
H_POSGUID, H_LCID2, H_VERSION = 2, 4, 6
VARFLAG_HELPSTRINGDLL = 0x100
SEGMENTS = 15
(TYPEINFO, IMPORTINFO, IMPORTFILES, REFERENCES, GUIDHASH, GUID, NAMEHASH, NAME, STRING, TYPEDESC,
 ARRAYDESC, CUSTDATA, CUSTDATAGUID) = range(13)
# The order in which the segments follow each other in the file.
FILE_ORDER = [TYPEINFO, GUIDHASH, GUID, REFERENCES, IMPORTINFO, IMPORTFILES, NAMEHASH, NAME,
              STRING, TYPEDESC, ARRAYDESC, CUSTDATA, CUSTDATAGUID]
TYPEINFO_SIZE = 0x64
TI_KIND, TI_MEMOFFSET, TI_CELEMENT, TI_POSGUID, TI_NAME = 0x00, 0x04, 0x18, 0x2C, 0x34
TI_DATATYPE1 = 0x54
TKIND_COCLASS = 5
GUID_ENTRY = 24  # GUID, hreftype, next_hash
IMPINFO_OFFSET_IS_GUID = 0x00010000


def fail(message):
    sys.exit("import_interfaces: " + message)


class TypeLib:
    def __init__(self, data):
        self.header = list(HEADER.unpack_from(data, 0))
        if self.header[0] != 0x5446534D:
            fail("not an MSFT type library")
        at = HEADER.size
        self.helpstringdll = None
        if self.header[H_VARFLAGS] & VARFLAG_HELPSTRINGDLL:
            self.helpstringdll = data[at:at + 4]
            at += 4
        count = self.header[H_NRTYPEINFOS]
        self.typeinfo_offsets = list(struct.unpack_from("<%di" % count, data, at))
        at += 4 * count
        self.segdir = [list(struct.unpack_from("<4i", data, at + 16 * i)) for i in range(SEGMENTS)]
        self.segments = []
        for offset, length, _, _ in self.segdir:
            self.segments.append(bytearray(data[offset:offset + length] if length > 0 else b""))
        # Member data of the type infos: whatever follows the segments.
        end = max((o + l for o, l, _, _ in self.segdir if l > 0), default=0)
        self.member_start = end
        self.member_data = bytearray(data[end:])

    def typeinfo(self, index):
        return self.segments[TYPEINFO][index * TYPEINFO_SIZE:(index + 1) * TYPEINFO_SIZE]

    def ti_field(self, index, field):
        return struct.unpack_from("<i", self.segments[TYPEINFO], index * TYPEINFO_SIZE + field)[0]

    def guid_at(self, offset):
        return bytes(self.segments[GUID][offset:offset + 16])

    def guid_entry(self, offset):
        return struct.unpack_from("<ii", self.segments[GUID], offset + 16)

    def set_guid_hreftype(self, offset, hreftype):
        struct.pack_into("<i", self.segments[GUID], offset + 16, hreftype)

    def add_guid(self, guid, hreftype):
        # Chained into the hash table as the compiler does: the words of the GUID xor-ed.
        words = struct.unpack("<8H", guid)
        key = 0
        for word in words:
            key ^= word
        key &= 0x1F
        offset = len(self.segments[GUID])
        head = struct.unpack_from("<i", self.segments[GUIDHASH], key * 4)[0]
        self.segments[GUID] += guid + struct.pack("<ii", hreftype, head)
        struct.pack_into("<i", self.segments[GUIDHASH], key * 4, offset)
        return offset

    def find_guid(self, guid):
        for offset in range(0, len(self.segments[GUID]), GUID_ENTRY):
            if self.guid_at(offset) == guid:
                return offset
        return None

    def serialize(self):
        header = list(self.header)
        header[H_NRTYPEINFOS] = len(self.typeinfo_offsets)
        at = HEADER.size + (4 if self.helpstringdll else 0) + 4 * len(self.typeinfo_offsets)
        at += 16 * SEGMENTS
        segdir = [list(entry) for entry in self.segdir]
        for segment in FILE_ORDER:
            length = len(self.segments[segment])
            segdir[segment][0] = at if length else -1
            segdir[segment][1] = length
            at += length
        # Member data keeps its place behind the segments; its offsets move with it.
        shift = at - self.member_start
        typeinfos = self.segments[TYPEINFO]
        for index in range(len(self.typeinfo_offsets)):
            field = index * TYPEINFO_SIZE + TI_MEMOFFSET
            memoffset = struct.unpack_from("<i", typeinfos, field)[0]
            struct.pack_into("<i", typeinfos, field, memoffset + shift)
        out = bytearray(HEADER.pack(*header))
        if self.helpstringdll:
            out += self.helpstringdll
        out += struct.pack("<%di" % len(self.typeinfo_offsets), *self.typeinfo_offsets)
        for entry in segdir:
            out += struct.pack("<4i", *entry)
        for segment in FILE_ORDER:
            out += self.segments[segment]
        out += self.member_data
        return bytes(out)


def encoded_file_name(name):
    raw = name.encode("ascii")
    # A 16-bit length, shifted by two with the low bit set, then the name, padded to 4 bytes.
    out = struct.pack("<H", (len(raw) << 2) | 1) + raw
    return out + b"W" * (-len(out) % 4)


def main(argv):
    if len(argv) != 4:
        fail("usage: import_interfaces.py LIBRARY.tlb IMPORTED.tlb OUTPUT.tlb")
    with open(argv[1], "rb") as f:
        lib = TypeLib(f.read())
    with open(argv[2], "rb") as f:
        imported = TypeLib(f.read())
    file_name = argv[2].replace("\\", "/").rsplit("/", 1)[-1]

    # What the imported library defines, by identifier: its index and kind there.
    defined = {}
    for index in range(imported.header[H_NRTYPEINFOS]):
        guid = imported.guid_at(imported.ti_field(index, TI_POSGUID))
        defined[guid] = (index, imported.ti_field(index, TI_KIND) & 0xF)

    count = lib.header[H_NRTYPEINFOS]
    copies = [i for i in range(count) if lib.guid_at(lib.ti_field(i, TI_POSGUID)) in defined]
    if not copies:
        fail("%s defines none of %s's type infos" % (argv[2], argv[1]))
    if copies != list(range(count - len(copies), count)):
        fail("the copied type infos are not the library's last ones")
    if any(lib.ti_field(i, TI_CELEMENT) for i in range(count) if i not in copies):
        fail("only the copies may have members")

    # The imported library's file, found by its identifier and version.
    imported_guid = imported.guid_at(imported.header[H_POSGUID])
    library_guid = lib.add_guid(imported_guid, 2)
    version = imported.header[H_VERSION]
    impfile = len(lib.segments[IMPORTFILES])
    lib.segments[IMPORTFILES] += struct.pack("<iii", library_guid, lib.header[H_LCID2], version)
    lib.segments[IMPORTFILES] += encoded_file_name(file_name)

    # One import entry for each copy, under the copy's own GUID entry.
    hreftypes = {}
    for index in copies:
        guid_offset = lib.ti_field(index, TI_POSGUID)
        there, kind = defined[lib.guid_at(guid_offset)]
        impinfo = len(lib.segments[IMPORTINFO])
        flags = (kind << 24) | IMPINFO_OFFSET_IS_GUID | there
        lib.segments[IMPORTINFO] += struct.pack("<iii", flags, impfile, guid_offset)
        lib.header[H_NIMPINFOS] += 1
        lib.set_guid_hreftype(guid_offset, impinfo + 1)
        hreftypes[lib.typeinfo_offsets[index]] = impinfo + 1

    # The coclasses' implemented interfaces now lead to the import entries.
    references = lib.segments[REFERENCES]
    redirected = 0
    for index in range(count - len(copies)):
        if lib.ti_field(index, TI_KIND) & 0xF != TKIND_COCLASS:
            continue
        ref = lib.ti_field(index, TI_DATATYPE1)
        while ref != -1:
            reftype, _, _, following = struct.unpack_from("<4i", references, ref)
            if reftype in hreftypes:
                struct.pack_into("<i", references, ref, hreftypes[reftype])
                redirected += 1
            ref = following
    if redirected == 0:
        fail("no coclass implements the copied interfaces")

    # Drop the copies: their entries, their member data (theirs alone, and last), and their names
    # no longer lead to a type info.
    first = copies[0]
    for index in copies:
        name = lib.ti_field(index, TI_NAME)
        struct.pack_into("<i", lib.segments[NAME], name, -1)
    if lib.ti_field(first, TI_MEMOFFSET) != lib.member_start:
        fail("member data that is not the copies'")
    del lib.member_data[:]
    del lib.segments[TYPEINFO][first * TYPEINFO_SIZE:]
    del lib.typeinfo_offsets[first:]

    with open(argv[3], "wb") as f:
        f.write(lib.serialize())


if __name__ == "__main__":
    main(sys.argv)
