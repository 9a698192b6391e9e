// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "serial/serialdevices.h"

#include <vector>

#include <sys/stat.h>
#include <sys/types.h>

// Whether a user may read and write a device node, judged from the node's
// owner, group and mode as the kernel judges open(): the owner's bits for
// its owner, the group's bits for a member of its group, the others' bits
// for everyone else; root may open any node. Kept apart from the survey so
// the answer for another user can be checked: a test running as root would
// otherwise only ever see "Open".
struct NodeUser
{
    uid_t uid = 0;
    gid_t gid = 0;
    std::vector<gid_t> groups; // the supplementary groups

    // This process's real user and groups, as access() uses them.
    [[nodiscard]] static NodeUser current();
};

[[nodiscard]] DeviceAccess ModeAccess(const struct stat& node, const NodeUser& user);
