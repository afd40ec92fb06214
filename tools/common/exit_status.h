// Exit statuses of the tools (te-tool, te-run, oemcom-host-run): 0, 1 and 2 as diff and cmp use
// them.
#pragma once

constexpr int EXIT_OK = 0;      // done: converted, listed, checked, or a clean run
constexpr int EXIT_FAULT = 1;   // the image breaks a rule: refused, or broke one while it ran
constexpr int EXIT_TROUBLE = 2; // bad command line, file I/O error, image te-run cannot load
