// Host stand-in for the module's port access: every PortRead8/PortWrite8 goes to the
// attached PlatformModel.
#pragma once

#include "platform_model.h"

// Routes port access to Model for the lifetime of this object.
class ScopedPlatform {
public:
  explicit ScopedPlatform(PlatformModel &Model);
  ~ScopedPlatform();
  ScopedPlatform(const ScopedPlatform &) = delete;
  ScopedPlatform &operator=(const ScopedPlatform &) = delete;

private:
  PlatformModel *Previous;
};
