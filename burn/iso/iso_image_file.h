#pragma once
// Writes a prepared session to an image file: the header stream, then the data of the
// new files in file-table order, each padded to whole sectors, ImageSectors in all.

#include <string>

class TIsoImage;
class TIsoTables;

// Returns false with a message naming the file that could not be read or written.
bool WriteImageFile(TIsoImage& image, TIsoTables& tables, const std::string& path, std::string* error);

// Inserts a file or, for a directory, its whole tree (its contents under `destination`).
// Returns false with a message when a path cannot be read.
bool InsertTree(TIsoTables& tables, const std::string& source, const std::string& destination,
                bool keepSourcePath, std::string* error);

// Puts a folder into the root as a directory of its own name holding its whole tree (a
// folder of the burn window's list, a directory on the burn command line). Returns false
// with a message when the directory cannot be made or a path cannot be read.
bool InsertFolderIntoRoot(TIsoTables& tables, const std::string& folder, std::string* error);
