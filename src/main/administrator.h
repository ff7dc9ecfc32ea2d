#pragma once

namespace iz {

class System;

// True when a group of the process's token has the relative id 512 (Domain
// Admins) or 544 (Administrators) at any sub-authority position, whatever the
// group's attributes; false otherwise, and when the token cannot be read.
bool is_administrator(System& sys);

}  // namespace iz
