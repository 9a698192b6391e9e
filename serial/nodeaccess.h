// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "serial/serialdevices.h"

#include <QString>

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

// Who besides root may open the node, for the advice to a user it refuses:
// the owner group when the group's bits let it read and write (root's own
// group does not count: nobody is told to join it), and the owner when the
// owner's bits do and the owner is not root. Empty names where neither may.
struct NodeOpeners
{
    QString group;
    QString owner;
};

[[nodiscard]] NodeOpeners Openers(const struct stat& node);
