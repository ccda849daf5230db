#pragma once

// The program's pictures, drawn for it as SVG in a Qt resource.
#include <QIcon>
#include <QPixmap>

namespace tessel {

// Makes the resource of this library known (a static library's resources
// are registered by the program that links it). Safe to call again.
void initUiResources();

// An image of the shared image list (kImageFetching ... kImageRepeater); a
// null icon for kImageNone and unknown indices.
QIcon listImage(int image);
// The mark of the current radio's row (state image 1).
QIcon currentRowMark();
// The application and window icon of a brand profile.
QIcon applicationIcon(int brandIndex);
// A picture ("logo", "splash") rendered at the given size.
QPixmap picture(const char* name, QSize size);

}  // namespace tessel
