// The installation folder used when the settings leave it empty: the
// program-files folder below "\KESTRON\PathSentryMultiway".
#pragma once

#include <cstdint>
#include <string>

#include "core/status.h"

namespace iz {

class Output;
class System;

// The installation folder's storage: 100 characters and a terminator.
const uint32_t kInstallDirSize = 101;

const int kCodeVersionUnreadable = 200123;
const int kCodeNoKernel32 = 200140;
const int kCodeNoWow64Function = 200150;
const int kCodeWow64Failed = 200160;
const int kCodeVersionUnsupported = 200170;
const int kCodeProgramFiles = 200189;

// Fills `folder` (at most `size` - 1 characters) and returns Status::Ok; or
// reports QIRU09034 with the system error number and a location code, leaves
// `folder` as it was and returns Status::NoDefault. Only Windows 5.0, 5.2, 6.0 and 6.1 are
// accepted; a 32-bit process on 64-bit Windows takes "ProgramFiles(x86)".
Status default_install_dir(System& sys, Output& out, std::string* folder, uint32_t size);

}  // namespace iz
