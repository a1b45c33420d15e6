#pragma once
// For tests of the real dialogs: hands the next modal dialog to a function
// once it is up, the way a person at the screen would meet it.
#include <functional>

class QWidget;

namespace tegaro {

// Call before the code that opens the dialog. The function is not called
// when no modal dialog comes up within a few seconds.
void whenDialogShows(const std::function<void(QWidget* dialog)>& answer);

} // namespace tegaro
