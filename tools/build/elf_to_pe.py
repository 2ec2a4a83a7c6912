#!/usr/bin/python3
# SPDX-License-Identifier: BSD-2-Clause-Patent
"""Turn the RISC-V 64 ELF of an EFI program into a PE32+ EFI application.

lld-link has no RISC-V, so the image is linked as a position-independent ELF
(ld.lld -pie, cmake/riscv64-efi.lds: every segment starts on a page, so an
ELF address is the image's RVA) and rewritten here: each loadable segment
becomes a PE section of the same address and access, the ELF entry point the
image's, and every R_RISCV_RELATIVE relocation a DIR64 base relocation, its
addend written into the image as the address to be moved. Any other
relocation is refused: the firmware applies nothing else.

Usage: elf_to_pe.py ELF IMAGE
On bad input it names the fault, exits 1 and leaves no IMAGE.
"""
import os
import struct
import sys

EM_RISCV = 243
ET_DYN = 3
PT_LOAD, PT_DYNAMIC = 1, 2
PF_X, PF_W = 1, 2
DT_NULL, DT_RELA, DT_RELASZ, DT_RELAENT, DT_REL, DT_JMPREL = 0, 7, 8, 9, 17, 23
R_RISCV_NONE, R_RISCV_RELATIVE = 0, 3

PAGE = 0x1000
FILE_ALIGNMENT = 0x200
IMAGE_FILE_MACHINE_RISCV64 = 0x5064
IMAGE_FILE_EXECUTABLE_IMAGE, IMAGE_FILE_LARGE_ADDRESS_AWARE = 0x0002, 0x0020
IMAGE_SUBSYSTEM_EFI_APPLICATION = 10
DYNAMIC_BASE, NX_COMPAT = 0x0040, 0x0100
IMAGE_REL_BASED_ABSOLUTE, IMAGE_REL_BASED_DIR64 = 0, 10
SCN_CODE, SCN_DATA, SCN_ZEROED = 0x00000020, 0x00000040, 0x00000080
SCN_DISCARDABLE, SCN_EXECUTE, SCN_READ, SCN_WRITE = 0x02000000, 0x20000000, 0x40000000, 0x80000000
OPTIONAL_HEADER_SIZE = 112 + 16 * 8  # PE32+ with all 16 data directories


class BadInput(Exception):
    pass


def align(value, alignment):
    return (value + alignment - 1) // alignment * alignment


def unpack(fmt, data, offset, what):
    if offset < 0 or offset + struct.calcsize(fmt) > len(data):
        raise BadInput(f"truncated: the {what} at byte {offset:#x} runs past the end "
                       f"({len(data)} bytes)")
    return struct.unpack_from(fmt, data, offset)


def segments(elf):
    """The entry point, the loadable segments as (address, file bytes, memory
    size, flags), and the dynamic segment's address."""
    if elf[:4] != b"\x7fELF":
        raise BadInput("not an ELF file")
    elf_class, encoding = unpack("<BB", elf, 4, "ELF identification")
    if (elf_class, encoding) != (2, 1):
        raise BadInput("not a 64-bit little-endian ELF")
    kind, machine, _, entry, phoff, _, _, _, phentsize, phnum = unpack("<HHIQQQIHHH", elf, 16,
                                                                       "ELF header")
    if machine != EM_RISCV or kind != ET_DYN:
        raise BadInput(f"not a position-independent RISC-V ELF (type {kind}, machine {machine})")
    loads, dynamic = [], None
    for index in range(phnum):
        ptype, flags, offset, vaddr, _, filesz, memsz, _ = unpack(
            "<IIQQQQQQ", elf, phoff + index * phentsize, f"program header {index}")
        if ptype == PT_DYNAMIC:
            dynamic = vaddr
        if ptype != PT_LOAD or memsz == 0:
            continue
        if vaddr % PAGE or vaddr < PAGE:
            raise BadInput(f"segment {index} at {vaddr:#x} does not start on a page of its own "
                           "after the first (link with cmake/riscv64-efi.lds)")
        if offset + filesz > len(elf):
            raise BadInput(f"truncated: segment {index} runs past the end ({len(elf)} bytes)")
        loads.append((vaddr, elf[offset:offset + filesz], memsz, flags))
    loads.sort(key=lambda load: load[0])  # PE sections go up in address
    if not any(flags & PF_X and vaddr <= entry < vaddr + memsz for vaddr, _, memsz, flags in loads):
        raise BadInput(f"the entry point {entry:#x} is not in an executable segment")
    return entry, loads, dynamic


def section_addresses(elf):
    """The address of each allocated ELF section, by name."""
    shoff, = unpack("<Q", elf, 0x28, "ELF header")
    entry_size, count, names = unpack("<HHH", elf, 0x3A, "ELF header")
    headers = [unpack("<IIQQQ", elf, shoff + i * entry_size, f"section header {i}")
               for i in range(count)]
    strings = headers[names][4] if names < count else len(elf)
    return {elf[strings + name:].split(b"\0", 1)[0]: address
            for name, _, _, address, _ in headers if address}


def relocations(loads, dynamic):
    """Addresses and addends of the relative relocations named by the dynamic segment."""
    def read(address, size, what):
        for vaddr, data, _, _ in loads:
            if vaddr <= address and address + size <= vaddr + len(data):
                return data[address - vaddr:address - vaddr + size]
        raise BadInput(f"truncated: the {what} at {address:#x} is not in the file")

    if dynamic is None:
        return []
    tags, address = {}, dynamic
    while True:
        tag, value = struct.unpack("<qQ", read(address, 16, "dynamic table"))
        if tag == DT_NULL:
            break
        tags[tag] = value
        address += 16
    for tag, name in ((DT_REL, "REL"), (DT_JMPREL, "PLT")):
        if tag in tags:
            raise BadInput(f"{name} relocations: only RELA R_RISCV_RELATIVE can be converted")
    if DT_RELA not in tags:
        return []
    entry_size = tags.get(DT_RELAENT, 24)
    table = read(tags[DT_RELA], tags.get(DT_RELASZ, 0), "relocation table")
    result = []
    for index in range(len(table) // entry_size):
        offset, info, addend = struct.unpack_from("<QQq", table, index * entry_size)
        kind = info & 0xFFFFFFFF
        if kind == R_RISCV_NONE:
            continue
        if kind != R_RISCV_RELATIVE:
            raise BadInput(f"relocation {index} at {offset:#x} has type {kind}: only "
                           f"R_RISCV_RELATIVE ({R_RISCV_RELATIVE}) can be converted")
        result.append((offset, addend))
    return result


def base_relocation_blocks(addresses):
    """The .reloc section: one block per page, DIR64 entries, each block 4-byte aligned."""
    blocks = b""
    pages = sorted({address // PAGE * PAGE for address in addresses})
    for page in pages:
        entries = [IMAGE_REL_BASED_DIR64 << 12 | address - page
                   for address in sorted(addresses) if address // PAGE * PAGE == page]
        if len(entries) % 2:
            entries.append(IMAGE_REL_BASED_ABSOLUTE << 12)
        blocks += struct.pack("<II", page, 8 + 2 * len(entries))
        blocks += struct.pack(f"<{len(entries)}H", *entries)
    return blocks


def convert(elf):
    entry, loads, dynamic = segments(elf)
    contents = [bytearray(data) for _, data, _, _ in loads]
    fixups = relocations(loads, dynamic)
    for offset, addend in fixups:
        for (vaddr, data, _, _), content in zip(loads, contents):
            if vaddr <= offset and offset + 8 <= vaddr + len(data):
                struct.pack_into("<Q", content, offset - vaddr, addend)
                break
        else:
            raise BadInput(f"relocation at {offset:#x} is not in the file's data")

    sections = []  # (name, address, bytes, memory size, characteristics)
    sbat = section_addresses(elf).get(b".sbat")
    for (vaddr, _, memsz, flags), content in zip(loads, contents):
        if flags & PF_X:
            name, characteristics = b".text", SCN_CODE | SCN_EXECUTE | SCN_READ
        elif flags & PF_W and not content:
            # No bytes in the file, so no file position: strict loaders (shim)
            # take such a section for one inside the headers unless it is
            # marked as zeroed data, which they clear instead of copying.
            name, characteristics = b".data", SCN_ZEROED | SCN_READ | SCN_WRITE
        elif flags & PF_W:
            name, characteristics = b".data", SCN_DATA | SCN_READ | SCN_WRITE
        else:  # shim finds its record by the section's name
            name, characteristics = b".sbat" if vaddr == sbat else b".rdata", SCN_DATA | SCN_READ
        sections.append((name, vaddr, bytes(content), memsz, characteristics))
    end = align(max(vaddr + memsz for vaddr, _, memsz, _ in loads), PAGE)
    relocs = base_relocation_blocks([offset for offset, _ in fixups])
    if relocs:
        sections.append((b".reloc", end, relocs, len(relocs),
                         SCN_DATA | SCN_DISCARDABLE | SCN_READ))
        end += align(len(relocs), PAGE)

    headers_size = align(0x40 + 4 + 20 + OPTIONAL_HEADER_SIZE + 40 * len(sections), FILE_ALIGNMENT)
    if headers_size > sections[0][1]:
        raise BadInput("the headers do not fit before the first segment")
    table, body, file_offset = b"", b"", headers_size
    for name, vaddr, data, memsz, characteristics in sections:
        raw = data.ljust(align(len(data), FILE_ALIGNMENT), b"\0")
        table += struct.pack("<8sIIIIIIHHI", name, memsz, vaddr, len(raw),
                             file_offset if raw else 0, 0, 0, 0, 0, characteristics)
        body += raw
        file_offset += len(raw)

    def size_of(kind):
        return sum(align(len(data), FILE_ALIGNMENT) for _, _, data, _, c in sections if c & kind)

    directories = [(0, 0)] * 16
    if relocs:
        directories[5] = (sections[-1][1], len(relocs))
    code = next(vaddr for _, vaddr, _, _, c in sections if c & SCN_CODE)
    optional = struct.pack("<HBBIIIIIQIIHHHHHHIIIIHHQQQQII", 0x20B, 0, 0, size_of(SCN_CODE),
                           size_of(SCN_DATA), 0, entry, code, 0, PAGE, FILE_ALIGNMENT,
                           0, 0, 0, 0, 0, 0, 0, end, headers_size, 0,
                           IMAGE_SUBSYSTEM_EFI_APPLICATION, DYNAMIC_BASE | NX_COMPAT,
                           0, 0, 0, 0, 0, 16)
    optional += b"".join(struct.pack("<II", *d) for d in directories)
    coff = struct.pack("<HHIIIHH", IMAGE_FILE_MACHINE_RISCV64, len(sections), 0, 0, 0,
                       OPTIONAL_HEADER_SIZE,
                       IMAGE_FILE_EXECUTABLE_IMAGE | IMAGE_FILE_LARGE_ADDRESS_AWARE)
    dos = b"MZ".ljust(0x3C, b"\0") + struct.pack("<I", 0x40)
    headers = (dos + b"PE\0\0" + coff + optional + table).ljust(headers_size, b"\0")
    return headers + body


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: elf_to_pe.py ELF IMAGE")
    source, target = sys.argv[1], sys.argv[2]
    try:
        with open(source, "rb") as f:
            image = convert(f.read())
    except (BadInput, OSError) as error:
        if os.path.exists(target):
            os.remove(target)
        sys.exit(f"elf_to_pe: {source}: {error}")
    partial = target + ".part"
    with open(partial, "wb") as f:
        f.write(image)
    os.replace(partial, target)


if __name__ == "__main__":
    main()
