// Exit statuses of the tools (te-tool, te-run, oemcom-host-run, fv-tool), one meaning each, as
// diff and cmp use them.
#pragma once

constexpr int EXIT_OK = 0;      // done: converted, listed, checked, or a clean run
constexpr int EXIT_FAULT = 1;   // the input breaks a rule: refused (whichever tool read it), or the
                                // image broke one while it ran, or its run differs from the script
constexpr int EXIT_TROUBLE = 2; // bad command line, unreadable or unwritable file, or a run that
                                // cannot be set up (the image does not fit at the chosen base)
constexpr int EXIT_INTERNAL = 3; // a tool's check of its own result failed before writing it: a
                                 // fault in the tool, not in its input; nothing was written
