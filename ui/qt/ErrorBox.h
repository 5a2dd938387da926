#pragma once

#include <QWidget>

#include <string>

namespace kalvo {

// The program-wide error box: critical icon, one OK button, the title and the text as given.
// Modal; returns once closed.
void ShowErrorBox(QWidget* parent, const std::string& title, const std::string& text);

}  // namespace kalvo
