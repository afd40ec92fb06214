# A gdb frame unwinder for the module's functions (boot.sh --gdb sources it). Code built for
# i686-windows-msvc carries no DWARF call frame information, and at -Oz no function keeps a
# frame pointer, so gdb's own prologue reading cannot find a caller's frame. This unwinder
# follows a function's code from its first instruction along every branch to the frame's pc,
# counting what each instruction does to ESP (push, pop, sub/add of a constant, ret); the
# return address then lies at ESP + that count. It applies to frames whose function the
# loaded symbols know; callers without symbols (the firmware) are left to gdb.
import re

import gdb
from gdb.unwinder import Unwinder

# Bytes each instruction form moves ESP by, when it is not a branch.
PUSH = re.compile(r"^push[lw]?\s")
POP = re.compile(r"^pop[lw]?\s")
ADJUST = re.compile(r"^(sub|add)l?\s+\$(0x[0-9a-f]+|\d+),%esp$")
BRANCH = re.compile(r"^(j[a-z]+)\s+(0x[0-9a-f]+)")
# Instructions a function's straight-line code never gets past.
ENDS = ("ret", "jmp", "ud2", "hlt")
# Instructions followed before giving up on a function (the module's largest has about 600).
BUDGET = 4096


def stack_depth(arch, start, pc):
    """Bytes the function starting at start has pushed by pc, or None when unknown."""
    depth = {start: 0}
    work = [start]
    steps = 0
    while work and steps < BUDGET:
        address = work.pop()
        while address != pc and steps < BUDGET:
            steps += 1
            instruction = arch.disassemble(address)[0]
            text = " ".join(instruction["asm"].split())
            here = depth[address]
            after = here
            if PUSH.match(text):
                after += 4
            elif POP.match(text):
                after -= 4
            else:
                adjust = ADJUST.match(text)
                if adjust:
                    amount = int(adjust.group(2), 0)
                    after += amount if adjust.group(1) == "sub" else -amount
            branch = BRANCH.match(text)
            if branch:
                target = int(branch.group(2), 16)
                if target not in depth:
                    depth[target] = after
                    work.append(target)
            if text.split(" ")[0] in ENDS or text.startswith("jmp"):
                break
            address += instruction["length"]
            if address in depth:
                break
            depth[address] = after
        if pc in depth:
            return depth[pc]
    return depth.get(pc)


class FrameId:
    """A frame's identity for gdb: the caller's ESP after the return, and the function."""

    def __init__(self, sp, pc):
        self.sp = gdb.Value(sp)
        self.pc = gdb.Value(pc)


class FramelessUnwinder(Unwinder):
    def __init__(self):
        super().__init__("oemcom frameless")

    def __call__(self, pending):
        pc = int(pending.read_register("eip"))
        block = gdb.block_for_pc(pc)
        while block is not None and block.function is None:
            block = block.superblock
        if block is None:
            return None
        arch = pending.architecture()
        depth = stack_depth(arch, block.start, pc)
        if depth is None:
            return None
        esp = int(pending.read_register("esp"))
        pointer = gdb.lookup_type("unsigned int").pointer()
        return_address = int(gdb.Value(esp + depth).cast(pointer).dereference())
        unwind = pending.create_unwind_info(FrameId(esp + depth + 4, block.start))
        # Register values must have the registers' own 4-byte types.
        eip_type = pending.read_register("eip").type
        esp_type = pending.read_register("esp").type
        unwind.add_saved_register("eip", gdb.Value(return_address).cast(eip_type))
        unwind.add_saved_register("esp", gdb.Value(esp + depth + 4).cast(esp_type))
        # The callee-saved registers are given as they are in this frame: a function that
        # pushed one holds the caller's value on the stack, which this unwinder does not track.
        for name in ("ebx", "ebp", "esi", "edi"):
            unwind.add_saved_register(name, pending.read_register(name))
        return unwind


gdb.unwinder.register_unwinder(None, FramelessUnwinder(), replace=True)
