#pragma once

#include <QImage>

// The picture page as the window lays it out with every component shown and sample values in the value
// labels, composed from the stored picture files in folder, to check by eye that the pictures line up.
// Throws std::runtime_error when a picture file does not load.
QImage ComposePagePreview(const QString& folder);
