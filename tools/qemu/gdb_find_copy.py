# Finding the copy of the module that the PEI core makes when it dispatches the module after
# memory is found (boot.sh --gdb, flash boot, late). The PEI core copies the TE image out of the
# PEI volume into pages it allocates, relocates it there and calls its entry point. This runs
# the machine until a read of the entry point's first byte in the volume (a hardware read
# watchpoint): every copy of the volume or of the file reads it. At each such stop it reads,
# in each 4 KiB page of memory, the 16 bytes where an image whose RVA 0 starts the page has its
# TE header, and compares them with the module's first 16 header bytes (the signature up to
# BaseOfCode; ImageBase, which a loader may rewrite, comes after them). Pages that cannot be
# read (SMRAM) are skipped. The PEI core's copy is such a match, as its loader gives each image
# pages of its own; copies of the whole volume keep the volume's 32-byte placement. The copy's
# header is written before its code is read, so the match is there at the stop that reads the
# code for it; the entry point's breakpoint then holds through the relocation, since QEMU keeps
# breakpoints outside guest memory.
import gdb

PAGE = 0x1000
STOPS = 64  # watchpoint stops before giving up


def page_copies(pattern, displacement, bottom, top):
    """The addresses displacement bytes into a page of [bottom, top) that hold pattern."""
    inferior = gdb.selected_inferior()
    found = []
    for page in range(bottom, top, PAGE):
        try:
            if bytes(inferior.read_memory(page + displacement, len(pattern))) == pattern:
                found.append(page + displacement)
        except gdb.MemoryError:
            continue
    return found


def find_module_copy(watch, volume_header, header_hex, displacement, bottom, top):
    """Runs to the PEI core's copy; returns the address of its TE header, or 0."""
    pattern = bytes.fromhex(header_hex)
    point = gdb.Breakpoint(
        "*(unsigned char *) %d" % watch, gdb.BP_WATCHPOINT, gdb.WP_READ, internal=True
    )
    try:
        for _ in range(STOPS):
            gdb.execute("continue")
            copies = [
                address
                for address in page_copies(pattern, displacement % PAGE, bottom, top)
                if address != volume_header
            ]
            if len(copies) == 1:
                return copies[0]
    finally:
        point.delete()
    return 0
