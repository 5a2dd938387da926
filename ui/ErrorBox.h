#pragma once

#include <QWidget>

#include <functional>
#include <string>

namespace kalvo {

// The program's name: the title of its error boxes and of the application.
inline constexpr char ApplicationTitle[] = "Kalvo";

// Receives the message of an error that ended an event handler.
using ErrorReporter = std::function<void(const std::string& message)>;

// The program-wide error box: critical icon, one OK button, the application title, and the
// message with "." appended when its last character sorts after ".". Modal; returns once closed.
void ShowErrorBox(QWidget* parent, const std::string& message);

}  // namespace kalvo
