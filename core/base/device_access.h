#pragma once
// What a user who may not open a device node (a serial port, a CD recorder) should do:
// join the group that owns the node, log in again after joining it, or ask the
// administrator. No hint at all when the node can be opened, whether through its mode,
// a group or an access control list (the desktop's uaccess rule). Plain C++, so the
// serial port and the burner share it.

#include <grp.h>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace devaccess {

enum class Remedy { None, JoinGroup, LogInAgain, AskAdministrator };

// What is known about the node and the user.
struct Facts {
    bool accessible = false;       // the process may read and write it (mode, groups or ACL)
    bool groupMayUse = false;      // the node's group has read and write permission
    bool groupIsRoot = false;      // the node belongs to the group of the superuser
    std::string group;             // the group's name, empty when it has none
    bool inSessionGroups = false;  // the running process has the group
    bool inGroupDatabase = false;  // the group database lists the user as a member
};

inline Remedy remedyFor(const Facts& f)
{
    if (f.accessible)
        return Remedy::None;
    if (!f.groupMayUse || f.groupIsRoot || f.group.empty() || f.inSessionGroups)
        return Remedy::AskAdministrator;
    return f.inGroupDatabase ? Remedy::LogInAgain : Remedy::JoinGroup;
}

// The operator's sentence for a remedy, naming the group; empty for Remedy::None.
inline std::string hintText(Remedy remedy, const std::string& group)
{
    switch (remedy) {
    case Remedy::None:
        return {};
    case Remedy::JoinGroup:
        return "The device belongs to the group " + group + ": add the user to it (sudo adduser $USER " +
               group + ") and log in again.";
    case Remedy::LogInAgain:
        return "The user is in the group " + group +
               " that owns the device, but this session started before: log out and in again.";
    case Remedy::AskAdministrator:
        break;
    }
    return "Only the device's owner may use it: ask the administrator for access.";
}

namespace detail {

inline bool hasGroupNow(gid_t gid)
{
    if (::getegid() == gid)
        return true;
    const int count = ::getgroups(0, nullptr);
    std::vector<gid_t> groups(count > 0 ? static_cast<std::size_t>(count) : 0);
    const int got = count > 0 ? ::getgroups(count, groups.data()) : 0;
    for (int i = 0; i < got; ++i)
        if (groups[static_cast<std::size_t>(i)] == gid)
            return true;
    return false;
}

inline bool listedInGroupDatabase(gid_t gid)
{
    const passwd* pw = ::getpwuid(::getuid());
    if (!pw || !pw->pw_name)
        return false;
    int count = 64;
    std::vector<gid_t> groups(static_cast<std::size_t>(count));
    if (::getgrouplist(pw->pw_name, pw->pw_gid, groups.data(), &count) < 0) {
        groups.resize(static_cast<std::size_t>(count));
        if (::getgrouplist(pw->pw_name, pw->pw_gid, groups.data(), &count) < 0)
            return false;
    }
    for (int i = 0; i < count; ++i)
        if (groups[static_cast<std::size_t>(i)] == gid)
            return true;
    return false;
}

}  // namespace detail

// Gathers the facts about a node; a node that does not exist counts as accessible
// (no permission hint: the caller reports the missing device).
inline Facts factsOf(const std::string& path)
{
    Facts f;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        f.accessible = true;
        return f;
    }
    // access() looks at the real user and at access control lists, as the open will.
    f.accessible = ::access(path.c_str(), R_OK | W_OK) == 0;
    f.groupMayUse = (st.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
    f.groupIsRoot = st.st_gid == 0;
    if (const group* gr = ::getgrgid(st.st_gid); gr && gr->gr_name)
        f.group = gr->gr_name;
    if (f.accessible)
        return f;
    f.inSessionGroups = detail::hasGroupNow(st.st_gid);
    f.inGroupDatabase = detail::listedInGroupDatabase(st.st_gid);
    return f;
}

// The hint for a node the user may not open; empty when the user may open it.
inline std::string accessHint(const std::string& path)
{
    const Facts f = factsOf(path);
    return hintText(remedyFor(f), f.group);
}

}  // namespace devaccess
