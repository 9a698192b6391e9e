// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/nodeaccess.h"

#include <algorithm>

#include <unistd.h>

NodeUser NodeUser::current()
{
    NodeUser user;
    user.uid = getuid();
    user.gid = getgid();
    const int count = getgroups(0, nullptr);
    if (count > 0) {
        user.groups.resize(static_cast<size_t>(count));
        const int got = getgroups(count, user.groups.data());
        user.groups.resize(static_cast<size_t>(std::max(got, 0)));
    }
    return user;
}

DeviceAccess ModeAccess(const struct stat& node, const NodeUser& user)
{
    if (user.uid == 0)
        return DeviceAccess::Open;
    mode_t wanted = S_IROTH | S_IWOTH;
    if (node.st_uid == user.uid)
        wanted = S_IRUSR | S_IWUSR;
    else if (node.st_gid == user.gid ||
             std::find(user.groups.begin(), user.groups.end(), node.st_gid) != user.groups.end())
        wanted = S_IRGRP | S_IWGRP;
    // Only the first class that matches counts: an owner without the owner's
    // bits is refused even where the others' bits would let anyone in.
    return (node.st_mode & wanted) == wanted ? DeviceAccess::Open : DeviceAccess::NoPermission;
}
