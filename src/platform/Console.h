#pragma once
// Where the show's text output goes when it was started as a windowed program.

namespace platform {

// On Windows the show is a windowed program: a double-click opens no console window, and a
// prompt does not hand it its console. This connects standard output and error, where they were
// not redirected, to the console of the program that started the show, if it has one. Returns
// whether standard error leads anywhere (redirected, or a console): false for a show started from
// the desktop, whose reports must then go to a message box. Elsewhere it changes nothing and
// returns true.
bool attachParentConsole();

}  // namespace platform
