#pragma once
// The short click of the image check labels, played from the program's
// resources. Silent where there is no audio device.
namespace tegaro {
void playClick();
int clickCount(); // how often a click was asked for (tests read it)
} // namespace tegaro
