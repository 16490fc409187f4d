// The person's pictures: answering the image picker on screen with a picture file, and the
// photo album (putting a file into it, listing what it holds, such as codes saved there).
#pragma once

#include <string>
#include <vector>

namespace host {

// The topmost image picker on screen picks the picture in `path` (any image file the platform
// decodes). "" on success, else why not.
std::string pickPicture(const std::string& path);
// The topmost image picker on screen is cancelled.
std::string cancelPicker();
// Copies the picture in `path` into the photo album under its file name. "" or why not.
std::string addToAlbum(const std::string& path);
// The file names in the photo album, sorted.
std::vector<std::string> albumPictures();

} // namespace host
