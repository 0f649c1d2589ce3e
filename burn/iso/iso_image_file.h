#pragma once
// Writes a prepared session to an image file: the header stream, then the data of the
// new files in file-table order, each padded to whole sectors, ImageSectors in all.

#include <string>

class TIsoImage;
class TIsoTables;

// Returns false with a message naming the file that could not be read or written.
bool WriteImageFile(TIsoImage& image, TIsoTables& tables, const std::string& path, std::string* error);
