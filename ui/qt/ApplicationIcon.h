#pragma once

#include <QIcon>

namespace kalvo {

// The program icon in every size it is delivered in, for the windows and the task bar.
QIcon ApplicationIcon();

}  // namespace kalvo
