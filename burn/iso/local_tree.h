#pragma once
// Puts files and folders of the local file system into the session's tables: a file, or a
// directory with its whole tree in name order.

#include <string>

class TIsoTables;

// Inserts a file or, for a directory, its whole tree (its contents under `destination`).
// Returns false with a message when a path cannot be read.
bool InsertTree(TIsoTables& tables, const std::string& source, const std::string& destination,
                bool keepSourcePath, std::string* error);

// Puts a folder into the root as a directory of its own name holding its whole tree (a
// folder of the burn window's list, a directory on the burn command line). Returns false
// with a message when the directory cannot be made or a path cannot be read.
bool InsertFolderIntoRoot(TIsoTables& tables, const std::string& folder, std::string* error);
