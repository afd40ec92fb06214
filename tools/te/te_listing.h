// The inspector's listing of a TE image.
#pragma once

#include <string>

#include "te_image.h"

// Multi-line text: the header fields by name, each section with its flags in words, each
// relocation with its type and, for HIGHLOW, the 32-bit value at its RVA and the section that
// value points into (as RVA = value - ImageBase), then a size summary.
std::string DescribeTeImage(const TeImage &Image);
