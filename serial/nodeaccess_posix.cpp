// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/nodeaccess.h"

#include <QByteArray>

#include <algorithm>

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

namespace {

constexpr mode_t kGroupReadWrite = S_IRGRP | S_IWGRP;
constexpr mode_t kOwnerReadWrite = S_IRUSR | S_IWUSR;

// The name of a group or user from the system's databases; the number when
// it has no name there.
QString groupName(gid_t gid)
{
    group entry{};
    group* found = nullptr;
    QByteArray buffer(16384, Qt::Uninitialized);
    if (getgrgid_r(gid, &entry, buffer.data(), static_cast<size_t>(buffer.size()), &found) == 0 &&
        found != nullptr)
        return QString::fromLocal8Bit(found->gr_name);
    return QString::number(gid);
}

QString userName(uid_t uid)
{
    passwd entry{};
    passwd* found = nullptr;
    QByteArray buffer(16384, Qt::Uninitialized);
    if (getpwuid_r(uid, &entry, buffer.data(), static_cast<size_t>(buffer.size()), &found) == 0 &&
        found != nullptr)
        return QString::fromLocal8Bit(found->pw_name);
    return QString::number(uid);
}

} // namespace

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

NodeOpeners Openers(const struct stat& node)
{
    NodeOpeners openers;
    if (node.st_gid != 0 && (node.st_mode & kGroupReadWrite) == kGroupReadWrite)
        openers.group = groupName(node.st_gid);
    if (node.st_uid != 0 && (node.st_mode & kOwnerReadWrite) == kOwnerReadWrite)
        openers.owner = userName(node.st_uid);
    return openers;
}
