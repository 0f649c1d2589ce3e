#include "burn/iso/local_tree.h"

#include "burn/iso/iso_tables.h"
#include "core/base/posix_io.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <sys/stat.h>
#include <string>
#include <vector>

bool InsertTree(TIsoTables& tables, const std::string& source, const std::string& destination,
                bool keepSourcePath, std::string* error)
{
    struct stat st {};
    if (::stat(source.c_str(), &st) != 0) {
        *error = "cannot read " + source + ": " + posix::errnoMessage(errno);
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        if (tables.InsertFile(destination, source, keepSourcePath) == 255) {
            *error = "cannot read " + source;
            return false;
        }
        return true;
    }
    std::vector<std::string> names;
    {
        posix::UniqueDir dir(::opendir(source.c_str()));
        if (!dir) {
            *error = "cannot read " + source + ": " + posix::errnoMessage(errno);
            return false;
        }
        while (dirent* e = ::readdir(dir.get())) {
            const std::string name = e->d_name;
            if (name != "." && name != "..")
                names.push_back(name);
        }
    }
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        const std::string child = source + "/" + name;
        struct stat cs {};
        if (::stat(child.c_str(), &cs) != 0) {
            *error = "cannot read " + child + ": " + posix::errnoMessage(errno);
            return false;
        }
        if (S_ISDIR(cs.st_mode)) {
            std::string sub = destination;
            if (!keepSourcePath) {
                TDEntry* parent = tables.FindDirectory(destination);
                if (!parent) {
                    *error = "INVALID DESTINATION PATH";
                    return false;
                }
                // A tree that a later burn could not import is refused here, not then.
                if (DirectoryLevel(parent) + 1 > kMaxImportDepth) {
                    *error = "cannot add " + child + ": the tree is deeper than " + std::to_string(kMaxImportDepth) +
                             " levels, which a later session could not carry";
                    return false;
                }
                TDEntry* made = tables.InsertDirectoryByName(parent, name, kAttrDirectory);
                if (!made) {
                    *error = "the directory table is full";
                    return false;
                }
                sub = made->path;
            }
            if (!InsertTree(tables, child, sub, keepSourcePath, error))
                return false;
        } else if (!InsertTree(tables, child, destination, keepSourcePath, error)) {
            return false;
        }
    }
    return true;
}

bool InsertFolderIntoRoot(TIsoTables& tables, const std::string& folder, std::string* error)
{
    std::string path = folder;
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    const std::size_t slash = path.rfind('/');
    TDEntry* dir = tables.InsertDirectoryByName(
        tables.Root(), slash == std::string::npos ? path : path.substr(slash + 1), kAttrDirectory);
    if (!dir) {
        *error = "cannot add the directory " + path + ": the tables are full";
        return false;
    }
    return InsertTree(tables, path, dir->path, false, error);
}
