#pragma once

namespace iz {

class System;

// 0 when a group of the process's token has the relative id 512 (Domain
// Admins) or 544 (Administrators) at any sub-authority position, whatever the
// group's attributes; -1 otherwise, and when the token cannot be read.
int is_administrator(System& sys);

}  // namespace iz
