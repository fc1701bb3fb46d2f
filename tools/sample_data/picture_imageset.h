// Drawn pictures packed into one texture per imageset: the PNG and the
// imageset file that names each picture's rectangle in it.
#pragma once

#include <string>
#include <vector>

#include "tools/sample_data/picture_canvas.h"

class ArchiveWriter;

struct NamedPicture {
  std::string name;
  Canvas picture;
};

// "<name>.png" and "<name>.imageset" in the GUI folder. Pictures of a set
// with several are kept 2 pixels apart, their edge pixels repeated into the
// gap, so filtering at a picture's border never reaches its neighbour.
bool addPictureImageset(ArchiveWriter& writer, const std::string& name, const std::vector<NamedPicture>& pictures);

// The pictures the tool draws for the imageset `name` ("Quillfen", "main",
// "Tracks" ...), from fixed seeds; empty for a set it does not draw.
std::vector<NamedPicture> drawImageset(const std::string& name);
const Canvas* findPicture(const std::vector<NamedPicture>& pictures, const std::string& name);

// The sets drawImageset knows, by the file that draws them.
std::vector<NamedPicture> drawQuillfen();
std::vector<NamedPicture> drawLogo();
std::vector<NamedPicture> drawFlags();
std::vector<NamedPicture> drawLoadingScreen();
std::vector<NamedPicture> drawExtras();
std::vector<NamedPicture> drawBackground(const std::string& imageset);
std::vector<NamedPicture> drawTracks();
std::vector<NamedPicture> drawEndPicture(int character);
std::vector<NamedPicture> drawBranding();
