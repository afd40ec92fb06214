#include "format_image.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "code_coverage.h"
#include "image_call.h"

namespace {

std::string FromEnvironment(const char *Name, const char *Otherwise) {
  const char *Value = std::getenv(Name);
  return Value != nullptr && *Value != '\0' ? Value : Otherwise;
}

struct Holder {
  Holder() {
    Image.Path = FromEnvironment("OEMCOM_IMAGE", OEMCOM_TE_PATH);
    if (!LoadImageFiles(Image.Path, FromEnvironment("OEMCOM_IMAGE_MAP", OEMCOM_MAP_PATH), {},
                        &Image.Caller, &Image.Error) &&
        Image.Error.empty()) {
      Image.Error = "cannot load";
    }
  }
  ~Holder() {
    const std::string Executed = FromEnvironment("OEMCOM_EXECUTED", "");
    std::string Error;
    if (!Executed.empty() && !AppendExecutedCode(Executed, Image.Caller.Executed(), &Error)) {
      std::fprintf(stderr, "%s: %s\n", Executed.c_str(), Error.c_str());
    }
  }
  Holder(const Holder &) = delete;
  Holder &operator=(const Holder &) = delete;

  FormatImage Image;
};

} // namespace

FormatImage &TheFormatImage() {
  static Holder Held;
  return Held.Image;
}
