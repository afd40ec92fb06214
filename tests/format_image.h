// The built image whose FormatText the format rows also run on: loaded at its first use, once
// per test binary. OEMCOM_IMAGE and OEMCOM_IMAGE_MAP name another TE image and link map than
// the build's (a patched copy, say); with OEMCOM_EXECUTED set, the instructions the calls
// executed are added to that file at exit, for image-coverage.
#pragma once

#include <string>

#include "image_call.h"

struct FormatImage {
  std::string Path;  // the TE image
  std::string Error; // why it could not be loaded; empty when it was
  ImageCaller Caller;
};

FormatImage &TheFormatImage();
